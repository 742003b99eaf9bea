// Name hashes (the ids stored in data files and passed by the game) and the table keyed by them.
#include "resources/NameHash.h"

#include <gtest/gtest.h>

#include "objects/SharedString.h"
#include "resources/NameHashMap.h"

using namespace CorvaneEngine;

// FNV-1a, but with bytes of 0x80 and more sign-extended; case makes a different id.
uint32_t Reference(const std::string& name) {
  uint32_t hash = 0x811C9DC5u;
  for (char c : name) hash = (hash ^ static_cast<uint32_t>(static_cast<int32_t>(c))) * 0x01000193u;
  return hash;
}

TEST(NameHash, TypeIdsAndHighBytes) {
  for (const char* name : {"", "Sound", "Mesh", "Texture", "texture", "\x80", "\xFFz"})
    EXPECT_EQ(NameHash(name).value, Reference(name)) << name;
  EXPECT_EQ(NameHash("Texture_Mip!", 11), NameHash(SharedString("Texture_Mip")));
  EXPECT_EQ(NameHash("\x80", 1).value, Reference("\x80"));
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
