// Log: silent unless CORVANE_LOG names a target (see the header).
#include "core/OutputStream.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>

namespace CorvaneEngine {

namespace {
std::mutex& WriteLock() {
  static std::mutex lock;
  return lock;
}

// Where CORVANE_LOG asks the log to go; silent standard output when it is unset or empty.
OutputStream BuildLog() {
  const char* where = std::getenv("CORVANE_LOG");
  if (!where || !*where) return OutputStream(&std::cout, OutputStream::Silent);
  if (std::strcmp(where, "stderr") == 0) return OutputStream(&std::cerr, 0);
  auto* file = new std::ofstream(where, std::ios::app);
  if (!*file) {
    delete file;
    return OutputStream(&std::cerr, 0);
  }
  return OutputStream(file, OutputStream::OwnsTarget);
}
}  // namespace

OutputStream::OutputStream(std::ostream* target, uint8_t flags)
    : std::ostream(nullptr), target(target), flags(flags) {}

OutputStream::~OutputStream() { ReleaseTarget(); }

void OutputStream::ReleaseTarget() {
  if (flags & OwnsTarget) delete target;
  target = nullptr;
}

void OutputStream::Redirect(std::ostream* newTarget, uint8_t newFlags) {
  std::lock_guard<std::mutex> guard(WriteLock());
  if (target != newTarget) ReleaseTarget();
  target = newTarget;
  flags = newFlags;
}

std::ostringstream& OutputStream::LineBuffer() {
  thread_local std::ostringstream line;
  return line;
}

OutputStream& OutputStream::operator<<(std::ostream& (*manipulator)(std::ostream&)) {
  if (!Speaks()) return *this;
  std::ostringstream& line = LineBuffer();
  manipulator(line);
  std::string text = line.str();
  line.str(std::string());
  std::lock_guard<std::mutex> guard(WriteLock());
  if (target) {
    target->write(text.data(), static_cast<std::streamsize>(text.size()));
    target->flush();
  }
  return *this;
}

// The log's target and flags are fixed before the program entry runs, as for any global.
OutputStream Log = BuildLog();

}  // namespace CorvaneEngine
