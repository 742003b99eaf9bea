#include "TestSupport.h"

#include <unistd.h>

#include <fstream>

#include "core/OutputStream.h"
#include "core/ReportError.h"

namespace CorvaneTest {

ScratchDir::ScratchDir(const std::string& name) {
  path = std::filesystem::path(CORVANE_BINARY_DIR) / "scratch" /
         (name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::filesystem::path ScratchDir::Write(const std::string& relative,
                                        const std::string& contents) const {
  std::filesystem::path file = path / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << contents;
  return file;
}

ChangeDir::ChangeDir(const std::filesystem::path& to)
    : previous(std::filesystem::current_path()) {
  std::filesystem::current_path(to);
}

ChangeDir::~ChangeDir() { std::filesystem::current_path(previous); }

CapturedLog::CapturedLog() { CorvaneEngine::Log.Redirect(&stream, 0); }

CapturedLog::~CapturedLog() {
  CorvaneEngine::Log.Redirect(nullptr, CorvaneEngine::OutputStream::Silent);
}

std::vector<std::string> CapturedLog::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(stream.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {
std::vector<std::string> reports;
void Collect(const char* text) { reports.emplace_back(text); }
}  // namespace

CapturedErrorReports::CapturedErrorReports() {
  reports.clear();
  CorvaneEngine::SetErrorReportHandler(&Collect);
}

CapturedErrorReports::~CapturedErrorReports() { CorvaneEngine::SetErrorReportHandler(nullptr); }

const std::vector<std::string>& CapturedErrorReports::Reports() const { return reports; }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace CorvaneTest
