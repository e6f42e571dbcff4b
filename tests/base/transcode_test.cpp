// Conversions between UTF-8, UTF-16 and UTF-32: results and cursors on
// doubtful input, a full target at every boundary, resumption, and the UTF-8
// well-formedness checks against a reference written from the definition of
// UTF-8.
#include <cstdint>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

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

// Any mode other than 0 is lenient, not only TranscodeLenient.
const int kLenientModes[] = {TranscodeLenient, 7, -1};
const int kAllModes[] = {TranscodeStrict, TranscodeLenient, 7, -1};

template <typename T> std::vector<T> Concat(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A text given character by character, each with its source units and the
// target units it converts to; it gives the input and the expected outcome
// of a conversion into any amount of room.
template <typename From, typename To> struct Text {
  std::vector<std::pair<std::vector<From>, std::vector<To>>> characters;

  std::vector<From> Input() const {
    std::vector<From> input;
    for (const auto& c : characters)
      input.insert(input.end(), c.first.begin(), c.first.end());
    return input;
  }
  // Every character that fits whole is converted; the first that does not
  // stops the conversion with both cursors on it.
  Outcome<To> Expected(std::size_t room) const {
    Outcome<To> outcome{TranscodeOk, 0, {}};
    for (const auto& c : characters) {
      if (outcome.written.size() + c.second.size() > room) {
        outcome.result = TranscodeOutputFull;
        break;
      }
      outcome.consumed += c.first.size();
      outcome.written.insert(outcome.written.end(), c.second.begin(), c.second.end());
    }
    return outcome;
  }
};

template <typename From, typename To>
void ExpectEveryRoom(Conversion<From, To> convert, const Text<From, To>& text) {
  const std::vector<From> input = text.Input();
  const std::size_t needed = text.Expected(SIZE_MAX).written.size();
  for (std::size_t room = 0; room <= needed + 1; ++room)
    for (int mode : kAllModes)
      EXPECT_TRUE(Converts(convert, input, room, mode, text.Expected(room)));
}

TEST(Transcode, EmptySourceWritesNothing) {
  for (int mode : kAllModes) {
    EXPECT_TRUE(Converts(TranscodeUTF8ToUTF16, U8{}, 0, mode, {TranscodeOk, 0, {}}));
    EXPECT_TRUE(Converts(TranscodeUTF8ToUTF32, U8{}, 0, mode, {TranscodeOk, 0, {}}));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, U16{}, 0, mode, {TranscodeOk, 0, {}}));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, U16{}, 0, mode, {TranscodeOk, 0, {}}));
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, U32{}, 0, mode, {TranscodeOk, 0, {}}));
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, U32{}, 4, mode, {TranscodeOk, 0, {}}));
  }
}

TEST(TranscodeUTF8, IllFormedSequenceStopsOnItsFirstByteInEveryMode) {
  const std::vector<U8> illFormed = {
      {0xC0, 0x80},                         // overlong U+0000
      {0xC1, 0xBF},                         // overlong U+007F
      {0xE0, 0x9F, 0xBF},                   // overlong U+07FF
      {0xF0, 0x8F, 0xBF, 0xBF},             // overlong U+FFFF
      {0xED, 0xA0, 0x80},                   // encoded surrogate D800
      {0xED, 0xBF, 0xBF},                   // encoded surrogate DFFF
      {0xF4, 0x90, 0x80, 0x80},             // 110000, above the last code point
      {0xF5, 0x80, 0x80, 0x80},             // lead that can only start values above 10FFFF
      {0xF8, 0x88, 0x80, 0x80, 0x80},       // five-byte form
      {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}, // six-byte form
      {0x80},                               // continuation byte as lead
      {0xBF},                               // continuation byte as lead
      {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80}, // FF, never in UTF-8
      {0xC3, 0x41},                         // second byte not a continuation
      {0xC3, 0xC3},                         // second byte a lead
      {0xE2, 0xC2, 0xAC},                   // second byte above BF
      {0xE2, 0x82, 0x41},                   // third byte not a continuation
      {0xF0, 0x9F, 0x98, 0x41},             // fourth byte not a continuation
      {0xF0, 0x9F, 0x98, 0xC0},             // fourth byte above BF
  };
  for (const U8& bad : illFormed) {
    // "A", the ill-formed bytes, "B": only "A" is converted.
    const U8 input = Concat(Concat(U8{0x41}, bad), U8{0x42});
    for (int mode : kAllModes) {
      EXPECT_TRUE(
          Converts(TranscodeUTF8ToUTF16, input, 10, mode, {TranscodeInputIllegal, 1, {0x41}}));
      EXPECT_TRUE(
          Converts(TranscodeUTF8ToUTF32, input, 10, mode, {TranscodeInputIllegal, 1, {0x41}}));
    }
  }
}

