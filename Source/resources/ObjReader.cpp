// The OBJ reader. Sections:
//   Arrays and face references  - FixedArray, Reference
//   Numbers                     - eight-byte digit reading, exact float rounding
//   Lines                       - LineReader: numbers, indices and face references
//   The three passes            - count the lines of each kind; read them into lists sized by
//                                 the counts; make the corners
//   Whole file                  - FileText (the mapped file), blocks, ObjReader::Read
#include "resources/ObjReader.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/LargeBlock.h"
#include "core/OutputStream.h"
#include "core/QuitSignal.h"
#include "core/RegularFile.h"

namespace CorvaneEngine {

namespace {

// ---- Arrays and face references ----

// A zero-filled array of plain values, sized once: the lines are counted before they are read,
// so no list grows, is copied or is joined (fresh pages cost more than the parsing that fills
// them, and LargeBlock puts large arrays on huge pages).
template <typename T>
class FixedArray {
 public:
  FixedArray() = default;
  FixedArray(const FixedArray&) = delete;
  FixedArray& operator=(const FixedArray&) = delete;
  ~FixedArray() { LargeBlock::Free(items, bytes); }

  // False when the memory cannot be had.
  bool Allocate(uint64_t count) {
    if (count > SIZE_MAX / sizeof(T)) return false;
    bytes = static_cast<size_t>(count) * sizeof(T);
    items = static_cast<T*>(LargeBlock::Allocate(bytes));
    return items != nullptr;
  }

  // Moves the array into a block of `newBytes` (at least its own size; the pages are moved, not
  // copied) that the caller owns from then on and frees with LargeBlock::Free; null (and the
  // array kept) when the memory cannot be had.
  void* GrowAndGive(size_t newBytes) {
    void* grown = LargeBlock::Grow(items, bytes, bytes, newBytes);
    if (grown != nullptr) items = nullptr, bytes = 0;
    return grown;
  }

  T* items = nullptr;
  size_t bytes = 0;
};

// The indices of one face corner as written: from 1 counting forwards (negative ones are turned
// into these while the lines are read). kMissing marks an index the reference leaves out
// ("1//2", "1/2", "1"); 0 marks one that no list accepts (0 itself, too large for 32 bits, or
// counting back past the first vertex).
constexpr int32_t kMissing = INT32_MIN;
struct Reference {
  int32_t p, t, n;
};

// Every face takes four references; a triangle's fourth has p = kMissing.
constexpr int kFaceSlots = 4;

// Asks for the memory `distance` bytes from `at` ahead of its use. The file's pages and the big
// arrays are read straight through, but the processor's own prefetching stops at every 4 KiB
// page; asking ahead saved about a sixth of a read's time. (A prefetch never faults, so the
// address may lie past the end.)
inline void Prefetch(const void* at, ptrdiff_t distance) {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(at) + distance));
}

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

// 10^0 .. 10^8, each exact as a float.
const float kFloatPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};

// `magnitude`, negated when `negative`. Signs come at random, so this sets the sign bit rather
// than branching (a branch here was mispredicted on about half the numbers).
inline float WithSign(float magnitude, bool negative) {
  uint32_t bits;
  std::memcpy(&bits, &magnitude, 4);
  bits |= static_cast<uint32_t>(negative) << 31;
  float result;
  std::memcpy(&result, &bits, 4);
  return result;
}

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

// Bit i of each mask describes byte i of sixteen. Finding where a number ends from one load,
// rather than digit by digit, keeps the numbers of a line independent of one another, so the
// processor works on several at once.
struct ByteClasses {
  uint32_t
      separator;  // below '!' as a signed byte: blanks, line ends, control bytes, bytes >= 0x80
  uint32_t digit;
  uint32_t dot;
  uint32_t slash;
  uint32_t minus;
};
#if defined(__SSE2__)
inline ByteClasses Classify(const char* s) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  // A byte is a digit when byte - '0' is below 10 unsigned; SSE2 compares signed, hence the xor.
  const __m128i fromZero = _mm_xor_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')),
                                         _mm_set1_epi8(static_cast<char>(0x80)));
  auto mask = [](__m128i m) { return static_cast<uint32_t>(_mm_movemask_epi8(m)); };
  return ByteClasses{mask(_mm_cmplt_epi8(bytes, _mm_set1_epi8('!'))),
                     mask(_mm_cmplt_epi8(fromZero, _mm_set1_epi8(static_cast<char>(0x80 + 10)))),
                     mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))),
                     mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('/'))),
                     mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('-')))};
}

