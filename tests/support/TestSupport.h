// Helpers shared by the test suites: scratch folders, captured log lines and error reports.
#pragma once

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

}  // namespace CorvaneTest
