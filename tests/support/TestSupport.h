// Helpers shared by the test suites: scratch folders, captured log lines and error reports.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace CorvaneTest {

// A fresh, empty folder under the build tree that is removed again by the destructor.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name);
  ~ScratchDir();
  const std::filesystem::path& Path() const { return path; }
  // Writes a file below the folder (creating parent folders) and returns its path.
  std::filesystem::path Write(const std::string& relative, const std::string& contents) const;

 private:
  std::filesystem::path path;
};

// Makes the current directory the given one for the lifetime of the object.
class ChangeDir {
 public:
  explicit ChangeDir(const std::filesystem::path& to);
  ~ChangeDir();

 private:
  std::filesystem::path previous;
};

// Sends the engine's Log into a string for the lifetime of the object.
class CapturedLog {
 public:
  CapturedLog();
  ~CapturedLog();
  std::string Text() const { return stream.str(); }
  std::vector<std::string> Lines() const;

 private:
  std::ostringstream stream;
};

// Collects ReportError texts in place of the box for the lifetime of the object.
class CapturedErrorReports {
 public:
  CapturedErrorReports();
  ~CapturedErrorReports();
  const std::vector<std::string>& Reports() const;
};

std::string ReadFile(const std::filesystem::path& path);

// Polls `condition` every few milliseconds until it holds (false after `seconds`).
bool WaitUntil(const std::function<bool()>& condition, int seconds = 20);

// Sends the engine's log into a file, which a test may read while another thread writes (a
// string stream could not be read safely meanwhile).
class LogFile {
 public:
  explicit LogFile(const std::filesystem::path& file);
  ~LogFile();
  std::string Text() const { return ReadFile(path); }
  bool Says(const std::string& text) const { return Text().find(text) != std::string::npos; }

 private:
  std::filesystem::path path;
  std::ofstream out;
};

// Standard error of this process, sent into a file until Text() or the end of the object.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::filesystem::path& file);
  ~CapturedStderr() { Text(); }
  // Read from the file, so polling it shares no memory with the thread that writes.
  bool Says(const std::string& text) const {
    return ReadFile(path).find(text) != std::string::npos;
  }
  std::string Text();

 private:
  std::filesystem::path path;
  int saved;
};

// What a function run in a child process did: whether it ended before the deadline, its answer
// (the exit code) and what it wrote to standard error.
struct ChildOutcome {
  bool ended;
  int code;
  std::string errors;
};

// Runs `work` in a forked child, for what may block or must run under other limits or another
// user; a child still running at the deadline is killed.
ChildOutcome RunInChild(const std::function<int()>& work,
                        std::chrono::seconds deadline = std::chrono::seconds(120));

}  // namespace CorvaneTest
