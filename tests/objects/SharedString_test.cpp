// SharedString: copy-on-write sharing, the byte-exact comparisons, the extension helpers and the
// published SuperFastHash values.
#include "objects/SharedString.h"

#include <gtest/gtest.h>

using CorvaneEngine::SharedString;

TEST(SharedString, HashMatchesThePublishedAlgorithm) {
  // Values of Paul Hsieh's reference code: one per tail case and a sign-extended tail byte.
  const char* texts[] = {"", "a", "ab", "abc", "abcd", "ab\xe9", "Window"};
  const uint32_t hashes[] = {0,          0x115ea782, 0x516b8b44, 0xd2be198a,
                             0xdad8b8db, 0xb4dfd4b5, 0xda35aad9};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(hashes[i], SuperFastHash(SharedString(texts[i]))) << i;
}

TEST(SharedString, CopiesShareUntilOneIsChangedAndComparisonsAreByteExact) {
  SharedString original("alpha");
  SharedString copy = original;
  copy.Append("beta");
  EXPECT_STREQ("alpha", original.CStr());
  EXPECT_STREQ("alphabeta", copy.CStr());
  EXPECT_STREQ("alphaalpha", (original + original).CStr());
  EXPECT_STREQ("x/alpha", ("x/" + original).CStr());

  EXPECT_TRUE("Mesh" == SharedString("Mesh"));
  for (const char* other : {"mesh", "Mesh ", "Mes"}) EXPECT_FALSE(other == SharedString("Mesh"));
  EXPECT_FALSE(SharedString("a\0b", 3) == SharedString("a\0c", 3));
  EXPECT_TRUE(SharedString(static_cast<const char*>(nullptr)) == SharedString(""));

  SharedString path("./textures/dir.v2/sprite.png"), bare("README");
  EXPECT_STREQ(".png", path.Tail(path.FindLast('.')).CStr());
  EXPECT_STREQ("README", bare.Tail(bare.FindLast('.')).CStr());
}
