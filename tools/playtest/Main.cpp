// corvane-playtest: a headless playtest of a game from a script (see PlaytestScript.h).
//
//   corvane-playtest [--folder DIR] [--out DIR] [--size WxH] SCRIPT GAME [ARGUMENTS...]
#include <cstdio>
#include <cstring>
#include <string>

#include "Playtest.h"

namespace {

const char kUsage[] =
    "usage: corvane-playtest [--folder DIR] [--out DIR] [--size WxH] SCRIPT GAME [ARGUMENTS...]\n"
    "  --folder DIR  the game's working directory, copied fresh (without config.xml) for the run\n"
    "  --out DIR     where the copy, stderr.txt, sound.wav and screenshots go (default: a new\n"
    "                folder in the temporary folder)\n"
    "  --size WxH    size of the private display (1280x720)\n";

}  // namespace

int main(int argc, char** argv) {
  CorvanePlaytest::PlaytestOptions options;
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    std::string option = argv[i];
    if (option == "--folder") {
      options.folder = argv[i + 1];
    } else if (option == "--out") {
      options.out = argv[i + 1];
    } else if (option != "--size" ||
               std::sscanf(argv[i + 1], "%dx%d", &options.width, &options.height) != 2) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (argc - i < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options.script = argv[i];
  options.game.assign(argv + i + 1, argv + argc);
  return CorvanePlaytest::RunPlaytest(options);
}
