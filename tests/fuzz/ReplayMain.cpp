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

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    std::vector<fs::path> files{argv[i]};
    if (fs::is_directory(argv[i], error)) {
      files.clear();  // sorted, so that every run takes them in the same order
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
        if (entry.path().filename().string()[0] != '.') files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    }
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!in.is_open() || in.bad())
        return std::fprintf(stderr, "%s: cannot be read\n", file.c_str()), 1;
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "%zu inputs replayed\n", replayed);
  return replayed > 0 ? 0 : 1;
}
