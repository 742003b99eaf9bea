// Page URLs must name the page file exactly, whatever characters the working directory holds.
#include "../../Game/PageURL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestProbes.h"
#include "TestSupport.h"

TEST(PageURL, NamesThePageInTheCurrentWorkingDirectory) {
  CorvaneTest::ScratchDir scratch("page url");
  std::filesystem::path folder = scratch.Path() / "Amber Grove #2";
  std::filesystem::create_directories(folder);
  CorvaneTest::ChangeDir inside(folder);
  const std::string url = PageURL("/default.html").CStr();
  EXPECT_EQ(std::filesystem::current_path().string() + "/default.html",
            CorvaneTest::PathOfFileURL(url))
      << url;
}
