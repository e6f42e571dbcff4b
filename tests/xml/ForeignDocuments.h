// Documents as other programs write them, made for the reader tests: text of
// many scripts in the encodings that carry them (converted from UTF-8 by ICU,
// not by the reader's converter), and DOCTYPEs of every form.
#ifndef GENATTR_TESTS_XML_FOREIGNDOCUMENTS_H
#define GENATTR_TESTS_XML_FOREIGNDOCUMENTS_H

#include <string>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include "tests/xml/TreeLeaves.h"

namespace foreign {

// `utf8` in the encoding ICU names `icuName`, or "" when ICU cannot convert
// every character (no substitutes).
inline std::string Encode(const std::string& utf8, const char* icuName) {
  UErrorCode status = U_ZERO_ERROR;
  std::u16string units(utf8.size() + 1, u'\0');
  int32_t length = 0;
  u_strFromUTF8(units.data(), static_cast<int32_t>(units.size()), &length, utf8.data(),
                static_cast<int32_t>(utf8.size()), &status);
  UConverter* converter = ucnv_open(icuName, &status);
  if (U_FAILURE(status)) {
    return "";
  }
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::string bytes(static_cast<std::size_t>(length) * 4 + 8, '\0');
  const int32_t written = ucnv_fromUChars(
      converter, bytes.data(), static_cast<int32_t>(bytes.size()), units.data(), length, &status);
  ucnv_close(converter);
  if (U_FAILURE(status)) {
    return "";
  }
  bytes.resize(static_cast<std::size_t>(written));
  return bytes;
}

// A text of a script, declared as `declared` and converted by ICU as `icu`.
struct Script {
  const char* declared;
  const char* icu;
  const char* text; // UTF-8
};

// One per encoding the reader promises, some names in other cases or as
// aliases. The texts avoid characters whose mapping varies between tables
// (the yen sign and backslash, wave dashes).
inline const std::vector<Script>& Scripts() {
  static const std::vector<Script> scripts = {
      {"latin1", "ISO-8859-1",
       "\xC3\x87"
       "a fait d\xC3\xA9j\xC3\xA0 l'\xC3\xA9t\xC3\xA9 \xC2\xBD"},
      {"utf8", "UTF-8",
       "\xC5\xBB\xC3\xB3\xC5\x82\xC4\x87 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x99\x82"},
      // Příliš žluťoučký kůň
      {"windows-1250", "windows-1250",
       "P\xC5\x99\xC3\xADli\xC5\xA1 \xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88"},
      // Съешь же ещё
      {"Windows-1251", "windows-1251",
       "\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89\xD1\x91"},
      // naïve café – “quoted” €
      {"WINDOWS-1252", "windows-1252",
       "na\xC3\xAFve caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC"},
      // Zażółć gęślą jaźń
      {"ISO-8859-2", "ISO-8859-2",
       "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84"},
      // Привет мир
      {"iso-8859-5", "ISO-8859-5",
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80"},
      // Καλημέρα κόσμε
      {"ISO-8859-7", "ISO-8859-7",
       "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 "
       "\xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5"},
      // Ağaç şişe İstanbul
      {"ISO-8859-9", "ISO-8859-9",
       "A\xC4\x9F"
       "a\xC3\xA7 \xC5\x9Fi\xC5\x9F"
       "e \xC4\xB0stanbul"},
      // Œuvre € Šž
      {"ISO-8859-15", "ISO-8859-15", "\xC5\x92uvre \xE2\x82\xAC \xC5\xA0\xC5\xBE"},
      // Широкая электрификация
      {"KOI8-R", "KOI8-R",
       "\xD0\xA8\xD0\xB8\xD1\x80\xD0\xBE\xD0\xBA\xD0\xB0\xD1\x8F "
       "\xD1\x8D\xD0\xBB\xD0\xB5\xD0\xBA\xD1\x82\xD1\x80\xD0\xB8\xD1\x84\xD0\xB8"
       "\xD0\xBA\xD0\xB0\xD1\x86\xD0\xB8\xD1\x8F"},
      // 日本語のテキスト、カタカナ
      {"Shift_JIS", "Shift_JIS",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
       "\xE3\x83\x88\xE3\x80\x81\xE3\x82\xAB\xE3\x82\xBF\xE3\x82\xAB\xE3\x83\x8A"},
      {"euc-jp", "EUC-JP",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
       "\xE3\x83\x88"},
      // 한국어 텍스트
      {"EUC-KR", "EUC-KR",
       "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xED\x85\x8D\xEC\x8A\xA4\xED\x8A\xB8"},
      // 繁體中文測試
      {"Big5", "Big5", "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87\xE6\xB8\xAC\xE8\xA9\xA6"},
      // 简体中文测试
      {"GB2312", "GB2312",
       "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95"},
  };
  return scripts;
}

// A document declaring `declared`, in UTF-8: the text as an element's value
// and as a description.
inline std::string DocumentOf(const std::string& declared, const std::string& text) {
  return "<?xml version=\"1.0\" encoding=\"" + declared + "\"?>\n<r>\n<v>" + text +
         "</v>\n<w desc=\"" + text + "\">x</w>\n</r>\n";
}

// A UTF-16 or UTF-32 document with its byte order mark.
inline std::string WithMark(const std::string& utf8, const char* icu) {
  return Encode("\xEF\xBB\xBF" + utf8, icu);
}

} // namespace foreign

#endif // GENATTR_TESTS_XML_FOREIGNDOCUMENTS_H
