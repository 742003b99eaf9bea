// The main of a fuzz target outside the fuzzing build: feeds it every file named on the command
// line and every file in the folders named there (the seed corpus and the kept crash inputs)
// once, so that the test run replays them without fuzzing. Names starting with '.' are skipped
// (.gitkeep holds an empty folder in place). Exit code 0 when every input was replayed and there
// was at least one; a crash ends the program as it would end the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The files to replay for one argument, sorted so that every run takes them in the same order.
std::vector<fs::path> InputsOf(const fs::path& argument) {
  std::vector<fs::path> files;
  if (!fs::is_directory(argument)) return {argument};
  for (const fs::directory_entry& entry : fs::directory_iterator(argument)) {
    if (entry.path().filename().string()[0] != '.') files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (!fs::exists(argv[i], error)) {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 1;
    }
    for (const fs::path& file : InputsOf(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
      if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return 1;
      }
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "%zu inputs replayed\n", replayed);
  return replayed > 0 ? 0 : 1;
}