// Bit i of each mask describes byte i of sixty-four: a whole usual line from four looks.
struct LineClasses {
  uint64_t blank;    // ' ', '\t', '\r'
  uint64_t newline;  // '\n'
  uint64_t digit;
  uint64_t slash;
};
inline LineClasses ClassifyLine(const char* s) {
  LineClasses line{0, 0, 0, 0};
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * part));
    const __m128i fromZero = _mm_xor_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')),
                                           _mm_set1_epi8(static_cast<char>(0x80)));
    auto mask = [part](__m128i m) {
      return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m))) << (16 * part);
    };
    line.blank |= mask(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                                 _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))),
                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
    line.newline |= mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
    line.digit |= mask(_mm_cmplt_epi8(fromZero, _mm_set1_epi8(static_cast<char>(0x80 + 10))));
    line.slash |= mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')));
  }
  return line;
}
#endif

// The C library's reading of a number that starts at `s` (after blanks), for the read's
// benchmark (ObjReader::Method). It is called only at a digit, sign or '.', so strtof and strtoll
// never skip a line's '\n' looking for one, and they stop at the '\n' at the latest.
inline bool StartsNumber(char c) {
  return IsDigit(c) || c == '-' || c == '+' || c == '.';
}
bool LibraryFloat(const char*& cursor, float& out) {
  const char* s = cursor;
  while (IsBlank(*s)) ++s;
  char* end = const_cast<char*>(s);
  out = StartsNumber(*s) ? std::strtof(s, &end) : 0.0f;
  if (end == s) return false;
  cursor = end;
  return true;
}
bool LibraryIndex(const char*& cursor, int32_t& out) {
  const char* s = cursor;
  while (IsBlank(*s)) ++s;
  char* end = const_cast<char*>(s);
  const long long value = StartsNumber(*s) && *s != '.' ? std::strtoll(s, &end, 10) : 0;
  if (end == s) return false;
  cursor = end;
  out = value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int32_t>(value);
  return true;
}

// Reads the parts of one line. `safeEnd` bounds the memory that may be read in eight-byte steps;
// byte by byte nothing is read past a line's '\n', which every line handed to it ends with.
// kOwnNumbers is the engine's way; without it the numbers are read by the C library (for the
// read's benchmark).
template <bool kOwnNumbers>
class LineReader {
 public:
  explicit LineReader(const char* safeEnd) : safeEnd(safeEnd) {}

  // Reads `count` numbers of a "v", "vn" or "vt" line into `into` (missing numbers are 0), moving
  // both past them; false when the line has too few. Always inlined: with `count` known at the
  // call the loop unrolls and the cursor and target stay in registers, which saved about a
  // twentieth of a read's processor time.
  __attribute__((always_inline)) bool ReadNumbers(const char*& cursor, int count,
                                                  float*& into) const {
    bool complete = true;
    for (int i = 0; i < count; ++i) {
      float value = 0.0f;
      if (complete) complete = ParseFloat(cursor, value);
      *into++ = value;
    }
    return complete;
  }

