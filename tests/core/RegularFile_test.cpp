// RegularFile: a regular file (also through a link) is read whole; a FIFO without a writer, a
// directory, a device and a missing file are refused at once with their reason.
#include "core/RegularFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"

using namespace CorvaneEngine;

TEST(RegularFileTest, ReadsRegularFilesAndRefusesEverythingElseWithoutBlocking) {
  CorvaneTest::ScratchDir dir{"regular file"};
  std::string text(200000, 'x');
  text += "end";
  auto file = dir.Write("plain é.txt", text);
  auto link = dir.Path() / "link";
  ASSERT_EQ(0, ::symlink(file.c_str(), link.c_str()));
  auto fifo = dir.Path() / "fifo";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));

  for (const auto& readable : {file, link}) {
    std::string contents, reason;
    EXPECT_TRUE(ReadRegularFile(readable.c_str(), contents, &reason)) << reason;
    EXPECT_EQ(text, contents) << readable;
  }
  struct Refused {
    std::string path, reason;
  } refused[] = {{fifo, "not a regular file"},
                 {dir.Path(), "not a regular file"},
                 {"/dev/zero", "not a regular file"},
                 {(dir.Path() / "missing").string(), "No such file or directory"}};
  for (const auto& each : refused) {
    std::string contents, reason;
    EXPECT_FALSE(ReadRegularFile(each.path.c_str(), contents, &reason)) << each.path;
    EXPECT_EQ(each.reason, reason) << each.path;
    EXPECT_EQ(-1, OpenRegularFile(each.path.c_str(), nullptr)) << each.path;
  }
}