// Followed literally, a check without the lower bound of the second byte
// after ED and F4 would accept ED 41 80 and decode it as U+C040, swallowing
// the "A".
TEST(TranscodeRegression, SecondByteBelowContinuationRangeAfterEDOrF4IsIllegal) {
  for (const U8& input : {U8{0xED, 0x41, 0x80}, U8{0xF4, 0x41, 0x80, 0x80}, U8{0xE0, 0x41, 0x80},
                          U8{0xF0, 0x41, 0x80, 0x80}}) {
    EXPECT_TRUE(
        Converts(TranscodeUTF8ToUTF16, input, 4, TranscodeStrict, {TranscodeInputIllegal, 0, {}}));
    EXPECT_TRUE(
        Converts(TranscodeUTF8ToUTF32, input, 4, TranscodeLenient, {TranscodeInputIllegal, 0, {}}));
    EXPECT_FALSE(IsWellFormedUTF8(input.data(), static_cast<std::int32_t>(input.size())));
  }
}

TEST(TranscodeUTF8, SequenceCutOffBySourceEndReportsInputEnded) {
  const std::vector<U8> cutOff = {
      {0xC3},                   // U+00E9 without its second byte
      {0xE2, 0x82},             // U+20AC without its third byte
      {0xF0, 0x9F, 0x98},       // U+1F600 without its fourth byte
      {0xE0, 0x41},             // E0 announces three bytes: the length test comes first
      {0xC0},                   // C0 announces two bytes, though it can start nothing
      {0xF8, 0x88, 0x80, 0x80}, // five-byte form, cut off
      {0xFC},                   // six-byte lead alone
      {0xFF, 0x80},             // FF announces five trailing bytes too
  };
  for (const U8& tail : cutOff) {
    const U8 input = Concat(U8{0x41}, tail);
    for (int mode : kAllModes) {
      EXPECT_TRUE(
          Converts(TranscodeUTF8ToUTF16, input, 10, mode, {TranscodeInputEnded, 1, {0x41}}));
      EXPECT_TRUE(
          Converts(TranscodeUTF8ToUTF32, input, 10, mode, {TranscodeInputEnded, 1, {0x41}}));
    }
  }
}

TEST(TranscodeUTF16, PairConvertsToOneCharacter) {
  // U+1F600, U+10FFFF
  const U16 input = {0xD83D, 0xDE00, 0xDBFF, 0xDFFF};
  for (int mode : kAllModes) {
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, input, 8, mode,
                         {TranscodeOk, 4, {0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF}}));
    EXPECT_TRUE(
        Converts(TranscodeUTF16ToUTF32, input, 2, mode, {TranscodeOk, 4, {0x1F600, 0x10FFFF}}));
  }
}

TEST(TranscodeUTF16, UnpairedSurrogateStopsWhenStrictAndPassesWhenLenient) {
  struct Case {
    U16 input;
    Outcome<unsigned char> strictTo8, lenientTo8;
    Outcome<char32_t> strictTo32, lenientTo32;
  };
  const Case cases[] = {
      // D800 "A": high surrogate followed by a non-surrogate
      {{0xD800, 0x41},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 2, {0xED, 0xA0, 0x80, 0x41}},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 2, {0xD800, 0x41}}},
      // "A" DC00 "B": low surrogate without a high one
      {{0x41, 0xDC00, 0x42},
       {TranscodeInputIllegal, 1, {0x41}},
       {TranscodeOk, 3, {0x41, 0xED, 0xB0, 0x80, 0x42}},
       {TranscodeInputIllegal, 1, {0x41}},
       {TranscodeOk, 3, {0x41, 0xDC00, 0x42}}},
      // DC00 D800 DC00: a low one alone, then a pair (U+10000)
      {{0xDC00, 0xD800, 0xDC00},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 3, {0xED, 0xB0, 0x80, 0xF0, 0x90, 0x80, 0x80}},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 3, {0xDC00, 0x10000}}},
      // DBFF DBFF "A": two high surrogates in a row
      {{0xDBFF, 0xDBFF, 0x41},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 3, {0xED, 0xAF, 0xBF, 0xED, 0xAF, 0xBF, 0x41}},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeOk, 3, {0xDBFF, 0xDBFF, 0x41}}},
      // D800 D800: the second is the last unit, in every mode a cut-off pair
      {{0xD800, 0xD800},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeInputEnded, 1, {0xED, 0xA0, 0x80}},
       {TranscodeInputIllegal, 0, {}},
       {TranscodeInputEnded, 1, {0xD800}}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, c.input, 12, TranscodeStrict, c.strictTo8));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, c.input, 4, TranscodeStrict, c.strictTo32));
    for (int mode : kLenientModes) {
      EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, c.input, 12, mode, c.lenientTo8));
      EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, c.input, 4, mode, c.lenientTo32));
    }
  }
}

