#include "resources/KmdlReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "core/OutputStream.h"
#include "core/RegularFile.h"

namespace CorvaneEngine {

namespace {

// Reads up to `count` bytes; the number read (short at the end of the file or on an error).
uint64_t ReadFully(int fd, unsigned char* into, uint64_t count) {
  uint64_t done = 0;
  while (done < count) {
    ssize_t got = ::read(fd, into + done, count - done);
    if (got <= 0) break;
    done += static_cast<uint64_t>(got);
  }
  return done;
}

}  // namespace

MeshData* KmdlReader::Read(const char* path) {
  // A FIFO or a device in the file's place is refused at once instead of blocking the load.
  std::string reason;
  int fd = OpenRegularFile(path, &reason);
  struct stat info;
  if (fd >= 0 && ::fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    Log << "Can not load: \"" << path << "\": " << reason << "." << std::endl;
    return nullptr;
  }
  unsigned char header[4];
  if (ReadFully(fd, header, 4) != 4) {
    ::close(fd);
    Log << "Resource Error: \"" << path << "\" is too short to hold a vertex count." << std::endl;
    return nullptr;
  }
  const uint32_t count = static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
                         static_cast<uint32_t>(header[2]) << 16 |
                         static_cast<uint32_t>(header[3]) << 24;
  const uint64_t held = static_cast<uint64_t>(info.st_size) - 4;
  const uint64_t wanted = static_cast<uint64_t>(count) * sizeof(MeshVertex);
  if (wanted > held + kShortFileTolerance) {
    ::close(fd);
    Log << "Resource Error: \"" << path << "\" claims " << count << " vertices but holds only "
        << held / sizeof(MeshVertex) << "; the file is refused." << std::endl;
    return nullptr;
  }
  MeshData* data = MeshData::Allocate(count);
  if (data == nullptr) {
    ::close(fd);
    Log << "Resource Error: no memory for the " << count << " vertices of \"" << path << "\"."
        << std::endl;
    return nullptr;
  }
  // Whatever the file lacks stays zero, as the zero-filled block was made.
  ReadFully(fd, reinterpret_cast<unsigned char*>(data->vertices), wanted < held ? wanted : held);
  ::close(fd);
  return data;
}

}  // namespace CorvaneEngine
