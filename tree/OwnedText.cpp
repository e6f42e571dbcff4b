#include "tree/OwnedText.h"

#include <cstring>
#include <cwchar>

#include "tree/BlockPool.h"

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
  const std::size_t bytes = (Length(text) + 1) * sizeof(Char);
  Char* copy = static_cast<Char*>(AllocateBlock(bytes));
  std::memcpy(copy, text, bytes);
  return copy;
}

template <typename Char> void Release(Char* text) noexcept {
  if (text != nullptr) {
    FreeBlock(text, (Length(text) + 1) * sizeof(Char));
  }
}

template <typename Char> void Replace(Char*& field, Char* copy) {
  Release(field);
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

void ReleaseText(char* text) noexcept {
  Release(text);
}
void ReleaseText(wchar_t* text) noexcept {
  Release(text);
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
