// The text utility object of each thread: locale conversions, UTF-8 encoding,
// XML element names.
#ifndef GENATTR_GENATTRSTRINGUTILS_H
#define GENATTR_GENATTRSTRINGUTILS_H

#include <cstdint>

#include "genattr/Export.h"
#include "genattr/GenAttrThreadSlot.h"

// Reached through Instance(), which gives each thread an instance of its own,
// created on the thread's first call and destroyed when the thread ends. Every
// text it returns lives in one result buffer that it owns: a result stays
// valid only until the next call of any of its text operations, or the end of
// its thread. A null text argument counts as the empty text. An object is used
// by one thread at a time.
class GENATTR_API GenAttrStringUtils {
public:
  // Room the three-argument ConvertToUTF8() needs at `out`: the longest
  // encoding of one wchar_t (4 bytes where wchar_t holds a whole code point)
  // and a terminating zero.
  static const unsigned int UTF8_CHAR_BUFFER_SIZE = 5;

  // The calling thread's instance, created on the thread's first call.
  static GenAttrStringUtils& Instance();

  GenAttrStringUtils(const GenAttrStringUtils&) = delete;
  GenAttrStringUtils& operator=(const GenAttrStringUtils&) = delete;
  ~GenAttrStringUtils();

  // `text` converted to wide text under the current locale (LC_CTYPE); the
  // empty text when the locale cannot convert it. `text` may be an earlier
  // result.
  wchar_t* MultiByteToWideChar(const char* text);
  // `text` converted to multibyte text under the current locale; the empty
  // text when the locale cannot convert it. `text` may be an earlier result.
  char* WideCharToMultiByte(const wchar_t* text);
  // UTF-8 of `text`, each wchar_t encoded by itself (a surrogate unit as its
  // own three bytes). `text` may be an earlier result.
  char* GetUTF8EncodedString(const wchar_t* text);
  // UTF-8 of `text` read as ISO 8859-1 (every byte a code point 0 to 255).
  // `text` may be an earlier result.
  char* GetUTF8EncodedString(const char* text);
  // `text` made into an XML element name of ASCII letters, digits, "_", "-"
  // and "."; the byte length of its UTF-8 encoding (at least 1). `text` may be
  // an earlier result.
  char* MakeXMLConform(const char* text);

  // Writes the UTF-8 bytes of `c` and a terminating zero to `out` (at least
  // UTF8_CHAR_BUFFER_SIZE bytes), and the value decoded back from them to
  // `*value`; a null `out` or `value` is not written. A unit above U+10FFFF
  // becomes U+FFFD.
  static void ConvertToUTF8(wchar_t c, unsigned char* out, unsigned int* value);

protected:
  // Reserves the first 2048-byte buffer.
  GenAttrStringUtils();
  // Makes the buffer hold at least `size` bytes; it never shrinks.
  void AllocBufferForString(unsigned long long size);
  // ConvertToUTF8() into an array of the calling thread, overwritten by the
  // thread's next call.
  static const unsigned char* ConvertToUTF8(wchar_t c);

  char* mpBuffer;
  std::uint64_t mBufferLen;

private:
  // The calling thread's instance pointer, behind smpInst.
  static GenAttrStringUtils*& ThreadInstance();

protected:
  // The instance of the calling thread, or null before its first Instance().
  // Deleting the instance clears it, and the next Instance() creates another.
  static GenAttrThreadSlot<GenAttrStringUtils*, &GenAttrStringUtils::ThreadInstance> smpInst;
};

#endif // GENATTR_GENATTRSTRINGUTILS_H
