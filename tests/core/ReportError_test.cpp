// ReportError and Log: the box text (file name only, the real call site, a cut that never
// overflows), the silent log, and a speaking log whose lines never interleave across threads.
#include "core/ReportError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/OutputStream.h"

using namespace CorvaneEngine;

namespace {

std::string Format(const char* file, int line, const char* format, ...) {
  char buffer[1024];
  va_list arguments;
  va_start(arguments, format);
  FormatErrorReport(buffer, file, line, format, arguments);
  va_end(arguments);
  return buffer;
}

TEST(ReportError, HeaderNamesTheFileWithoutItsFolders) {
  EXPECT_EQ("ERROR: Thread.cpp, line 7\nboom 3", Format("Thread.cpp", 7, "boom %d", 3));
  EXPECT_EQ("ERROR: c.cpp, line 1\n", Format("a\\b/x\\c.cpp", 1, nullptr));
  EXPECT_EQ("ERROR: c.h, line 2\nx", Format("/a/b\\c.h", 2, "%s", "x"));
}

TEST(ReportError, LongTextIsCutAtTheBuffer) {
  std::string longText(5000, 'x');
  std::string text = Format("f.cpp", 1, "%s", longText.c_str());
  EXPECT_EQ(1023u, text.size());
  std::string longPath = "/" + std::string(2000, 'p');
  EXPECT_EQ(1023u, Format(longPath.c_str(), 1, "%s", "tail").size());
}

TEST(ReportError, MacroReportsTheRealCallSiteAndAlwaysWritesStandardError) {
  CorvaneTest::CapturedErrorReports reports;
  testing::internal::CaptureStderr();
  const int line = __LINE__ + 1;
  REPORT_ERROR("ERROR: GameState \"%s\" does not exist", "X");
  std::string err = testing::internal::GetCapturedStderr();
  std::string expected = "ERROR: ReportError_test.cpp, line " + std::to_string(line) +
                         "\nERROR: GameState \"X\" does not exist";
  ASSERT_EQ(1u, reports.Reports().size());
  EXPECT_EQ(expected, reports.Reports()[0]);
  EXPECT_EQ(expected + "\n", err);
}

TEST(ReportError, ABoxOnTheDisplayIsClosedWithItsButton) {
  // Without a handler the box appears on the X display and the call waits for OK.
  CorvaneTest::VirtualDisplay display(640, 480);
  ASSERT_TRUE(display.Ok());
  unsetenv("CORVANE_ERROR_BOX");
  std::atomic<bool> returned{false};
  int clicks = 0;
  std::thread closer([&] {
    // Click the OK button of the box titled "Error" as a user would, until the call returns: a
    // click that comes before the box is ready for it is lost.
    CorvaneTest::WaitUntil(
        [&] {
          clicks +=
              CorvaneTest::RunCommand(
                  "w=$(xdotool search --name '^Error$' 2>/dev/null | head -1) && "
                  "[ -n \"$w\" ] && eval $(xdotool getwindowgeometry --shell $w) && "
                  "xdotool mousemove --window $w $((WIDTH / 2)) $((HEIGHT - 29)) click 1") == 0;
          return returned.load();
        },
        30);
  });
  testing::internal::CaptureStderr();
  REPORT_ERROR("a box");
  returned = true;
  testing::internal::GetCapturedStderr();
  closer.join();
  EXPECT_GT(clicks, 0);  // the box was on the display, and its OK button closed it
  setenv("CORVANE_ERROR_BOX", "0", 1);
}

TEST(Log, SilentByDefaultAndSpeaksWhenRedirected) {
  EXPECT_TRUE(Log.GetFlags() & OutputStream::Silent);  // CORVANE_LOG is unset in the test run
  testing::internal::CaptureStdout();
  Log << "nothing " << 42 << std::endl;
  EXPECT_EQ("", testing::internal::GetCapturedStdout());

  std::ostringstream target;
  Log.Redirect(&target, 0);
  Log << "Resource Error: "
      << "x.wav"
      << " does not exist." << std::endl;
  Log.Redirect(nullptr, OutputStream::Silent);
  EXPECT_EQ("Resource Error: x.wav does not exist.\n", target.str());
}

TEST(Log, LinesFromManyThreadsNeverInterleave) {
  std::ostringstream target;
  Log.Redirect(&target, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 500; ++i) Log << "thread " << t << " line " << i << " end" << std::endl;
    });
  }
  for (auto& thread : threads) thread.join();
  Log.Redirect(nullptr, OutputStream::Silent);
  std::istringstream lines(target.str());
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_EQ(0u, line.find("thread ")) << line;
    ASSERT_EQ(line.size() - 4, line.rfind(" end")) << line;
  }
  EXPECT_EQ(2000, count);
}

TEST(Log, EnvironmentMakesTheProgramLogSpeak) {
  // A fresh process reads CORVANE_LOG before its first line.
  std::string out = CorvaneTest::CommandOutput(
      "CORVANE_LOG=stderr '" CORVANE_BINARY_DIR
      "/tests/core_ReportError_test' "
      "--gtest_also_run_disabled_tests --gtest_filter=Log.DISABLED_WritesOneLine 2>&1 >/dev/null");
  EXPECT_NE(std::string::npos, out.find("WARNING: spoken\n")) << out;
}

TEST(Log, DISABLED_WritesOneLine) {
  // Helper for the test above: writes one line through the real Log.
  Log << "WARNING: "
      << "spoken" << std::endl;
}

}  // namespace
