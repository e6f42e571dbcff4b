// GenAttrStringUtils: the result buffer, the locale conversions under "C"
// and a UTF-8 locale (or Windows-1252 on Windows), the UTF-8 encoders and XML
// element names.
#include <climits>
#include <clocale>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "base/Transcode.h"
#include "genattr/GenAttrStringUtils.h"
#include "tests/support/Platform.h"

namespace {

using genattr_test::kCLocaleIsLatin1;
using genattr_test::kLargestUnit;
using genattr_test::kWideIsUtf16;
using genattr_test::Unit;

// Opens the protected members to the tests, and gives each test an object
// of its own so that buffer sizes do not depend on earlier tests.
class OpenStringUtils : public GenAttrStringUtils {
public:
  OpenStringUtils() = default;
  using GenAttrStringUtils::AllocBufferForString;
  using GenAttrStringUtils::ConvertToUTF8;
  using GenAttrStringUtils::mBufferLen;
  using GenAttrStringUtils::mpBuffer;
  using GenAttrStringUtils::smpInst;
};

// Sets the process locale for one test and restores the previous one.
class LocaleScope {
public:
  explicit LocaleScope(const char* name) : mSaved(std::setlocale(LC_ALL, nullptr)) {
    mSet = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, mSaved.c_str()); }
  bool IsSet() const { return mSet; }

private:
  std::string mSaved;
  bool mSet = false;
};

#define ENTER_LOCALE(name)                                                                         \
  LocaleScope locale(name);                                                                        \
  if (!locale.IsSet())                                                                             \
  GTEST_SKIP() << "locale " << (name) << " is not installed"

// The UTF-8 encoders and MakeXMLConform ignore the locale: they run under
// both.
class UnderEachLocale : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    mLocale = std::make_unique<LocaleScope>(GetParam());
    if (!mLocale->IsSet())
      GTEST_SKIP() << "locale " << GetParam() << " is not installed";
  }
  std::unique_ptr<LocaleScope> mLocale;
  OpenStringUtils mUtils;
};

// Besides "C", a locale of another multibyte encoding: UTF-8 on Linux, the
// code page Windows-1252 on Windows (whose msvcrt runtime has no UTF-8 locale).
#if defined(_WIN32)
constexpr const char* kOtherLocale = ".1252";
#else
constexpr const char* kOtherLocale = "C.UTF-8";
#endif
INSTANTIATE_TEST_SUITE_P(Locales, UnderEachLocale, ::testing::Values("C", kOtherLocale));

// The UTF-8 of code points by the conversion routines, a surrogate value as
// its own three bytes and anything above 10FFFF as U+FFFD.
std::string Utf8Of(std::u32string codePoints) {
  std::string bytes(4 * codePoints.size(), '\0');
  const char32_t* source = codePoints.data();
  unsigned char* target = reinterpret_cast<unsigned char*>(&bytes[0]);
  genattr::detail::TranscodeUTF32ToUTF8(&source, source + codePoints.size(), &target,
                                        target + bytes.size(), genattr::detail::TranscodeLenient);
  bytes.resize(static_cast<std::size_t>(target - reinterpret_cast<unsigned char*>(&bytes[0])));
  return bytes;
}

TEST(StringUtils, InstanceIsCreatedOnceAndRecreatedAfterDeletion) {
  GenAttrStringUtils& first = GenAttrStringUtils::Instance();
  EXPECT_EQ(&first, &GenAttrStringUtils::Instance());
  EXPECT_EQ(&first, OpenStringUtils::smpInst);
  // A host that deletes the instance leaves no dangling pointer behind.
  delete &first;
  EXPECT_EQ(nullptr, OpenStringUtils::smpInst);
  GenAttrStringUtils& second = GenAttrStringUtils::Instance();
  EXPECT_EQ(&second, OpenStringUtils::smpInst);
  EXPECT_STREQ("x", second.GetUTF8EncodedString("x"));
}

