// ReportError and Log: the box text (file name only, the real call site, a cut that never
// overflows), the box on the display and a signal that closes it, repeated reports counted, the
// silent log, and a speaking log whose lines never interleave across threads.
#include "core/ReportError.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/Engine.h"
#include "core/OutputStream.h"
#include "core/QuitSignal.h"

using namespace CorvaneEngine;
using CorvaneTest::RunCommand;
using Lines = std::vector<std::string>;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(ReportError, TheTextNamesTheFileWithoutFoldersAndIsCutAtTheBuffer) {
  CorvaneTest::CapturedErrorReports reports;
  CaptureStderr();
  ReportError("a\\b/x\\c.cpp", 1, nullptr);
  ReportError("/a/b\\c.h", 2, "%s %d", "x", 3);
  ReportError("f.cpp", 1, "%s", std::string(5000, 'x').c_str());
  ReportError(("/" + std::string(2000, 'p')).c_str(), 1, "%s", "tail");
  const int line = __LINE__ + 1;
  REPORT_ERROR("ERROR: GameState \"%s\" does not exist", "X");
  const std::string expected = "ERROR: ReportError_test.cpp, line " + std::to_string(line) +
                               "\nERROR: GameState \"X\" does not exist";
  EXPECT_THAT(GetCapturedStderr(), testing::EndsWith("p\n" + expected + "\n"));
  EXPECT_EQ(reports.Reports(),  // cut at the buffer's 1023 characters, even inside the header
            (Lines{"ERROR: c.cpp, line 1\n", "ERROR: c.h, line 2\nx 3",
                   "ERROR: f.cpp, line 1\n" + std::string(1002, 'x'),
                   "ERROR: " + std::string(1016, 'p'), expected}));
}

// Runs the main loop in a scratch folder; frame i reports frames[i] ("" reports nothing, null
// ends the loop, the last one repeats). Answers what went to standard error.
static std::string RunFrames(const std::vector<const char*>& frames) {
  struct ReportingSystem : System {
    std::vector<const char*> frames;
    size_t frame = 0;
    void Update(double) override {
      const char* text = frames[std::min(frame++, frames.size() - 1)];
      if (text == nullptr) Engine::instance->running = false;
      if (text != nullptr && *text != '\0') REPORT_ERROR("%s", text);
    }
  } system;
  system.frames = frames;
  CorvaneTest::ScratchDir dir("frames");
  CorvaneTest::ChangeDir into(dir.Path());
  Engine engine;
  engine.AddSystem(&system);
  CaptureStderr();
  engine.Run();
  return GetCapturedStderr();
}

TEST(ReportError, TheSameReportInConsecutiveFramesIsShownOnceAndCounted) {
  CorvaneTest::CapturedErrorReports reports;
  const std::string errors = RunFrames({"A", "A", "A", "A", "A", "B", "", "A", nullptr});
  ASSERT_EQ(3u, reports.Reports().size()) << errors;  // A, B, and A again after a quiet frame
  const std::string at = reports.Reports()[0].substr(0, reports.Reports()[0].find('\n'));
  EXPECT_EQ(reports.Reports(), (Lines{at + "\nA", at + "\nB", at + "\nA"}));
  // One line counts the repeats of the first series.
  EXPECT_EQ(errors, at + "\nA\n" + at + ": the same report came 4 more times\n" + at + "\nB\n" +
                        at + "\nA\n");
}

// Without a handler the box appears on the X display and the call waits for its OK button; a
// SIGTERM (as SIGINT) ends a program whose box is open and would come back every frame.
TEST(ReportError, TheBoxClosesWithItsButtonAndASignalEndsTheLoopWithExitCodeZero) {
  CorvaneTest::VirtualDisplay display(640, 480);
  ASSERT_TRUE(display.Ok());
  auto outcome = CorvaneTest::RunInChild([&] {
    unsetenv("CORVANE_ERROR_BOX");
    QuitSignal::Install();
    const std::string box = "w=$(xdotool search --name '^Error$' | head -1) && [ -n \"$w\" ]";
    const std::string clickOk =
        box +
        " && eval $(xdotool getwindowgeometry --shell $w) && xdotool mousemove --window $w "
        "$((WIDTH / 2)) $((HEIGHT - 29)) click 1 2>/dev/null";
    std::atomic<bool> returned{false};
    std::thread closer([&] {
      // Clicks OK as a user would until the call returns (a click before the box is ready for it
      // is lost); then waits for the next box and sends the signal.
      CorvaneTest::WaitUntil([&] { return RunCommand(clickOk), returned.load(); }, 30);
      CorvaneTest::WaitUntil([&] { return RunCommand(box + " 2>/dev/null") == 0; }, 30);
      kill(getpid(), SIGTERM);
    });
    REPORT_ERROR("a box");
    returned = true;
    std::string errors = RunFrames({"the state is missing"});
    closer.join();
    return errors.find("the state is missing") == std::string::npos ? 3 : 0;
  });
  EXPECT_TRUE(outcome.ended && outcome.code == 0) << outcome.errors;
}

TEST(Log, SilentByDefaultAndLinesFromManyThreadsNeverInterleave) {
  EXPECT_TRUE(Log.GetFlags() & OutputStream::Silent);  // CORVANE_LOG is unset in the test run
  CorvaneTest::CapturedLog log;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 500; ++i) Log << 1 << " whole line " << 2 << std::endl;
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(log.Lines(), Lines(2000, "1 whole line 2"));  // a mix of two lines reads differently
}
