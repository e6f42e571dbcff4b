// The string utilities against plain references written here: the UTF-8
// encoders byte for byte, MakeXMLConform as a name that libxml2 accepts and
// that is as long as the UTF-8 encoding of its argument, the locale
// conversions as the C library's own. Arguments lie in heap buffers of their
// exact size; results of earlier calls are passed back in as arguments, and
// the locale changes between calls.
//
// Input: a sequence of operations, each an opcode byte and its text.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "fuzz/FuzzInput.h"
#include "fuzz/TextReference.h"
#include "genattr/GenAttrStringUtils.h"

namespace {

using fuzz::FuzzInput;
using fuzz::Latin1ToUtf8;
using fuzz::Utf8;
using fuzz::XmlName;

// A zero-terminated copy in a heap buffer of exactly its size.
template <typename Char> std::unique_ptr<Char[]> Exact(const std::basic_string<Char>& text) {
  std::unique_ptr<Char[]> copy(new Char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), (text.size() + 1) * sizeof(Char));
  return copy;
}

// Every unit encoded by itself.
std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) {
    out += Utf8(static_cast<std::uint32_t>(c));
  }
  return out;
}

// The C library's own conversion in the current locale, or the empty text
// where it fails.
std::wstring LocaleWide(const std::string& text) {
  const std::size_t n = std::mbstowcs(nullptr, text.c_str(), 0);
  if (n == static_cast<std::size_t>(-1)) {
    return std::wstring();
  }
  std::wstring wide(n, L'\0');
  std::mbstowcs(&wide[0], text.c_str(), n + 1);
  return wide;
}

std::string LocaleNarrow(const std::wstring& text) {
  const std::size_t n = std::wcstombs(nullptr, text.c_str(), 0);
  if (n == static_cast<std::size_t>(-1)) {
    return std::string();
  }
  std::string narrow(n, '\0');
  std::wcstombs(&narrow[0], text.c_str(), n + 1);
  return narrow;
}

std::wstring WideText(FuzzInput& in, std::size_t maxLength) {
  std::wstring text;
  for (std::size_t n = in.Below(static_cast<std::uint32_t>(maxLength + 1)); n > 0; --n) {
    // Small code points most of the time, any 32-bit value now and then.
    const std::uint8_t kind = in.Byte();
    wchar_t c = kind < 128   ? static_cast<wchar_t>(in.Byte())
                : kind < 192 ? static_cast<wchar_t>(in.Raw<std::uint16_t>())
                             : in.Raw<wchar_t>();
    if (c == 0) {
      c = L'x';
    }
    text += c;
  }
  return text;
}

void CheckName(const char* result, const std::string& argument) {
  const std::string expected = XmlName(argument);
  FUZZ_CHECK(expected == result);
  FUZZ_CHECK(xmlValidateName(reinterpret_cast<const xmlChar*>(result), 0) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  GenAttrStringUtils& utils = GenAttrStringUtils::Instance();
  const char* const locales[] = {"C", "C.UTF-8"};
  std::setlocale(LC_ALL, locales[in.Byte() & 1]);

  // The last result that lay in the result buffer, narrow or wide.
  const char* lastNarrow = nullptr;
  const wchar_t* lastWide = nullptr;

  while (!in.Empty()) {
    const std::uint8_t op = in.Byte() % 12;
    switch (op) {
    case 0: {
      const std::string text = in.Text(255);
      const auto arg = Exact(text);
      const char* name = utils.MakeXMLConform(arg.get());
      CheckName(name, text);
      lastNarrow = name;
      lastWide = nullptr;
      break;
    }
    case 1: {
      const std::string text = in.Text(255);
      const auto arg = Exact(text);
      const char* utf8 = utils.GetUTF8EncodedString(arg.get());
      FUZZ_CHECK(Latin1ToUtf8(text) == utf8);
      lastNarrow = utf8;
      lastWide = nullptr;
      break;
    }
    case 2: {
      const std::wstring text = WideText(in, 64);
      const auto arg = Exact(text);
      const char* utf8 = utils.GetUTF8EncodedString(arg.get());
      FUZZ_CHECK(WideToUtf8(text) == utf8);
      lastNarrow = utf8;
      lastWide = nullptr;
      break;
    }
    case 3: {
      const std::string text = in.Text(255);
      const auto arg = Exact(text);
      const wchar_t* wide = utils.MultiByteToWideChar(arg.get());
      FUZZ_CHECK(LocaleWide(text) == wide);
      lastNarrow = nullptr;
      lastWide = wide;
      break;
    }
    case 4: {
      const std::wstring text = WideText(in, 64);
      const auto arg = Exact(text);
      const char* narrow = utils.WideCharToMultiByte(arg.get());
      FUZZ_CHECK(LocaleNarrow(text) == narrow);
      lastNarrow = narrow;
      lastWide = nullptr;
      break;
    }
    case 5: {
      // The room the header announces, and not a byte more.
      const wchar_t c =
          in.Byte() < 128 ? static_cast<wchar_t>(in.Raw<std::uint16_t>()) : in.Raw<wchar_t>();
      const std::unique_ptr<unsigned char[]> out(
          new unsigned char[GenAttrStringUtils::UTF8_CHAR_BUFFER_SIZE]);
      unsigned int value = 0;
      GenAttrStringUtils::ConvertToUTF8(c, out.get(), &value);
      const std::string expected = Utf8(static_cast<std::uint32_t>(c));
      FUZZ_CHECK(std::memcmp(out.get(), expected.c_str(), expected.size() + 1) == 0);
      const auto code = static_cast<std::uint32_t>(c);
      FUZZ_CHECK(value == (code > 0x10FFFF ? 0xFFFDu : code));
      break;
    }
    case 6:
    case 7:
      // An earlier result, still in the result buffer, as the argument.
      if (lastNarrow != nullptr) {
        const std::string before = lastNarrow;
        if (op == 6) {
          const char* name = utils.MakeXMLConform(lastNarrow);
          CheckName(name, before);
          lastNarrow = name;
        } else {
          const wchar_t* wide = utils.MultiByteToWideChar(lastNarrow);
          FUZZ_CHECK(LocaleWide(before) == wide);
          lastNarrow = nullptr;
          lastWide = wide;
        }
      }
      break;
    case 8:
    case 9:
      if (lastWide != nullptr) {
        const std::wstring before = lastWide;
        if (op == 8) {
          const char* narrow = utils.WideCharToMultiByte(lastWide);
          FUZZ_CHECK(LocaleNarrow(before) == narrow);
          lastNarrow = narrow;
        } else {
          const char* utf8 = utils.GetUTF8EncodedString(lastWide);
          FUZZ_CHECK(WideToUtf8(before) == utf8);
          lastNarrow = utf8;
        }
        lastWide = nullptr;
      }
      break;
    case 10:
      // The locale changes between calls; results already handed out stay.
      std::setlocale(LC_ALL, locales[in.Byte() & 1]);
      break;
    default: {
      // A long text makes the buffer grow past its first 2048 bytes.
      const std::string text(in.Below(8192), static_cast<char>(in.Byte() | 1));
      const auto arg = Exact(text);
      CheckName(utils.MakeXMLConform(arg.get()), text);
      lastNarrow = nullptr;
      lastWide = nullptr;
      break;
    }
    }
  }
  return 0;
}
