#include "base/Transcode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace genattr {
namespace detail {
namespace {

// Trailing bytes announced by the first byte of a sequence. Continuation
// bytes 80..BF count as one-byte sequences and C0, C1 as two-byte leads: the
// well-formedness check rejects them. F8..FF keep the lengths of the early
// five- and six-byte forms, so such a form cut off by the source end reports
// that the input ended, and a complete one that it is ill-formed.
constexpr unsigned char kUTF8TrailCount[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 10
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 20
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 30
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 40
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 50
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 60
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 70
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // A0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // B0
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // C0
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // D0
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // E0
    3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, // F0
};

// Entry t is what a plain shift-and-add of a (t+1)-byte sequence leaves on
// top of the code point: the lead mark shifted by 6t plus 0x80 shifted by 6k
// for every continuation byte k = 0 .. t-1, modulo 2^32.
constexpr char32_t kUTF8DecodeOffset[6] = {0x00000000, 0x00003080, 0x000E2080,
                                           0x03C82080, 0xFA082080, 0x82082080};

// First-byte marker by number of bytes of the encoded character.
constexpr unsigned char kUTF8LeadMark[7] = {0x00, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxBmp = 0xFFFF;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}
bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsTrail(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Eight bytes at a time: a run of ASCII is copied without looking at each
// character. Both fast paths leave the byte that ends the run to the general
// loop, so they change speed only, never results.
constexpr std::uint64_t kHighBitOfEachByte = 0x8080808080808080u;
constexpr std::uint64_t kNonAsciiBitsOfEachUnit = 0xFF80FF80FF80FF80u;

template <typename Unit> std::uint64_t Load64(const Unit* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Widens the ASCII run at *s, 16 bytes per step, while both sides have room.
template <typename Unit>
void CopyAsciiRun(const unsigned char*& s, const unsigned char* sourceEnd, Unit*& t,
                  Unit* targetEnd) {
  constexpr std::ptrdiff_t kBlock = 16;
  while (sourceEnd - s >= kBlock && targetEnd - t >= kBlock) {
    if ((Load64(s) | Load64(s + 8)) & kHighBitOfEachByte)
      return;
    for (std::ptrdiff_t k = 0; k < kBlock; ++k)
      t[k] = s[k];
    s += kBlock;
    t += kBlock;
  }
}

#if defined(__SSE2__)
// The bits of each of eight UTF-16 units that only a unit beyond ASCII has.
__m128i NonAsciiBits(__m128i units) {
  return _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
}
#endif

// Narrows the ASCII run at *s, 16 units per step where the processor packs
// them in one instruction, then 8 units per step, while both sides have room.
void CopyAsciiRun(const char16_t*& s, const char16_t* sourceEnd, unsigned char*& t,
                  unsigned char* targetEnd) {
#if defined(__SSE2__)
  constexpr std::ptrdiff_t kWide = 16;
  while (sourceEnd - s >= kWide && targetEnd - t >= kWide) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
    const __m128i flagged = NonAsciiBits(_mm_or_si128(low, high));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(flagged, _mm_setzero_si128())) != 0xFFFF)
      break;
    // Every unit is below 0x80, so the saturating pack keeps each one as is.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t), _mm_packus_epi16(low, high));
    s += kWide;
    t += kWide;
  }
#endif
  constexpr std::ptrdiff_t kBlock = 8;
  while (sourceEnd - s >= kBlock && targetEnd - t >= kBlock) {
    if ((Load64(s) | Load64(s + 4)) & kNonAsciiBitsOfEachUnit)
      return;
    for (std::ptrdiff_t k = 0; k < kBlock; ++k)
      t[k] = static_cast<unsigned char>(s[k]);
    s += kBlock;
    t += kBlock;
  }
}

// The second byte's range narrows after E0 (no overlong forms), ED (no
// surrogates), F0 (no overlong forms) and F4 (nothing above 10FFFF).
bool IsSecondByteAllowed(unsigned char lead, unsigned char second) {
  switch (lead) {
  case 0xE0:
    return second >= 0xA0 && second <= 0xBF;
  case 0xED:
    return second >= 0x80 && second <= 0x9F;
  case 0xF0:
    return second >= 0x90 && second <= 0xBF;
  case 0xF4:
    return second >= 0x80 && second <= 0x8F;
  default:
    return IsTrail(second);
  }
}

bool IsWellFormed(const unsigned char* source, std::int32_t length) {
  if (length < 1 || length > 4)
    return false;
  const unsigned char lead = source[0];
  if (lead < 0x80)
    return length == 1;
  // The lead must announce exactly `length` bytes; continuation bytes, C0, C1
  // (overlong two-byte forms) and F5 up (beyond 10FFFF) start nothing.
  if (lead < 0xC2 || lead > 0xF4 || kUTF8TrailCount[lead] + 1 != length)
    return false;
  if (!IsSecondByteAllowed(lead, source[1]))
    return false;
  for (std::int32_t k = 2; k < length; ++k)
    if (!IsTrail(source[k]))
      return false;
  return true;
}

// Shift-and-add of the raw bytes, then one subtraction removes every marker.
char32_t Decode(const unsigned char* s, unsigned trail) {
  char32_t c = 0;
  switch (trail) {
  case 3:
    c += *s++;
    c <<= 6;
    [[fallthrough]];
  case 2:
    c += *s++;
    c <<= 6;
    [[fallthrough]];
  case 1:
    c += *s++;
    c <<= 6;
    [[fallthrough]];
  default:
    c += *s;
  }
  return c - kUTF8DecodeOffset[trail];
}

// Stores a scalar value as one UTF-32 unit; false when there is no room.
bool Store(char32_t c, char32_t*& t, char32_t* targetEnd) {
  if (t == targetEnd)
    return false;
  *t++ = c;
  return true;
}

// Stores a value up to 10FFFF as one or two UTF-16 units; false when there is
// not room for all of them.
bool Store(char32_t c, char16_t*& t, char16_t* targetEnd) {
  if (t == targetEnd)
    return false;
  if (c <= kMaxBmp) {
    *t++ = static_cast<char16_t>(c);
    return true;
  }
  if (targetEnd - t < 2)
    return false;
  c -= 0x10000;
  *t++ = static_cast<char16_t>(0xD800 + (c >> 10));
  *t++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  return true;
}

// Stores a value from 10000 to 10FFFF as its two UTF-16 units, or as one
// UTF-32 unit; the caller has checked the room.
void StorePair(char32_t c, char16_t*& t) {
  c -= 0x10000;
  t[0] = static_cast<char16_t>(0xD800 + (c >> 10));
  t[1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  t += 2;
}
void StorePair(char32_t c, char32_t*& t) {
  *t++ = c;
}

// The common case of decoding, away from both ends: decodes well-formed
// characters from s while s is before blockEnd, which the caller has put at
// least three bytes before the source end and at most as many bytes after s
// as there are units of room, less one. No character writes more units than
// it reads bytes, so neither the source end nor the target end need tests
// here. Stops at the end of the block or at the first character it cannot
// take, which the careful path then reports exactly. The range tests on the
// decoded value are the second-byte rules of IsSecondByteAllowed(): no
// overlong forms, no surrogates, nothing beyond 10FFFF.
template <typename Unit>
void DecodeBlock(const unsigned char*& s, const unsigned char* blockEnd, Unit*& t) {
  while (s < blockEnd) {
    const char32_t b0 = s[0];
    if (b0 < 0x80) {
      *t++ = static_cast<Unit>(b0);
      ++s;
      continue;
    }
    // Each continuation byte with its marker flipped: below 40 exactly when
    // the byte is one (80..BF), and then its six bits of payload.
    const char32_t p1 = s[1] ^ 0x80u;
    if (b0 < 0xE0) {
      if (b0 < 0xC2 || p1 >= 0x40)
        return;
      *t++ = static_cast<Unit>(((b0 & 0x1F) << 6) | p1);
      s += 2;
      continue;
    }
    const char32_t p2 = s[2] ^ 0x80u;
    if ((p1 | p2) >= 0x40)
      return;
    if (b0 < 0xF0) {
      const char32_t c = ((b0 & 0x0F) << 12) | (p1 << 6) | p2;
      if (c < 0x800 || c - 0xD800 < 0x800)
        return;
      *t++ = static_cast<Unit>(c);
      s += 3;
      continue;
    }
    const char32_t p3 = s[3] ^ 0x80u;
    if (b0 > 0xF4 || p3 >= 0x40)
      return;
    const char32_t c = ((b0 & 0x07) << 18) | (p1 << 12) | (p2 << 6) | p3;
    if (c < 0x10000 || c > kMaxCodePoint)
      return;
    StorePair(c, t);
    s += 4;
  }
}

template <typename Unit>
TranscodeResult DecodeUTF8(const unsigned char** sourceCursor, const unsigned char* sourceEnd,
                           Unit** targetCursor, Unit* targetEnd) {
  const unsigned char* s = *sourceCursor;
  Unit* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  while (s < sourceEnd) {
    if (*s < 0x80) {
      CopyAsciiRun(s, sourceEnd, t, targetEnd);
      if (s == sourceEnd)
        break;
    }
    const std::ptrdiff_t block = std::min(sourceEnd - s - 3, targetEnd - t - 1);
    if (block > 0) {
      const unsigned char* const before = s;
      DecodeBlock(s, s + block, t);
      if (s != before)
        continue;
    }
    const unsigned trail = kUTF8TrailCount[*s];
    // The length test comes first: a cut-off sequence is reported as such even
    // when the bytes that are there could never start a character.
    if (static_cast<std::ptrdiff_t>(trail) >= sourceEnd - s) {
      result = TranscodeInputEnded;
      break;
    }
    if (!IsWellFormed(s, static_cast<std::int32_t>(trail + 1))) {
      result = TranscodeInputIllegal;
      break;
    }
    if (!Store(Decode(s, trail), t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    s += trail + 1;
  }
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

// Reads the character at s (s before sourceEnd) into c and returns the number
// of units it takes, or 0 after setting `stop`. Lenient mode passes an
// unpaired surrogate through as its own value.
int ReadUTF16(const char16_t* s, const char16_t* sourceEnd, bool strict, char32_t& c,
              TranscodeResult& stop) {
  c = *s;
  if (!IsSurrogate(c))
    return 1;
  if (IsHighSurrogate(c)) {
    if (sourceEnd - s == 1) {
      stop = TranscodeInputEnded;
      return 0;
    }
    const char32_t low = s[1];
    if (IsLowSurrogate(low)) {
      c = ((c - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
      return 2;
    }
  }
  if (strict) {
    stop = TranscodeInputIllegal;
    return 0;
  }
  return 1;
}

int UTF8Length(char32_t c) {
  if (c < 0x80)
    return 1;
  if (c < 0x800)
    return 2;
  if (c < 0x10000)
    return 3;
  return 4;
}

// Writes c (up to 10FFFF) as `length` bytes, continuation bytes last to first.
void WriteUTF8(char32_t c, int length, unsigned char* t) {
  unsigned char* p = t + length;
  switch (length) {
  case 4:
    *--p = static_cast<unsigned char>((c & 0x3F) | 0x80);
    c >>= 6;
    [[fallthrough]];
  case 3:
    *--p = static_cast<unsigned char>((c & 0x3F) | 0x80);
    c >>= 6;
    [[fallthrough]];
  case 2:
    *--p = static_cast<unsigned char>((c & 0x3F) | 0x80);
    c >>= 6;
    [[fallthrough]];
  default:
    *--p = static_cast<unsigned char>(c | kUTF8LeadMark[length]);
  }
}

// Writes c as UTF-8 if all its bytes fit; false otherwise.
bool StoreUTF8(char32_t c, unsigned char*& t, unsigned char* targetEnd) {
  const int length = UTF8Length(c);
  if (targetEnd - t < length)
    return false;
  WriteUTF8(c, length, t);
  t += length;
  return true;
}

#if defined(__SSE2__)
// Whether every surrogate among the eight units `units` is half of a pair,
// both halves among them or, for a high surrogate last, completed by `next`.
// The first unit is no surrogate.
bool PairsComplete(__m128i units, char16_t next) {
  const __m128i halves = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFC00)));
  const auto laneMask = [](__m128i lanes) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lanes, _mm_setzero_si128())));
  };
  const unsigned high =
      laneMask(_mm_cmpeq_epi16(halves, _mm_set1_epi16(static_cast<short>(0xD800))));
  const unsigned low =
      laneMask(_mm_cmpeq_epi16(halves, _mm_set1_epi16(static_cast<short>(0xDC00)))) |
      (IsLowSurrogate(next) ? 0x100U : 0U);
  // Units 1 to 8 that must be low surrogates, and those that are.
  const unsigned wanted = high << 1;
  return ((wanted & ~low) | (low & 0xFEU & ~wanted)) == 0;
}