  // The usual face line, read from one look at its bytes: after the 'f', three or four "p/t/n"
  // references, each index of one to eight digits, apart by blanks, and the line's '\n' within
  // 64 bytes. Returns how many references it read into `face` (all indices positive) and moves
  // `cursor` to the '\n'; 0 (and `cursor` unmoved) for any other line, which ReadFace reads.
  // Against a look per reference this saved about a fifth of the instructions of a face line.
  __attribute__((always_inline)) int FastFace(const char*& cursor, Reference face[4]) const {
#if defined(__SSE2__)
    const char* const s = cursor;
    if (!kOwnNumbers || s + 72 > safeEnd) return 0;  // digits are read eight bytes at a time
    const LineClasses c = ClassifyLine(s);
    if (c.newline == 0) return 0;
    const int length = __builtin_ctzll(c.newline);
    const uint64_t line = (uint64_t{1} << length) - 1;
    const uint64_t word = (c.digit | c.slash) & line;
    if (((c.blank & line) | word) != line) return 0;
    int count = 0;
    for (uint64_t starts = word & ~(word << 1); starts != 0; starts &= starts - 1) {
      if (count == 4) return 0;
      const int at = __builtin_ctzll(starts);
      const int size = __builtin_ctzll(~(word >> at));
      const uint64_t slash = (c.slash >> at) & ((uint64_t{1} << size) - 1);
      const uint64_t second = slash & (slash - 1);
      if (slash == 0 || second == 0 || (second & (second - 1)) != 0) return 0;
      const int first = __builtin_ctzll(slash), last = __builtin_ctzll(second);
      const int pDigits = first, tDigits = last - first - 1, nDigits = size - last - 1;
      if (pDigits == 0 || pDigits > 8 || tDigits == 0 || tDigits > 8 || nDigits == 0 ||
          nDigits > 8) {
        return 0;
      }
      uint64_t p, t, n;
      std::memcpy(&p, s + at, 8);
      std::memcpy(&t, s + at + first + 1, 8);
      std::memcpy(&n, s + at + last + 1, 8);
      face[count].p = static_cast<int32_t>(DigitsValue(p, pDigits));
      face[count].t = static_cast<int32_t>(DigitsValue(t, tDigits));
      face[count].n = static_cast<int32_t>(DigitsValue(n, nDigits));
      ++count;
    }
    if (count < 3) return 0;
    cursor = s + length;
    return count;
#else
    (void)cursor, (void)face;
    return 0;
#endif
  }

