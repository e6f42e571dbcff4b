// Conversion of a document's bytes from the encoding it declares to UTF-8.
// Internal to genattr_xml, and the one place that calls the C library's
// iconv, so that another conversion library would change this pair of files
// only.
#ifndef GENATTR_XML_TRANSCODE_H
#define GENATTR_XML_TRANSCODE_H

#include <cstddef>

namespace genattr {
namespace xml {

// Whether `name` is spelt as XML allows an encoding name: a letter, then
// letters, digits, '.', '_' and '-'. Anything else (an empty name, which
// iconv takes as the locale's encoding, or the options iconv reads after a
// '/') is not handed to iconv.
bool IsEncodingName(const char* name);

// One conversion to UTF-8 from an encoding named as in an XML declaration
// (any case, with the aliases the C library knows). It keeps the shift state
// of the encodings that have one, so a document goes through it in order,
// piece after piece.
class Utf8Converter {
public:
  // Opens the conversion; Ready() tells whether the C library knows `name`.
  explicit Utf8Converter(const char* name);
  Utf8Converter(const Utf8Converter&) = delete;
  Utf8Converter& operator=(const Utf8Converter&) = delete;
  ~Utf8Converter();

  bool Ready() const { return mReady; }

  enum class Stop {
    InputUsed,  // every input byte was converted
    OutputFull, // the next character does not fit in what is left of the output
    Incomplete, // the input ends inside a character: its first bytes are left at `in`
    Invalid,    // the bytes at `in` are no character of the encoding
  };
  // Converts from [in, inEnd) to [out, outEnd), moving both cursors past what
  // was used and written; the output past `out` is left as it was.
  Stop Convert(const char*& in, const char* inEnd, char*& out, char* outEnd);

private:
  void* mHandle;
  bool mReady;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_TRANSCODE_H
