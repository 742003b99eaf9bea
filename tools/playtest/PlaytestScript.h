// PlaytestScript: the steps of a headless playtest, read from a small text file, one step a line
// ("#" starts a comment):
//
//   expect-stderr <text>              a line containing <text> may appear on standard error
//   until <condition> [within <s>]    wait until the condition holds (at most <s> s, default 30)
//   hold <key> until <condition> [within <s>]   the key stays down while waiting, then goes up
//   keydown <key> | keyup <key>       xdotool key names (space, Left, a, alt ...)
//   press <keys>                      a key press and release, such as alt+F4 or Return
//   type <text>                       types the rest of the line
//   click <x>,<y>                     a left click at a window pixel
//   screenshot <file>                 a PNG of the screen in the output folder
//   signal TERM|INT|KILL              sends the signal to the game
//   exit <code> [within <s>]          waits for the game to end and checks its exit code
//
// Conditions: "window [<caption>]", "pixel <x>,<y> red|green|blue|#rrggbb", "stderr <text>",
// "sound" (the recording is no longer silent), "file <path>" (relative to the game's folder; a
// trailing "*" matches any name that starts so), "file <path> contains <text>".
//
// Threads: any; no shared state.
#pragma once

#include <string>
#include <vector>

namespace CorvanePlaytest {

struct Condition {
  enum class Kind { Window, Pixel, Stderr, Sound, File };
  Kind kind = Kind::Window;
  std::string text;      // caption, stderr text, file path
  std::string contains;  // file text
  int x = 0, y = 0;
  std::string colour;  // red, green, blue or #rrggbb
};

struct Step {
  enum class Kind { Until, Hold, KeyDown, KeyUp, Press, Type, Click, Screenshot, Signal, Exit };
  Kind kind = Kind::Until;
  int line = 0;
  std::string source;    // the line as written, for messages
  std::string argument;  // key, keys, text, file, signal name
  Condition condition;
  int x = 0, y = 0;
  int exitCode = 0;
  double seconds = 30;
};

struct PlaytestScript {
  std::vector<Step> steps;
  std::vector<std::string> expectedStderr;

  // Parses `text`; on a mistake returns false with "<line>: <what>" in `error`.
  bool Parse(const std::string& text, std::string& error);
};

}  // namespace CorvanePlaytest