TEST(StringUtils, BufferGrowsToExactSizeAndNeverShrinks) {
  OpenStringUtils utils;
  EXPECT_EQ(2048u, utils.mBufferLen);
  char* const first = utils.mpBuffer;
  // A result that fits comes back in place of the previous one.
  EXPECT_EQ(first, utils.GetUTF8EncodedString("abc"));
  EXPECT_EQ(first, utils.MakeXMLConform("x y"));
  EXPECT_STREQ("x_y", first);

  const std::string text(2999, 'a');
  char* const grown = utils.GetUTF8EncodedString(text.c_str());
  EXPECT_EQ(3000u, utils.mBufferLen);
  EXPECT_EQ(utils.mpBuffer, grown);
  EXPECT_EQ(text, grown);

  EXPECT_EQ(grown, utils.GetUTF8EncodedString("ten bytes"));
  EXPECT_EQ(3000u, utils.mBufferLen);

  utils.AllocBufferForString(100);
  EXPECT_EQ(3000u, utils.mBufferLen);
  EXPECT_EQ(grown, utils.mpBuffer);
  utils.AllocBufferForString(3001);
  EXPECT_EQ(3001u, utils.mBufferLen);
}

// Wide results take sizeof(wchar_t) bytes per character: 1100 characters and
// the terminator need 2202 bytes where wchar_t is 16 bits, 4404 where it is 32.
TEST(StringUtilsRegression, MultiByteToWideCharSizesBufferByWideCharWidth) {
  ENTER_LOCALE("C");
  OpenStringUtils utils;
  const std::string text(1100, 'w');
  const wchar_t* wide = utils.MultiByteToWideChar(text.c_str());
  EXPECT_EQ(sizeof(wchar_t) * 1101, utils.mBufferLen);
  EXPECT_EQ(std::wstring(1100, L'w'), wide);

  const std::wstring longWide(5000, L'n');
  EXPECT_EQ(std::string(5000, 'n'), utils.WideCharToMultiByte(longWide.c_str()));
  EXPECT_EQ(5001u, utils.mBufferLen);
}

TEST(StringUtils, LocaleConversionsInCLocale) {
  ENTER_LOCALE("C");
  OpenStringUtils utils;
  EXPECT_EQ(std::wstring(L"plain text 123"), utils.MultiByteToWideChar("plain text 123"));
  EXPECT_EQ(std::string("plain text 123"), utils.WideCharToMultiByte(L"plain text 123"));
  EXPECT_EQ(std::wstring(), utils.MultiByteToWideChar(""));
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(L""));
  // Nothing beyond U+00FF converts back under "C": the empty text, never
  // a partly converted one (Wine's msvcrt counts such a text before it fails
  // to convert it, and so grows the buffer). U+20AC
  const std::wstring euro = std::wstring(3000, L'a') + L"caf\u20AC";
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(euro.c_str()));
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(L"\u20AC"));
  if (!kCLocaleIsLatin1) {
    EXPECT_EQ(2048u, utils.mBufferLen);
  }
  // From 0x80 to 0xFF: ISO 8859-1 on Windows, nothing under glibc.
  const std::string latin1 = std::string(3000, 'a') + "caf\xE9";
  const std::wstring wide = std::wstring(3000, L'a') + L"caf\u00E9";
  if (kCLocaleIsLatin1) {
    EXPECT_EQ(wide, utils.MultiByteToWideChar(latin1.c_str()));
    EXPECT_EQ(latin1, utils.WideCharToMultiByte(wide.c_str()));
  } else {
    EXPECT_EQ(std::wstring(), utils.MultiByteToWideChar(latin1.c_str()));
    EXPECT_EQ(std::string(), utils.WideCharToMultiByte(wide.c_str()));
    EXPECT_EQ(2048u, utils.mBufferLen);
  }
}

TEST(StringUtils, LocaleConversionsInWindowsCodePage) {
  ENTER_LOCALE(".1252");
  OpenStringUtils utils;
  // 80 is U+20AC, E9 U+00E9.
  EXPECT_EQ(std::wstring(L"\u20AC caf\u00E9"), utils.MultiByteToWideChar("\x80 caf\xE9"));
  EXPECT_EQ(std::string("\x80 caf\xE9"), utils.WideCharToMultiByte(L"\u20AC caf\u00E9"));
  // U+0100 and U+1F600 are not in the code page.
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(L"a\u0100"));
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(L"\U0001F600"));
}

