// Helpers shared by the test suites: scratch folders, captured logs, error reports and standard
// error, one way to wait for a condition (or for another thread to block), work run in a child
// process, and the file a file URL names.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/OutputStream.h"
#include "core/ReportError.h"

namespace CorvaneTest {

std::string ReadFile(const std::filesystem::path& path);

// Polls `condition` every few milliseconds until it holds (false after `seconds`).
bool WaitUntil(const std::function<bool()>& condition, int seconds = 20);

// Waits (20 s at most) until the thread of this process with the system id `thread` sleeps in the
// kernel: blocked on a lock, a join or a wait. Lets a test act only once another thread has
// reached the wait it is about; false when it never got there.
bool WaitUntilBlocked(pid_t thread);

// The file path that a "file://" URL names, read as a browser reads it (every %XX is its byte);
// "" when the URL is not a file URL or holds a byte that may not stand in a URL as it is (a space,
// '#', '?', '%' without two hex digits, a control or non-ASCII byte...).
std::string PathOfFileURL(const std::string& url);

// A fresh, empty folder under the build tree that is removed again by the destructor.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name)
      : path(std::filesystem::path(CORVANE_BINARY_DIR) / "scratch" /
             (name + "-" + std::to_string(getpid()))) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  const std::filesystem::path& Path() const { return path; }
  // Writes a file below the folder (creating parent folders) and returns its path.
  std::filesystem::path Write(const std::string& relative, const std::string& contents) const {
    std::filesystem::create_directories((path / relative).parent_path());
    std::ofstream(path / relative, std::ios::binary) << contents;
    return path / relative;
  }

 private:
  std::filesystem::path path;
};

// Makes the current directory the given one for the lifetime of the object.
struct ChangeDir {
  explicit ChangeDir(const std::filesystem::path& to) { std::filesystem::current_path(to); }
  ~ChangeDir() { std::filesystem::current_path(previous); }
  const std::filesystem::path previous = std::filesystem::current_path();
};

// Sends the engine's Log into a string for the lifetime of the object.
class CapturedLog {
 public:
  CapturedLog() { CorvaneEngine::Log.Redirect(&stream, 0); }
  ~CapturedLog() { CorvaneEngine::Log.Redirect(nullptr, CorvaneEngine::OutputStream::Silent); }
  std::string Text() const { return stream.str(); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(stream.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::ostringstream stream;
};

// Sends the engine's log into a file, which a test may read while another thread writes (a
// string stream could not be read safely meanwhile).
class LogFile {
 public:
  explicit LogFile(const std::filesystem::path& file) : path(file), out(file) {
    CorvaneEngine::Log.Redirect(&out, 0);
  }
  ~LogFile() { CorvaneEngine::Log.Redirect(nullptr, CorvaneEngine::OutputStream::Silent); }
  std::string Text() const { return ReadFile(path); }
  bool Says(const std::string& text) const { return Text().find(text) != std::string::npos; }

 private:
  std::filesystem::path path;
  std::ofstream out;
};

// Collects ReportError texts in place of the box for the lifetime of the object.
struct CapturedErrorReports {
  CapturedErrorReports() {
    reports.clear();
    CorvaneEngine::SetErrorReportHandler([](const char* text) { reports.emplace_back(text); });
  }
  ~CapturedErrorReports() { CorvaneEngine::SetErrorReportHandler(nullptr); }
  static std::vector<std::string>& Reports() { return reports; }
  inline static std::vector<std::string> reports;
};

// Standard error of this process, sent into a file until Text() or the end of the object.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::filesystem::path& file) : path(file), saved(dup(2)) {
    std::fflush(stderr);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2), close(fd);
  }
  ~CapturedStderr() { Text(); }
  // Read from the file, so polling it shares no memory with the thread that writes.
  bool Says(const std::string& text) const {
    return ReadFile(path).find(text) != std::string::npos;
  }
  std::string Text() {
    if (saved >= 0) std::fflush(stderr), dup2(saved, 2), close(saved), saved = -1;
    return ReadFile(path);
  }

 private:
  std::filesystem::path path;
  int saved;
};

// What a function run in a child process did: whether it exited before the deadline, its answer
// (the exit code) and what it wrote to standard error.
struct ChildOutcome {
  bool ended;
  int code;
  std::string errors;
};

// Runs `work` in a forked child, for what may block, crash or change the whole process, while
// `meanwhile` runs here; a child still running at the deadline is killed.
ChildOutcome RunInChild(const std::function<int()>& work,
                        std::chrono::seconds deadline = std::chrono::seconds(120),
                        const std::function<void()>& meanwhile = {});

}  // namespace CorvaneTest
