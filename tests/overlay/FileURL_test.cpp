// File URLs must name the file exactly, whatever characters its folder holds.
#include "overlay/FileURL.h"

#include <gtest/gtest.h>

TEST(FileURL, EncodesEveryReservedByteAndNeverDoublesTheSlash) {
  const char* cases[][3] = {
      {"/my games/100% #one?", "/winner.html", "file:///my%20games/100%25%20%23one%3F/winner.html"},
      // UTF-8 bytes are encoded one by one; the unreserved marks stay.
      {"/caf\xC3\xA9/a-b_c.d~e", "/default.html", "file:///caf%C3%A9/a-b_c.d~e/default.html"},
      {"/", "/default.html", "file:///default.html"},
      {"/srv/", "/default.html", "file:///srv/default.html"}};
  for (const auto& c : cases) EXPECT_STREQ(c[2], CorvaneEngine::FileURL(c[0], c[1]).CStr()) << c[0];
}