TEST(StringUtils, LocaleConversionsInUTF8Locale) {
  LocaleScope locale("C");
  if (!genattr_test::SetUtf8Locale())
    GTEST_SKIP() << "the C runtime has no UTF-8 locale";
  OpenStringUtils utils;
  // "café", U+1F600
  EXPECT_EQ(std::wstring(L"caf\u00E9 \U0001F600"),
            utils.MultiByteToWideChar("caf\xC3\xA9 \xF0\x9F\x98\x80"));
  EXPECT_EQ(std::string("caf\xC3\xA9 \xF0\x9F\x98\x80"),
            utils.WideCharToMultiByte(L"caf\u00E9 \U0001F600"));
  // Ill-formed UTF-8: C3 28, an ISO 8859-1 byte E9, an encoded surrogate.
  EXPECT_EQ(std::wstring(), utils.MultiByteToWideChar("\xC3\x28"));
  EXPECT_EQ(std::wstring(), utils.MultiByteToWideChar("caf\xE9"));
  EXPECT_EQ(std::wstring(), utils.MultiByteToWideChar("\xED\xA0\x80"));
  // A surrogate value is no character.
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ(std::string(), utils.WideCharToMultiByte(surrogate));
}

// Passing an earlier result (which lives in the result buffer) to a locale
// conversion must not convert a buffer that the conversion itself overwrites
// or releases.
TEST(StringUtilsRegression, LocaleConversionOfEarlierResult) {
  LocaleScope locale("C");
  if (!genattr_test::SetUtf8Locale())
    GTEST_SKIP() << "the C runtime has no UTF-8 locale";
  OpenStringUtils utils;
  EXPECT_EQ(std::wstring(L"caf\u00C3\u00A9"),
            utils.MultiByteToWideChar(utils.GetUTF8EncodedString("caf\xC3\xA9")));
  EXPECT_EQ(std::string("caf\xC3\xA9"),
            utils.WideCharToMultiByte(utils.MultiByteToWideChar("caf\xC3\xA9")));
  // Long enough that the wide result needs a larger buffer.
  const std::string text(1000, 'z');
  EXPECT_EQ(std::wstring(1000, L'z'),
            utils.MultiByteToWideChar(utils.GetUTF8EncodedString(text.c_str())));
  EXPECT_EQ(text, utils.WideCharToMultiByte(utils.MultiByteToWideChar(text.c_str())));
}

TEST_P(UnderEachLocale, WideTextIsEncodedUnitByUnit) {
  // U+20AC
  EXPECT_EQ(std::string("\xE2\x82\xAC"), mUtils.GetUTF8EncodedString(L"\u20AC"));
  // D83D DE00 as two units: each surrogate on its own
  const wchar_t pair[] = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
  EXPECT_EQ(std::string("\xED\xA0\xBD\xED\xB8\x80"), mUtils.GetUTF8EncodedString(pair));
  // U+1F600: that same pair where wchar_t holds UTF-16 units; one unit, and
  // one four-byte sequence, where it holds code points.
  EXPECT_EQ(std::string(kWideIsUtf16 ? "\xED\xA0\xBD\xED\xB8\x80" : "\xF0\x9F\x98\x80"),
            mUtils.GetUTF8EncodedString(L"\U0001F600"));
  if (!kWideIsUtf16) {
    // "a", 110000, "b"
    const wchar_t tooLarge[] = {L'a', Unit(0x110000), L'b', 0};
    EXPECT_EQ(std::string("a\xEF\xBF\xBD"
                          "b"),
              mUtils.GetUTF8EncodedString(tooLarge));
  }
  EXPECT_EQ(std::string(), mUtils.GetUTF8EncodedString(L""));
}

TEST_P(UnderEachLocale, NarrowTextIsReadAsLatin1) {
  // "caf" E9
  EXPECT_EQ(std::string("caf\xC3\xA9"), mUtils.GetUTF8EncodedString("caf\xE9"));
  // Every byte from 01 to FF is the code point of the same value.
  std::string bytes;
  std::u32string codePoints;
  for (int b = 1; b < 256; ++b) {
    bytes.push_back(static_cast<char>(b));
    codePoints.push_back(static_cast<char32_t>(b));
  }
  EXPECT_EQ(Utf8Of(codePoints), mUtils.GetUTF8EncodedString(bytes.c_str()));
  EXPECT_EQ(std::string(), mUtils.GetUTF8EncodedString(""));
}

