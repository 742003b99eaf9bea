// corvane-playtest's failures: each kind of broken game is reported with one line that names
// the script line and what happened, and a non-zero exit code.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "VirtualDisplay.h"

namespace {

struct Case {
  const char* script;
  const char* game;      // a shell script standing in for the game
  const char* expected;  // in the tool's standard error
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
  };
  CorvaneTest::ScratchDir dir("playtest ü");
  for (const Case& c : cases) {
    dir.Write("script.playtest", c.script);
    std::string game = dir.Write("game.sh", c.game).string();
    std::string report =
        CorvaneTest::CommandOutput("cd '" + dir.Path().string() +
                                   "' && '" CORVANE_PLAYTEST "' --out out script.playtest sh '" +
                                   game + "' 2>&1; echo \"exit $?\"");
    EXPECT_NE(std::string::npos, report.find("playtest: " + std::string(c.expected) + "\nplaytest"))
        << report;
    EXPECT_NE(std::string::npos, report.find("\nexit 1\n")) << report;
  }
  // An output folder that the tool did not make is not emptied.
  dir.Write("mine/keep.txt", "mine");
  std::string report = CorvaneTest::CommandOutput("cd '" + dir.Path().string() +
                                                  "' && '" CORVANE_PLAYTEST
                                                  "' --out mine script.playtest true 2>&1");
  EXPECT_NE(std::string::npos, report.find("holds files of something else than a playtest"))
      << report;
  EXPECT_EQ("mine", CorvaneTest::ReadFile(dir.Path() / "mine/keep.txt"));
}

}  // namespace
