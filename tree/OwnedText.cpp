#include "tree/OwnedText.h"

#include <cstring>
#include <cwchar>

namespace genattr {
namespace detail {

namespace {

std::size_t Length(const char* text) {
  return std::strlen(text);
}
std::size_t Length(const wchar_t* text) {
  return std::wcslen(text);
}

template <typename Char> Char* Copy(const Char* text) {
  static const Char empty[1] = {};
  if (text == nullptr) {
    text = empty;
  }
  const std::size_t units = Length(text) + 1;
  Char* copy = new Char[units];
  std::memcpy(copy, text, units * sizeof(Char));
  return copy;
}

template <typename Char> void Replace(Char*& field, Char* copy) {
  delete[] field;
  field = copy;
}

} // namespace

char* CopyText(const char* text) {
  return Copy(text);
}
wchar_t* CopyText(const wchar_t* text) {
  return Copy(text);
}
char* CopyOptionalText(const char* text) {
  return text == nullptr ? nullptr : Copy(text);
}

void ReplaceText(char*& field, const char* text) {
  Replace(field, Copy(text));
}
void ReplaceText(wchar_t*& field, const wchar_t* text) {
  Replace(field, Copy(text));
}
void ReplaceOptionalText(char*& field, const char* text) {
  Replace(field, CopyOptionalText(text));
}

} // namespace detail
} // namespace genattr