// The encoders read their whole argument before touching the buffer, so an
// earlier result may be encoded again, even when the buffer has to grow.
TEST_P(UnderEachLocale, EncodersAcceptEarlierResult) {
  // C3 A9 ("é" in UTF-8) read as two ISO 8859-1 characters
  EXPECT_EQ(std::string("\xC3\x83\xC2\xA9"),
            mUtils.GetUTF8EncodedString(mUtils.GetUTF8EncodedString("\xE9")));
  const std::string latin1(1500, '\xE9');
  char* once = mUtils.GetUTF8EncodedString(latin1.c_str());
  EXPECT_EQ(3001u, mUtils.mBufferLen);
  std::string expected;
  for (int k = 0; k < 1500; ++k)
    expected += "\xC3\x83\xC2\xA9";
  EXPECT_EQ(expected, mUtils.GetUTF8EncodedString(once));
  EXPECT_EQ(6001u, mUtils.mBufferLen);
  const std::string name = mUtils.MakeXMLConform("1 odd:name");
  EXPECT_EQ(name, mUtils.MakeXMLConform(mUtils.MakeXMLConform("1 odd:name")));
}

::testing::AssertionResult IsXmlName(const std::string& name) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  auto nameChar = [&](char c) {
    return letter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  };
  bool ok = !name.empty() && letter(name[0]);
  for (std::size_t k = 1; ok && k < name.size(); ++k)
    ok = nameChar(name[k]);
  if (ok)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << '"' << name << "\" is no XML element name";
}

TEST_P(UnderEachLocale, MakeXMLConformReplacesWhatMayNotStandInAName) {
  EXPECT_EQ(std::string("_st_name"), mUtils.MakeXMLConform("1st name"));
  EXPECT_EQ(std::string("a.b-c_d"), mUtils.MakeXMLConform("a.b-c_d"));
  EXPECT_EQ(std::string("x_y"), mUtils.MakeXMLConform("x:y"));
  EXPECT_EQ(std::string("Z09az_"), mUtils.MakeXMLConform("Z09az_"));
  // 47 72 F6 DF 65: two underscores for each byte from 80 up
  EXPECT_EQ(std::string("Gr____e"), mUtils.MakeXMLConform("Gr\xF6\xDF"
                                                          "e"));
  // Every byte value, alone and after a letter: always a name, two bytes for
  // each byte from 80 up.
  for (int b = 1; b < 256; ++b) {
    const char alone[] = {static_cast<char>(b), 0};
    const char after[] = {'a', static_cast<char>(b), 0};
    const std::size_t width = b < 0x80 ? 1 : 2;
    const std::string first = mUtils.MakeXMLConform(alone);
    EXPECT_TRUE(IsXmlName(first)) << "byte " << b;
    EXPECT_EQ(width, first.size());
    const std::string second = mUtils.MakeXMLConform(after);
    EXPECT_TRUE(IsXmlName(second)) << "byte " << b;
    EXPECT_EQ(width + 1, second.size());
  }
}

TEST(MakeXMLConformRegression, EmptyTextBecomesUnderscore) {
  OpenStringUtils utils;
  EXPECT_STREQ("_", utils.MakeXMLConform(""));
}

TEST(MakeXMLConformRegression, LeadingHyphenOrDotBecomesUnderscore) {
  OpenStringUtils utils;
  EXPECT_STREQ("_a", utils.MakeXMLConform("-a"));
  EXPECT_STREQ("_a", utils.MakeXMLConform(".a"));
  EXPECT_STREQ("a-.", utils.MakeXMLConform("a-."));
}

// Runs the three-argument ConvertToUTF8 with exactly the room the header
// promises is enough, so that AddressSanitizer catches a byte more.
class OneCharacter {
public:
  OneCharacter() : mOut(new unsigned char[GenAttrStringUtils::UTF8_CHAR_BUFFER_SIZE]) {}

