#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace CorvaneEngine {

namespace {

int Fail(std::string* reason, const char* text) {
  if (reason) *reason = text;
  return -1;
}

}  // namespace

int OpenRegularFile(const char* path, std::string* reason) {
  // O_NONBLOCK keeps open() from waiting for a writer on a FIFO.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(reason, std::strerror(errno));
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    int error = errno;
    ::close(fd);
    return Fail(reason, std::strerror(error));
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return Fail(reason, "not a regular file");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadRegularFile(const char* path, std::string& contents, std::string* reason) {
  int fd = OpenRegularFile(path, reason);
  if (fd < 0) return false;
  contents.clear();
  struct stat info;
  if (::fstat(fd, &info) == 0 && info.st_size > 0)
    contents.reserve(static_cast<size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      contents.clear();
      Fail(reason, std::strerror(error));
      return false;
    }
    contents.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  return true;
}

}  // namespace CorvaneEngine
