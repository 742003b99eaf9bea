// StringHashMap: growth by doubling at a load of 0.7, first value wins, enumeration and clearing
// with a release call-back.
#include "objects/StringHashMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using CorvaneEngine::SharedString;
using CorvaneEngine::StringHashMap;

namespace {
int tags[64];
void* Tag(int i) {
  return &tags[i % 64];
}
SharedString Key(int i) {
  return SharedString(std::to_string(i).c_str());
}
}  // namespace

TEST(StringHashMap, GrowsBeforeLookingUpAndTheFirstValueWins) {
  StringHashMap map;
  EXPECT_EQ(nullptr, map.Find(SharedString("absent")));  // no bucket array yet
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(1)));
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(2)));
  // The load test comes before the search, so a key already present still grows a full table.
  EXPECT_EQ(2u, map.BucketCount());
  EXPECT_EQ(1u, map.Count());
  EXPECT_EQ(Tag(1), map.Find(SharedString("Window"))->value);
  EXPECT_TRUE(map.Insert(SharedString("window"), Tag(3)));
  std::vector<uint32_t> sizes = {map.BucketCount()};
  for (int i = 0; i < 4; ++i) map.Insert(Key(i), Tag(i)), sizes.push_back(map.BucketCount());
  EXPECT_EQ((std::vector<uint32_t>{4, 8, 8, 8, 16}), sizes);
  EXPECT_EQ(Tag(3), map.Find(SharedString("window"))->value);
  EXPECT_EQ(nullptr, map.Find(SharedString("WINDOW")));
}

TEST(StringHashMap, ManyKeysAreAllFoundAndClearReleasesEach) {
  // Enough keys that the last bucket arrays are large enough for huge pages (8 MB).
  constexpr int kKeys = 100000;
  static int released = 0;
  StringHashMap map;
  map.releaseCallback = [](StringHashMap::Entry&) { ++released; };
  for (int i = 0; i < kKeys; ++i) map.Insert(Key(i), Tag(i));
  EXPECT_EQ(static_cast<uint32_t>(kKeys), map.Count());
  EXPECT_GE(map.BucketCount() * 0.7, kKeys);
  for (int i = 0; i < kKeys; i += 7) {
    auto* entry = map.Find(Key(i));
    ASSERT_NE(nullptr, entry) << i;
    EXPECT_EQ(Tag(i), entry->value);
  }
  map.Clear();
  EXPECT_EQ(kKeys, released);
  EXPECT_EQ(nullptr, map.Find(Key(3)));
}
