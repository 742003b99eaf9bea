// Name hashes (the ids stored in data files and passed by the game) and the table keyed by them.
#include "resources/NameHash.h"

#include <gtest/gtest.h>

#include "objects/SharedString.h"
#include "resources/NameHashMap.h"

using namespace CorvaneEngine;

TEST(NameHash, TypeIdsAndHighBytes) {
  const std::pair<const char*, uint32_t> ids[] = {
      {"", 0x811C9DC5u},        {"Sound", 0xB3CA9A34u},       {"Mesh", 0x07E055DCu},
      {"Texture", 0x994C5594u}, {"Texture_Mip", 0x9970DF55u}, {"Texture_NoMip", 0x32AD2288u}};
  for (const auto& [name, id] : ids) EXPECT_EQ(NameHash(name).value, id) << name;
  // The three ways of naming agree, and the ids are usable at compile time.
  EXPECT_EQ(NameHash(SharedString("Texture_Mip")).value, 0x9970DF55u);
  EXPECT_EQ(NameHash("Texture_Mip!", 11).value, 0x9970DF55u);
  static_assert(NameHash("Sound") == 0xB3CA9A34u, "type id must be a constant expression");

  // Bytes of 0x80 and more are sign-extended, so such names differ from textbook FNV-1a (second
  // line); exact bytes: case makes a different id.
  EXPECT_EQ(NameHash("\x80").value, (0x811C9DC5u ^ 0xFFFFFF80u) * 0x01000193u);
  EXPECT_NE(NameHash("\x80").value, (0x811C9DC5u ^ 0x80u) * 0x01000193u);
  EXPECT_NE(NameHash("ship.obj").value, NameHash("Ship.obj").value);
}

TEST(NameHashMap, RemoveFromEveryPlaceInABucket) {
  NameHashMap<int> map;
  // With 4 buckets, ids 1, 5 and 9 share bucket 1 (inline entry, then two chained ones).
  for (uint32_t id : {1u, 5u, 9u}) map.Insert(id, static_cast<int>(id) * 10);
  ASSERT_EQ(map.BucketCount(), 4u);
  EXPECT_TRUE(map.Remove(5u));  // a chained entry in the middle
  EXPECT_EQ(map.Find(5u), nullptr);
  EXPECT_TRUE(map.Remove(1u));  // the inline entry: its successor takes its place
  EXPECT_EQ(map.Find(1u), nullptr);
  ASSERT_NE(map.Find(9u), nullptr);
  EXPECT_EQ(map.Find(9u)->value, 90);
  EXPECT_FALSE(map.Remove(1u));
  EXPECT_TRUE(map.Remove(9u));  // the inline entry without a successor
  EXPECT_EQ(map.Count(), 0u);
  EXPECT_EQ(map.Find(9u), nullptr);
  // The bucket is reusable, and a second insert under a present id keeps the first value.
  map.Insert(13u, 1);
  map.Insert(13u, 2);
  EXPECT_EQ(map.Find(13u)->value, 1);
  EXPECT_EQ(map.Count(), 1u);
}