  // Reads the references of a face line (after the 'f') into `face`, moving `cursor` past them;
  // returns how many there are, counting no further than 5 (anything but 3 or 4 refuses the file).
  int ReadFace(const char*& cursor, Reference face[4]) const {
    Reference fifth;  // only refuses the file
    int count = 0;
    for (;;) {
      while (IsBlank(*cursor)) ++cursor;
      // Written in place, field by field: a copy of a whole reference just written in parts
      // would wait for those writes to reach memory.
      Reference& r = count < 4 ? face[count] : fifth;
      if (!kOwnNumbers || !FastReference(cursor, r)) {
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
    out = WithSign(static_cast<float>(value), negative);
    return true;
  }

  // The float of the `whole` (1 to 8) digits at `digits` followed, after one byte, by `fraction`
  // (0 to 8) more, when it can be had with certainty; false otherwise. Reads eight bytes from
  // each run of digits.
  __attribute__((always_inline)) static bool DecimalValue(const char* digits, int whole,
                                                          int fraction, bool negative, float& out) {
    uint64_t wholeBytes, fractionBytes;
    std::memcpy(&wholeBytes, digits, 8);
    uint64_t mantissa;
    if (fraction == 0) {
      mantissa = DigitsValue(wholeBytes, whole);
    } else if (whole + fraction <= 8) {
      // All the digits fit one eight-byte reading: the bytes from the dot on are taken one byte
      // further along, which leaves the dot out.
      std::memcpy(&fractionBytes, digits + 1, 8);
      const uint64_t wholePart = (uint64_t{1} << (8 * whole)) - 1;  // whole is below 8 here
      mantissa =
          DigitsValue((wholeBytes & wholePart) | (fractionBytes & ~wholePart), whole + fraction);
    } else {
      std::memcpy(&fractionBytes, digits + whole + 1, 8);
      mantissa = DigitsValue(wholeBytes, whole) * kIntegerPowersOfTen[fraction] +
                 DigitsValue(fractionBytes, fraction);
    }
    if (mantissa < (uint64_t{1} << 24)) {
      // Both the digits and the power of ten are exact floats, and IEEE division rounds
      // correctly, so the quotient is the correctly rounded value with no check: this is the
      // road of nearly every number a program writes with "%f".
      out =
          WithSign(static_cast<float>(static_cast<int32_t>(mantissa)) / kFloatPowersOfTen[fraction],
                   negative);
      return true;
    }
    return RoundToFloat(mantissa, -fraction, negative, out);
  }

  // Reads a decimal float after optional blanks; false (and 0) when there is none. The result is
  // the correctly rounded float, the same as strtof gives.
  __attribute__((always_inline)) bool ParseFloat(const char*& cursor, float& out) const {
    if (!kOwnNumbers) return LibraryFloat(cursor, out);
    const char* s = cursor;
    while (IsBlank(*s)) ++s;
    if (FastFloat(s, cursor, out)) return true;
    const char* start = s;
    const bool negative = *s == '-';
    s += negative | (*s == '+');
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
    if (!kOwnNumbers) return LibraryIndex(cursor, out);
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

  // The usual number, an optional '-', up to eight digits, optionally '.' and up to eight more,
  // ended by a blank or the line's end, from `s` in one sixteen-byte look; false (and nothing
  // moved) for any other form, which ParseFloat's general road reads. The sign is taken from the
  // same look: where the number ends then depends on that one load alone, so the next number's
  // reading need not wait for the sign byte's.
  __attribute__((always_inline)) bool FastFloat(const char* s, const char*& cursor,
                                                float& out) const {
#if defined(__SSE2__)
    if (s + 25 > safeEnd) return false;
    const ByteClasses c = Classify(s);
    const int end = __builtin_ctz(c.separator | 0x10000);
    const uint32_t sign = c.minus & 1;
    const uint32_t number = ((1u << end) - 1) & ~sign;  // the bytes after the sign
    const uint32_t dot = c.dot & number;
    const int dotAt = dot != 0 ? __builtin_ctz(dot) : end;
    const int whole = dotAt - static_cast<int>(sign);
    const int fraction = dot != 0 ? end - dotAt - 1 : 0;
    if (end == 16 || whole <= 0 || whole > 8 || fraction > 8 || (dot & (dot - 1)) != 0 ||
        (dot != 0 && fraction == 0) || ((c.digit | dot) & number) != number) {
      return false;
    }
    if (!DecimalValue(s + sign, whole, fraction, sign != 0, out)) return false;
    cursor = s + end;
    return true;
#else
    (void)s, (void)cursor, (void)out;
    return false;
#endif
  }

  // The usual reference "p/t/n", each index of one to eight digits, ended by a blank or the
  // line's end, in one thirty-two-byte look; false (and `cursor` unmoved) for anything else, which
  // ParseIndex then reads.
  __attribute__((always_inline)) bool FastReference(const char*& cursor, Reference& r) const {
#if defined(__SSE2__)
    const char* s = cursor;
    if (s + 40 > safeEnd) return false;
    const ByteClasses low = Classify(s), high = Classify(s + 16);
    const uint64_t separator = low.separator | high.separator << 16 | uint64_t{1} << 32;
    const int end = __builtin_ctzll(separator);
    const uint32_t reference = static_cast<uint32_t>((uint64_t{1} << end) - 1);
    const uint32_t slash = (low.slash | high.slash << 16) & reference;
    const uint32_t digit = (low.digit | high.digit << 16) & reference;
    if (end == 32 || slash == 0 || (digit | slash) != reference) return false;
    const int first = __builtin_ctz(slash);
    const uint32_t rest = slash & (slash - 1);
    if (rest == 0 || (rest & (rest - 1)) != 0) return false;
    const int second = __builtin_ctz(rest);
    const int pDigits = first, tDigits = second - first - 1, nDigits = end - second - 1;
    if (pDigits == 0 || pDigits > 8 || tDigits == 0 || tDigits > 8 || nDigits == 0 || nDigits > 8)
      return false;
    uint64_t p, t, n;
    std::memcpy(&p, s, 8);
    std::memcpy(&t, s + first + 1, 8);
    std::memcpy(&n, s + second + 1, 8);
    r.p = static_cast<int32_t>(DigitsValue(p, pDigits));
    r.t = static_cast<int32_t>(DigitsValue(t, tDigits));
    r.n = static_cast<int32_t>(DigitsValue(n, nDigits));
    cursor = s + end;
    return true;
#else
    (void)cursor, (void)r;
    return false;
#endif
  }

  const char* const safeEnd;
};

// Lines of each kind; the numbering runs across the blocks in file order.
struct Counts {
  uint64_t positions = 0, normals = 0, texCoords = 0, faces = 0;
};

// ---- The three passes ----

// Adds the line that starts at `line` to its kind (by its first two bytes, as ReadLines tells
// them apart; a line always has its '\n', so line[1] is there when line[0] is).
inline void CountLine(const char* line, Counts& counts) {
  if (line[0] == 'v') {
    counts.normals += line[1] == 'n';
    counts.texCoords += line[1] == 't';
    counts.positions += line[1] != 'n' && line[1] != 't';
  } else {
    counts.faces += line[0] == 'f';
  }
}

// Pass one: the lines of each kind in [begin, end), which ends with a '\n'. Every '\n' but the
// last starts a line; sixteen bytes are searched at once.
Counts CountLines(const char* begin, const char* end) {
  Counts counts;
  if (begin == end) return counts;
  CountLine(begin, counts);
  const char* const last = end - 1;
  const char* s = begin;
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  for (; last - s >= 16; s += 16) {
    Prefetch(s, 2048);
    unsigned found = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), newline)));
    for (; found != 0; found &= found - 1) CountLine(s + __builtin_ctz(found) + 1, counts);
  }