// Narrows a run of ASCII between other characters, up to eight units, at
// once: all eight units at s are narrowed and stored, and the cursors move
// past the ASCII ones. Text that mixes ASCII with other characters then takes
// a branch per run rather than one, hard to predict, per character. The
// caller's block leaves room for three bytes per unit, so the store fits, and
// the characters that follow the run overwrite the rest of it, as long as
// none of the eight units stops the conversion: false, with nothing written,
// when one could, or when the block ends too soon.
inline bool NarrowAsciiRun(const char16_t*& s, const char16_t* blockEnd, unsigned char*& t) {
  if (blockEnd - s <= 8)
    return false;
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i flagged = NonAsciiBits(units);
  // Two bits per unit, set for each ASCII unit; the upper half of the
  // complement is set, so the run ends by the eighth unit.
  const auto ascii =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(flagged, _mm_setzero_si128())));
  const auto run = static_cast<unsigned>(__builtin_ctz(~ascii)) / 2;
  if (run < 8 && !PairsComplete(units, s[8]))
    return false;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(t), _mm_packus_epi16(units, units));
  s += run;
  t += run;
  return true;
}
#endif

// The common case of encoding: encodes characters from s while s is before
// blockEnd, which the caller has put at most a third of the room after s, so
// that every unit in the block, which yields at most three bytes (a pair four
// for its two units), fits. Stops at the end of the block or at a surrogate
// that is not the first of a whole pair within it, which the careful path
// then handles.
void EncodeBlock(const char16_t*& s, const char16_t* blockEnd, unsigned char*& t) {
  while (s < blockEnd) {
    const char32_t c = *s;
    if (c < 0x80) {
#if defined(__SSE2__)
      if (NarrowAsciiRun(s, blockEnd, t))
        continue;
#endif
      *t++ = static_cast<unsigned char>(c);
      ++s;
    } else if (c < 0x800) {
      t[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      t[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      t += 2;
      ++s;
    } else if (!IsSurrogate(c)) {
      t[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      t[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      t[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      t += 3;
      ++s;
    } else if (IsHighSurrogate(c) && blockEnd - s >= 2 && IsLowSurrogate(s[1])) {
      const char32_t v = ((c - 0xD800) << 10) + (s[1] - 0xDC00) + 0x10000;
      t[0] = static_cast<unsigned char>(0xF0 | (v >> 18));
      t[1] = static_cast<unsigned char>(0x80 | ((v >> 12) & 0x3F));
      t[2] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
      t[3] = static_cast<unsigned char>(0x80 | (v & 0x3F));
      t += 4;
      s += 2;
    } else {
      return;
    }
  }
}

} // namespace

bool IsWellFormedUTF8(const unsigned char* source, std::int32_t length) {
  return IsWellFormed(source, length);
}

bool IsWellFormedUTF8Bounded(const unsigned char* source, const unsigned char* sourceEnd) {
  const std::int32_t length = kUTF8TrailCount[*source] + 1;
  if (sourceEnd - source < length)
    return false;
  return IsWellFormed(source, length);
}

TranscodeResult TranscodeUTF8ToUTF16(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char16_t** targetCursor,
                                     char16_t* targetEnd, int /*mode*/) {
  // A UTF-8 source that passes the check holds only scalar values, so there
  // is nothing for the mode to relax.
  return DecodeUTF8(sourceCursor, sourceEnd, targetCursor, targetEnd);
}

TranscodeResult TranscodeUTF8ToUTF32(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char32_t** targetCursor,
                                     char32_t* targetEnd, int /*mode*/) {
  return DecodeUTF8(sourceCursor, sourceEnd, targetCursor, targetEnd);
}

TranscodeResult TranscodeUTF16ToUTF8(const char16_t** sourceCursor, const char16_t* sourceEnd,
                                     unsigned char** targetCursor, unsigned char* targetEnd,
                                     int mode) {
  const bool strict = mode == TranscodeStrict;
  const char16_t* s = *sourceCursor;
  unsigned char* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  while (s < sourceEnd) {
    if (*s < 0x80) {
      CopyAsciiRun(s, sourceEnd, t, targetEnd);
      if (s == sourceEnd)
        break;
    }
    const std::ptrdiff_t block = std::min(sourceEnd - s, (targetEnd - t) / 3);
    if (block > 0) {
      const char16_t* const before = s;
      EncodeBlock(s, s + block, t);
      if (s != before)
        continue;
    }
    char32_t c;
    const int units = ReadUTF16(s, sourceEnd, strict, c, result);
    if (units == 0)
      break;
    if (!StoreUTF8(c, t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    s += units;
  }
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

TranscodeResult TranscodeUTF16ToUTF32(const char16_t** sourceCursor, const char16_t* sourceEnd,
                                      char32_t** targetCursor, char32_t* targetEnd, int mode) {
  const bool strict = mode == TranscodeStrict;
  const char16_t* s = *sourceCursor;
  char32_t* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  while (s < sourceEnd) {
    char32_t c;
    const int units = ReadUTF16(s, sourceEnd, strict, c, result);
    if (units == 0)
      break;
    if (!Store(c, t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    s += units;
  }
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

TranscodeResult TranscodeUTF32ToUTF8(const char32_t** sourceCursor, const char32_t* sourceEnd,
                                     unsigned char** targetCursor, unsigned char* targetEnd,
                                     int mode) {
  const bool strict = mode == TranscodeStrict;
  const char32_t* s = *sourceCursor;
  unsigned char* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  while (s < sourceEnd) {
    char32_t c = *s;
    if (c > kMaxCodePoint) {
      // Replaced in both modes; the result tells the caller, and a later stop
      // overrides it.
      c = kReplacement;
      result = TranscodeInputIllegal;
    } else if (strict && IsSurrogate(c)) {
      result = TranscodeInputIllegal;
      break;
    }
    if (!StoreUTF8(c, t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    ++s;
  }
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

TranscodeResult TranscodeUTF32ToUTF16(const char32_t** sourceCursor, const char32_t* sourceEnd,
                                      char16_t** targetCursor, char16_t* targetEnd, int mode) {
  const bool strict = mode == TranscodeStrict;
  const char32_t* s = *sourceCursor;
  char16_t* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  while (s < sourceEnd) {
    // Room is checked before the value, so a full target stops even at a
    // value that would store nothing.
    if (t == targetEnd) {
      result = TranscodeOutputFull;
      break;
    }
    char32_t c = *s;
    if (c > kMaxCodePoint) {
      if (strict) {
        // Skipped: strict mode stores nothing for it but goes on.
        result = TranscodeInputIllegal;
        ++s;
        continue;
      }
      c = kReplacement;
    } else if (IsSurrogate(c)) {
      if (strict) {
        result = TranscodeInputIllegal;
        break;
      }
      c = kReplacement;
    }
    if (!Store(c, t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    ++s;
  }
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

} // namespace detail
} // namespace genattr