TEST(TranscodeUTF16, FinalHighSurrogateReportsInputEndedInEveryMode) {
  // "A" D83D
  const U16 input = {0x41, 0xD83D};
  for (int mode : kAllModes) {
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, input, 8, mode, {TranscodeInputEnded, 1, {0x41}}));
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, input, 8, mode, {TranscodeInputEnded, 1, {0x41}}));
  }
}

TEST(TranscodeUTF32, SurrogateValueStopsWhenStrict) {
  // "A" D800 "B", and "A" DFFF "B"
  for (char32_t surrogate : {0xD800, 0xDFFF}) {
    const U32 input = {0x41, surrogate, 0x42};
    const unsigned char second = surrogate == 0xD800 ? 0xA0 : 0xBF;
    const unsigned char third = surrogate == 0xD800 ? 0x80 : 0xBF;
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, input, 8, TranscodeStrict,
                         {TranscodeInputIllegal, 1, {0x41}}));
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, input, 8, TranscodeStrict,
                         {TranscodeInputIllegal, 1, {0x41}}));
    for (int mode : kLenientModes) {
      EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, input, 8, mode,
                           {TranscodeOk, 3, {0x41, 0xED, second, third, 0x42}}));
      EXPECT_TRUE(
          Converts(TranscodeUTF32ToUTF16, input, 8, mode, {TranscodeOk, 3, {0x41, 0xFFFD, 0x42}}));
    }
  }
}

TEST(TranscodeUTF32, ValueAboveLastCodePointToUTF8IsReplacedAndReported) {
  const U8 replacement = {0xEF, 0xBF, 0xBD};
  for (int mode : kAllModes) {
    // "A" 110000 "B": converted to the end, result 3
    EXPECT_TRUE(
        Converts(TranscodeUTF32ToUTF8, U32{0x41, 0x110000, 0x42}, 8, mode,
                 {TranscodeInputIllegal, 3, Concat(Concat(U8{0x41}, replacement), U8{0x42})}));
    // FFFFFFFF
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, U32{0xFFFFFFFF}, 3, mode,
                         {TranscodeInputIllegal, 1, replacement}));
    // 110000 U+20AC with room for one of them: the later stop replaces the result
    EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, U32{0x110000, 0x20AC}, 4, mode,
                         {TranscodeOutputFull, 1, replacement}));
  }
  // 110000 DFFF, strict
  EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, U32{0x110000, 0xDFFF}, 8, TranscodeStrict,
                       {TranscodeInputIllegal, 1, replacement}));
}

TEST(TranscodeUTF32, ValueAboveLastCodePointToUTF16IsSkippedWhenStrict) {
  // "A" 110000 "B"
  const U32 input = {0x41, 0x110000, 0x42};
  EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, input, 4, TranscodeStrict,
                       {TranscodeInputIllegal, 3, {0x41, 0x42}}));
  for (int mode : kLenientModes)
    EXPECT_TRUE(
        Converts(TranscodeUTF32ToUTF16, input, 4, mode, {TranscodeOk, 3, {0x41, 0xFFFD, 0x42}}));
  // The room test comes first: a full target stops even where nothing would be stored.
  EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, U32{0x41, 0x110000}, 1, TranscodeStrict,
                       {TranscodeOutputFull, 1, {0x41}}));
}

