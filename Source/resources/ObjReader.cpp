#include "resources/ObjReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "core/OutputStream.h"

namespace CorvaneEngine {

namespace {

// ---- Growable lists of plain values (realloc keeps growth cheap for large files) ----

template <typename T>
class PlainList {
 public:
  PlainList() = default;
  PlainList(const PlainList&) = delete;
  PlainList& operator=(const PlainList&) = delete;
  ~PlainList() { std::free(items); }

  // Room for `more` further items; false when the memory cannot be had.
  bool Reserve(size_t more) {
    if (count + more <= capacity) return true;
    size_t wanted = capacity < 1024 ? 1024 : capacity * 2;
    if (wanted < count + more) wanted = count + more;
    T* grown = static_cast<T*>(std::realloc(items, wanted * sizeof(T)));
    if (grown == nullptr) return false;
    items = grown;
    capacity = wanted;
    return true;
  }
  // Appends without a capacity check (after Reserve).
  void Put(const T& item) { items[count++] = item; }
  bool Append(const T* from, size_t n) {
    if (!Reserve(n)) return false;
    if (n > 0) std::memcpy(items + count, from, n * sizeof(T));
    count += n;
    return true;
  }

  T* items = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

struct Reference {
  int32_t p, t, n;  // file numbers from 1; 0 marks a missing or unusable index
};

// What one line range of the file holds.
struct Chunk {
  PlainList<float> positions;  // 3 per vertex
  PlainList<float> normals;    // 3 per vertex
  PlainList<float> texCoords;  // 2 per vertex
  PlainList<Reference> references;
  PlainList<uint8_t> faceSizes;  // 3 or 4 references per face
  uint64_t cornerCount = 0;      // corners if every face is kept (a quad gives 6)
  uint64_t shortLines = 0;
  bool badFace = false;  // a face with other than 3 or 4 references: the file gives no mesh
  bool noMemory = false;
};

// ---- Numbers, read as formatted stream extraction reads them ----

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
inline bool IsDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Reads a decimal float after optional blanks; false (and 0) when there is none. The result is
// the correctly rounded float, the same as strtof gives.
inline bool ParseFloat(const char*& cursor, float& out) {
  const char* s = cursor;
  while (IsBlank(*s)) ++s;
  const char* start = s;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    ++s;
  } else if (*s == '+') {
    ++s;
  }
  uint64_t mantissa = 0;
  int significant = 0;
  int exponent = 0;
  bool anyDigit = false;
  bool dropped = false;
  for (; IsDigit(*s); ++s) {
    anyDigit = true;
    if (significant < 19) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(*s - '0');
      if (mantissa != 0) ++significant;
    } else {
      ++exponent;
      dropped = true;
    }
  }
  if (*s == '.') {
    for (++s; IsDigit(*s); ++s) {
      anyDigit = true;
      if (significant < 19) {
        mantissa = mantissa * 10 + static_cast<uint64_t>(*s - '0');
        if (mantissa != 0) ++significant;
        --exponent;
      } else {
        dropped = true;
      }
    }
  }
  if (!anyDigit) {
    out = 0.0f;
    return false;
  }
  if (*s == 'e' || *s == 'E') {
    const char* e = s + 1;
    bool negativeExponent = false;
    if (*e == '-') {
      negativeExponent = true;
      ++e;
    } else if (*e == '+') {
      ++e;
    }
    if (!IsDigit(*e)) {  // "1e" is no number for the stream either
      out = 0.0f;
      cursor = e;
      return false;
    }
    int value = 0;
    for (; IsDigit(*e); ++e) {
      if (value < 100000) value = value * 10 + (*e - '0');
    }
    exponent += negativeExponent ? -value : value;
    s = e;
  }
  cursor = s;
  // Exact operands and one rounding give the correctly rounded double; its conversion to float
  // is then exact unless the double fell on a midpoint between two floats.
  if (!dropped && mantissa < (1ull << 53) && exponent >= -22 && exponent <= 22) {
    double value = static_cast<double>(mantissa);
    value = exponent < 0 ? value / kPowersOfTen[-exponent] : value * kPowersOfTen[exponent];
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x1FFFFFFFu) != 0x10000000u) {
      const float rounded = static_cast<float>(value);
      out = negative ? -rounded : rounded;
      return true;
    }
  }
  std::string text(start, static_cast<size_t>(s - start));
  out = std::strtof(text.c_str(), nullptr);
  return true;
}

