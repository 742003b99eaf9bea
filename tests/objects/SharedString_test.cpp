// SharedString: copy-on-write sharing, the byte-exact comparisons, the extension helpers and the
// published SuperFastHash values.
#include "objects/SharedString.h"

#include <gtest/gtest.h>

using CorvaneEngine::SharedString;

TEST(SharedString, HashMatchesThePublishedAlgorithm) {
  // Values of Paul Hsieh's reference code: one per tail case and a sign-extended tail byte.
  const std::pair<const char*, uint32_t> cases[] = {{"", 0u},
                                                    {"a", 0x115ea782u},
                                                    {"ab", 0x516b8b44u},
                                                    {"abc", 0xd2be198au},
                                                    {"abcd", 0xdad8b8dbu},
                                                    {"ab\xe9", 0xb4dfd4b5u},
                                                    {"Window", 0xda35aad9u}};
  for (const auto& [text, hash] : cases) EXPECT_EQ(hash, SuperFastHash(SharedString(text))) << text;
}

TEST(SharedString, CopiesShareUntilOneIsChangedAndComparisonsAreByteExact) {
  SharedString original("alpha");
  SharedString copy = original;
  EXPECT_TRUE(copy.SharesRecordWith(original));
  copy.Append("beta");
  EXPECT_STREQ("alpha", original.CStr());
  EXPECT_STREQ("alphabeta", copy.CStr());
  EXPECT_STREQ("alphaalpha", (original + original).CStr());
  EXPECT_STREQ("x/alpha", ("x/" + original).CStr());
  EXPECT_EQ(1u, original.RefCount());

  EXPECT_TRUE("Mesh" == SharedString("Mesh"));
  for (const char* other : {"mesh", "Mesh ", "Mes"}) EXPECT_FALSE(other == SharedString("Mesh"));
  EXPECT_FALSE(SharedString("a\0b", 3) == SharedString("a\0c", 3));
  EXPECT_TRUE(SharedString(static_cast<const char*>(nullptr)) == SharedString(""));

  SharedString path("./textures/dir.v2/sprite.png"), bare("README");
  EXPECT_STREQ(".png", path.Tail(path.FindLast('.')).CStr());
  EXPECT_STREQ("README", bare.Tail(bare.FindLast('.')).CStr());
}
