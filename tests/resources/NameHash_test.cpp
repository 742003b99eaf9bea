// Name hashes (the ids stored in data files and passed by the game) and the table keyed by them.
#include "resources/NameHash.h"

#include <gtest/gtest.h>

#include "objects/SharedString.h"
#include "resources/NameHashMap.h"

using namespace CorvaneEngine;

TEST(NameHash, TypeIdsAndHighBytes) {
  // Bytes of 0x80 and more are sign-extended, unlike textbook FNV-1a; case makes a different id.
  const std::pair<NameHash, uint32_t> ids[] = {
      {NameHash(""), 0x811C9DC5u},
      {NameHash("Sound"), 0xB3CA9A34u},
      {NameHash("Mesh"), 0x07E055DCu},
      {NameHash("Texture"), 0x994C5594u},
      {NameHash("Texture_NoMip"), 0x32AD2288u},
      {NameHash(SharedString("Texture_Mip")), 0x9970DF55u},
      {NameHash("Texture_Mip!", 11), 0x9970DF55u},
      {NameHash("\x80"), (0x811C9DC5u ^ 0xFFFFFF80u) * 0x01000193u},
      {NameHash("\x80", 1), (0x811C9DC5u ^ 0xFFFFFF80u) * 0x01000193u},
      {NameHash("texture"), 0x3C6468F4u}};
  for (const auto& [hash, id] : ids) EXPECT_EQ(hash.value, id) << &hash - &ids[0].first;
  static_assert(NameHash("Sound") == 0xB3CA9A34u, "type id must be a constant expression");
}

TEST(NameHashMap, RemoveFromEveryPlaceInABucket) {
  NameHashMap<int> map;
  // With 4 buckets, ids 1, 5 and 9 share bucket 1 (inline entry, then two chained ones).
  for (uint32_t id : {1u, 5u, 9u}) map.Insert(id, static_cast<int>(id) * 10);
  ASSERT_EQ(map.BucketCount(), 4u);
  EXPECT_TRUE(map.Remove(5u));  // a chained entry in the middle
  EXPECT_TRUE(map.Remove(1u));  // the inline entry: its successor takes its place
  EXPECT_FALSE(map.Remove(1u));
  EXPECT_TRUE(map.Find(1u) == nullptr && map.Find(5u) == nullptr);
  ASSERT_NE(map.Find(9u), nullptr);
  EXPECT_EQ(map.Find(9u)->value, 90);
  EXPECT_TRUE(map.Remove(9u));  // the inline entry without a successor
  EXPECT_TRUE(map.Count() == 0u && map.Find(9u) == nullptr);
  // The bucket is reusable, and a second insert under a present id keeps the first value.
  map.Insert(13u, 1);
  map.Insert(13u, 2);
  EXPECT_TRUE(map.Count() == 1u && map.Find(13u)->value == 1);
}
