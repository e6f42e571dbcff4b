// Texts owned by nodes and writers: copies in blocks of the pool (see
// BlockPool.h), released with ReleaseText(). Internal.
#ifndef GENATTR_TREE_OWNEDTEXT_H
#define GENATTR_TREE_OWNEDTEXT_H

namespace genattr {
namespace detail {

// A copy of `text`; null is copied as an empty text.
char* CopyText(const char* text);
wchar_t* CopyText(const wchar_t* text);
// A copy of `text`, or null for null.
char* CopyOptionalText(const char* text);

// Releases a text made here; null is ignored. The text must be unchanged
// since it was made (its length tells the size of its block).
void ReleaseText(char* text) noexcept;
void ReleaseText(wchar_t* text) noexcept;

// Replaces `field` with a copy of `text` (null copied as empty). The copy is
// made before the old text is released, so `text` may point into it.
void ReplaceText(char*& field, const char* text);
void ReplaceText(wchar_t*& field, const wchar_t* text);
// As ReplaceText(), but null leaves `field` null.
void ReplaceOptionalText(char*& field, const char* text);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_OWNEDTEXT_H