#endif
  for (; s < last; ++s) {
    if (*s == '\n') CountLine(s + 1, counts);
  }
  return counts;
}

// Where one block's lines go: its share of the file's lists, counted in pass one.
struct BlockOutput {
  float* positions;  // 3 per vertex
  float* normals;    // 3 per vertex
  float* texCoords;  // 2 per vertex
  Reference* faces;  // kFaceSlots per face
  Counts before;     // lines of each kind in the blocks before this one
  Counts room;       // this block's lines of each kind
};

struct BlockResult {
  uint64_t faces = 0;    // read into the block's share
  uint64_t corners = 0;  // if every face is kept (a quad gives 6)
  uint64_t shortLines = 0;
  bool badFace = false;  // a face with other than 3 or 4 references: the file gives no mesh
};

// The 1-based place of a relative (negative) index read after `readSoFar` lines of its kind;
// 0, which no list accepts, when it counts back past the first one.
inline int32_t Absolute(int32_t index, uint64_t readSoFar) {
  if (index >= 0 || index == kMissing) return index;
  const uint64_t back = static_cast<uint64_t>(-static_cast<int64_t>(index));
  return back > readSoFar || readSoFar - back >= INT32_MAX
             ? 0
             : static_cast<int32_t>(readSoFar - back + 1);
}

// Pass two: the lines of [begin, end) into the block's share of the lists. Lines beyond the
// counted room (only a file changed since pass one has them) are skipped: nothing is written
// outside the share.
template <typename Reader>
BlockResult ReadLines(const Reader& reader, const char* begin, const char* end, BlockOutput out) {
  BlockResult result;
  Counts read;                  // lines of each kind stored so far
  Reference spare[kFaceSlots];  // for a face beyond the counted room
  const char* line = begin;
  while (line < end) {
    Prefetch(line, 2048);
    // Where reading the line stopped; usually at its '\n' already.
    const char* rest = line + 1;
    if (*line == 'v') {
      bool complete = true;
      if (line[1] == 'n') {
        ++rest;
        if (read.normals < out.room.normals) {
          complete = reader.ReadNumbers(rest, 3, out.normals);
          ++read.normals;
        }
      } else if (line[1] == 't') {
        ++rest;
        if (read.texCoords < out.room.texCoords) {
          complete = reader.ReadNumbers(rest, 2, out.texCoords);
          ++read.texCoords;
        }
      } else if (read.positions < out.room.positions) {
        complete = reader.ReadNumbers(rest, 3, out.positions);
        ++read.positions;
      }
      result.shortLines += !complete;
    } else if (*line == 'f') {
      const bool roomLeft = read.faces < out.room.faces;
      Reference* const face = roomLeft ? out.faces : spare;
      const int fast = reader.FastFace(rest, face);
      const int count = fast != 0 ? fast : reader.ReadFace(rest, face);
      if (count != 3 && count != 4) {
        result.badFace = true;
        return result;  // the file gives no mesh; the rest need not be read
      }
      if (roomLeft) {
        if (count == 3) face[3].p = kMissing;
        // Only a relative index needs turning round, and the fast road reads none.
        for (int i = 0; i < count && fast == 0; ++i) {
          face[i].p = Absolute(face[i].p, out.before.positions + read.positions);
          face[i].t = Absolute(face[i].t, out.before.texCoords + read.texCoords);
          face[i].n = Absolute(face[i].n, out.before.normals + read.normals);
        }
        out.faces += kFaceSlots;
        ++read.faces;
        result.corners += count == 3 ? 3 : 6;
      }
    }
    // Readers never move past the '\n' (an empty line's first byte is its '\n').
    if (*line == '\n') rest = line;
    while (*rest != '\n') ++rest;
    line = rest + 1;
  }
  result.faces = read.faces;
  return result;
}

