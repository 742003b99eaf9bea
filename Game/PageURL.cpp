#include "PageURL.h"

#include <filesystem>
#include <system_error>

#include "overlay/FileURL.h"

using CorvaneEngine::FileURL;
using CorvaneEngine::SharedString;

SharedString PageURL(const char* page) {
  std::error_code error;
  std::filesystem::path directory = std::filesystem::current_path(error);
  return FileURL(error ? "/" : directory.c_str(), page);
}
