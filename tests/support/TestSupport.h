// Helpers shared by the test suites: scratch folders, captured log lines and error reports.
#pragma once

#include <sys/types.h>

#include <filesystem>
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

// Waits (20 s at most) until the thread of this process with the system id `thread` sleeps in the
// kernel: blocked on a lock, a join or a wait. Lets a test act only once another thread has
// reached the wait it is about; false when it never got there.
bool WaitUntilBlocked(pid_t thread);

// The file path that a "file://" URL names, read as a browser reads it (every %XX is its byte);
// "" when the URL is not a file URL or holds a byte that may not stand in a URL as it is (a space,
// '#', '?', '%' without two hex digits, a control or non-ASCII byte...).
std::string PathOfFileURL(const std::string& url);

}  // namespace CorvaneTest