// Reads a decimal integer after optional blanks. An index too large for 32 bits reads as 0, which
// no list accepts.
inline bool ParseIndex(const char*& cursor, int32_t& out) {
  const char* s = cursor;
  while (IsBlank(*s)) ++s;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    ++s;
  } else if (*s == '+') {
    ++s;
  }
  if (!IsDigit(*s)) return false;
  int64_t value = 0;
  for (; IsDigit(*s); ++s) {
    if (value <= INT32_MAX) value = value * 10 + (*s - '0');
  }
  cursor = s;
  out = value > INT32_MAX ? 0 : static_cast<int32_t>(negative ? -value : value);
  return true;
}

// ---- Lines ----

// Reads `count` numbers of a "v", "vn" or "vt" line; missing numbers are 0.
inline void ReadNumbers(const char* cursor, int count, PlainList<float>& into, Chunk& chunk) {
  if (!into.Reserve(3)) {
    chunk.noMemory = true;
    return;
  }
  bool complete = true;
  for (int i = 0; i < count; ++i) {
    float value = 0.0f;
    if (complete) complete = ParseFloat(cursor, value);
    into.Put(complete ? value : 0.0f);
  }
  if (!complete) ++chunk.shortLines;
}

// Reads the references of a face line (after the 'f'). False for other than 3 or 4 of them.
inline bool ReadFace(const char* cursor, Chunk& chunk) {
  Reference face[4];
  int count = 0;
  int32_t v;
  while (ParseIndex(cursor, v)) {
    Reference r{v, 0, 0};
    if (*cursor == '/') {
      ++cursor;
      if (*cursor == '/') {
        ++cursor;
        ParseIndex(cursor, r.n);  // "v//n": no texture index
      } else if (ParseIndex(cursor, r.t) && *cursor == '/') {
        ++cursor;
        ParseIndex(cursor, r.n);
      }
    }
    if (count < 4) face[count] = r;
    if (++count > 4) break;
  }
  if (count != 3 && count != 4) return false;
  if (!chunk.references.Reserve(4) || !chunk.faceSizes.Reserve(1)) {
    chunk.noMemory = true;
    return true;
  }
  for (int i = 0; i < count; ++i) chunk.references.Put(face[i]);
  chunk.faceSizes.Put(static_cast<uint8_t>(count));
  chunk.cornerCount += count == 3 ? 3 : 6;
  return true;
}

// Parses the whole lines of [begin, end): `end` is the start of a line or the buffer's '\n'
// sentinel, so the search for a line's end never passes end.
void ParseLines(const char* begin, const char* end, Chunk& chunk) {
  const char* line = begin;
  while (line < end && !chunk.noMemory) {
    if (*line == 'v') {
      if (line[1] == 'n') {
        ReadNumbers(line + 2, 3, chunk.normals, chunk);
      } else if (line[1] == 't') {
        ReadNumbers(line + 2, 2, chunk.texCoords, chunk);
      } else {
        ReadNumbers(line + 1, 3, chunk.positions, chunk);
      }
    } else if (*line == 'f') {
      if (!ReadFace(line + 1, chunk)) {
        chunk.badFace = true;
        return;  // the file gives no mesh; the rest need not be read
      }
    }
    line = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end + 1 - line)));
    ++line;
  }
}

// ---- Whole file ----

// The file's bytes followed by a '\n' sentinel; null when it cannot be read.
char* ReadWholeFile(const char* path, size_t& size) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  // Only regular files: a pipe or a device might never end.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  size = static_cast<size_t>(info.st_size);
  char* bytes = static_cast<char*>(std::malloc(size + 1));
  size_t done = 0;
  while (bytes != nullptr && done < size) {
    ssize_t got = ::read(fd, bytes + done, size - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  if (bytes == nullptr || done != size) {
    std::free(bytes);
    return nullptr;
  }
  bytes[size] = '\n';
  return bytes;
}

// Files below this size are not worth a second thread.
constexpr size_t kSplitSize = 4u << 20;

bool InRange(int32_t number, size_t listLength) {
  return number > 0 && static_cast<uint64_t>(number) <= listLength;
}

void PutCorner(MeshVertex& corner, const Reference& r, const float* positions, const float* normals,
               const float* texCoords) {
  const float* p = positions + 3 * static_cast<size_t>(r.p - 1);
  const float* n = normals + 3 * static_cast<size_t>(r.n - 1);
  const float* t = texCoords + 2 * static_cast<size_t>(r.t - 1);
  corner.position[0] = p[0];
  corner.position[1] = p[1];
  corner.position[2] = p[2];
  corner.normal[0] = n[0];
  corner.normal[1] = n[1];
  corner.normal[2] = n[2];
  corner.texCoord[0] = t[0];
  corner.texCoord[1] = t[1];
}

}  // namespace

