// OutputStream and Log: the engine's one-line diagnostics channel.
//
// Log is silent by default: every insertion is dropped. The environment variable CORVANE_LOG
// makes it speak without a rebuild: "stderr" writes to standard error, any other text is a file
// path that lines are appended to. Insertions collect in a per-thread line buffer that is written
// to the target, under a lock, when a manipulator (std::endl) ends the line, so lines from the
// resource thread, the browser thread and the main thread never interleave.
//
// Threads: any thread may insert.
#pragma once

#include <cstdint>
#include <ostream>
#include <sstream>

namespace CorvaneEngine {

class OutputStream : public std::ostream {
public:
  enum Flags : uint8_t { OwnsTarget = 2, Silent = 4 };

  OutputStream(std::ostream* target, uint8_t flags);
  ~OutputStream() override;

  template <typename T>
  OutputStream& operator<<(const T& value) {
    if (Speaks()) LineBuffer() << value;
    return *this;
  }
  OutputStream& operator<<(std::ostream& (*manipulator)(std::ostream&));

  // Points the log somewhere else (used for CORVANE_LOG and by tests that read log lines).
  void Redirect(std::ostream* newTarget, uint8_t newFlags);
  uint8_t GetFlags() const { return flags; }
  std::ostream* GetTarget() const { return target; }

private:
  bool Speaks() const { return !(flags & Silent) && target != nullptr; }
  static std::ostringstream& LineBuffer();
  void ReleaseTarget();

  std::ostream* target;
  uint8_t flags;
};

extern OutputStream Log;

}  // namespace CorvaneEngine
