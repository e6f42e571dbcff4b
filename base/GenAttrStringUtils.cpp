#include "genattr/GenAttrStringUtils.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "base/LibraryState.h"
#include "base/NarrowText.h"

GenAttrThreadSlot<GenAttrStringUtils*, &GenAttrStringUtils::ThreadInstance>
    GenAttrStringUtils::smpInst{};

namespace {

constexpr unsigned long long kFirstBufferLen = 2048;

// The whole text is encoded into a local string before the result buffer is
// touched, so the text may itself be an earlier result. Null encodes as the
// empty text.
std::string EncodeEachUnit(const wchar_t* text) {
  std::string utf8;
  if (text == nullptr) {
    return utf8;
  }
  unsigned char bytes[GenAttrStringUtils::UTF8_CHAR_BUFFER_SIZE];
  unsigned int value;
  for (; *text != 0; ++text) {
    GenAttrStringUtils::ConvertToUTF8(*text, bytes, &value);
    utf8.append(reinterpret_cast<const char*>(bytes));
  }
  return utf8;
}

// Whether `text` lies in the result buffer. The locale conversions write
// the buffer while they read their argument (and may replace the buffer
// first), so they convert such a text from a copy.
bool PointsInto(const void* text, const char* buffer, std::uint64_t length) {
  const std::less<const void*> before;
  return buffer != nullptr && !before(text, buffer) && before(text, buffer + length);
}

} // namespace

GenAttrStringUtils*& GenAttrStringUtils::ThreadInstance() {
  return genattr::detail::CurrentThreadState().mpStringUtils;
}

GenAttrStringUtils& GenAttrStringUtils::Instance() {
  GenAttrStringUtils*& instance = ThreadInstance();
  if (instance == nullptr)
    instance = new GenAttrStringUtils();
  return *instance;
}

GenAttrStringUtils::GenAttrStringUtils()
    : mpBuffer(new char[kFirstBufferLen]), mBufferLen(kFirstBufferLen) {}

GenAttrStringUtils::~GenAttrStringUtils() {
  delete[] mpBuffer;
  mpBuffer = nullptr;
  // A host that deletes the instance gets a fresh one from the next Instance()
  // on that thread.
  GenAttrStringUtils*& instance = ThreadInstance();
  if (instance == this)
    instance = nullptr;
}

void GenAttrStringUtils::AllocBufferForString(unsigned long long size) {
  if (mBufferLen >= size)
    return;
  // Forget the old buffer before allocating, so that an allocation failure
  // leaves an empty object that the next call fills again, not a dangling one.
  delete[] mpBuffer;
  mpBuffer = nullptr;
  mBufferLen = 0;
  mpBuffer = new char[size];
  mBufferLen = size;
}

wchar_t* GenAttrStringUtils::MultiByteToWideChar(const char* text) {
  if (text == nullptr) {
    text = "";
  }
  std::string copy;
  if (PointsInto(text, mpBuffer, mBufferLen)) {
    copy = text;
    text = copy.c_str();
  }
  // The conversion itself is checked as well as the count: a runtime may
  // count what it then fails to convert (Wine's msvcrt does so in the "C"
  // locale), and a failed conversion leaves the buffer partly written.
  const std::size_t failed = static_cast<std::size_t>(-1);
  const std::size_t count = std::mbstowcs(nullptr, text, 0);
  if (count != failed) {
    AllocBufferForString(sizeof(wchar_t) * (count + 1));
    wchar_t* wide = reinterpret_cast<wchar_t*>(mpBuffer);
    if (std::mbstowcs(wide, text, count + 1) != failed) {
      return wide;
    }
  }
  AllocBufferForString(sizeof(wchar_t));
  wchar_t* empty = reinterpret_cast<wchar_t*>(mpBuffer);
  empty[0] = L'\0';
  return empty;
}

char* GenAttrStringUtils::WideCharToMultiByte(const wchar_t* text) {
  if (text == nullptr) {
    text = L"";
  }
  std::wstring copy;
  if (PointsInto(text, mpBuffer, mBufferLen)) {
    copy = text;
    text = copy.c_str();
  }
  // As above: the conversion may fail where the count did not.
  const std::size_t failed = static_cast<std::size_t>(-1);
  const std::size_t count = std::wcstombs(nullptr, text, 0);
  if (count != failed) {
    AllocBufferForString(count + 1);
    if (std::wcstombs(mpBuffer, text, count + 1) != failed) {
      return mpBuffer;
    }
  }
  AllocBufferForString(1);
  mpBuffer[0] = '\0';
  return mpBuffer;
}

char* GenAttrStringUtils::GetUTF8EncodedString(const wchar_t* text) {
  const std::string utf8 = EncodeEachUnit(text);
  AllocBufferForString(utf8.size() + 1);
  std::memcpy(mpBuffer, utf8.c_str(), utf8.size() + 1);
  return mpBuffer;
}

char* GenAttrStringUtils::GetUTF8EncodedString(const char* text) {
  if (text == nullptr) {
    text = "";
  }
  const std::size_t length = std::strlen(text);
  std::string utf8(2 * length, '\0');
  utf8.resize(static_cast<std::size_t>(genattr::detail::EncodeLatin1AsUtf8(text, length, &utf8[0]) -
                                       utf8.data()));
  AllocBufferForString(utf8.size() + 1);
  std::memcpy(mpBuffer, utf8.c_str(), utf8.size() + 1);
  return mpBuffer;
}

char* GenAttrStringUtils::MakeXMLConform(const char* text) {
  if (text == nullptr) {
    text = "";
  }
  const std::size_t length = std::strlen(text);
  std::string name(length == 0 ? 1 : 2 * length, '\0');
  name.resize(static_cast<std::size_t>(genattr::detail::EncodeXmlName(text, length, &name[0]) -
                                       name.data()));
  AllocBufferForString(name.size() + 1);
  std::memcpy(mpBuffer, name.c_str(), name.size() + 1);
  return mpBuffer;
}

void GenAttrStringUtils::ConvertToUTF8(wchar_t c, unsigned char* out, unsigned int* value) {
  // A null destination is not written: the results go to these instead.
  unsigned char unwantedBytes[UTF8_CHAR_BUFFER_SIZE];
  unsigned int unwantedValue;
  if (out == nullptr)
    out = unwantedBytes;
  if (value == nullptr)
    value = &unwantedValue;
  // wchar_t is signed where it is 32 bits wide; a negative unit is no code
  // point either and is replaced like one above 10FFFF.
  unsigned int code = static_cast<unsigned int>(c);
  if (code > 0x10FFFF)
    code = 0xFFFD;
  // Surrogate units are encoded by themselves, as three bytes each.
  if (code < 0x80) {
    out[0] = static_cast<unsigned char>(code);
    out[1] = 0;
  } else if (code < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    out[2] = 0;
  } else if (code < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    out[3] = 0;
  } else {
    out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    out[4] = 0;
  }
  *value = code;
}

const unsigned char* GenAttrStringUtils::ConvertToUTF8(wchar_t c) {
  unsigned char* lastCharacter = genattr::detail::CurrentThreadState().mLastCharacter;
  unsigned int value;
  ConvertToUTF8(c, lastCharacter, &value);
  return lastCharacter;
}
