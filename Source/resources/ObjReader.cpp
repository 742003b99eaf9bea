// The OBJ reader. Sections:
//   Growable lists of plain values  - PlainList, Reference, Chunk (what one line range holds)
//   Numbers                         - eight-byte digit reading, exact float rounding, LineParser
//   Whole file                      - FileText (the mapped file), corner building, ObjReader::Read
#include "resources/ObjReader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "core/OutputStream.h"
#include "core/LargeBlock.h"

namespace CorvaneEngine {

namespace {

// ---- Growable lists of plain values ----

template <typename T>
class PlainList {
 public:
  PlainList() = default;
  PlainList(const PlainList&) = delete;
  PlainList& operator=(const PlainList&) = delete;
  ~PlainList() { LargeBlock::Free(items, capacity * sizeof(T)); }

  // Room for `more` further items; false when the memory cannot be had.
  bool Reserve(size_t more) {
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

  // Empties the chunk but keeps its memory.
  void Clear() {
    positions.count = normals.count = texCoords.count = references.count = faceSizes.count = 0;
    cornerCount = shortLines = 0;
    badFace = noMemory = false;
  }
  size_t CapacityBytes() const {
    return (positions.capacity + normals.capacity + texCoords.capacity) * sizeof(float) +
           references.capacity * sizeof(Reference) + faceSizes.capacity;
  }
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

// Reads the lines of one range into a Chunk. `safeEnd` bounds the memory that may be read in
// eight-byte steps; byte by byte nothing is read past a line's '\n'.
class LineParser {
 public:
  LineParser(const char* safeEnd, Chunk& chunk) : safeEnd(safeEnd), chunk(chunk) {}

  // Parses the lines of [begin, end). Every line there ends with '\n' (end - 1 is one), and no
  // reader moves past a line's '\n', so nothing is read outside the range.
  void Parse(const char* begin, const char* end) {
    const char* line = begin;
    while (line < end && !chunk.noMemory) {
      const char* rest = line;
      if (*line == 'v') {
        if (line[1] == 'n') {
          rest = ReadNumbers(line + 2, 3, chunk.normals);
        } else if (line[1] == 't') {
          rest = ReadNumbers(line + 2, 2, chunk.texCoords);
        } else {
          rest = ReadNumbers(line + 1, 3, chunk.positions);
        }
      } else if (*line == 'f') {
        rest = ReadFace(line + 1);
        if (rest == nullptr) {
          chunk.badFace = true;
          return;  // the file gives no mesh; the rest need not be read
        }
      }
      while (*rest != '\n') ++rest;
      line = rest + 1;
    }
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

  // Reads `count` numbers of a "v", "vn" or "vt" line (missing numbers are 0); returns where
  // reading stopped.
  const char* ReadNumbers(const char* cursor, int count, PlainList<float>& into) {
    if (!into.Reserve(3)) {
      chunk.noMemory = true;
      return cursor;
    }
    bool complete = true;
    for (int i = 0; i < count; ++i) {
      float value = 0.0f;
      if (complete) complete = ParseFloat(cursor, value);
      into.Put(value);
    }
    if (!complete) ++chunk.shortLines;
    return cursor;
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

  // Reads the references of a face line (after the 'f'); returns where reading stopped, or null
  // for other than 3 or 4 references.
  const char* ReadFace(const char* cursor) {
    Reference face[4];
    int count = 0;
    int32_t v;
    for (;;) {
      while (IsBlank(*cursor)) ++cursor;
      Reference r;
      if (FastReference(cursor, r)) {
        if (count < 4) face[count] = r;
        if (++count > 4) break;
        continue;
      }
      if (!ParseIndex(cursor, v)) break;
      r = Reference{v, 0, 0};
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
    if (count != 3 && count != 4) return nullptr;
    if (!chunk.references.Reserve(4) || !chunk.faceSizes.Reserve(1)) {
      chunk.noMemory = true;
      return cursor;
    }
    for (int i = 0; i < count; ++i) chunk.references.Put(face[i]);
    chunk.faceSizes.Put(static_cast<uint8_t>(count));
    chunk.cornerCount += count == 3 ? 3 : 6;
    return cursor;
  }

  const char* const safeEnd;
  Chunk& chunk;
};

// ---- Whole file ----

// The file's bytes, mapped: the lines up to its last '\n' are parsed in place, and a last line
// without one is copied out with a '\n' added. (Mapping saves copying and clearing a buffer as
// large as the file; asset files are not expected to shrink while they are read.)
class FileText {
 public:
  // False when the file cannot be opened or is no regular file (a pipe might never end).
  bool Open(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      return false;
    }
    size = static_cast<size_t>(info.st_size);
    if (size > 0) {
      void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
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
  ~FileText() {
    if (map != nullptr) ::munmap(const_cast<char*>(map), size);
  }

  const char* map = nullptr;
  size_t size = 0;
  size_t wholeLines = 0;  // bytes up to and with the last '\n'
  std::string tail;       // the last line when it has no '\n', with one (and padding)
  size_t tailLines = 0;   // bytes of `tail` up to and with its '\n'
};

// Parses [begin, end) of the mapped file, and then its copied last line when `last`.
void ParseRange(const FileText& file, const char* begin, const char* end, bool last, Chunk& chunk) {
  LineParser(file.map + file.size, chunk).Parse(begin, end);
  if (last && !chunk.badFace && file.tailLines > 0) {
    LineParser(file.tail.data() + file.tail.size(), chunk)
        .Parse(file.tail.data(), file.tail.data() + file.tailLines);
  }
}

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
// fixed halves would leave one thread waiting for the other.
constexpr size_t kSplitSize = 4u << 20;
constexpr size_t kBlockSize = 1u << 20;
constexpr int kMaxBlocks = 64;

// The joined vertex lists of the whole file.
struct Lists {
  const float* positions;
  size_t positionCount;
  const float* normals;
  size_t normalCount;
  const float* texCoords;
  size_t texCoordCount;
};

bool InRange(int32_t number, size_t listLength) {
  return number > 0 && static_cast<uint64_t>(number) <= listLength;
}

struct Written {
  uint64_t corners = 0;
  uint64_t leftOut = 0;  // faces
};

// Writes the corners of the chunk's faces from `out` on, leaving out every face with an index
// outside its list.
Written PutCorners(const Chunk& chunk, const Lists& lists, MeshVertex* out) {
  static const int kQuadOrder[6] = {0, 1, 2, 0, 2, 3};  // triangles 0-1-2 and 0-2-3
  Written written;
  const Reference* r = chunk.references.items;
  MeshVertex* const start = out;
  for (size_t face = 0; face < chunk.faceSizes.count; ++face) {
    const int count = chunk.faceSizes.items[face];
    bool usable = true;
    for (int i = 0; i < count; ++i) {
      usable = usable && InRange(r[i].p, lists.positionCount) &&
               InRange(r[i].t, lists.texCoordCount) && InRange(r[i].n, lists.normalCount);
    }
    if (usable) {
      const int corners = count == 3 ? 3 : 6;
      for (int i = 0; i < corners; ++i, ++out) {
        const Reference& c = r[kQuadOrder[i]];
        std::memcpy(out->position, lists.positions + 3 * static_cast<size_t>(c.p - 1), 12);
        std::memcpy(out->normal, lists.normals + 3 * static_cast<size_t>(c.n - 1), 12);
        std::memcpy(out->texCoord, lists.texCoords + 2 * static_cast<size_t>(c.t - 1), 8);
      }
    } else {
      ++written.leftOut;
    }
    r += count;
  }
  written.corners = static_cast<uint64_t>(out - start);
  return written;
}

// The lists of one read. The last read's lists are kept for the next one (up to
// kKeptScratchBytes): meshes are mostly loaded one after another, and fresh memory costs the
// kernel about a third as much time as parsing the text that fills it.
struct Scratch {
  Chunk chunks[kMaxBlocks];
};
constexpr size_t kKeptScratchBytes = size_t{192} << 20;
std::mutex spareLock;
std::unique_ptr<Scratch> spare;  // guarded by spareLock

class ScratchLease {
 public:
  ScratchLease() {
    {
      std::lock_guard<std::mutex> lock(spareLock);
      scratch = std::move(spare);
    }
    if (scratch == nullptr) {
      scratch.reset(new (std::nothrow) Scratch());
    } else {
      for (Chunk& chunk : scratch->chunks) chunk.Clear();
    }
  }
  ~ScratchLease() {
    if (scratch == nullptr) return;
    size_t bytes = 0;
    for (const Chunk& chunk : scratch->chunks) bytes += chunk.CapacityBytes();
    if (bytes > kKeptScratchBytes) return;
    std::lock_guard<std::mutex> lock(spareLock);
    if (spare == nullptr) spare = std::move(scratch);
  }
  ScratchLease(const ScratchLease&) = delete;
  ScratchLease& operator=(const ScratchLease&) = delete;

  std::unique_ptr<Scratch> scratch;
};

}  // namespace

MeshData* ObjReader::Read(const char* path) {
  ScratchLease lease;
  if (lease.scratch == nullptr) {
    Log << "Resource Error: no memory to read \"" << path << "\"." << std::endl;
    return nullptr;
  }
  Chunk* const chunks = lease.scratch->chunks;
  int blockCount = 1;
  {
    FileText file;
    if (!file.Open(path)) {
      Log << "Can not load: \"" << path << "\"." << std::endl;
      return nullptr;
    }
    // Block b is [bounds[b], bounds[b + 1]); every inner bound follows a line break.
    const char* bounds[kMaxBlocks + 1];
    bounds[0] = file.map;
    if (file.wholeLines >= kSplitSize && std::thread::hardware_concurrency() > 1) {
      const size_t wanted = file.wholeLines / kBlockSize;
      blockCount = wanted < kMaxBlocks ? static_cast<int>(wanted) : kMaxBlocks;
    }
    const char* const end = file.map + file.wholeLines;
    for (int b = 1; b < blockCount; ++b) {
      const char* target = file.map + file.wholeLines / blockCount * b;
      if (target < bounds[b - 1]) target = bounds[b - 1];
      const void* lineBreak = std::memchr(target, '\n', static_cast<size_t>(end - target));
      bounds[b] = lineBreak != nullptr ? static_cast<const char*>(lineBreak) + 1 : end;
    }
    bounds[blockCount] = end;
    if (blockCount == 1) {
      ParseRange(file, bounds[0], end, true, chunks[0]);
    } else {
      std::atomic<int> next{0};
      OnTwoThreads([&] {
        for (int b = next++; b < blockCount; b = next++) {
          ParseRange(file, bounds[b], bounds[b + 1], b == blockCount - 1, chunks[b]);
        }
      });
    }
  }

  // Numbering runs across the blocks in file order, so the vertex lists are joined first.
  Chunk& all = chunks[0];
  bool noMemory = false, badFace = false;
  uint64_t cornerCount = 0, shortLines = 0;
  for (int b = 0; b < blockCount; ++b) {
    const Chunk& chunk = chunks[b];
    badFace = badFace || chunk.badFace;
    noMemory = noMemory || chunk.noMemory;
    cornerCount += chunk.cornerCount;
    shortLines += chunk.shortLines;
    if (b > 0 && !noMemory) {
      noMemory = !all.positions.Append(chunk.positions.items, chunk.positions.count) ||
                 !all.normals.Append(chunk.normals.items, chunk.normals.count) ||
                 !all.texCoords.Append(chunk.texCoords.items, chunk.texCoords.count);
    }
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

  // Every corner is written before it is read, so the block need not be cleared first.
  MeshData* data = MeshData::Allocate(0);
  if (data != nullptr && cornerCount > 0) {
    data->blockBytes = static_cast<size_t>(cornerCount) * sizeof(MeshVertex);
    data->vertices = static_cast<MeshVertex*>(LargeBlock::AllocateUncleared(data->blockBytes));
    if (data->vertices == nullptr) {
      MeshData::Free(data);
      data = nullptr;
    }
  }
  if (data == nullptr) {
    Log << "Resource Error: no memory for the corners of \"" << path << "\"." << std::endl;
    return nullptr;
  }
  const Lists lists{all.positions.items,   all.positions.count / 3, all.normals.items,
                    all.normals.count / 3, all.texCoords.items,     all.texCoords.count / 2};
  // Each block's corners go after every corner the blocks before it could give, so the blocks
  // can be taken in turn by two threads, which fill their parts (and fault in their pages) side
  // by side; a thread held up elsewhere leaves the rest to the other.
  uint64_t planned[kMaxBlocks];
  Written written[kMaxBlocks];
  planned[0] = 0;
  for (int b = 1; b < blockCount; ++b) planned[b] = planned[b - 1] + chunks[b - 1].cornerCount;
  auto putBlock = [&](int b) {
    written[b] = PutCorners(chunks[b], lists, data->vertices + planned[b]);
  };
  if (blockCount == 1) {
    putBlock(0);
  } else {
    std::atomic<int> next{0};
    OnTwoThreads([&] {
      for (int b = next++; b < blockCount; b = next++) putBlock(b);
    });
  }
  // Faces left out leave gaps after their blocks' corners: close them up.
  uint64_t corners = 0, leftOut = 0;
  for (int b = 0; b < blockCount; ++b) {
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
        << " faces left out for a missing, zero, negative or out-of-range index." << std::endl;
  }
  return data;
}

}  // namespace CorvaneEngine
