// Name hashes (the ids stored in data files and passed by the game) and the table keyed by them.
#include "resources/NameHash.h"

#include <gtest/gtest.h>

#include <set>

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

// The resource manager takes every loaded file out of its pending table; a removal that lost the
// rest of a bucket would leave files that never load.
TEST(NameHashMap, RemoveFromEveryPlaceInABucket) {
  // With 4 buckets, ids 1, 5 and 9 share bucket 1 (an inline entry, then two chained ones): taken
  // out from the middle of the chain first, then from the inline place with one and with two
  // entries behind it.
  for (const auto& order : {std::vector<uint32_t>{5, 1, 9}, {1, 5, 9}}) {
    NameHashMap<int> map;
    std::set<uint32_t> left = {1, 5, 9};
    for (uint32_t id : left) map.Insert(id, static_cast<int>(id));
    ASSERT_EQ(map.BucketCount(), 4u);
    for (uint32_t id : order) {
      EXPECT_TRUE(map.Remove(id) && !map.Remove(id)) << id;
      left.erase(id);
      for (uint32_t kept : left) EXPECT_TRUE(map.Find(kept) && map.Find(kept)->value == int(kept));
    }
    // The emptied bucket is reusable, and a second insert under a present id keeps the first value.
    map.Insert(13u, 1);
    map.Insert(13u, 2);
    EXPECT_TRUE(map.Count() == 1u && map.Find(13u)->value == 1);
  }
}
