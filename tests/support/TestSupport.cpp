#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
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

ChangeDir::ChangeDir(const std::filesystem::path& to) : previous(std::filesystem::current_path()) {
  std::filesystem::current_path(to);
}

ChangeDir::~ChangeDir() {
  std::filesystem::current_path(previous);
}

CapturedLog::CapturedLog() {
  CorvaneEngine::Log.Redirect(&stream, 0);
}

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
void Collect(const char* text) {
  reports.emplace_back(text);
}
}  // namespace

CapturedErrorReports::CapturedErrorReports() {
  reports.clear();
  CorvaneEngine::SetErrorReportHandler(&Collect);
}

CapturedErrorReports::~CapturedErrorReports() {
  CorvaneEngine::SetErrorReportHandler(nullptr);
}

const std::vector<std::string>& CapturedErrorReports::Reports() const {
  return reports;
}

bool WaitUntil(const std::function<bool()>& condition, int seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

LogFile::LogFile(const std::filesystem::path& file) : path(file), out(file) {
  CorvaneEngine::Log.Redirect(&out, 0);
}

LogFile::~LogFile() {
  CorvaneEngine::Log.Redirect(nullptr, CorvaneEngine::OutputStream::Silent);
}

CapturedStderr::CapturedStderr(const std::filesystem::path& file) : path(file), saved(dup(2)) {
  fflush(stderr);
  int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(fd, 2);
  close(fd);
}

std::string CapturedStderr::Text() {
  if (saved >= 0) {
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    saved = -1;
  }
  return ReadFile(path);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

ChildOutcome RunInChild(const std::function<int()>& work, std::chrono::seconds deadline) {
  int errors[2];
  if (pipe(errors) != 0) return {false, -1, "pipe failed"};
  std::cerr.flush();
  pid_t child = fork();
  if (child == 0) {
    dup2(errors[1], STDERR_FILENO);
    close(errors[0]);
    int code = work();
    std::cerr.flush();
    std::fflush(stderr);
    _exit(code);
  }
  close(errors[1]);
  ChildOutcome outcome{false, -1, ""};
  const auto end = std::chrono::steady_clock::now() + deadline;
  // The child's standard error ends when the child does.
  for (auto now = std::chrono::steady_clock::now(); child > 0 && now < end;
       now = std::chrono::steady_clock::now()) {
    pollfd ready{errors[0], POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
    if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[4096];
    ssize_t got = read(errors[0], chunk, sizeof chunk);
    if (got <= 0) {
      outcome.ended = true;
      break;
    }
    outcome.errors.append(chunk, static_cast<size_t>(got));
  }
  close(errors[0]);
  if (child > 0 && !outcome.ended) kill(child, SIGKILL);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    outcome.code = WEXITSTATUS(status);
  } else {
    outcome.ended = false;
  }
  return outcome;
}

}  // namespace CorvaneTest
