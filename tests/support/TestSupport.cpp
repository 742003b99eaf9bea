#include "TestSupport.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

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

bool WaitUntilBlocked(pid_t thread) {
  const std::string stat = "/proc/self/task/" + std::to_string(thread) + "/stat";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    // The state follows the command name, which is in parentheses and may hold any character.
    const std::string text = ReadFile(stat);
    const size_t nameEnd = text.rfind(')');
    if (nameEnd != std::string::npos && nameEnd + 2 < text.size() && text[nameEnd + 2] == 'S') {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
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