// The checks of a character come in a fixed order; an input that fails two of
// them reports the first.
TEST(Transcode, ChecksComeInFixedOrder) {
  for (int mode : kAllModes) {
    // UTF-8: length, then well-formedness, then room.
    EXPECT_TRUE(
        Converts(TranscodeUTF8ToUTF16, U8{0xE0, 0x41}, 0, mode, {TranscodeInputEnded, 0, {}}));
    EXPECT_TRUE(
        Converts(TranscodeUTF8ToUTF32, U8{0xC0, 0x80}, 0, mode, {TranscodeInputIllegal, 0, {}}));
    // UTF-16: surrogates, then room.
    EXPECT_TRUE(Converts(TranscodeUTF16ToUTF8, U16{0xD800}, 0, mode, {TranscodeInputEnded, 0, {}}));
    EXPECT_TRUE(
        Converts(TranscodeUTF16ToUTF32, U16{0xD800}, 0, mode, {TranscodeInputEnded, 0, {}}));
  }
  EXPECT_TRUE(Converts(TranscodeUTF16ToUTF32, U16{0xDC00}, 0, TranscodeStrict,
                       {TranscodeInputIllegal, 0, {}}));
  // UTF-32 to UTF-8: surrogate, then room. To UTF-16: room, then surrogate.
  EXPECT_TRUE(Converts(TranscodeUTF32ToUTF8, U32{0xD800}, 0, TranscodeStrict,
                       {TranscodeInputIllegal, 0, {}}));
  EXPECT_TRUE(Converts(TranscodeUTF32ToUTF16, U32{0xD800}, 0, TranscodeStrict,
                       {TranscodeOutputFull, 0, {}}));
}

// "A" and one character of each UTF-8 length, converted with every amount of
// room from none to more than enough.
TEST(TranscodeOutputFull, EveryBoundaryLeavesBothCursorsOnTheCharacter) {
  const std::vector<std::pair<U32, U8>> utf8 = {
      {{0x41}, {0x41}},                      // U+0041
      {{0xE9}, {0xC3, 0xA9}},                // U+00E9
      {{0x20AC}, {0xE2, 0x82, 0xAC}},        // U+20AC
      {{0x1F600}, {0xF0, 0x9F, 0x98, 0x80}}, // U+1F600
  };
  const std::vector<U16> utf16 = {{0x41}, {0xE9}, {0x20AC}, {0xD83D, 0xDE00}};
  for (std::size_t k = 0; k < utf8.size(); ++k) {
    const U32& scalar = utf8[k].first;
    const U8& bytes = utf8[k].second;
    const U16& units = utf16[k];
    ExpectEveryRoom(TranscodeUTF32ToUTF8,
                    Text<char32_t, unsigned char>{{{{0x41}, {0x41}}, {scalar, bytes}}});
    ExpectEveryRoom(TranscodeUTF16ToUTF8,
                    Text<char16_t, unsigned char>{{{{0x41}, {0x41}}, {units, bytes}}});
    ExpectEveryRoom(TranscodeUTF8ToUTF16,
                    Text<unsigned char, char16_t>{{{{0x41}, {0x41}}, {bytes, units}}});
    ExpectEveryRoom(TranscodeUTF8ToUTF32,
                    Text<unsigned char, char32_t>{{{{0x41}, {0x41}}, {bytes, scalar}}});
    ExpectEveryRoom(TranscodeUTF16ToUTF32,
                    Text<char16_t, char32_t>{{{{0x41}, {0x41}}, {units, scalar}}});
    ExpectEveryRoom(TranscodeUTF32ToUTF16,
                    Text<char32_t, char16_t>{{{{0x41}, {0x41}}, {scalar, units}}});
  }
}

// Runs of ASCII of every length around one character of two, three or four
// bytes, at every position and with every amount of room, so that block
// copies and the shortcuts for other characters meet each other and the end
// of the target at every alignment.
TEST(TranscodeOutputFull, AsciiRunsMeetOtherCharactersAndTheTargetEnd) {
  struct Other {
    U8 utf8;
    U16 utf16;
  };
  const Other others[] = {
      {{0xC3, 0xA9}, {0xE9}},                       // U+00E9
      {{0xE2, 0x82, 0xAC}, {0x20AC}},               // U+20AC
      {{0xF0, 0x9F, 0x98, 0x80}, {0xD83D, 0xDE00}}, // U+1F600
  };
  for (const Other& other : others)
    for (std::size_t length = 0; length <= 22; ++length)
      for (std::size_t at = 0; at <= length; ++at) {
        Text<unsigned char, char16_t> to16;
        Text<char16_t, unsigned char> to8;
        for (std::size_t k = 0; k <= length; ++k) {
          if (k == at) {
            to16.characters.push_back({other.utf8, other.utf16});
            to8.characters.push_back({other.utf16, other.utf8});
          }
          if (k == length)
            break;
          const auto ascii = static_cast<unsigned char>('a' + k % 26);
          to16.characters.push_back({{ascii}, {ascii}});
          to8.characters.push_back({{ascii}, {ascii}});
        }
        const U8 input8 = to16.Input();
        const U16 input16 = to8.Input();
        for (std::size_t room = 0; room <= length + 5; ++room) {
          EXPECT_TRUE(
              Converts(TranscodeUTF8ToUTF16, input8, room, TranscodeStrict, to16.Expected(room)));
          EXPECT_TRUE(
              Converts(TranscodeUTF16ToUTF8, input16, room, TranscodeStrict, to8.Expected(room)));
        }
      }
}