// The file's vertex lists.
struct Lists {
  const float* positions;
  const float* normals;
  const float* texCoords;
  Counts length;
};

// The place in a list of length `length` of the 1-based `index`; false when it names no vertex.
inline bool Resolve(int32_t index, uint64_t length, uint64_t& place) {
  place = static_cast<uint64_t>(index) - 1;
  return index > 0 && place < length;
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

// Pass three: the corners of `faceCount` faces from `faces` on, packed against `end` (the end of
// the block's share of the corners), last face first; every face with an index that names no
// vertex is left out. A face's references are all read before its corners are written: the
// corners may overwrite them (see ObjReader::Read).
Written PutCorners(const Reference* faces, uint64_t faceCount, const Lists& lists,
                   MeshVertex* end) {
  static const int kQuadOrder[6] = {0, 1, 2, 0, 2, 3};  // triangles 0-1-2 and 0-2-3
  static const float kNoTexCoord[2] = {0.0f, 0.0f};
  // An index names a vertex when index - 1, wrapped to 32 bits, is below its list's length
  // (capped so that kMissing, 0 and negative indices all wrap to at least the cap).
  auto cap = [](uint64_t length) {
    return static_cast<uint32_t>(std::min<uint64_t>(length, INT32_MAX));
  };
  const uint32_t positions = cap(lists.length.positions), texCoords = cap(lists.length.texCoords),
                 normals = cap(lists.length.normals);
  Written written;
  MeshVertex* out = end;
  for (uint64_t face = faceCount; face-- > 0;) {
    const Reference* const r = faces + kFaceSlots * face;
    Prefetch(r, -1024);  // the faces are taken last first
    const int count = r[3].p == kMissing ? 3 : 4;
    // The usual face, every reference whole and naming vertices, with one test.
    bool whole = true;
    for (int i = 0; i < count; ++i) {
      whole &= (static_cast<uint32_t>(r[i].p) - 1 < positions) &
               (static_cast<uint32_t>(r[i].t) - 1 < texCoords) &
               (static_cast<uint32_t>(r[i].n) - 1 < normals);
    }
    if (whole) {
      // Every reference is read before a corner is written: the corners may overwrite them.
      const float *position[4], *normal[4], *texCoord[4];
      for (int i = 0; i < count; ++i) {
        position[i] = lists.positions + 3 * (static_cast<uint32_t>(r[i].p) - 1);
        normal[i] = lists.normals + 3 * (static_cast<uint32_t>(r[i].n) - 1);
        texCoord[i] = lists.texCoords + 2 * (static_cast<uint32_t>(r[i].t) - 1);
      }
      const int corners = count == 3 ? 3 : 6;
      out -= corners;
      for (int i = 0; i < corners; ++i) {
        const int c = kQuadOrder[i];
        std::memcpy(out[i].position, position[c], 12);
        std::memcpy(out[i].normal, normal[c], 12);
        std::memcpy(out[i].texCoord, texCoord[c], 8);
      }
      continue;
    }
    const float* position[4] = {};
    const float* normal[4] = {};
    const float* texCoord[4] = {};
    bool usable = true, allNormals = true;
    for (int i = 0; i < count && usable; ++i) {
      uint64_t p = 0, t = 0, n = 0;
      usable = Resolve(r[i].p, lists.length.positions, p) &&
               (r[i].t == kMissing || Resolve(r[i].t, lists.length.texCoords, t)) &&
               (r[i].n == kMissing || Resolve(r[i].n, lists.length.normals, n));
      if (!usable) break;
      position[i] = lists.positions + 3 * p;
      texCoord[i] = r[i].t == kMissing ? kNoTexCoord : lists.texCoords + 2 * t;
      normal[i] = r[i].n == kMissing ? nullptr : lists.normals + 3 * n;
      allNormals = allNormals && normal[i] != nullptr;
    }
    if (!usable) {
      ++written.leftOut;
      continue;
    }
    float flat[3];
    if (!allNormals) FlatNormal(position, count, flat);
    const int corners = count == 3 ? 3 : 6;
    out -= corners;
    for (int i = 0; i < corners; ++i) {
      const int c = kQuadOrder[i];
      std::memcpy(out[i].position, position[c], 12);
      std::memcpy(out[i].normal, normal[c] != nullptr ? normal[c] : flat, 12);
      std::memcpy(out[i].texCoord, texCoord[c], 8);
    }
  }
  written.corners = static_cast<uint64_t>(end - out);
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

// Runs `work` on every block, on two threads when there are several and `twoThreads`, until the
// program is asked to end; false when it was.
template <typename Work>
bool ForEachBlock(int count, bool twoThreads, Work work) {
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
  if (count > 1 && twoThreads) {
    OnTwoThreads(take);
  } else {
    take();
  }
  return !quit;
}

// Pass three over every block, into `data`, whose block still holds the face references: block
// b's corners end at planned[b + 1]. The blocks are taken last first, and a block waits for the
// blocks after it whose references its corners would overwrite (only the first blocks with faces
// ever wait); false when the program was asked to end.
bool PutAllCorners(int blockCount, bool twoThreads, const BlockOutput outputs[],
                   const BlockResult results[], const uint64_t planned[], const Lists& lists,
                   MeshData* data, Written written[]) {
  const Reference* const references = reinterpret_cast<const Reference*>(data->vertices);
  auto referencesAt = [&](int b) {
    return static_cast<uint64_t>(kFaceSlots) * outputs[b].before.faces * sizeof(Reference);
  };
  auto referencesEnd = [&](int b) {
    return static_cast<uint64_t>(kFaceSlots) * (outputs[b].before.faces + outputs[b].room.faces) *
           sizeof(Reference);
  };
  // A block that must wait sleeps rather than spins: on a busy machine the thread it waits for
  // may not run for a while.
  bool done[kMaxBlocks + 1] = {};
  bool abandoned = false;
  std::mutex doneLock;
  std::condition_variable doneChanged;
  const bool finished = ForEachBlock(blockCount, twoThreads, [&](int last) {
    const int b = blockCount - 1 - last;
    {
      std::unique_lock<std::mutex> lock(doneLock);
      for (int c = b + 1; c < blockCount && referencesAt(c) < planned[b + 1] * sizeof(MeshVertex);
           ++c) {
        // The block right after is usually still being made on the other thread, but its
        // references lie wholly before this block's corners.
        if (referencesEnd(c) <= planned[b] * sizeof(MeshVertex)) continue;
        while (!done[c]) {
          // A block taken just before the program was asked to end may never be done.
          if (QuitSignal::Requested()) {
            abandoned = true;
            return;
          }
          doneChanged.wait_for(lock, std::chrono::milliseconds(10));
        }
      }
    }
    written[b] = PutCorners(references + kFaceSlots * outputs[b].before.faces, results[b].faces,
                            lists, data->vertices + planned[b + 1]);
    {
      std::lock_guard<std::mutex> lock(doneLock);
      done[b] = true;
    }
    doneChanged.notify_all();
  });
  return finished && !abandoned;
}

}  // namespace

MeshData* ObjReader::Read(const char* path) {
  return Read(path, Method());
}

MeshData* ObjReader::Read(const char* path, const Method& method) {
  FileText file;
  std::string reason;
  if (!file.Open(path, reason)) {
    Log << "Can not load: \"" << path << "\": " << reason << "." << std::endl;
    return nullptr;
  }
  auto stopped = [&] {
    Log << "Resource Error: reading \"" << path << "\" stopped: the program is ending."
        << std::endl;
    return nullptr;
  };
  auto tooLarge = [&] {
    Log << "Resource Error: \"" << path << "\" is too large to read." << std::endl;
    return nullptr;
  };
  const Blocks blocks = CutIntoBlocks(file);

  // Counting first sizes every list exactly, and tells each block where its lines go and how
  // many vertex lines come before it (which relative indices count back from).
  Counts counts[kMaxBlocks + 1];
  if (!ForEachBlock(blocks.count, method.secondThread,
                    [&](int b) { counts[b] = CountLines(blocks.begin[b], blocks.end[b]); })) {
    return stopped();
  }
  BlockOutput outputs[kMaxBlocks + 1];
  Counts total;
  for (int b = 0; b < blocks.count; ++b) {
    outputs[b].before = total;
    outputs[b].room = counts[b];
    total.positions += counts[b].positions;
    total.normals += counts[b].normals;
    total.texCoords += counts[b].texCoords;
    total.faces += counts[b].faces;
  }
  FixedArray<float> positions, normals, texCoords;
  FixedArray<Reference> faces;
  if (total.faces > UINT64_MAX / kFaceSlots || !positions.Allocate(3 * total.positions) ||
      !normals.Allocate(3 * total.normals) || !texCoords.Allocate(2 * total.texCoords) ||
      !faces.Allocate(kFaceSlots * total.faces)) {
    return tooLarge();
  }
  for (int b = 0; b < blocks.count; ++b) {
    outputs[b].positions = positions.items + 3 * outputs[b].before.positions;
    outputs[b].normals = normals.items + 3 * outputs[b].before.normals;
    outputs[b].texCoords = texCoords.items + 2 * outputs[b].before.texCoords;
    outputs[b].faces = faces.items + kFaceSlots * outputs[b].before.faces;
  }

  BlockResult results[kMaxBlocks + 1];
  if (!ForEachBlock(blocks.count, method.secondThread, [&](int b) {
        results[b] = method.ownNumberReader ? ReadLines(LineReader<true>(blocks.safeEnd[b]),
                                                        blocks.begin[b], blocks.end[b], outputs[b])
                                            : ReadLines(LineReader<false>(blocks.safeEnd[b]),
                                                        blocks.begin[b], blocks.end[b], outputs[b]);
      })) {
    return stopped();
  }
  bool badFace = false;
  uint64_t cornerCount = 0, shortLines = 0;
  for (int b = 0; b < blocks.count; ++b) {
    badFace = badFace || results[b].badFace;
    cornerCount += results[b].corners;
    shortLines += results[b].shortLines;
  }
  if (badFace) {
    Log << "Too many sided polygon detected!" << std::endl;
    return nullptr;
  }
  if (cornerCount > UINT32_MAX) return tooLarge();
  if (total.positions == 0) {
    std::cerr << path << " does not contain any vertices" << std::endl;
    return nullptr;
  }
  if (shortLines > 0) {
    Log << "WARNING: \"" << path << "\": " << shortLines
        << " vertex lines with too few numbers; the missing numbers read as 0." << std::endl;
  }

  file.Close();
  const Lists lists{positions.items, normals.items, texCoords.items, total};
  // The corners are made in the face references' own block, grown in place: every face gives at
  // least 96 bytes of corners for its 48 bytes of references, so a face's corners land on or
  // after its references, never on those of a face before it, and the fresh memory of a read
  // (which the kernel must clear page by page) is the larger of the two instead of both.
  // Block b's corners go after every corner the blocks before it could give, so two threads can
  // fill their parts (and fault in their pages) side by side.
  uint64_t planned[kMaxBlocks + 2];
  planned[0] = 0;
  for (int b = 0; b < blocks.count; ++b) planned[b + 1] = planned[b] + results[b].corners;
  MeshData* data = new MeshData();
  if (cornerCount > 0) {
    // (Only a file changed since it was counted can have fewer corner bytes than references.)
    data->blockBytes = std::max(static_cast<size_t>(cornerCount) * sizeof(MeshVertex), faces.bytes);
    data->vertices = static_cast<MeshVertex*>(faces.GrowAndGive(data->blockBytes));
    if (data->vertices == nullptr) {
      delete data;
      Log << "Resource Error: no memory for the corners of \"" << path << "\"." << std::endl;
      return nullptr;
    }
  }
  Written written[kMaxBlocks + 1];
  const bool finished =
      cornerCount == 0 || PutAllCorners(blocks.count, method.secondThread, outputs, results,
                                        planned, lists, data, written);
  if (!finished) {
    MeshData::Free(data);
    return stopped();
  }
  // Faces left out leave gaps before their blocks' corners: close them up.
  uint64_t corners = 0, leftOut = 0;
  for (int b = 0; b < blocks.count && cornerCount > 0; ++b) {
    const uint64_t from = planned[b + 1] - written[b].corners;
    if (corners < from && written[b].corners > 0) {
      std::memmove(data->vertices + corners, data->vertices + from,
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
