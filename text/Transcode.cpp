#include "Transcode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace genattr {
namespace detail {
namespace {

// Trailing bytes announced by the first byte of a sequence. Continuation
// bytes 80..BF count as one-byte sequences and C0, C1 as two-byte leads: the
// well-formedness check rejects them. F8..FF keep the lengths of the early
// five- and six-byte forms, so such a form cut off by the source end reports
// that the input ended, and a complete one that it is ill-formed.
constexpr unsigned char UTF8TrailCount[256] = {
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
constexpr char32_t UTF8DecodeOffset[6] = {0x00000000, 0x00003080, 0x000E2080,
                                          0x03C82080, 0xFA082080, 0x82082080};

// First-byte marker by number of bytes of the encoded character.
constexpr unsigned char UTF8LeadMark[7] = {0x00, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

// The second byte of a three-byte sequence, by the low four bits of its lead
// (E0..EF): bit k is set when the byte's top three bits may be k. Only 100
// (80..9F) and 101 (A0..BF) ever are: E0 needs A0..BF (no overlong forms), ED
// needs 80..9F (no surrogates), the others take both.
constexpr unsigned char kLead3SecondBits[16] = {0x20, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                                                0x30, 0x30, 0x30, 0x30, 0x30, 0x10, 0x30, 0x30};

// The same for four-byte sequences, by the low three bits of the lead
// (F0..F7), over the second byte's top four bits: 8..B are continuation
// bytes; F0 needs 90..BF (no overlong forms), F4 80..8F (nothing above
// 10FFFF), and F5..F7 start nothing.
constexpr std::uint16_t kLead4SecondBits[8] = {0x0E00, 0x0F00, 0x0F00, 0x0F00,
                                               0x0100, 0x0000, 0x0000, 0x0000};

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

// ---- The general path, shaped after the tables: every sequence may take
// ---- it; the loops below take shortcuts for the common ones only.

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
  if (lead < 0xC2 || lead > 0xF4 || UTF8TrailCount[lead] + 1 != length)
    return false;
  if (!IsSecondByteAllowed(lead, source[1]))
    return false;
  for (std::int32_t k = 2; k < length; ++k)
    if (!IsTrail(source[k]))
      return false;
  return true;
}

// Reads the character at s (before sourceEnd) into c and returns its length,
// or 0 after setting `stop`. The length test comes first: a cut-off sequence
// is reported as such even when the bytes that are there could never start
// a character. A plain shift-and-add of the bytes, less one offset, is the
// value.
inline std::ptrdiff_t ReadUTF8(const unsigned char* s, const unsigned char* sourceEnd, char32_t& c,
                               TranscodeResult& stop) {
  const unsigned trail = UTF8TrailCount[*s];
  if (static_cast<std::ptrdiff_t>(trail) >= sourceEnd - s) {
    stop = TranscodeInputEnded;
    return 0;
  }
  if (!IsWellFormed(s, static_cast<std::int32_t>(trail + 1))) {
    stop = TranscodeInputIllegal;
    return 0;
  }
  c = 0;
  for (unsigned k = 0; k < trail; ++k)
    c = (c + s[k]) << 6;
  c += s[trail];
  c -= UTF8DecodeOffset[trail];
  return trail + 1;
}

// Reads the character at s (before sourceEnd) into c and returns the number
// of units it takes, or 0 after setting `stop`. Lenient mode passes an
// unpaired surrogate through as its own value.
inline int ReadUTF16(const char16_t* s, const char16_t* sourceEnd, bool strict, char32_t& c,
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

// Stores a scalar value as one UTF-32 unit; false when there is no room.
inline bool Store(char32_t c, char32_t*& t, char32_t* targetEnd) {
  if (t == targetEnd)
    return false;
  *t++ = c;
  return true;
}

// Stores a value up to 10FFFF as one or two UTF-16 units; false when there is
// not room for all of them.
inline bool Store(char32_t c, char16_t*& t, char16_t* targetEnd) {
  if (t == targetEnd)
    return false;
  if (c <= kMaxBmp) {
    *t++ = static_cast<char16_t>(c);
    return true;
  }
  if (targetEnd - t < 2)
    return false;
  c -= 0x10000;
  t[0] = static_cast<char16_t>(0xD800 + (c >> 10));
  t[1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  t += 2;
  return true;
}

// The UTF-8 forms of one character (up to 10FFFF, a surrogate value
// included): continuation bytes carry six bits each below the lead byte's
// mark. The caller has made sure of the room.
inline void Put2(char32_t c, unsigned char*& t) {
  t[0] = static_cast<unsigned char>(UTF8LeadMark[2] | (c >> 6));
  t[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  t += 2;
}
inline void Put3(char32_t c, unsigned char*& t) {
  t[0] = static_cast<unsigned char>(UTF8LeadMark[3] | (c >> 12));
  t[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  t[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  t += 3;
}
inline void Put4(char32_t c, unsigned char*& t) {
  t[0] = static_cast<unsigned char>(UTF8LeadMark[4] | (c >> 18));
  t[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  t[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  t[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  t += 4;
}

// Writes c as UTF-8 if all its bytes fit; false otherwise.
inline bool StoreUTF8(char32_t c, unsigned char*& t, unsigned char* targetEnd) {
  const std::ptrdiff_t room = targetEnd - t;
  if (c < 0x80 && room >= 1)
    *t++ = static_cast<unsigned char>(c);
  else if (c >= 0x80 && c < 0x800 && room >= 2)
    Put2(c, t);
  else if (c >= 0x800 && c < 0x10000 && room >= 3)
    Put3(c, t);
  else if (c >= 0x10000 && room >= 4)
    Put4(c, t);
  else
    return false;
  return true;
}

// ---- Shortcuts for the two conversions that carry text in bulk. Each works
// ---- on a stretch of the source whose worst case fits into the target, so
// ---- that nothing in it tests the room, and leaves every fault, and the
// ---- last few characters before the target's end, to the general path.
// ---- They accept only what the general path accepts, and produce the same,
// ---- so they change speed only.

// A branch on whether a character is ASCII or a two-byte Latin letter would
// go wrong at every other character of text that mixes them; the shortcuts
// choose with masks instead: `one` where `keep` is all ones, `two` where it
// is zero.
inline std::uint32_t Choose(std::uint32_t keep, std::uint32_t one, std::uint32_t two) {
  return (one & keep) | (two & ~keep);
}

// ASCII, or a two-byte sequence that starts with `first`: its length (0 for
// anything else) and value.
struct ShortCharacter {
  std::uint32_t length;
  std::uint32_t value;
};

inline ShortCharacter ReadShort(std::uint32_t first, std::uint32_t second) {
  const std::uint32_t two = (first >= 0xC2) & (first <= 0xDF) & ((second & 0xC0) == 0x80);
  return {(first < 0x80) + 2 * two,
          Choose(two - 1, first, ((first & 0x1F) << 6) | (second & 0x3F))};
}

constexpr std::uint64_t kHighBitOfEachByte = 0x8080808080808080u;
constexpr std::uint64_t kNonAsciiBitsOfEachUnit = 0xFF80FF80FF80FF80u;

template <typename Unit> std::uint64_t Load64(const Unit* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Copies whole blocks of ASCII from s (16 bytes, or 8 UTF-16 units, at a
// time) while they lie before `limit`; returns whether it copied any.
template <typename Unit>
inline bool CopyAsciiRun(const unsigned char*& s, const unsigned char* limit, Unit*& t) {
  const unsigned char* const start = s;
  while (limit - s >= 16 && ((Load64(s) | Load64(s + 8)) & kHighBitOfEachByte) == 0) {
    for (int k = 0; k < 16; ++k)
      t[k] = s[k];
    s += 16;
    t += 16;
  }
  return s != start;
}

inline bool CopyAsciiRun(const char16_t*& s, const char16_t* limit, unsigned char*& t) {
  const char16_t* const start = s;
  while (limit - s >= 8 && ((Load64(s) | Load64(s + 4)) & kNonAsciiBitsOfEachUnit) == 0) {
    for (int k = 0; k < 8; ++k)
      t[k] = static_cast<unsigned char>(s[k]);
    s += 8;
    t += 8;
  }
  return s != start;
}

// UTF-8 to UTF-16 or UTF-32. No byte yields more than one unit, except that
// a four-byte sequence yields two units (UTF-16): one unit of room is held
// back for such a sequence at the stretch's last byte.
template <typename Unit>
TranscodeResult DecodeUTF8(const unsigned char** sourceCursor, const unsigned char* sourceEnd,
                           Unit** targetCursor, Unit* targetEnd) {
  const unsigned char* s = *sourceCursor;
  Unit* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  for (std::ptrdiff_t sure; (sure = std::min(sourceEnd - s, targetEnd - t - 1)) > 0;) {
    const unsigned char* const stretchEnd = s + sure;
    while (s < stretchEnd) {
      const unsigned char lead = *s;
      const std::ptrdiff_t left = sourceEnd - s;
      if ((lead & 0xF0) == 0xE0 && left >= 3 &&
          ((kLead3SecondBits[lead & 0x0F] >> (s[1] >> 5)) & 1) && IsTrail(s[2])) {
        *t++ = static_cast<Unit>(((lead & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
        s += 3;
        continue;
      }
      if ((lead & 0xF8) == 0xF0 && left >= 4 &&
          ((kLead4SecondBits[lead & 0x07] >> (s[1] >> 4)) & 1) && IsTrail(s[2]) && IsTrail(s[3])) {
        Store(((lead & 0x07u) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) |
                  (s[3] & 0x3Fu),
              t, targetEnd);
        s += 4;
        continue;
      }
      if (CopyAsciiRun(s, stretchEnd, t))
        continue;
      if (stretchEnd - s >= 4) {
        // Two characters at once: the second starts one or two bytes on, and
        // both candidates are read before the first one's length is known,
        // so the loop does not wait for it.
        const ShortCharacter first = ReadShort(s[0], s[1]);
        const ShortCharacter atOne = ReadShort(s[1], s[2]);
        const ShortCharacter atTwo = ReadShort(s[2], s[3]);
        const std::uint32_t nextAtOne = 0u - (first.length == 1);
        const std::uint32_t secondLength = Choose(nextAtOne, atOne.length, atTwo.length);
        if (first.length * secondLength != 0) {
          t[0] = static_cast<Unit>(first.value);
          t[1] = static_cast<Unit>(Choose(nextAtOne, atOne.value, atTwo.value));
          t += 2;
          s += first.length + secondLength;
          continue;
        }
      }
      // Where there is no second byte, s[0] stands in for it, and a lead
      // byte is no trailing byte.
      const ShortCharacter one = ReadShort(lead, s[left >= 2]);
      if (one.length != 0) {
        *t++ = static_cast<Unit>(one.value);
        s += one.length;
        continue;
      }
      char32_t c;
      const std::ptrdiff_t length = ReadUTF8(s, sourceEnd, c, result);
      if (length == 0)
        goto done;
      Store(c, t, targetEnd);
      s += length;
    }
  }
  while (s < sourceEnd) {
    char32_t c;
    const std::ptrdiff_t length = ReadUTF8(s, sourceEnd, c, result);
    if (length == 0)
      break;
    if (!Store(c, t, targetEnd)) {
      result = TranscodeOutputFull;
      break;
    }
    s += length;
  }
done:
  *sourceCursor = s;
  *targetCursor = t;
  return result;
}

} // namespace

bool IsWellFormedUTF8(const unsigned char* source, std::int32_t length) {
  return IsWellFormed(source, length);
}

bool IsWellFormedUTF8Bounded(const unsigned char* source, const unsigned char* sourceEnd) {
  const std::int32_t length = UTF8TrailCount[*source] + 1;
  if (sourceEnd - source < length)
    return false;
  return IsWellFormed(source, length);
}

// A UTF-8 source that passes the check holds only scalar values, so there is
// nothing for the mode to relax.
TranscodeResult TranscodeUTF8ToUTF16(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char16_t** targetCursor,
                                     char16_t* targetEnd, int /*mode*/) {
  return DecodeUTF8(sourceCursor, sourceEnd, targetCursor, targetEnd);
}

TranscodeResult TranscodeUTF8ToUTF32(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char32_t** targetCursor,
                                     char32_t* targetEnd, int /*mode*/) {
  return DecodeUTF8(sourceCursor, sourceEnd, targetCursor, targetEnd);
}

// Three bytes at most per unit; a pair takes four bytes for two units, so
// one byte of room is held back for a pair at the stretch's last unit.
TranscodeResult TranscodeUTF16ToUTF8(const char16_t** sourceCursor, const char16_t* sourceEnd,
                                     unsigned char** targetCursor, unsigned char* targetEnd,
                                     int mode) {
  const bool strict = mode == TranscodeStrict;
  const char16_t* s = *sourceCursor;
  unsigned char* t = *targetCursor;
  TranscodeResult result = TranscodeOk;
  for (std::ptrdiff_t sure; (sure = std::min(sourceEnd - s, (targetEnd - t - 1) / 3)) > 0;) {
    const char16_t* const stretchEnd = s + sure;
    while (s < stretchEnd) {
      const char32_t c = *s;
      if (c < 0x800) {
        if (CopyAsciiRun(s, stretchEnd, t))
          continue;
        // For one byte both stores write c to t[0].
        const char32_t two = c >= 0x80;
        t[two] = static_cast<unsigned char>(Choose(two - 1, c, 0x80 | (c & 0x3F)));
        t[0] = static_cast<unsigned char>(Choose(two - 1, c, UTF8LeadMark[2] | (c >> 6)));
        t += 1 + two;
        ++s;
      } else if (!IsSurrogate(c)) {
        Put3(c, t);
        ++s;
      } else {
        char32_t pair;
        const int units = ReadUTF16(s, sourceEnd, strict, pair, result);
        if (units == 0)
          goto done;
        StoreUTF8(pair, t, targetEnd);
        s += units;
      }
    }
  }
  while (s < sourceEnd) {
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
done:
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