// Text that mixes ASCII with two-byte Latin letters, each character in turn
// either, as a pattern of bits, and with every amount of room.
TEST(TranscodeOutputFull, LatinMixAtEveryRoom) {
  for (unsigned pattern = 0; pattern < 256; ++pattern) {
    Text<unsigned char, char16_t> to16;
    Text<char16_t, unsigned char> to8;
    for (unsigned k = 0; k < 8; ++k) {
      if ((pattern >> k) & 1) {
        // U+00E9
        to16.characters.push_back({{0xC3, 0xA9}, {0xE9}});
        to8.characters.push_back({{0xE9}, {0xC3, 0xA9}});
      } else {
        to16.characters.push_back({{0x61}, {0x61}});
        to8.characters.push_back({{0x61}, {0x61}});
      }
    }
    const U8 input8 = to16.Input();
    const U16 input16 = to8.Input();
    for (std::size_t room = 0; room <= 18; ++room) {
      EXPECT_TRUE(
          Converts(TranscodeUTF8ToUTF16, input8, room, TranscodeStrict, to16.Expected(room)));
      EXPECT_TRUE(
          Converts(TranscodeUTF16ToUTF8, input16, room, TranscodeStrict, to8.Expected(room)));
    }
  }
}

// A caller that grows its target after every TranscodeOutputFull and calls
// again at the returned cursors ends with the one-pass result.
template <typename From, typename To>
void ExpectResumable(Conversion<From, To> convert, const std::vector<From>& input) {
  const Outcome<To> onePass = Convert(convert, input, 64, TranscodeStrict);
  ASSERT_EQ(TranscodeOk, onePass.result);
  for (std::size_t step = 1; step <= 4; ++step) {
    std::vector<To> target(onePass.written.size());
    const From* sourceCursor = input.data();
    To* targetCursor = target.data();
    TranscodeResult result = TranscodeOutputFull;
    for (std::size_t room = 0; result == TranscodeOutputFull && room <= target.size() + step;
         room += step)
      result = convert(&sourceCursor, input.data() + input.size(), &targetCursor,
                       target.data() + std::min(room, target.size()), TranscodeStrict);
    EXPECT_EQ(TranscodeOk, result);
    EXPECT_EQ(input.data() + input.size(), sourceCursor);
    EXPECT_EQ(onePass.written, target);
  }
}

TEST(Transcode, ResumesAtReturnedCursors) {
  // "a", U+00E9, U+20AC, U+1F600, U+0000, U+07FF, U+10FFFF, U+007F, U+FFFF
  const U32 utf32 = {0x61, 0xE9, 0x20AC, 0x1F600, 0x0, 0x7FF, 0x10FFFF, 0x7F, 0xFFFF};
  const U16 utf16 = {0x61, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0x0, 0x7FF, 0xDBFF, 0xDFFF, 0x7F, 0xFFFF};
  const U8 utf8 = {0x61, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0x00,
                   0xDF, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF, 0x7F, 0xEF, 0xBF, 0xBF};
  ExpectResumable(TranscodeUTF8ToUTF16, utf8);
  ExpectResumable(TranscodeUTF8ToUTF32, utf8);
  ExpectResumable(TranscodeUTF16ToUTF8, utf16);
  ExpectResumable(TranscodeUTF16ToUTF32, utf16);
  ExpectResumable(TranscodeUTF32ToUTF8, utf32);
  ExpectResumable(TranscodeUTF32ToUTF16, utf32);
}

