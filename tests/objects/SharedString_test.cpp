// SharedString: copy-on-write sharing, the byte-exact comparisons, the extension helpers and the
// published SuperFastHash values.
#include "objects/SharedString.h"

#include <gtest/gtest.h>

using CorvaneEngine::SharedString;

TEST(SharedString, HashMatchesThePublishedAlgorithm) {
  // Values of Paul Hsieh's reference code, one per tail case, a sign-extended tail byte and a
  // long input.
  const std::pair<const char*, uint32_t> cases[] = {
      {"", 0u},
      {"a", 0x115ea782u},
      {"ab", 0x516b8b44u},
      {"abc", 0xd2be198au},
      {"abcd", 0xdad8b8dbu},
      {"Window", 0xda35aad9u},
      {"ab\xe9", 0xb4dfd4b5u},
      {"\xff", 0u},
      {"The quick brown fox jumps over the lazy dog", 0x05bf7ce3u}};
  for (const auto& [text, hash] : cases) EXPECT_EQ(hash, SuperFastHash(SharedString(text))) << text;
}

TEST(SharedString, CopiesShareUntilOneIsChangedAndAppendFitsExactly) {
  SharedString original("alpha");
  SharedString copy = original;
  EXPECT_TRUE(copy.SharesRecordWith(original));
  copy.Append("beta");
  EXPECT_STREQ("alpha", original.CStr());
  EXPECT_STREQ("alphabeta", copy.CStr());
  EXPECT_EQ(1u, original.RefCount());
  EXPECT_EQ(9u, copy.Capacity());
  SharedString passed = [](SharedString byValue) { return byValue; }(original);
  EXPECT_TRUE(passed.SharesRecordWith(original));

  SharedString left("ab"), right("cd");
  EXPECT_STREQ("abcd", (left + right).CStr());
  EXPECT_STREQ("ab", left.CStr());
  EXPECT_EQ(1u, left.RefCount());
  EXPECT_STREQ("x/ab", ("x/" + left).CStr());
  SharedString empty(static_cast<const char*>(nullptr));
  empty.Append("");
  EXPECT_STREQ("", empty.CStr());
}

TEST(SharedString, ComparisonIsByteExactAndExtensionsAreTheTailFromTheLastDot) {
  EXPECT_TRUE(SharedString("Mesh") == SharedString("Mesh"));
  EXPECT_TRUE("Mesh" == SharedString("Mesh"));
  for (const char* other : {"mesh", "Mesh ", "Mes"}) EXPECT_FALSE(other == SharedString("Mesh"));
  EXPECT_FALSE(SharedString("a\0b", 3) == SharedString("a\0c", 3));
  EXPECT_FALSE(static_cast<const char*>(nullptr) == SharedString(""));
  EXPECT_TRUE(SharedString(static_cast<const char*>(nullptr)) == SharedString(""));

  SharedString path("./textures/dir.v2/sprite.png"), bare("README");
  EXPECT_STREQ(".png", path.Tail(path.FindLast('.')).CStr());
  EXPECT_STREQ("", path.Tail(static_cast<int32_t>(path.Length())).CStr());
  EXPECT_STREQ("README", bare.Tail(bare.FindLast('.')).CStr());
}
