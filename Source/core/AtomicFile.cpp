#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace CorvaneEngine {

namespace {

constexpr int kMaxLinkHops = 40;     // the kernel's own limit for a path
constexpr int kMaxNameTries = 1000;  // temporary names, and numbered copies

bool Fail(std::string* reason, int error) {
  if (reason) *reason = std::strerror(error);
  return false;
}

bool Fail(std::string* reason, const char* text) {
  if (reason) *reason = text;
  return false;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path that a chain of symbolic links ends at (which need not exist yet).
bool FollowLinks(std::string path, std::string* resolved, std::string* reason) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *resolved = path;
      return true;
    }
    std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    ssize_t length = ::readlink(path.c_str(), &target[0], target.size());
    if (length < 0) return Fail(reason, errno);
    target.resize(static_cast<size_t>(length));
    path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
  }
  return Fail(reason, ELOOP);
}

bool WriteAll(int fd, const char* data, size_t size, std::string* reason) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail(reason, errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Writes, flushes and closes; the descriptor is closed whatever happens.
bool WriteSyncClose(int fd, const char* data, size_t size, std::string* reason) {
  bool ok = WriteAll(fd, data, size, reason);
  if (ok && ::fsync(fd) != 0) ok = Fail(reason, errno);
  // A failed close can be the first report of a failed write on some file systems.
  if (::close(fd) != 0 && ok) ok = Fail(reason, errno);
  return ok;
}

// A new, empty file beside `target` under a name no one else uses.
int CreateTemporary(const std::string& target, std::string* temporary, std::string* reason) {
  static std::atomic<unsigned> counter{0};
  const std::string prefix =
      FolderOf(target) + "/." + BaseNameOf(target) + ".new-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
    *temporary = prefix + std::to_string(counter++);
    int fd = ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return Fail(reason, errno), -1;
  }
  return Fail(reason, EEXIST), -1;
}

// The old file's owner (where this process may set it) and permissions, on the new file.
bool TakeOverPermissions(int fd, const struct stat& old, std::string* reason) {
  struct stat now;
  if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
    // Only a privileged process may give a file away; anyone else keeps their own.
    (void)::fchown(fd, old.st_uid, old.st_gid);
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) return Fail(reason, errno);
  return true;
}

// Makes the rename itself durable. Some file systems cannot sync a folder (EINVAL); nothing is
// lost there that a sync could save.
bool SyncFolder(const std::string& folder, std::string* reason) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail(reason, errno);
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  if (!ok) Fail(reason, errno);
  ::close(fd);
  return ok;
}

}  // namespace

bool ReplaceFileAtomically(const char* path, const char* data, size_t size, std::string* reason) {
  std::string target;
  if (!FollowLinks(path, &target, reason)) return false;
  struct stat old;
  bool exists = ::lstat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Fail(reason, errno);
  // Renaming over a FIFO or a device (a link to /dev/null, say) would replace the node itself.
  if (exists && !S_ISREG(old.st_mode)) return Fail(reason, "not a regular file");

  std::string temporary;
  int fd = CreateTemporary(target, &temporary, reason);
  if (fd < 0) return false;
  bool ok = !exists || TakeOverPermissions(fd, old, reason);
  if (ok) {
    ok = WriteSyncClose(fd, data, size, reason);
  } else {
    ::close(fd);
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = Fail(reason, errno);
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  return SyncFolder(FolderOf(target), reason);
}

bool WriteFileUnderFreeName(const std::string& base, const char* data, size_t size, mode_t mode,
                            std::string* chosen, std::string* reason) {
  for (int number = 0; number < kMaxNameTries; ++number) {
    *chosen = number == 0 ? base : base + "." + std::to_string(number);
    int fd = ::open(chosen->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Fail(reason, errno);
    }
    if (WriteSyncClose(fd, data, size, reason)) return true;
    ::unlink(chosen->c_str());
    return false;
  }
  return Fail(reason, EEXIST);
}

}  // namespace CorvaneEngine
