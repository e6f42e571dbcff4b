// Decoding the values of typed attributes and document text into node values.
// Internal to genattr_xml.
#ifndef GENATTR_XML_TYPEDVALUES_H
#define GENATTR_XML_TYPEDVALUES_H

#include <cstdint>
#include <string>

namespace genattr {
namespace xml {

// The 8-bit text of an escaped form ("%" and two hexadecimal digits for a
// byte, any other character as its UTF-8 bytes) into `out`; false for a
// malformed escape or one that makes a zero byte.
bool DecodeEscaped8(const char* text, std::string& out);
// The wide text of an escaped wide form ("%", one to eight hexadecimal
// digits, ";" for a unit, any other character as itself) into `out`; false
// for a malformed escape, a zero unit, or a unit that wchar_t cannot hold (a
// character beyond U+FFFF becomes a surrogate pair where wchar_t has 16 bits).
bool DecodeEscapedWide(const char* text, std::wstring& out);
// Well-formed UTF-8 (as a parser hands it out) as wide text: UTF-16 where
// wchar_t has 16 bits, one unit per character where it has 32.
void Utf8ToWide(const char* text, std::size_t length, std::wstring& out);
// A signed 32-bit decimal integer, nothing else; false otherwise.
bool ParseInt(const char* text, int& value);
// Exactly `digits` hexadecimal digits; false otherwise.
bool ParseHexBits(const char* text, unsigned digits, std::uint64_t& bits);
// A serial: a decimal number from 1 to 2^63; false otherwise.
bool ParseSerial(const char* text, std::uint64_t& serial);
// A count: a decimal number below 2^32; false otherwise.
bool ParseCount(const char* text, std::uint32_t& count);

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_TYPEDVALUES_H
