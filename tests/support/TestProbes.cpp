#include "TestProbes.h"

#include <cctype>
#include <cstring>

#include "TestSupport.h"

namespace CorvaneTest {

bool WaitUntilBlocked(pid_t thread) {
  const std::string stat = "/proc/self/task/" + std::to_string(thread) + "/stat";
  return WaitUntil([&] {
    // The state follows the command name, which is in parentheses and may hold any character.
    const std::string text = ReadFile(stat);
    const size_t nameEnd = text.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < text.size() && text[nameEnd + 2] == 'S';
  });
}

std::string PathOfFileURL(const std::string& url) {
  const std::string scheme = "file://";
  if (url.compare(0, scheme.size(), scheme) != 0) return "";
  std::string path;
  for (size_t at = scheme.size(); at < url.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(url[at]);
    if (c == '%' && at + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[at + 1])) &&
        std::isxdigit(static_cast<unsigned char>(url[at + 2]))) {
      path.push_back(static_cast<char>(std::stoi(url.substr(at + 1, 2), nullptr, 16)));
      at += 2;
    } else if (c > 0x20 && c < 0x7F && std::strchr("\"#%<>?[\\]^`{|}", c) == nullptr) {
      path.push_back(static_cast<char>(c));
    } else {
      return "";
    }
  }
  return path;
}

}  // namespace CorvaneTest
