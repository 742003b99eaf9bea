// The OBJ reader. Sections:
//   Growable lists of plain values  - PlainList, Reference, Chunk (what one block of lines holds)
//   Numbers                         - eight-byte digit reading, exact float rounding
//   Lines                           - LineReader: numbers, indices and face references
//   The two passes                  - lines into vertex lists and face references, then corners
//   Whole file                      - FileText (the mapped file), blocks, ObjReader::Read
#include "resources/ObjReader.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "core/LargeBlock.h"
#include "core/OutputStream.h"
#include "core/QuitSignal.h"
#include "core/RegularFile.h"

namespace CorvaneEngine {

namespace {

// ---- Growable lists of plain values ----

template <typename T>
class PlainList {
 public:
  PlainList() = default;
  PlainList(const PlainList&) = delete;
  PlainList& operator=(const PlainList&) = delete;
  ~PlainList() { Release(); }

  // Room for `more` further items; false when the memory cannot be had.
  bool Reserve(size_t more) {
    if (more > SIZE_MAX / sizeof(T) - count) return false;
    if (count + more <= capacity) return true;
    size_t wanted = capacity < 1024 ? 1024 : capacity * 2;
    if (wanted < count + more) wanted = count + more;
    void* grown =
        LargeBlock::Grow(items, capacity * sizeof(T), count * sizeof(T), wanted * sizeof(T));
    if (grown == nullptr) return false;
    items = static_cast<T*>(grown);
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
  void Release() {
    LargeBlock::Free(items, capacity * sizeof(T));
    items = nullptr;
    count = capacity = 0;
  }

  T* items = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

// The indices of one face corner as written: from 1 counting forwards, negative counting back
// from the last vertex line read so far. kMissing marks an index the reference leaves out
// ("1//2", "1/2", "1"); 0 marks one that no list accepts (0 itself, or too large for 32 bits).
constexpr int32_t kMissing = INT32_MIN;
struct Reference {
  int32_t p, t, n;
};

// Where a face with a relative (negative) index stands: its number among the block's faces and
// the vertex lines of each kind read before it in the block.
struct RelativeFace {
  size_t face;
  uint64_t positions, normals, texCoords;
};

// What one block of lines holds.
struct Chunk {
  PlainList<float> positions;  // 3 per vertex
  PlainList<float> normals;    // 3 per vertex
  PlainList<float> texCoords;  // 2 per vertex
  PlainList<Reference> references;
  PlainList<uint8_t> faceSizes;  // 3 or 4 references per face
  PlainList<RelativeFace> relativeFaces;
  uint64_t cornerCount = 0;  // corners if every face is kept (a quad gives 6)
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

// 10^-22 .. 10^22: the positive powers are exact, the negative ones correctly rounded.
const double kPowersOfTen[] = {1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14,
                               1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
                               1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,
                               1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,
                               1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22};
const uint64_t kIntegerPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                        100000, 1000000, 10000000, 100000000};

// How many of the eight bytes in `bytes` (first byte lowest) are digits before the first other.
inline int LeadingDigits(uint64_t bytes) {
  // A byte is a digit when its high nibble is 3 and stays 3 after adding 6. A carry out of a
  // byte only comes from a non-digit, after which nothing counts.
  const uint64_t high = 0xF0F0F0F0F0F0F0F0ull, threes = 0x3030303030303030ull;
  const uint64_t other =
      ((bytes & high) ^ threes) | (((bytes + 0x0606060606060606ull) & high) ^ threes);
  return other == 0 ? 8 : __builtin_ctzll(other) >> 3;
}

// The value of the first `count` (1 to 8) digit bytes of `bytes`, eight at a time.
inline uint64_t DigitsValue(uint64_t bytes, int count) {
  bytes <<= 8 * (8 - count);  // the digits move up; the zero bytes below act as leading zeros
  bytes = ((bytes & 0x0F0F0F0F0F0F0F0Full) * 2561) >> 8;
  bytes = ((bytes & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
  return ((bytes & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
}

// The C library's reading of the number in [start, end), for the rare numbers the fast path
// cannot round with certainty.
__attribute__((noinline)) float SlowFloat(const char* start, const char* end) {
  const std::string text(start, static_cast<size_t>(end - start));
  return std::strtof(text.c_str(), nullptr);
}

// ---- Lines ----

// Reads the parts of one line. `safeEnd` bounds the memory that may be read in eight-byte steps;
// byte by byte nothing is read past a line's '\n', which every line handed to it ends with.
class LineReader {
 public:
  explicit LineReader(const char* safeEnd) : safeEnd(safeEnd) {}

  // Reads `count` numbers of a "v", "vn" or "vt" line into `into` (missing numbers are 0), moving
  // `cursor` past them; false when the line has too few. Sets `noMemory` when the list cannot
  // grow.
  bool ReadNumbers(const char*& cursor, int count, PlainList<float>& into, bool& noMemory) const {
    if (!into.Reserve(3)) {
      noMemory = true;
      return true;
    }
    bool complete = true;
    for (int i = 0; i < count; ++i) {
      float value = 0.0f;
      if (complete) complete = ParseFloat(cursor, value);
      into.Put(value);
    }
    return complete;
  }

  // Reads the references of a face line (after the 'f') into `face`, moving `cursor` past them;
  // returns how many there are, counting no further than 5 (anything but 3 or 4 refuses the file).
  int ReadFace(const char*& cursor, Reference face[4]) const {
    int count = 0;
    for (;;) {
      while (IsBlank(*cursor)) ++cursor;
      Reference r;
      if (!FastReference(cursor, r)) {
        if (!ParseIndex(cursor, r.p)) break;
        r.t = r.n = kMissing;
        if (*cursor == '/') {
          ++cursor;
          if (*cursor == '/') {  // "p//n"
            ++cursor;
            if (!ParseIndex(cursor, r.n)) r.n = kMissing;
          } else {
            if (!ParseIndex(cursor, r.t)) r.t = kMissing;
            if (*cursor == '/') {  // "p/t/n"
              ++cursor;
              if (!ParseIndex(cursor, r.n)) r.n = kMissing;
            }
          }
        }
      }
      if (count < 4) face[count] = r;
      if (++count > 4) break;
    }
    return count;
  }

 private:
  // Reads a run of digits into `value` (which wraps after 19 digits); returns how many.
  __attribute__((always_inline)) int ReadDigits(const char*& s, uint64_t& value) const {
    int count = 0;
    while (s + 8 <= safeEnd) {
      uint64_t bytes;
      std::memcpy(&bytes, s, 8);
      const int n = LeadingDigits(bytes);
      if (n == 0) return count;
      value = value * kIntegerPowersOfTen[n] + DigitsValue(bytes, n);
      s += n;
      count += n;
      if (n < 8) return count;
    }
    for (; IsDigit(*s); ++s, ++count) value = value * 10 + static_cast<uint64_t>(*s - '0');
    return count;
  }

  // mantissa * 10^exponent as a float, when doubles give it with certainty. In doubles the
  // product is within two units of the last place of the exact value (one rounding for 10^-k,
  // one for the product; none more while the mantissa has at most 53 bits), and rounding it to
  // float gives the correctly rounded float unless it lies within those two units of a midpoint
  // between two floats. Those rare cases, and wider numbers, are left to the C library.
  static bool RoundToFloat(uint64_t mantissa, int exponent, bool negative, float& out) {
    if (mantissa >= (1ull << 53) || exponent < -22 || exponent > 22) return false;
    const double value = static_cast<double>(mantissa) * kPowersOfTen[exponent + 22];
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x1FFFFFFFu) - 0x0FFFFFFCu <= 8u) return false;
    uint32_t floatBits;
    const float rounded = static_cast<float>(value);
    std::memcpy(&floatBits, &rounded, 4);
    floatBits |= static_cast<uint32_t>(negative) << 31;  // signs come at random: no branch
    std::memcpy(&out, &floatBits, 4);
    return true;
  }

  // Reads a decimal float after optional blanks; false (and 0) when there is none. The result is
  // the correctly rounded float, the same as strtof gives.
  __attribute__((always_inline)) bool ParseFloat(const char*& cursor, float& out) const {
    const char* s = cursor;
    while (IsBlank(*s)) ++s;
    const char* start = s;
    const bool negative = *s == '-';
    s += negative | (*s == '+');
    // The usual form, digits '.' digits with fewer than eight of each and no exponent, in two
    // eight-byte reads; everything else takes the general road below.
    if (s + 17 <= safeEnd) {
      uint64_t whole;
      std::memcpy(&whole, s, 8);
      const int wholeDigits = LeadingDigits(whole);
      if (wholeDigits > 0 && wholeDigits < 8 && s[wholeDigits] == '.') {
        uint64_t fraction;
        std::memcpy(&fraction, s + wholeDigits + 1, 8);
        const int fractionDigits = LeadingDigits(fraction);
        const char* after = s + wholeDigits + 1 + fractionDigits;
        if (fractionDigits > 0 && fractionDigits < 8 && (*after | 0x20) != 'e' &&
            RoundToFloat(DigitsValue(whole, wholeDigits) * kIntegerPowersOfTen[fractionDigits] +
                             DigitsValue(fraction, fractionDigits),
                         -fractionDigits, negative, out)) {
          cursor = after;
          return true;
        }
      }
    }
    uint64_t mantissa = 0;
    int digitCount = ReadDigits(s, mantissa);
    int exponent = 0;
    if (*s == '.') {
      ++s;
      exponent = -ReadDigits(s, mantissa);
      digitCount -= exponent;
    }
    if (digitCount == 0) {
      out = 0.0f;
      return false;
    }
    if (*s == 'e' || *s == 'E') {
      const char* e = s + 1;
      const bool negativeExponent = *e == '-';
      if (*e == '-' || *e == '+') ++e;
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
    if (digitCount <= 19 && RoundToFloat(mantissa, exponent, negative, out)) return true;
    out = SlowFloat(start, s);
    return true;
  }

  // Reads a decimal integer after optional blanks. An index too large for 32 bits reads as 0,
  // which no list accepts.
  __attribute__((always_inline)) bool ParseIndex(const char*& cursor, int32_t& out) const {
    const char* s = cursor;
    while (IsBlank(*s)) ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    if (s + 8 <= safeEnd) {  // the usual index of up to seven digits in one read
      uint64_t bytes;
      std::memcpy(&bytes, s, 8);
      const int digits = LeadingDigits(bytes);
      if (digits == 0) return false;
      if (digits < 8) {
        const int32_t value = static_cast<int32_t>(DigitsValue(bytes, digits));
        out = negative ? -value : value;
        cursor = s + digits;
        return true;
      }
    }
    uint64_t value = 0;
    const int count = ReadDigits(s, value);
    if (count == 0) return false;
    cursor = s;
    out = count > 10 || value > INT32_MAX
              ? 0
              : static_cast<int32_t>(negative ? -static_cast<int64_t>(value)
                                              : static_cast<int64_t>(value));
    return true;
  }

  // The usual reference "p/t/n", each index of one to seven digits, in three eight-byte reads;
  // false (and `cursor` unmoved) for anything else, which ParseIndex then reads.
  __attribute__((always_inline)) bool FastReference(const char*& cursor, Reference& r) const {
    const char* s = cursor;
    if (s + 24 > safeEnd) return false;
    int32_t* const into[3] = {&r.p, &r.t, &r.n};
    for (int i = 0; i < 3; ++i) {
      uint64_t bytes;
      std::memcpy(&bytes, s, 8);
      const int digits = LeadingDigits(bytes);
      if (digits == 0 || digits == 8 || (i < 2 && s[digits] != '/')) return false;
      *into[i] = static_cast<int32_t>(DigitsValue(bytes, digits));
      s += digits + (i < 2);
    }
    cursor = s;
    return true;
  }

  const char* const safeEnd;
};

// How many vertex lines of each kind; the numbering runs across the blocks in file order.
struct Counts {
  uint64_t positions = 0, normals = 0, texCoords = 0;
};

// ---- The two passes ----

// Pass one: the lines of [begin, end) into the chunk: vertex lists and face references.
void ReadLines(const LineReader& reader, const char* begin, const char* end, Chunk& chunk) {
  Reference face[4];
  const char* line = begin;
  while (line < end && !chunk.noMemory) {
    // Where reading the line stopped; usually at its '\n' already.
    const char* rest = line + 1;
    if (*line == 'v') {
      rest += line[1] == 'n' || line[1] == 't';
      const bool complete =
          line[1] == 'n'   ? reader.ReadNumbers(rest, 3, chunk.normals, chunk.noMemory)
          : line[1] == 't' ? reader.ReadNumbers(rest, 2, chunk.texCoords, chunk.noMemory)
                           : reader.ReadNumbers(rest, 3, chunk.positions, chunk.noMemory);
      chunk.shortLines += !complete;
    } else if (*line == 'f') {
      const int count = reader.ReadFace(rest, face);
      if (count != 3 && count != 4) {
        chunk.badFace = true;
        return;  // the file gives no mesh; the rest need not be read
      }
      bool relative = false;
      for (int i = 0; i < count; ++i) {
        relative = relative || (face[i].p < 0 && face[i].p != kMissing) ||
                   (face[i].t < 0 && face[i].t != kMissing) ||
                   (face[i].n < 0 && face[i].n != kMissing);
      }
      if (!chunk.references.Reserve(4) || !chunk.faceSizes.Reserve(1) ||
          (relative && !chunk.relativeFaces.Reserve(1))) {
        chunk.noMemory = true;
        return;
      }
      if (relative) {
        chunk.relativeFaces.Put(RelativeFace{chunk.faceSizes.count, chunk.positions.count / 3,
                                             chunk.normals.count / 3, chunk.texCoords.count / 2});
      }
      for (int i = 0; i < count; ++i) chunk.references.Put(face[i]);
      chunk.faceSizes.Put(static_cast<uint8_t>(count));
      chunk.cornerCount += count == 3 ? 3 : 6;
    }
    // Readers never move past the '\n' (an empty line's first byte is its '\n').
    if (*line == '\n') rest = line;
    while (*rest != '\n') ++rest;
    line = rest + 1;
  }
}

// The joined vertex lists of the whole file.
struct Lists {
  const float* positions;
  const float* normals;
  const float* texCoords;
  Counts length;
};

// The place in a list of the index `number` of a face read after `readSoFar` vertex lines of the
// list's kind; false when it names no vertex of the list.
inline bool Resolve(int32_t number, uint64_t readSoFar, uint64_t length, uint64_t& place) {
  if (number > 0) {
    place = static_cast<uint64_t>(number) - 1;
    return place < length;
  }
  const uint64_t back = static_cast<uint64_t>(-static_cast<int64_t>(number));
  if (number == 0 || number == kMissing || back > readSoFar) return false;
  place = readSoFar - back;
  return true;
}

// The normal of a face's plane, of unit length (zero for a face without area): of the triangle,
// or of the quad's two diagonals, which is the plane's normal for a flat quad.
void FlatNormal(const float* const corner[4], int count, float normal[3]) {
  float a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = corner[count == 3 ? 1 : 2][i] - corner[0][i];
    b[i] = corner[count == 3 ? 2 : 3][i] - corner[count == 3 ? 0 : 1][i];
  }
  normal[0] = a[1] * b[2] - a[2] * b[1];
  normal[1] = a[2] * b[0] - a[0] * b[2];
  normal[2] = a[0] * b[1] - a[1] * b[0];
  const float length =
      std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  for (int i = 0; i < 3; ++i) normal[i] = length > 0.0f ? normal[i] / length : 0.0f;
}

struct Written {
  uint64_t corners = 0;
  uint64_t leftOut = 0;  // faces
};

// Pass two: the corners of the chunk's faces from `out` on, leaving out every face with an index
// that names no vertex. `before` holds the vertex lines of the blocks before the chunk's.
Written PutCorners(const Chunk& chunk, const Counts& before, const Lists& lists, MeshVertex* out) {
  static const int kQuadOrder[6] = {0, 1, 2, 0, 2, 3};  // triangles 0-1-2 and 0-2-3
  static const float kNoTexCoord[2] = {0.0f, 0.0f};
  Written written;
  MeshVertex* const start = out;
  const Reference* r = chunk.references.items;
  const RelativeFace* relative = chunk.relativeFaces.items;
  const RelativeFace* const relativeEnd = relative + chunk.relativeFaces.count;
  for (size_t face = 0; face < chunk.faceSizes.count; ++face) {
    const int count = chunk.faceSizes.items[face];
    Counts seen;  // only relative indices look at it
    if (relative != relativeEnd && relative->face == face) {
      seen = Counts{before.positions + relative->positions, before.normals + relative->normals,
                    before.texCoords + relative->texCoords};
      ++relative;
    }
    const float* position[4] = {};
    const float* normal[4] = {};
    const float* texCoord[4] = {};
    bool usable = true, allNormals = true;
    for (int i = 0; i < count && usable; ++i) {
      uint64_t p = 0, t = 0, n = 0;
      usable = Resolve(r[i].p, seen.positions, lists.length.positions, p) &&
               (r[i].t == kMissing || Resolve(r[i].t, seen.texCoords, lists.length.texCoords, t)) &&
               (r[i].n == kMissing || Resolve(r[i].n, seen.normals, lists.length.normals, n));
      if (!usable) break;
      position[i] = lists.positions + 3 * p;
      texCoord[i] = r[i].t == kMissing ? kNoTexCoord : lists.texCoords + 2 * t;
      normal[i] = r[i].n == kMissing ? nullptr : lists.normals + 3 * n;
      allNormals = allNormals && normal[i] != nullptr;
    }
    r += count;
    if (!usable) {
      ++written.leftOut;
      continue;
    }
    float flat[3];
    if (!allNormals) FlatNormal(position, count, flat);
    const int corners = count == 3 ? 3 : 6;
    for (int i = 0; i < corners; ++i, ++out) {
      const int c = kQuadOrder[i];
      std::memcpy(out->position, position[c], 12);
      std::memcpy(out->normal, normal[c] != nullptr ? normal[c] : flat, 12);
      std::memcpy(out->texCoord, texCoord[c], 8);
    }
  }
  written.corners = static_cast<uint64_t>(out - start);
  return written;
}

// ---- Whole file ----

// The file's bytes, mapped: the lines up to its last '\n' are read in place, and a last line
// without one is copied out with a '\n' added. (Mapping saves copying a buffer as large as the
// file; its pages stay in the page cache for the next read. Asset files are not expected to
// shrink while they are read.)
class FileText {
 public:
  // False, with the reason, when the file cannot be opened or is no regular file (a FIFO or a
  // device might never end; opening one never waits for a writer).
  bool Open(const char* path, std::string& reason) {
    int fd = OpenRegularFile(path, &reason);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
      reason = std::strerror(errno);
      ::close(fd);
      return false;
    }
    size = static_cast<size_t>(info.st_size);
    if (size > 0) {
      void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (mapped == MAP_FAILED) reason = std::strerror(errno);
      map = mapped == MAP_FAILED ? nullptr : static_cast<const char*>(mapped);
    }
    ::close(fd);
    if (size > 0 && map == nullptr) return false;
    const char* lastBreak =
        size > 0 ? static_cast<const char*>(::memrchr(map, '\n', size)) : nullptr;
    wholeLines = lastBreak != nullptr ? static_cast<size_t>(lastBreak + 1 - map) : 0;
    if (wholeLines < size) {
      tail.assign(map + wholeLines, size - wholeLines);
      tail += '\n';
      tailLines = tail.size();
      tail.append(8, '\0');  // room for the eight-byte digit reads
    }
    return true;
  }
  ~FileText() { Close(); }
  // Gives the mapping back: once the lines are read, the file's pages need not count against the
  // memory of the corners that come next.
  void Close() {
    if (map != nullptr) ::munmap(const_cast<char*>(map), size);
    map = nullptr;
    std::string().swap(tail);
  }

  const char* map = nullptr;
  size_t size = 0;
  size_t wholeLines = 0;  // bytes up to and with the last '\n'
  std::string tail;       // the last line when it has no '\n', with one (and padding)
  size_t tailLines = 0;   // bytes of `tail` up to and with its '\n'
};

// Runs `work` on the calling thread and on a second one (only on the calling thread when no
// thread can be had).
template <typename Work>
void OnTwoThreads(Work work) {
  std::thread helper;
  try {
    helper = std::thread(work);
  } catch (const std::system_error&) {
  }
  work();
  if (helper.joinable()) helper.join();
}

// Files below this size are read on one thread. Larger ones are cut into blocks of at least
// kBlockSize (at most kMaxBlocks), which two threads take in turn: vertex lines parse several
// times slower than face lines, and they usually sit together at the front of the file, so two
// fixed halves would leave one thread waiting for the other. A block is also the unit after
// which a read looks whether the program is ending.
constexpr size_t kSplitSize = 4u << 20;
constexpr size_t kBlockSize = 1u << 20;
constexpr int kMaxBlocks = 64;

// The file cut into blocks at line breaks; the copied last line is a block of its own.
struct Blocks {
  int count = 0;
  const char* begin[kMaxBlocks + 1];
  const char* end[kMaxBlocks + 1];
  const char* safeEnd[kMaxBlocks + 1];
};

Blocks CutIntoBlocks(const FileText& file) {
  Blocks blocks;
  int wanted = 1;
  if (file.wholeLines >= kSplitSize && std::thread::hardware_concurrency() > 1) {
    const size_t many = file.wholeLines / kBlockSize;
    wanted = many < kMaxBlocks ? static_cast<int>(many) : kMaxBlocks;
  }
  const char* const end = file.map + file.wholeLines;
  const char* begin = file.map;
  for (int b = 1; b <= wanted && file.wholeLines > 0; ++b) {
    const char* blockEnd = end;
    if (b < wanted) {
      const char* target = file.map + file.wholeLines / wanted * b;
      if (target < begin) target = begin;
      blockEnd = static_cast<const char*>(std::memchr(target, '\n', end - target)) + 1;
    }
    blocks.begin[blocks.count] = begin;
    blocks.end[blocks.count] = blockEnd;
    blocks.safeEnd[blocks.count++] = file.map + file.size;
    begin = blockEnd;
  }
  if (file.tailLines > 0) {
    blocks.begin[blocks.count] = file.tail.data();
    blocks.end[blocks.count] = file.tail.data() + file.tailLines;
    blocks.safeEnd[blocks.count++] = file.tail.data() + file.tail.size();
  }
  return blocks;
}

// Runs `work` on every block, on two threads when there are several, until the program is asked
// to end; false when it was.
template <typename Work>
bool ForEachBlock(int count, Work work) {
  std::atomic<bool> quit{false};
  std::atomic<int> next{0};
  auto take = [&] {
    for (int b = next++; b < count; b = next++) {
      if (QuitSignal::Requested()) {
        quit = true;
        return;
      }
      work(b);
    }
  };
  if (count > 1) {
    OnTwoThreads(take);
  } else {
    take();
  }
  return !quit;
}

}  // namespace

MeshData* ObjReader::Read(const char* path) {
  FileText file;
  std::string reason;
  if (!file.Open(path, reason)) {
    Log << "Can not load: \"" << path << "\": " << reason << "." << std::endl;
    return nullptr;
  }
  const Blocks blocks = CutIntoBlocks(file);
  std::unique_ptr<Chunk[]> chunks(new (std::nothrow) Chunk[blocks.count > 0 ? blocks.count : 1]);
  if (chunks == nullptr) {
    Log << "Resource Error: no memory to read \"" << path << "\"." << std::endl;
    return nullptr;
  }
  auto stopped = [&] {
    Log << "Resource Error: reading \"" << path << "\" stopped: the program is ending."
        << std::endl;
    return nullptr;
  };
  if (!ForEachBlock(blocks.count, [&](int b) {
        ReadLines(LineReader(blocks.safeEnd[b]), blocks.begin[b], blocks.end[b], chunks[b]);
      })) {
    return stopped();
  }

  // Numbering runs across the blocks in file order, so the vertex lists are joined (each block's
  // lists freed as soon as they are copied) and every block learns what came before it.
  Chunk& all = chunks[0];
  Counts before[kMaxBlocks + 1];
  bool noMemory = false, badFace = false;
  uint64_t cornerCount = 0, shortLines = 0;
  for (int b = 0; b < blocks.count; ++b) {
    Chunk& chunk = chunks[b];
    // `all` is block 0's chunk, so before block b > 0 it holds the lists of blocks 0 .. b - 1.
    before[b] =
        b == 0 ? Counts{}
               : Counts{all.positions.count / 3, all.normals.count / 3, all.texCoords.count / 2};
    badFace = badFace || chunk.badFace;
    noMemory = noMemory || chunk.noMemory;
    cornerCount += chunk.cornerCount;
    shortLines += chunk.shortLines;
    if (b > 0 && !noMemory && !badFace) {
      noMemory = !all.positions.Append(chunk.positions.items, chunk.positions.count) ||
                 !all.normals.Append(chunk.normals.items, chunk.normals.count) ||
                 !all.texCoords.Append(chunk.texCoords.items, chunk.texCoords.count);
    }
    if (b > 0) chunk.positions.Release(), chunk.normals.Release(), chunk.texCoords.Release();
  }
  if (badFace) {
    Log << "Too many sided polygon detected!" << std::endl;
    return nullptr;
  }
  if (noMemory || cornerCount > UINT32_MAX) {
    Log << "Resource Error: \"" << path << "\" is too large to read." << std::endl;
    return nullptr;
  }
  if (all.positions.count == 0) {
    std::cerr << path << " does not contain any vertices" << std::endl;
    return nullptr;
  }
  if (shortLines > 0) {
    Log << "WARNING: \"" << path << "\": " << shortLines
        << " vertex lines with too few numbers; the missing numbers read as 0." << std::endl;
  }

  file.Close();
  MeshData* data = MeshData::Allocate(static_cast<uint32_t>(cornerCount));
  if (data == nullptr) {
    Log << "Resource Error: no memory for the corners of \"" << path << "\"." << std::endl;
    return nullptr;
  }
  const Lists lists{
      all.positions.items, all.normals.items, all.texCoords.items,
      Counts{all.positions.count / 3, all.normals.count / 3, all.texCoords.count / 2}};
  // Each block's corners go after every corner the blocks before it could give, so the blocks
  // can be taken in turn by two threads, which fill their parts (and fault in their pages) side
  // by side.
  uint64_t planned[kMaxBlocks + 1];
  Written written[kMaxBlocks + 1];
  planned[0] = 0;
  for (int b = 1; b < blocks.count; ++b) planned[b] = planned[b - 1] + chunks[b - 1].cornerCount;
  if (!ForEachBlock(blocks.count, [&](int b) {
        written[b] = PutCorners(chunks[b], before[b], lists, data->vertices + planned[b]);
        chunks[b].references.Release();
        chunks[b].faceSizes.Release();
        chunks[b].relativeFaces.Release();
      })) {
    MeshData::Free(data);
    return stopped();
  }
  // Faces left out leave gaps after their blocks' corners: close them up.
  uint64_t corners = 0, leftOut = 0;
  for (int b = 0; b < blocks.count; ++b) {
    if (corners < planned[b] && written[b].corners > 0) {
      std::memmove(data->vertices + corners, data->vertices + planned[b],
                   written[b].corners * sizeof(MeshVertex));
    }
    corners += written[b].corners;
    leftOut += written[b].leftOut;
  }
  data->vertexCount = static_cast<uint32_t>(corners);
  if (leftOut > 0) {
    Log << "WARNING: \"" << path << "\": " << leftOut
        << " faces left out for a zero or out-of-range index." << std::endl;
  }
  return data;
}

}  // namespace CorvaneEngine
