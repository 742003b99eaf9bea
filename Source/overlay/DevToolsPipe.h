// DevToolsPipe: the headless browser's child process and the private pipe the DevTools protocol
// runs on. The child gets the commands on its file descriptor 3 and answers on 4; every message
// is one JSON text ended by a NUL byte. The pipe opens no TCP port (only CORVANE_DEVTOOLS_PORT
// asks the browser for one: DebugPort).
//
// The child cannot outlive the game: it is killed when the thread that started it ends (parent
// death signal, also on SIGKILL of the game), and it quits by itself when the command pipe closes.
//
// Threads: Send and Stop from any thread (each serialised by a lock); Receive from one reader
// thread only; Start from the owning thread.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace CorvaneEngine {

class DevToolsPipe {
 public:
  enum class Received { Message, Nothing, Closed };

  DevToolsPipe() = default;
  ~DevToolsPipe();
  DevToolsPipe(const DevToolsPipe&) = delete;
  DevToolsPipe& operator=(const DevToolsPipe&) = delete;

  // Starts `arguments[0]` with the pipe on fds 3 and 4 and standard output and error silenced.
  // False (with the reason in `error`) when the program cannot be started at all.
  bool Start(const std::vector<std::string>& arguments, std::string& error);

  // Sends one command; the id is taken from a counter and returned (0 when the pipe is closed).
  // `paramsJson` is a JSON object text; `sessionId` may be empty (a browser-level command).
  int32_t Send(const char* method, const std::string& paramsJson, const std::string& sessionId);

  // Reader thread: the next message into `message`. With `wait` false, answers Nothing at once
  // when no whole message is available yet; with a `waitLimitMilliseconds` of 0 or more, answers
  // Nothing when none came within that time. Closed at end of file (the child is gone).
  Received Receive(std::string& message, bool wait, int waitLimitMilliseconds = -1);

  // Asks the child to quit by closing its command pipe, waits up to `graceMilliseconds` for it,
  // then kills it and its process group. Reaps it in both cases; a second call finds it gone. The
  // read side stays open until the destructor so the reader thread sees end of file rather than a
  // closed descriptor.
  void Stop(int graceMilliseconds);

  pid_t ProcessId() const { return child; }

 private:
  bool WriteAll(const char* data, size_t size);
  void TakeMessage(std::string& message, size_t end);

  std::mutex processLock;  // held from a look at `child` until it is reaped
  std::atomic<pid_t> child{-1};
  int commandFd = -1;  // our end of the child's fd 3
  int answerFd = -1;   // our end of the child's fd 4
  std::mutex writeLock;
  std::atomic<int32_t> nextId{1};
  std::string buffer;  // bytes read; those before `taken` were handed out already
  size_t taken = 0;
  size_t scanned = 0;  // bytes of `buffer` known to hold no NUL
};

}  // namespace CorvaneEngine