  // `c` is written as the `length` bytes at `bytes` and a zero, and decodes
  // back to `value`.
  ::testing::AssertionResult Encodes(wchar_t c, const char* bytes, std::size_t length,
                                     unsigned int value) {
    unsigned int decoded = 0x12345678;
    GenAttrStringUtils::ConvertToUTF8(c, mOut.get(), &decoded);
    const char* written = reinterpret_cast<const char*>(mOut.get());
    if (std::memcmp(written, bytes, length) == 0 && written[length] == '\0' && decoded == value)
      return ::testing::AssertionSuccess();
    std::ostringstream failure;
    failure << std::hex << std::uppercase << "unit " << static_cast<unsigned int>(c) << ": value "
            << decoded << " (expected " << value << "), bytes";
    for (std::size_t k = 0; k <= length; ++k)
      failure << ' ' << static_cast<unsigned int>(mOut[k]);
    return ::testing::AssertionFailure() << failure.str();
  }

private:
  std::unique_ptr<unsigned char[]> mOut;
};

::testing::AssertionResult ConvertsTo(wchar_t c, const std::string& bytes, unsigned int value) {
  return OneCharacter().Encodes(c, bytes.data(), bytes.size(), value);
}

TEST(ConvertToUTF8, ExamplesAndTerminator) {
  EXPECT_TRUE(ConvertsTo(0xE9, "\xC3\xA9", 0xE9));
  EXPECT_TRUE(ConvertsTo(0x41, "A", 0x41));
  EXPECT_TRUE(ConvertsTo(0xFFFF, "\xEF\xBF\xBF", 0xFFFF));
  // U+0000 writes two zero bytes: the empty text.
  EXPECT_TRUE(ConvertsTo(0, std::string(1, '\0'), 0));
  // Surrogate units are encoded by themselves.
  EXPECT_TRUE(ConvertsTo(0xD800, "\xED\xA0\x80", 0xD800));
  EXPECT_TRUE(ConvertsTo(0xDFFF, "\xED\xBF\xBF", 0xDFFF));
}

// A 32-bit unit above FFFF is a whole code point: one four-byte sequence,
// not a truncated three-byte one.
TEST(ConvertToUTF8Regression, UnitAboveBasicPlaneBecomesOneFourByteSequence) {
  if (kWideIsUtf16)
    GTEST_SKIP() << "wchar_t holds UTF-16 units here: no unit lies above FFFF";
  EXPECT_TRUE(ConvertsTo(Unit(0x10000), "\xF0\x90\x80\x80", 0x10000));
  EXPECT_TRUE(ConvertsTo(Unit(0x1F600), "\xF0\x9F\x98\x80", 0x1F600));
  EXPECT_TRUE(ConvertsTo(Unit(0x10FFFF), "\xF4\x8F\xBF\xBF", 0x10FFFF));
  // Above 10FFFF, and negative units, become U+FFFD.
  for (std::uint32_t c : {0x110000u, static_cast<std::uint32_t>(INT_MAX), 0xFFFFFFFFu,
                          static_cast<std::uint32_t>(INT_MIN)})
    EXPECT_TRUE(ConvertsTo(Unit(c), "\xEF\xBF\xBD", 0xFFFD));
}

// Every unit value wchar_t can hold: up to FFFF on Windows, up to 10FFFF on
// Linux.
TEST(ConvertToUTF8, AgreesWithConversionRoutinesOnEveryUnit) {
  std::u32string codePoints;
  for (char32_t c = 1; c <= kLargestUnit; ++c)
    codePoints.push_back(c);
  const std::string utf8 = Utf8Of(codePoints);
  OneCharacter encoder;
  std::size_t at = 0;
  int failures = 0;
  for (char32_t c : codePoints) {
    const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const ::testing::AssertionResult same = encoder.Encodes(Unit(c), utf8.data() + at, length, c);
    if (!same && ++failures <= 10)
      ADD_FAILURE() << same.message();
    at += length;
  }
  EXPECT_EQ(utf8.size(), at);
}

TEST(ConvertToUTF8, OneCharacterFormReusesItsArray) {
  const unsigned char* first = OpenStringUtils::ConvertToUTF8(L'\u00E9');
  EXPECT_STREQ("\xC3\xA9", reinterpret_cast<const char*>(first));
  // The largest unit: U+FFFF where wchar_t is 16 bits, U+10FFFF where it is 32.
  const unsigned char* second = OpenStringUtils::ConvertToUTF8(Unit(kLargestUnit));
  EXPECT_EQ(first, second);
  EXPECT_STREQ(kWideIsUtf16 ? "\xEF\xBF\xBF" : "\xF4\x8F\xBF\xBF",
               reinterpret_cast<const char*>(second));
}

} // namespace
