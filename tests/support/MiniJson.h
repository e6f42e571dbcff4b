// A strict reader of JSON text, small enough to trust, for tests that read
// back what the library writes: strings come back as UTF-8, numbers as
// integers (the writer writes no others).
#ifndef GENATTR_TESTS_SUPPORT_MINIJSON_H
#define GENATTR_TESTS_SUPPORT_MINIJSON_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/TextReference.h"

namespace genattr_test {

struct Json {
  enum Kind { Null, Number, String, Array, Object } kind = Null;
  std::int64_t number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  // The member named `name`; throws when there is none.
  const Json& operator[](const std::string& name) const {
    for (const auto& member : members) {
      if (member.first == name) {
        return member.second;
      }
    }
    throw std::runtime_error("no member " + name);
  }
};

// Reads one value that fills `text` but for white space; throws
// std::runtime_error naming the offset of the first fault. A \u escape of a
// lone surrogate is a fault too: the library never writes one.
class JsonReader {
public:
  static Json Read(const std::string& text) {
    JsonReader reader(text);
    Json value = reader.Value();
    reader.Space();
    if (reader.mAt != text.size()) {
      reader.Fail("text after the value");
    }
    return value;
  }

private:
  explicit JsonReader(const std::string& text) : mText(text) {}

  [[noreturn]] void Fail(const char* what) const {
    throw std::runtime_error(std::string(what) + " at offset " + std::to_string(mAt));
  }
  void Space() {
    while (mAt < mText.size() &&
           (mText[mAt] == ' ' || mText[mAt] == '\n' || mText[mAt] == '\r' || mText[mAt] == '\t')) {
      ++mAt;
    }
  }
  char Peek() {
    Space();
    return mAt < mText.size() ? mText[mAt] : '\0';
  }
  void Expect(char c) {
    if (Peek() != c) {
      Fail("unexpected character");
    }
    ++mAt;
  }

  Json Value() {
    Json value;
    const char c = Peek();
    if (c == '[') {
      value.kind = Json::Array;
      ++mAt;
      if (Peek() == ']') {
        ++mAt;
        return value;
      }
      do {
        value.items.push_back(Value());
      } while (Peek() == ',' && ++mAt);
      Expect(']');
    } else if (c == '{') {
      value.kind = Json::Object;
      ++mAt;
      if (Peek() == '}') {
        ++mAt;
        return value;
      }
      do {
        Expect('"');
        std::string name = Text();
        Expect(':');
        value.members.emplace_back(std::move(name), Value());
      } while (Peek() == ',' && ++mAt);
      Expect('}');
    } else if (c == '"') {
      ++mAt;
      value.kind = Json::String;
      value.text = Text();
    } else if (mText.compare(mAt, 4, "null") == 0) {
      mAt += 4;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      value.kind = Json::Number;
      std::size_t used = 0;
      value.number = std::stoll(mText.substr(mAt, 24), &used);
      mAt += used;
    } else {
      Fail("no value");
    }
    return value;
  }

  // The rest of a string whose opening quote has been read.
  std::string Text() {
    std::string out;
    for (;;) {
      if (mAt >= mText.size()) {
        Fail("string not ended");
      }
      const auto c = static_cast<unsigned char>(mText[mAt++]);
      if (c == '"') {
        return out;
      }
      if (c < 0x20) {
        Fail("raw control character in a string");
      }
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      const char escape = mAt < mText.size() ? mText[mAt++] : '\0';
      const char* const simple = "\"\"\\\\//b\bf\fn\nr\rt\t";
      bool found = false;
      for (const char* s = simple; *s != '\0'; s += 2) {
        if (*s == escape) {
          out += s[1];
          found = true;
        }
      }
      if (found) {
        continue;
      }
      if (escape != 'u') {
        Fail("bad escape");
      }
      std::uint32_t unit = Hex4();
      if (unit >= 0xD800 && unit <= 0xDBFF && mText.compare(mAt, 2, "\\u") == 0) {
        mAt += 2;
        const std::uint32_t low = Hex4();
        if (low < 0xDC00 || low > 0xDFFF) {
          Fail("high surrogate without its low one");
        }
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        Fail("lone surrogate");
      }
      out += fuzz::Utf8(unit);
    }
  }

  std::uint32_t Hex4() {
    if (mAt + 4 > mText.size()) {
      Fail("short \\u escape");
    }
    const std::string digits = mText.substr(mAt, 4);
    if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      Fail("bad \\u escape");
    }
    mAt += 4;
    return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
  }

  const std::string& mText;
  std::size_t mAt = 0;
};

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_MINIJSON_H
