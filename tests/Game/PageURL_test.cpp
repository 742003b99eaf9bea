// Page URLs must name the page file exactly, whatever characters the working directory holds.
#include "../../Game/PageURL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

TEST(PageURL, NamesThePageInTheCurrentWorkingDirectory) {
  CorvaneTest::ScratchDir scratch("page url");
  std::filesystem::path folder = scratch.Path() / "Amber Grove #2";
  std::filesystem::create_directories(folder);
  CorvaneTest::ChangeDir inside(folder);
  std::string expected = "file://";
  for (char c : std::filesystem::current_path().string()) {
    expected += c == ' ' ? std::string("%20") : c == '#' ? std::string("%23") : std::string(1, c);
  }
  EXPECT_EQ(expected + "/default.html", PageURL("/default.html").CStr());
}
