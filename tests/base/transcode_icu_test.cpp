// The conversions against ICU: every scalar value in both directions, and
// random sequences, well-formed and ill-formed, compared for the result, both
// cursors and the units written, with every amount of room.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "tests/base/transcode_harness.h"

namespace {

using namespace genattr::detail;
using genattr_test::Conversion;
using genattr_test::Convert;
using genattr_test::Converts;
using genattr_test::Outcome;
using genattr_test::SameOutcome;

using U8 = std::vector<unsigned char>;
using U16 = std::vector<char16_t>;
using U32 = std::vector<char32_t>;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Random sequences per source form; each is converted by both conversions
// from that form, in both modes, with ample and with random room. The
// sanitizers slow every allocation down, so they get fewer of them to
// keep the run within seconds.
constexpr int kRandomSequences = kSanitized ? 40000 : 400000;

// ---- ICU on whole texts: nothing when it finds the text ill-formed.

std::optional<U16> IcuUTF8ToUTF16(const U8& in) {
  U16 out(in.size() + 1);
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length,
                reinterpret_cast<const char*>(in.data()), static_cast<int32_t>(in.size()), &error);
  if (U_FAILURE(error))
    return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::optional<U8> IcuUTF16ToUTF8(const U16& in) {
  U8 out(3 * in.size() + 1);
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8(reinterpret_cast<char*>(out.data()), static_cast<int32_t>(out.size()), &length,
              in.data(), static_cast<int32_t>(in.size()), &error);
  if (U_FAILURE(error))
    return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::optional<U32> IcuUTF16ToUTF32(const U16& in) {
  std::vector<UChar32> out(in.size() + 1);
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF32(out.data(), static_cast<int32_t>(out.size()), &length, in.data(),
               static_cast<int32_t>(in.size()), &error);
  if (U_FAILURE(error))
    return std::nullopt;
  return U32(out.begin(), out.begin() + length);
}

std::optional<U16> IcuUTF32ToUTF16(const U32& in) {
  U16 out(2 * in.size() + 1);
  const std::vector<UChar32> source(in.begin(), in.end());
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF32(out.data(), static_cast<int32_t>(out.size()), &length, source.data(),
                 static_cast<int32_t>(source.size()), &error);
  if (U_FAILURE(error))
    return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::optional<U32> IcuUTF8ToUTF32(const U8& in) {
  const std::optional<U16> utf16 = IcuUTF8ToUTF16(in);
  return utf16 ? IcuUTF16ToUTF32(*utf16) : std::nullopt;
}

std::optional<U8> IcuUTF32ToUTF8(const U32& in) {
  const std::optional<U16> utf16 = IcuUTF32ToUTF16(in);
  return utf16 ? IcuUTF16ToUTF8(*utf16) : std::nullopt;
}

// ---- Character by character: where a conversion must stop, and why. ICU
// ---- decodes and encodes each character; these decide only the stops.

// Writes c (up to 10FFFF; a surrogate value stays itself) in the target form
// and returns the number of units.
int Encode(UChar32 c, unsigned char* out) {
  int32_t n = 0;
  U8_APPEND_UNSAFE(out, n, c);
  return n;
}
int Encode(UChar32 c, char16_t* out) {
  int32_t n = 0;
  U16_APPEND_UNSAFE(out, n, c);
  return n;
}
int Encode(UChar32 c, char32_t* out) {
  *out = static_cast<char32_t>(c);
  return 1;
}

template <typename To> void Append(std::vector<To>& out, UChar32 c) {
  To units[4];
  out.insert(out.end(), units, units + Encode(c, units));
}

// Stores c if its units fit into `room`; false otherwise.
template <typename To> bool Fits(Outcome<To>& outcome, UChar32 c, std::size_t room) {
  To units[4];
  const int n = Encode(c, units);
  if (outcome.written.size() + n > room)
    return false;
  outcome.written.insert(outcome.written.end(), units, units + n);
  return true;
}

// Trailing bytes that a lead byte announces, the early five- and six-byte
// forms included.
std::size_t AnnouncedTrail(unsigned char lead) {
  if (lead < 0xC0)
    return 0;
  if (lead < 0xE0)
    return 1;
  if (lead < 0xF0)
    return 2;
  if (lead < 0xF8)
    return 3;
  return lead < 0xFC ? 4 : 5;
}

// Whether the trail+1 bytes at `at` are one character by ICU's decoder.
bool IcuDecodesWhole(const U8& in, std::size_t at, std::size_t trail, UChar32& c) {
  int32_t next = static_cast<int32_t>(at);
  U8_NEXT(in.data(), next, static_cast<int32_t>(in.size()), c);
  return c >= 0 && static_cast<std::size_t>(next) == at + trail + 1;
}

template <typename To> Outcome<To> ExpectedFromUTF8(const U8& in, std::size_t room) {
  Outcome<To> outcome{TranscodeOk, 0, {}};
  outcome.written.reserve(std::min(room, 4 * in.size()));
  while (outcome.consumed < in.size()) {
    const std::size_t at = outcome.consumed;
    const std::size_t trail = AnnouncedTrail(in[at]);
    UChar32 c;
    if (at + trail >= in.size())
      outcome.result = TranscodeInputEnded;
    else if (!IcuDecodesWhole(in, at, trail, c))
      outcome.result = TranscodeInputIllegal;
    else if (!Fits(outcome, c, room))
      outcome.result = TranscodeOutputFull;
    else {
      outcome.consumed += trail + 1;
      continue;
    }
    break;
  }
  return outcome;
}

template <typename To> Outcome<To> ExpectedFromUTF16(const U16& in, std::size_t room, bool strict) {
  Outcome<To> outcome{TranscodeOk, 0, {}};
  outcome.written.reserve(std::min(room, 4 * in.size()));
  while (outcome.consumed < in.size()) {
    const std::size_t at = outcome.consumed;
    UChar32 c = in[at];
    std::size_t units = 1;
    if (U16_IS_LEAD(c) && at + 1 == in.size()) {
      outcome.result = TranscodeInputEnded;
      break;
    }
    if (U16_IS_LEAD(c) && U16_IS_TRAIL(in[at + 1])) {
      c = U16_GET_SUPPLEMENTARY(c, in[at + 1]);
      units = 2;
    } else if (U16_IS_SURROGATE(c) && strict) {
      outcome.result = TranscodeInputIllegal;
      break;
    }
    if (!Fits(outcome, c, room)) {
      outcome.result = TranscodeOutputFull;
      break;
    }
    outcome.consumed += units;
  }
  return outcome;
}

Outcome<unsigned char> ExpectedUTF32ToUTF8(const U32& in, std::size_t room, bool strict) {
  Outcome<unsigned char> outcome{TranscodeOk, 0, {}};
  outcome.written.reserve(std::min(room, 4 * in.size()));
  for (; outcome.consumed < in.size(); ++outcome.consumed) {
    UChar32 c = static_cast<UChar32>(in[outcome.consumed]);
    if (in[outcome.consumed] > 0x10FFFF) {
      c = 0xFFFD;
      outcome.result = TranscodeInputIllegal;
    } else if (U_IS_SURROGATE(c) && strict) {
      outcome.result = TranscodeInputIllegal;
      break;
    }
    if (!Fits(outcome, c, room)) {
      outcome.result = TranscodeOutputFull;
      break;
    }
  }
  return outcome;
}

Outcome<char16_t> ExpectedUTF32ToUTF16(const U32& in, std::size_t room, bool strict) {
  Outcome<char16_t> outcome{TranscodeOk, 0, {}};
  outcome.written.reserve(std::min(room, 4 * in.size()));
  for (; outcome.consumed < in.size(); ++outcome.consumed) {
    if (outcome.written.size() == room) {
      outcome.result = TranscodeOutputFull;
      break;
    }
    UChar32 c = static_cast<UChar32>(in[outcome.consumed]);
    if (in[outcome.consumed] > 0x10FFFF || U_IS_SURROGATE(c)) {
      if (strict) {
        outcome.result = TranscodeInputIllegal;
        if (U_IS_SURROGATE(c))
          break;
        continue;
      }
      c = 0xFFFD;
    }
    if (!Fits(outcome, c, room)) {
      outcome.result = TranscodeOutputFull;
      break;
    }
  }
  return outcome;
}

// ---- Random texts: characters of every length, runs of ASCII and values
// ---- that are no characters, in each form; in half of them one unit is then
// ---- replaced by an edge value or a random one, removed, or made the end,
// ---- which gives ill-formed input of every kind.

class RandomText {
public:
  explicit RandomText(unsigned seed) : mRandom(seed) {}

  unsigned Below(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(mRandom); }
  char32_t Between(char32_t lo, char32_t hi) {
    return std::uniform_int_distribution<char32_t>(lo, hi)(mRandom);
  }

  // UTF-8 by bit pattern: a surrogate value as ED A0..BF xx, a value up to
  // 1FFFFF beyond 10FFFF as F4 90.. to F7 BF BF BF.
  U8 UTF8() {
    static const U8 edges = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                             0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xF8, 0xFC, 0xFF};
    U8 text;
    for (char32_t c : CodePoints())
      Append(text, static_cast<UChar32>(c & 0x1FFFFF));
    return Mutate(text, edges);
  }
  // UTF-16: a surrogate value as a lone unit; nothing above 10FFFF.
  U16 UTF16() {
    static const U16 edges = {0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF,
                              0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFF};
    U16 text;
    for (char32_t c : CodePoints())
      if (c <= 0x10FFFF)
        Append(text, static_cast<UChar32>(c));
    return Mutate(text, edges);
  }
  U32 UTF32() {
    static const U32 edges = {0x0,    0x7F,    0xD7FF,   0xD800,   0xDFFF,     0xE000,
                              0xFFFF, 0x10000, 0x10FFFF, 0x110000, 0x7FFFFFFF, 0xFFFFFFFF};
    return Mutate(CodePoints(), edges);
  }

  // Room for a target of `needed` units: mostly less, sometimes exactly
  // enough or more.
  std::size_t Room(std::size_t needed) { return Below(static_cast<unsigned>(needed) + 3); }

private:
  // Up to seven pieces: runs of ASCII long enough for block copies, scalar
  // values whose UTF-8 length is 1 to 4 with equal chance, surrogate values
  // and values above 10FFFF.
  U32 CodePoints() {
    U32 points;
    for (unsigned piece = Below(8); piece > 0; --piece) {
      switch (Below(7)) {
      case 0:
      case 1:
        for (unsigned k = Between(1, 40); k > 0; --k)
          points.push_back(Below(0x80));
        break;
      case 2:
        points.push_back(Between(0x80, 0x7FF));
        break;
      case 3: {
        const char32_t c = Between(0x800, 0xFFFF - 0x800);
        points.push_back(c < 0xD800 ? c : c + 0x800);
        break;
      }
      case 4:
        points.push_back(Between(0x10000, 0x10FFFF));
        break;
      case 5:
        points.push_back(Between(0xD800, 0xDFFF));
        break;
      default:
        points.push_back(Below(2) ? Between(0x110000, 0x1FFFFF) : Between(0x110000, 0xFFFFFFFF));
      }
    }
    return points;
  }

  template <typename Unit>
  std::vector<Unit> Mutate(std::vector<Unit> text, const std::vector<Unit>& edges) {
    if (text.empty() || Below(2) == 0)
      return text;
    const std::size_t at = Below(static_cast<unsigned>(text.size()));
    switch (Below(4)) {
    case 0:
      text[at] = edges[Below(static_cast<unsigned>(edges.size()))];
      break;
    case 1:
      text[at] = static_cast<Unit>(mRandom());
      break;
    case 2:
      text.erase(text.begin() + static_cast<std::ptrdiff_t>(at));
      break;
    default:
      text.resize(at);
    }
    return text;
  }

  std::mt19937 mRandom;
};

// More room than any conversion of `input` can fill (at most 4 units per unit).
template <typename From> std::size_t AmpleRoom(const std::vector<From>& input) {
  return 4 * input.size() + 1;
}

// Compares one conversion with the expectation in both modes, with ample room
// and with random room, and whole-text strict success with ICU's.
template <typename From, typename To, typename Expect, typename Icu>
void ExpectAgreement(RandomText& random, const std::vector<From>& input,
                     Conversion<From, To> convert, Expect expect, Icu icu) {
  const std::size_t ample = AmpleRoom(input);
  Outcome<To> strict;
  for (int mode : {TranscodeStrict, TranscodeLenient}) {
    const Outcome<To> whole = Convert(convert, input, ample, mode);
    ASSERT_TRUE(SameOutcome(expect(input, ample, mode == TranscodeStrict), whole))
        << "input " << genattr_test::Hex(input) << ", mode " << mode;
    const std::size_t room = random.Room(whole.written.size());
    ASSERT_TRUE(Converts(convert, input, room, mode, expect(input, room, mode == TranscodeStrict)));
    if (mode == TranscodeStrict)
      strict = whole;
  }
  const auto byIcu = icu(input);
  ASSERT_EQ(byIcu.has_value(), strict.result == TranscodeOk)
      << "input " << genattr_test::Hex(input) << ": " << genattr_test::Describe(strict);
  if (byIcu) {
    ASSERT_EQ(*byIcu, strict.written);
  }
}

TEST(TranscodeAgainstIcu, EveryScalarValueBothDirections) {
  U32 scalars;
  for (char32_t c = 0; c <= 0x10FFFF; ++c)
    if (c < 0xD800 || c > 0xDFFF)
      scalars.push_back(c);
  const U16 utf16 = IcuUTF32ToUTF16(scalars).value();
  const U8 utf8 = IcuUTF16ToUTF8(utf16).value();

  // Exactly the room needed, so that a write past the end is caught.
  for (int mode : {TranscodeStrict, TranscodeLenient}) {
    EXPECT_TRUE(Converts(TranscodeUTF8ToUTF16, utf8, utf16.size(), mode,
                         {TranscodeOk, utf8.size(), utf16}));
    EXPECT_TRUE(Converts(TranscodeUTF8ToUTF32, utf8, scalars.size(), mode,
                         {TranscodeOk, utf8.size(), scalars}));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, utf16, utf8.size(), mode,
                         {TranscodeOk, utf16.size(), utf8}));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, utf16, scalars.size(), mode,
                         {TranscodeOk, utf16.size(), scalars}));
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, scalars, utf8.size(), mode,
                         {TranscodeOk, scalars.size(), utf8}));
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, scalars, utf16.size(), mode,
                         {TranscodeOk, scalars.size(), utf16}));
  }
}