MeshData* ObjReader::Read(const char* path) {
  size_t size = 0;
  char* text = ReadWholeFile(path, size);
  if (text == nullptr) {
    Log << "Can not load: \"" << path << "\"." << std::endl;
    return nullptr;
  }

  // Two line ranges for large files: the second begins after the line break nearest the middle.
  Chunk chunks[2];
  int chunkCount = 1;
  const char* middle = text + size / 2;
  if (size >= kSplitSize && std::thread::hardware_concurrency() > 1) {
    middle = static_cast<const char*>(std::memchr(middle, '\n', size - size / 2 + 1)) + 1;
    chunkCount = middle < text + size ? 2 : 1;
  }
  if (chunkCount == 2) {
    std::thread second([&] { ParseLines(middle, text + size, chunks[1]); });
    ParseLines(text, middle, chunks[0]);
    second.join();
  } else {
    ParseLines(text, text + size, chunks[0]);
  }
  std::free(text);

  // Numbering runs across the chunks in file order, so the lists are joined first.
  Chunk& all = chunks[0];
  bool noMemory = all.noMemory;
  if (chunkCount == 2) {
    noMemory = noMemory || chunks[1].noMemory ||
               !all.positions.Append(chunks[1].positions.items, chunks[1].positions.count) ||
               !all.normals.Append(chunks[1].normals.items, chunks[1].normals.count) ||
               !all.texCoords.Append(chunks[1].texCoords.items, chunks[1].texCoords.count) ||
               !all.references.Append(chunks[1].references.items, chunks[1].references.count) ||
               !all.faceSizes.Append(chunks[1].faceSizes.items, chunks[1].faceSizes.count);
    all.cornerCount += chunks[1].cornerCount;
    all.shortLines += chunks[1].shortLines;
    all.badFace = all.badFace || chunks[1].badFace;
  }
  if (all.badFace) {
    Log << "Too many sided polygon detected!" << std::endl;
    return nullptr;
  }
  if (noMemory || all.cornerCount > UINT32_MAX) {
    Log << "Resource Error: \"" << path << "\" is too large to read." << std::endl;
    return nullptr;
  }
  if (all.positions.count == 0) {
    std::cerr << path << " does not contain any vertices" << std::endl;
    return nullptr;
  }
  if (all.shortLines > 0) {
    Log << "WARNING: \"" << path << "\": " << all.shortLines
        << " vertex lines with too few numbers; the missing numbers read as 0." << std::endl;
  }

  MeshData* data = MeshData::Allocate(static_cast<uint32_t>(all.cornerCount));
  if (data == nullptr) {
    Log << "Resource Error: no memory for the corners of \"" << path << "\"." << std::endl;
    return nullptr;
  }
  const size_t positionCount = all.positions.count / 3;
  const size_t normalCount = all.normals.count / 3;
  const size_t texCoordCount = all.texCoords.count / 2;
  const Reference* r = all.references.items;
  MeshVertex* out = data->vertices;
  uint64_t leftOut = 0;
  for (size_t face = 0; face < all.faceSizes.count; ++face) {
    const int count = all.faceSizes.items[face];
    bool usable = true;
    for (int i = 0; i < count; ++i) {
      usable = usable && InRange(r[i].p, positionCount) && InRange(r[i].t, texCoordCount) &&
               InRange(r[i].n, normalCount);
    }
    if (usable) {
      static const int kQuadOrder[6] = {0, 1, 2, 0, 2, 3};
      const int corners = count == 3 ? 3 : 6;
      for (int i = 0; i < corners; ++i) {
        PutCorner(*out++, r[kQuadOrder[i]], all.positions.items, all.normals.items,
                  all.texCoords.items);
      }
    } else {
      ++leftOut;
    }
    r += count;
  }
  data->vertexCount = static_cast<uint32_t>(out - data->vertices);
  if (leftOut > 0) {
    Log << "WARNING: \"" << path << "\": " << leftOut
        << " faces left out for a missing, zero, negative or out-of-range index." << std::endl;
  }
  return data;
}

}  // namespace CorvaneEngine
