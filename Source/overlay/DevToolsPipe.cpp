#include "overlay/DevToolsPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace CorvaneEngine {

namespace {

// A read that waits for the next message takes this much at first; once bytes are queued, a read
// takes exactly what is there.
constexpr size_t kFirstRead = 4096;
// A page picture is a megabyte or more of base64. With the usual 64 KB pipe the browser writes it
// in some twenty pieces, and both sides wake for every piece; under load each of those wake-ups
// waits for a core. A pipe of this size takes a picture whole; where an unprivileged process may
// not have that much (1 MB by default), it is halved until it fits, and a picture comes in two.
constexpr int kAnswerPipeBytes = 4 * 1024 * 1024;
constexpr int kChildStatusFd = 5;  // the child's end of the exec status pipe

// Moves a descriptor above the range the child's fixed descriptors use, close-on-exec.
int Lift(int fd) {
  int lifted = fcntl(fd, F_DUPFD_CLOEXEC, 10);
  close(fd);
  return lifted;
}

void GrowPipe(int fd) {
  for (int bytes = kAnswerPipeBytes; bytes > 64 * 1024; bytes /= 2) {
    if (fcntl(fd, F_SETPIPE_SZ, bytes) >= 0) return;
  }
}

void SleepMilliseconds(int milliseconds) {
  timespec pause{0, milliseconds * 1000000L};
  nanosleep(&pause, nullptr);
}

}  // namespace

DevToolsPipe::~DevToolsPipe() {
  Stop(0);
  if (answerFd >= 0) close(answerFd);
}

bool DevToolsPipe::Start(const std::vector<std::string>& arguments, std::string& error) {
  if (arguments.empty()) return false;
  int commands[2], answers[2], status[2];
  if (pipe2(commands, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (pipe2(answers, O_CLOEXEC) != 0 || pipe2(status, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    close(commands[0]);
    close(commands[1]);
    return false;
  }
  GrowPipe(answers[0]);
  // Above fd 9, so that placing them on 3, 4 and 5 in the child can never overwrite one another.
  int childIn = Lift(commands[0]), childOut = Lift(answers[1]), childStatus = Lift(status[1]);

  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();

  pid_t pid = fork();
  if (pid == 0) {
    // Dies with the thread that started it, even when the game is killed outright.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // Its own process group, so that ending it by force also ends whatever it started.
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    dup2(childIn, 3);
    dup2(childOut, 4);
    // The status pipe stays close-on-exec: a successful exec closes it, a failed one reports
    // its errno on it.
    dup3(childStatus, kChildStatusFd, O_CLOEXEC);
    // Nothing else of the game's (X connection, sound devices, files) leaks into the browser.
    syscall(SYS_close_range, kChildStatusFd + 1U, ~0U, 0U);
    execv(argv[0], argv.data());
    int reason = errno;
    ssize_t ignored = write(kChildStatusFd, &reason, sizeof reason);
    (void)ignored;
    _exit(127);
  }
  close(childIn);
  close(childOut);
  close(childStatus);
  if (pid < 0) {
    error = std::strerror(errno);
    close(status[0]);
    close(commands[1]);
    close(answers[0]);
    return false;
  }
  // End of file on the status pipe: the exec succeeded. An errno: it failed.
  int reason = 0;
  ssize_t got;
  do {
    got = read(status[0], &reason, sizeof reason);
  } while (got < 0 && errno == EINTR);
  close(status[0]);
  if (got == static_cast<ssize_t>(sizeof reason)) {
    waitpid(pid, nullptr, 0);
    close(commands[1]);
    close(answers[0]);
    error = std::strerror(reason);
    return false;
  }
  child = pid;
  commandFd = commands[1];
  answerFd = answers[0];
  return true;
}

bool DevToolsPipe::WriteAll(const char* data, size_t size) {
  // A child that died turns the write into EPIPE; the signal that comes with it must not end the
  // game, so it is blocked for this thread and swallowed if it became pending.
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  bool ok = true;
  while (size > 0) {
    ssize_t written = write(commandFd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) {
        timespec zero{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &zero);
      }
      ok = false;
      break;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return ok;
}

int32_t DevToolsPipe::Send(const char* method, const std::string& paramsJson,
                           const std::string& sessionId) {
  std::lock_guard<std::mutex> guard(writeLock);
  if (commandFd < 0) return 0;
  int32_t id = nextId++;
  std::string message = "{\"id\":" + std::to_string(id) + ",\"method\":\"" + method +
                        "\",\"params\":" + (paramsJson.empty() ? "{}" : paramsJson);
  if (!sessionId.empty()) message += ",\"sessionId\":\"" + sessionId + "\"";
  message += "}";
  message.push_back('\0');
  return WriteAll(message.data(), message.size()) ? id : 0;
}

DevToolsPipe::Received DevToolsPipe::Receive(std::string& message, bool wait,
                                             int waitLimitMilliseconds) {
  if (answerFd < 0) return Received::Closed;
  const bool limited = wait && waitLimitMilliseconds >= 0;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(waitLimitMilliseconds);
  for (;;) {
    size_t end = buffer.find('\0', std::max(scanned, taken));
    if (end != std::string::npos) {
      TakeMessage(message, end);
      return Received::Message;
    }
    scanned = buffer.size();
    if (!wait || limited) {
      int timeout = 0;
      if (limited) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
      }
      pollfd ready{answerFd, POLLIN, 0};
      if (poll(&ready, 1, timeout) <= 0) return Received::Nothing;
    }
    // Messages handed out leave the buffer only now, once for all of them, with the start of the
    // next one moved to the front.
    buffer.erase(0, taken);
    scanned -= taken;
    taken = 0;
    int queued = 0;
    if (ioctl(answerFd, FIONREAD, &queued) != 0 || queued <= 0) queued = kFirstRead;
    const size_t had = buffer.size(), room = static_cast<size_t>(queued);
    buffer.resize(had + room);
    ssize_t got = read(answerFd, &buffer[had], room);
    buffer.resize(had + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got == 0) return Received::Closed;
    if (got < 0 && errno != EINTR) return Received::Closed;
  }
}

// The message that ends at `end`. One that is all the bytes read so far (the usual case, and
// always for a picture read in one go) changes places with `message` instead of being copied;
// `buffer` keeps the old message's storage for the next reads.
void DevToolsPipe::TakeMessage(std::string& message, size_t end) {
  if (taken == 0 && end + 1 == buffer.size()) {
    message.swap(buffer);
    message.resize(end);
    buffer.clear();
    scanned = 0;
    return;
  }
  message.assign(buffer, taken, end - taken);
  taken = end + 1;
}

void DevToolsPipe::Stop(int graceMilliseconds) {
  {
    std::lock_guard<std::mutex> guard(writeLock);
    if (commandFd >= 0) close(commandFd);  // the browser quits when its command pipe closes
    commandFd = -1;
  }
  // Held until the child is reaped: its id cannot be reused by another process while a second
  // caller might still signal it.
  std::lock_guard<std::mutex> guard(processLock);
  const pid_t pid = child;
  if (pid <= 0) return;
  for (int waited = 0; waited < graceMilliseconds; waited += 10) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      child = -1;
      return;
    }
    SleepMilliseconds(10);
  }
  kill(-pid, SIGKILL);  // its process group: helpers it started go with it
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  child = -1;
}

}  // namespace CorvaneEngine