TEST(TranscodeAgainstIcu, RandomUTF8) {
  RandomText random(8);
  for (int k = 0; k < kRandomSequences; ++k) {
    const U8 text = random.UTF8();
    auto expect16 = [](const U8& in, std::size_t room, bool) {
      return ExpectedFromUTF8<char16_t>(in, room);
    };
    auto expect32 = [](const U8& in, std::size_t room, bool) {
      return ExpectedFromUTF8<char32_t>(in, room);
    };
    ExpectAgreement(random, text, TranscodeUTF8ToUTF16, expect16, IcuUTF8ToUTF16);
    ExpectAgreement(random, text, TranscodeUTF8ToUTF32, expect32, IcuUTF8ToUTF32);
    for (std::size_t at = 0; at < text.size(); ++at) {
      const std::size_t trail = AnnouncedTrail(text[at]);
      UChar32 c;
      const bool expected = at + trail < text.size() && IcuDecodesWhole(text, at, trail, c);
      ASSERT_EQ(expected, IsWellFormedUTF8Bounded(text.data() + at, text.data() + text.size()))
          << "at byte " << at << " of " << genattr_test::Hex(text);
    }
    if (HasFatalFailure())
      return;
  }
}

TEST(TranscodeAgainstIcu, RandomUTF16) {
  RandomText random(16);
  for (int k = 0; k < kRandomSequences; ++k) {
    const U16 text = random.UTF16();
    ExpectAgreement(random, text, TranscodeUTF16ToUTF8, ExpectedFromUTF16<unsigned char>,
                    IcuUTF16ToUTF8);
    ExpectAgreement(random, text, TranscodeUTF16ToUTF32, ExpectedFromUTF16<char32_t>,
                    IcuUTF16ToUTF32);
    if (HasFatalFailure())
      return;
  }
}

TEST(TranscodeAgainstIcu, RandomUTF32) {
  RandomText random(32);
  for (int k = 0; k < kRandomSequences; ++k) {
    const U32 text = random.UTF32();
    ExpectAgreement(random, text, TranscodeUTF32ToUTF8, ExpectedUTF32ToUTF8, IcuUTF32ToUTF8);
    ExpectAgreement(random, text, TranscodeUTF32ToUTF16, ExpectedUTF32ToUTF16, IcuUTF32ToUTF16);
    if (HasFatalFailure())
      return;
  }
}

} // namespace
