// Conversions between UTF-8, UTF-16 and UTF-32 over caller-supplied buffers.
// Internal to the library.
#ifndef GENATTR_BASE_TRANSCODE_H
#define GENATTR_BASE_TRANSCODE_H

#include <cstdint>

namespace genattr {
namespace detail {

// Result of every conversion. On return the source cursor points just past the
// last unit whose character was converted and the target cursor just past the
// last unit written; a stop leaves the source cursor on the first unit of the
// character that stopped it, nothing of which was written. Units past the
// returned target cursor keep what they held.
enum TranscodeResult : std::int32_t {
  // The whole source was converted.
  TranscodeOk = 0,
  // The source ends inside a character: a UTF-8 lead byte whose trailing bytes
  // lie at or beyond the source end, or a UTF-16 high surrogate as last unit.
  TranscodeInputEnded = 1,
  // The next character does not fit between the target cursor and end.
  TranscodeOutputFull = 2,
  // An ill-formed UTF-8 sequence, or a value that the mode rejects.
  TranscodeInputIllegal = 3
};

// Conversion modes: 0 is strict, any other value lenient.
enum TranscodeMode : std::int32_t { TranscodeStrict = 0, TranscodeLenient = 1 };

TranscodeResult TranscodeUTF8ToUTF16(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char16_t** targetCursor,
                                     char16_t* targetEnd, int mode);
TranscodeResult TranscodeUTF16ToUTF8(const char16_t** sourceCursor, const char16_t* sourceEnd,
                                     unsigned char** targetCursor, unsigned char* targetEnd,
                                     int mode);
TranscodeResult TranscodeUTF8ToUTF32(const unsigned char** sourceCursor,
                                     const unsigned char* sourceEnd, char32_t** targetCursor,
                                     char32_t* targetEnd, int mode);
TranscodeResult TranscodeUTF32ToUTF8(const char32_t** sourceCursor, const char32_t* sourceEnd,
                                     unsigned char** targetCursor, unsigned char* targetEnd,
                                     int mode);
TranscodeResult TranscodeUTF16ToUTF32(const char16_t** sourceCursor, const char16_t* sourceEnd,
                                      char32_t** targetCursor, char32_t* targetEnd, int mode);
TranscodeResult TranscodeUTF32ToUTF16(const char32_t** sourceCursor, const char32_t* sourceEnd,
                                      char16_t** targetCursor, char16_t* targetEnd, int mode);

// Whether the `length` bytes at `source` form one well-formed UTF-8 sequence
// (the Unicode Standard's table of well-formed byte sequences).
bool IsWellFormedUTF8(const unsigned char* source, std::int32_t length);
// Whether the sequence that starts at `source` (its length given by the lead
// byte) lies before `sourceEnd` and is well-formed. Reads *source: pass a
// position before the end.
bool IsWellFormedUTF8Bounded(const unsigned char* source, const unsigned char* sourceEnd);

} // namespace detail
} // namespace genattr

#endif // GENATTR_BASE_TRANSCODE_H
