// corvane-playtest's failures: each kind of broken game is reported with one line that names
// the script line and what happened, and a non-zero exit code.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "VirtualDisplay.h"  // CommandOutput

namespace {

struct Case {
  const char* script;
  const char* game;      // a shell script standing in for the game
  const char* expected;  // in the tool's standard error, before the line naming its files
  const char* out = "out";
};

TEST(Playtest, ReportsEveryKindOfFailureWithOneClearLineAndExitCodeOne) {
  const Case cases[] = {
      {"until window\n", "kill -SEGV $$",
       "script.playtest:1: until window: the game crashed with signal 11 (Segmentation fault) "
       "before that happened"},
      {"\n\nuntil window within 1\n", "exec sleep 100",
       "script.playtest:3: until window within 1: not within 1 s: no window"},
      {"until window\nuntil pixel 1,1 green within 1\n",
       "exec xmessage -geometry 200x100+0+0 -bg '#ff0000' hello",
       "script.playtest:2: until pixel 1,1 green within 1: not within 1 s: the pixel is 255,0,0"},
      {"expect-stderr fine\nexit 0\n", "echo 'all is fine' >&2; echo 'surprise' >&2",
       "script.playtest: unexpected line on standard error: surprise"},
      {"exit 0\n", "exit 3", "script.playtest:1: exit 0: the game ended with exit code 3"},
      // An output folder that the tool did not make is not emptied.
      {"exit 0\n", "true", "mine holds files of something else than a playtest", "mine"},
  };
  CorvaneTest::ScratchDir dir("playtest ü");
  dir.Write("mine/keep.txt", "mine");
  for (const Case& c : cases) {
    dir.Write("script.playtest", c.script);
    std::string game = dir.Write("game.sh", c.game).string();
    std::string report = CorvaneTest::CommandOutput(
        "cd '" + dir.Path().string() + "' && '" CORVANE_PLAYTEST "' --out " + c.out +
        " script.playtest sh '" + game + "' 2>&1; echo \"exit $?\"");
    EXPECT_NE(std::string::npos, report.find(c.expected + std::string("\nplaytest"))) << report;
    EXPECT_NE(std::string::npos, report.find("\nexit 1\n")) << report;
  }
  EXPECT_EQ("mine", CorvaneTest::ReadFile(dir.Path() / "mine/keep.txt"));
}

}  // namespace
