// StringHashMap: growth by doubling before the load passes 0.7, first value wins, and clearing
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

TEST(StringHashMap, GrowsBeforeLookingUpKeepsTheFirstValueAndReleasesEveryEntry) {
  StringHashMap map;
  EXPECT_EQ(nullptr, map.Find(SharedString("absent")));  // no bucket array yet
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(1)));
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(2)));
  // The load test comes before the search, so a key already present still grows a full table.
  EXPECT_EQ(2u, map.BucketCount());
  EXPECT_EQ(1u, map.Count());
  EXPECT_EQ(Tag(1), map.Find(SharedString("Window"))->value);
  EXPECT_EQ(nullptr, map.Find(SharedString("window")));
  std::vector<uint32_t> sizes;
  for (int i = 0; i < 5; ++i) map.Insert(Key(i), Tag(i)), sizes.push_back(map.BucketCount());
  EXPECT_EQ((std::vector<uint32_t>{4, 8, 8, 8, 16}), sizes);

  // Enough keys that the last bucket arrays are large enough for huge pages (8 MB).
  constexpr int kKeys = 100000;
  static int released = 0;
  map.releaseCallback = [](StringHashMap::Entry&) { ++released; };
  for (int i = 5; i < kKeys; ++i) map.Insert(Key(i), Tag(i));
  EXPECT_EQ(static_cast<uint32_t>(kKeys) + 1, map.Count());
  for (int i = 0; i < kKeys; i += 7) {
    auto* entry = map.Find(Key(i));
    ASSERT_NE(nullptr, entry) << i;
    EXPECT_EQ(Tag(i), entry->value);
  }
  map.Clear();
  EXPECT_EQ(kKeys + 1, released);
  EXPECT_EQ(nullptr, map.Find(Key(3)));
}
