// StringHashMap: growth by doubling at a load of 0.7, first value wins, enumeration order and
// clearing with a release call-back.
#include "objects/StringHashMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using CorvaneEngine::SharedString;
using CorvaneEngine::StringHashMap;

namespace {
int tags[64];
void* Tag(int i) {
  return &tags[i];
}
}  // namespace

TEST(StringHashMap, BucketsGrowOneTwoFourEightSixteen) {
  StringHashMap map;
  EXPECT_EQ(nullptr, map.Find(SharedString("absent")));  // no bucket array yet
  std::vector<uint32_t> sizes;
  for (int i = 0; i < 6; ++i) {
    map.Insert(SharedString(("key" + std::to_string(i)).c_str()), Tag(i));
    sizes.push_back(map.BucketCount());
  }
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 4, 8, 8, 16}), sizes);
  EXPECT_EQ(6u, map.Count());
  for (int i = 0; i < 6; ++i) {
    auto* entry = map.Find(SharedString(("key" + std::to_string(i)).c_str()));
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(Tag(i), entry->value);
  }
}

TEST(StringHashMap, FirstValueWinsAndCaseMatters) {
  StringHashMap map;
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(1)));
  EXPECT_TRUE(map.Insert(SharedString("Window"), Tag(2)));
  EXPECT_EQ(1u, map.Count());
  // The load test comes before the search, so a key already present still grows a full table.
  EXPECT_EQ(2u, map.BucketCount());
  EXPECT_EQ(Tag(1), map.Find(SharedString("Window"))->value);
  EXPECT_TRUE(map.Insert(SharedString("window"), Tag(3)));
  EXPECT_EQ(2u, map.Count());
  EXPECT_EQ(Tag(3), map.Find(SharedString("window"))->value);
  EXPECT_EQ(nullptr, map.Find(SharedString("WINDOW")));
}

TEST(StringHashMap, ManyKeysAllFoundAfterGrowthAndChaining) {
  // Enough keys that the last bucket arrays are large enough for huge pages (8 MB).
  constexpr int kKeys = 100000;
  StringHashMap map;
  for (int i = 0; i < kKeys; ++i) map.Insert(SharedString(std::to_string(i).c_str()), Tag(i % 64));
  EXPECT_EQ(static_cast<uint32_t>(kKeys), map.Count());
  EXPECT_GE(map.BucketCount() * 0.7, kKeys);
  for (int i = 0; i < kKeys; i += 7) {
    auto* entry = map.Find(SharedString(std::to_string(i).c_str()));
    ASSERT_NE(nullptr, entry) << i;
    EXPECT_EQ(Tag(i % 64), entry->value);
  }
  int visited = 0;
  map.ForEach([&](auto&) { ++visited; });
  EXPECT_EQ(kKeys, visited);
}

TEST(StringHashMap, ClearCallsTheReleaseCallbackForEveryEntry) {
  static int released = 0;
  released = 0;
  StringHashMap map;
  map.releaseCallback = [](StringHashMap::Entry&) { ++released; };
  for (int i = 0; i < 20; ++i) map.Insert(SharedString(std::to_string(i).c_str()), Tag(i));
  map.Clear();
  EXPECT_EQ(20, released);
  EXPECT_EQ(0u, map.Count());
  EXPECT_EQ(nullptr, map.Find(SharedString("3")));
  map.Insert(SharedString("3"), Tag(3));  // usable again after a clear
  EXPECT_EQ(Tag(3), map.Find(SharedString("3"))->value);
}
