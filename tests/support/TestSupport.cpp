#include "TestSupport.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <iostream>
#include <thread>

namespace CorvaneTest {

std::string ReadFile(const std::filesystem::path& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

bool WaitUntil(const std::function<bool()>& condition, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool WaitUntilBlocked(pid_t thread) {
  const std::string stat = "/proc/self/task/" + std::to_string(thread) + "/stat";
  return WaitUntil([&] {
    // The state follows the command name, which is in parentheses and may hold any character.
    const std::string text = ReadFile(stat);
    const size_t nameEnd = text.rfind(')');
    return nameEnd != std::string::npos && text.compare(nameEnd, 3, ") S") == 0;
  });
}

std::string PathOfFileURL(const std::string& url) {
  const std::string scheme = "file://", hex = "0123456789ABCDEFabcdef";
  if (url.compare(0, scheme.size(), scheme) != 0) return "";
  std::string path;
  for (size_t at = scheme.size(); at < url.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(url[at]);
    if (c == '%' && at + 2 < url.size() && url.find_first_not_of(hex, at + 1) > at + 2)
      path += static_cast<char>(std::stoi(url.substr(at + 1, 2), nullptr, 16)), at += 2;
    else if (c > 0x20 && c < 0x7F && std::strchr("\"#%<>?[\\]^`{|}", c) == nullptr)
      path += static_cast<char>(c);
    else
      return "";
  }
  return path;
}

ChildOutcome RunInChild(const std::function<int()>& work, std::chrono::seconds deadline,
                        const std::function<void()>& meanwhile) {
  FILE* errors = std::tmpfile();  // shared with the child, read once it has ended
  std::cerr.flush(), std::fflush(stderr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(errors), STDERR_FILENO);
    const int code = work();
    std::cerr.flush(), std::fflush(stderr);
    _exit(code);
  }
  if (meanwhile) meanwhile();
  int status = 0;
  auto exited = [&] { return waitpid(child, &status, WNOHANG) == child; };
  const bool ended = WaitUntil(exited, static_cast<int>(deadline.count()));
  if (!ended) kill(child, SIGKILL), waitpid(child, &status, 0);
  const ChildOutcome outcome{ended && WIFEXITED(status),
                             WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                             ReadFile("/proc/self/fd/" + std::to_string(fileno(errors)))};
  std::fclose(errors);
  return outcome;
}

}  // namespace CorvaneTest
