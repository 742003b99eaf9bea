// StringHashMap: growth by doubling before the load passes 0.7, first value wins, and clearing
// with a release call-back.
#include "objects/StringHashMap.h"

#include <gtest/gtest.h>

#include <vector>

using CorvaneEngine::SharedString;
using CorvaneEngine::StringHashMap;

TEST(StringHashMap, GrowsBeforeLookingUpKeepsTheFirstValueAndReleasesEveryEntry) {
  const char* keys[] = {"Window", "b", "c", "d", "e", "f", "g"};
  int tags[7];
  StringHashMap map;
  EXPECT_EQ(nullptr, map.Find("absent"));  // no bucket array yet
  EXPECT_TRUE(map.Insert("Window", &tags[0]));
  EXPECT_TRUE(map.Insert("Window", &tags[1]));  // the first value stays
  // The load test comes before the search, so a key already present still grows a full table.
  EXPECT_EQ(2u, map.BucketCount());
  EXPECT_EQ(nullptr, map.Find("window"));
  std::vector<uint32_t> sizes;
  for (int i = 1; i < 7; ++i) map.Insert(keys[i], &tags[i]), sizes.push_back(map.BucketCount());
  EXPECT_EQ((std::vector<uint32_t>{4, 8, 8, 8, 16, 16}), sizes);
  EXPECT_EQ(7u, map.Count());
  for (int i = 0; i < 7; ++i) EXPECT_EQ(&tags[i], map.Find(keys[i])->value) << keys[i];
  static int released = 0;
  map.releaseCallback = [](StringHashMap::Entry&) { ++released; };
  map.Clear();
  EXPECT_EQ(7, released);
  EXPECT_EQ(nullptr, map.Find("c"));
}
