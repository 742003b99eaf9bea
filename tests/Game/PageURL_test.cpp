// Page URLs must name the page file exactly, whatever characters the working directory holds.
#include "../../Game/PageURL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

TEST(PageURL, EncodesEveryReservedByteOfTheDirectory) {
  EXPECT_STREQ("file:///home/ann/game/default.html",
               FileURL("/home/ann/game", "/default.html").CStr());
  EXPECT_STREQ("file:///my%20games/100%25%20%23one%3F/winner.html",
               FileURL("/my games/100% #one?", "/winner.html").CStr());
  // UTF-8 bytes are encoded one by one; the unreserved marks stay.
  EXPECT_STREQ("file:///caf%C3%A9/a-b_c.d~e/default.html",
               FileURL("/caf\xC3\xA9/a-b_c.d~e", "/default.html").CStr());
  EXPECT_STREQ("file:///x/%3Bq%3D1%26r%2Bs/default.html",
               FileURL("/x/;q=1&r+s", "/default.html").CStr());
}

TEST(PageURL, NeverDoublesTheSlashBeforeThePage) {
  EXPECT_STREQ("file:///default.html", FileURL("/", "/default.html").CStr());
  EXPECT_STREQ("file:///srv/default.html", FileURL("/srv/", "/default.html").CStr());
}

TEST(PageURL, NamesThePageInTheCurrentWorkingDirectory) {
  CorvaneTest::ScratchDir scratch("page url");
  std::filesystem::path folder = scratch.Path() / "Amber Grove #2";
  std::filesystem::create_directories(folder);
  CorvaneTest::ChangeDir inside(folder);
  std::string url = PageURL("/default.html").CStr();
  std::string expected = "file://";
  for (char c : std::filesystem::current_path().string()) {
    expected += c == ' ' ? std::string("%20") : c == '#' ? std::string("%23") : std::string(1, c);
  }
  EXPECT_EQ(expected + "/default.html", url);
}