// The definition of UTF-8: a byte sequence is well-formed when it is the
// shortest encoding of a Unicode scalar value.
bool IsShortestEncodingOfScalar(const unsigned char* bytes, int length) {
  int expected;
  char32_t c;
  if (bytes[0] < 0x80) {
    expected = 1;
    c = bytes[0];
  } else if ((bytes[0] & 0xE0) == 0xC0) {
    expected = 2;
    c = bytes[0] & 0x1F;
  } else if ((bytes[0] & 0xF0) == 0xE0) {
    expected = 3;
    c = bytes[0] & 0x0F;
  } else if ((bytes[0] & 0xF8) == 0xF0) {
    expected = 4;
    c = bytes[0] & 0x07;
  } else {
    return false;
  }
  if (length != expected)
    return false;
  for (int k = 1; k < length; ++k) {
    if ((bytes[k] & 0xC0) != 0x80)
      return false;
    c = (c << 6) | (bytes[k] & 0x3F);
  }
  const int shortest = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  return shortest == length && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Reports the first few sequences on which IsWellFormedUTF8 and the
// definition disagree; cheap when they agree, as it runs millions of times.
class DefinitionCheck {
public:
  void operator()(const unsigned char* bytes, int length) {
    const bool expected = IsShortestEncodingOfScalar(bytes, length);
    if (IsWellFormedUTF8(bytes, length) == expected || ++mFailures > 10)
      return;
    ::testing::Message message;
    message << "IsWellFormedUTF8 should be " << expected << " for";
    for (int k = 0; k < length; ++k)
      message << ' ' << std::hex << std::uppercase << static_cast<int>(bytes[k]);
    ADD_FAILURE() << message;
  }
  ~DefinitionCheck() { EXPECT_EQ(0, mFailures); }

private:
  int mFailures = 0;
};

TEST(IsWellFormedUTF8, AgreesWithDefinitionOnEverySequenceUpToThreeBytes) {
  DefinitionCheck check;
  unsigned char bytes[3];
  for (unsigned a = 0; a < 256; ++a) {
    bytes[0] = static_cast<unsigned char>(a);
    check(bytes, 1);
    for (unsigned b = 0; b < 256; ++b) {
      bytes[1] = static_cast<unsigned char>(b);
      check(bytes, 2);
      for (unsigned c = 0; c < 256; ++c) {
        bytes[2] = static_cast<unsigned char>(c);
        check(bytes, 3);
      }
    }
  }
}

TEST(IsWellFormedUTF8, AgreesWithDefinitionOnFourByteSequences) {
  // Every first and second byte, the last two from the edges of the ranges.
  const unsigned char edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0xBF, 0xC0, 0xFF};
  DefinitionCheck check;
  unsigned char bytes[4];
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned char c : edges)
        for (unsigned char d : edges) {
          bytes[0] = static_cast<unsigned char>(a);
          bytes[1] = static_cast<unsigned char>(b);
          bytes[2] = c;
          bytes[3] = d;
          check(bytes, 4);
        }
}

TEST(IsWellFormedUTF8, LengthOutsideOneToFourIsIllFormed) {
  const unsigned char bytes[] = {0xF8, 0x88, 0x80, 0x80, 0x80};
  EXPECT_FALSE(IsWellFormedUTF8(bytes, 5));
  EXPECT_FALSE(IsWellFormedUTF8(bytes, 0));
  EXPECT_FALSE(IsWellFormedUTF8(bytes, -1));
  const unsigned char ascii[] = {0x41, 0x41, 0x41, 0x41, 0x41};
  EXPECT_FALSE(IsWellFormedUTF8(ascii, 5));
}

TEST(IsWellFormedUTF8Bounded, LengthComesFromTheLeadByte) {
  // U+00E9 "A"
  const U8 text = {0xC3, 0xA9, 0x41};
  EXPECT_TRUE(IsWellFormedUTF8Bounded(text.data(), text.data() + 3));
  EXPECT_TRUE(IsWellFormedUTF8Bounded(text.data(), text.data() + 2));
  EXPECT_FALSE(IsWellFormedUTF8Bounded(text.data(), text.data() + 1));
  EXPECT_FALSE(IsWellFormedUTF8Bounded(text.data() + 1, text.data() + 3)); // A9 as lead
  EXPECT_TRUE(IsWellFormedUTF8Bounded(text.data() + 2, text.data() + 3));
  // U+1F600, then a five-byte form
  const U8 four = {0xF0, 0x9F, 0x98, 0x80};
  EXPECT_TRUE(IsWellFormedUTF8Bounded(four.data(), four.data() + 4));
  EXPECT_FALSE(IsWellFormedUTF8Bounded(four.data(), four.data() + 3));
  const U8 five = {0xF8, 0x88, 0x80, 0x80, 0x80};
  EXPECT_FALSE(IsWellFormedUTF8Bounded(five.data(), five.data() + 5));
}

} // namespace
