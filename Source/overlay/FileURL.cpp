#include "overlay/FileURL.h"

#include <string>

namespace CorvaneEngine {

namespace {

// Bytes that may stand in a URL path as they are. Everything else, '%' and every byte of a
// multi-byte character included, is written as %XX.
bool IsPlainPathByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

void AppendEncoded(std::string& url, const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* p = text; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (IsPlainPathByte(c)) {
      url.push_back(static_cast<char>(c));
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 0x0F]);
    }
  }
}

}  // namespace

SharedString FileURL(const char* directory, const char* page) {
  std::string url = "file://";
  // The directory is absolute and so starts with '/', the one slash that follows the (empty)
  // host; a root directory "/" must not give "//" before the page.
  std::string path = directory;
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  if (path == "/") path.clear();
  AppendEncoded(url, path.c_str());
  AppendEncoded(url, page);
  return SharedString(url.c_str(), static_cast<uint32_t>(url.size()));
}

}  // namespace CorvaneEngine
