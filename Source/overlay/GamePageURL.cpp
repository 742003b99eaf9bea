#include "overlay/GamePageURL.h"

#include <limits.h>
#include <stdlib.h>

#include <memory>

namespace CorvaneEngine {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path part of a file URL with its escapes decoded; false for anything that is not a file
// URL on this machine, or whose path hides a NUL (a path the system would cut short).
bool DecodedPath(const std::string& url, std::string& path) {
  static const std::string kScheme = "file://";
  if (url.compare(0, kScheme.size(), kScheme) != 0) return false;
  size_t start = kScheme.size();
  // The host: empty or "localhost" only; a file on another host is not the game's.
  size_t slash = url.find('/', start);
  if (slash == std::string::npos) return false;
  const std::string host = url.substr(start, slash - start);
  if (!host.empty() && host != "localhost") return false;
  const size_t end = url.find_first_of("?#", slash);
  const std::string raw = url.substr(slash, end == std::string::npos ? end : end - slash);
  path.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    int high, low;
    if (raw[i] == '%' && i + 2 < raw.size() && (high = HexValue(raw[i + 1])) >= 0 &&
        (low = HexValue(raw[i + 2])) >= 0) {
      path.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      path.push_back(raw[i]);
    }
  }
  return path.find('\0') == std::string::npos;
}

std::string RealPath(const char* path) {
  std::unique_ptr<char, decltype(&free)> resolved(realpath(path, nullptr), &free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

std::string CanonicalFilePath(const std::string& url) {
  std::string path;
  if (!DecodedPath(url, path)) return std::string();
  return RealPath(path.c_str());
}

bool IsGamePageURL(const std::string& url) {
  const std::string file = CanonicalFilePath(url);
  if (file.empty()) return false;
  std::string folder = RealPath(".");
  if (folder.empty()) return false;
  if (folder.back() != '/') folder.push_back('/');
  return file.compare(0, folder.size(), folder) == 0;
}

}  // namespace CorvaneEngine
