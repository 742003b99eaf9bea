// FuzzInputFile: the readers under fuzzing take a path, so each input is written to a file of
// the given name in a private temporary folder first. Whatever else a reader leaves in the
// folder (a kept copy of a damaged file, say) is removed before the next input, and the folder
// goes when the process ends. The readers' lines on std::cerr are silenced, since nearly every
// input is damaged and would print one; the sanitizers and the fuzzer write to the descriptor
// itself and are still heard.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

// The path of a file that now holds exactly `data`; aborts when it cannot be written, since
// every later input would then test nothing.
inline const char* FuzzInputFile(const uint8_t* data, size_t size, const char* name) {
  namespace fs = std::filesystem;
  static const fs::path& folder =
      *[] {  // never destroyed: the atexit runs after static destructors
        std::string pattern = (fs::temp_directory_path() / "corvane-fuzz-XXXXXX").string();
        if (::mkdtemp(&pattern[0]) == nullptr) std::abort();
        std::cerr.rdbuf(nullptr);
        std::atexit([] {
          std::error_code ignored;
          fs::remove_all(folder, ignored);
        });
        return new fs::path(pattern);
      }();
  static const std::string path = (folder / name).string();
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path() != path) fs::remove_all(entry.path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)).flush())
    std::abort();
  return path.c_str();
}
