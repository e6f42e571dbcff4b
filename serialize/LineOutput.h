// The line a tree writer is putting together, handed to its stream whole.
// Internal to the library.
#ifndef GENATTR_SERIALIZE_LINEOUTPUT_H
#define GENATTR_SERIALIZE_LINEOUTPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ios>
#include <ostream>

#include "genattr/GenAttrBase.h"
#include "serialize/SubtreeWalk.h"
#include "serialize/TextBuffer.h"
#include "tree/NumberText.h"
#include "tree/ValueBuffer.h"

namespace genattr {
namespace detail {

// Collects the text of a line and writes it with one call at the line end
// (or of several lines, when lines are not flushed one by one), instead of
// one formatted insertion per piece. The stream's formatting
// applies as it did to the pieces: a field width set on the stream pads the
// first piece appended through Piece(), and Padded() pads like an insertion
// with a width. Borrows `out`, which must outlive the object.
class LineOutput {
public:
  LineOutput(std::ostream& out, bool flushEachLine)
      : mOut(out), mFlushEachLine(flushEachLine), mPendingWidth(out.width(0)) {}
  LineOutput(const LineOutput&) = delete;
  LineOutput& operator=(const LineOutput&) = delete;
  // Whatever is still pending goes to the stream, without a line end.
  ~LineOutput() { Emit(); }

  // The text of the line so far, to append to.
  TextBuffer& Text() { return mText; }

  // Appends `text` as an insertion into the stream would.
  void Piece(const char* text) { Piece(text, std::strlen(text)); }
  void Piece(const char* text, std::size_t length) {
    if (mPendingWidth > 0) {
      Padded(text, length, mPendingWidth, mOut.flags() & std::ios::adjustfield);
      mPendingWidth = 0;
      return;
    }
    mText.Append(text, length);
  }
  // The same for a string literal, whose length the compiler knows.
  template <std::size_t N> void PieceLiteral(const char (&literal)[N]) { Piece(literal, N - 1); }

  // Appends `text` in a field of `width` characters filled with the stream's
  // fill character: after the text for left adjustment, before it otherwise.
  void Padded(const char* text, std::size_t length, std::streamsize width,
              std::ios::fmtflags adjust) {
    const std::size_t fill =
        static_cast<std::size_t>(width) > length ? static_cast<std::size_t>(width) - length : 0;
    if (adjust != std::ios::left) {
      mText.Fill(fill, mOut.fill());
    }
    mText.Append(text, length);
    if (adjust == std::ios::left) {
      mText.Fill(fill, mOut.fill());
    }
  }

  // Appends `count` spaces; nothing when `count` is 0 or below. A huge
  // indentation goes to the stream in chunks rather than into memory.
  void Indent(std::int64_t count) {
    constexpr std::int64_t inMemory = 4096;
    if (count > inMemory) {
      Emit();
      WriteIndent(mOut, count);
    } else if (count > static_cast<std::int64_t>(sizeof SPACES)) {
      mText.Fill(static_cast<std::size_t>(count), ' ');
    } else if (count > 0) {
      // A copy of a fixed size takes no call; what lies beyond the count is
      // given back.
      char* const at = mText.Extend(sizeof SPACES);
      std::memcpy(at, SPACES, sizeof SPACES);
      mText.Truncate(at + count);
    }
  }

  // Writes the pending text to the stream: before an insertion that the
  // stream formats itself, or before a call that may print to standard output
  // (so that such output lands where it always did, when the stream is
  // std::cout).
  void Emit() {
    if (!mText.Empty()) {
      mOut.write(mText.Data(), static_cast<std::streamsize>(mText.Size()));
      mText.Clear();
    }
  }

  // Ends the line: a line feed, and a flush when every line is flushed.
  // Without the flush, lines gather until there are 256 KiB of them, which
  // saves a call into the stream per line; a file stream hands a block that
  // size to the system in one write, and fewer, larger writes cost the
  // system markedly less time per byte than blocks of a few kilobytes.
  void EndLine() {
    mText.Append('\n');
    if (mFlushEachLine) {
      Emit();
      mOut.flush();
    } else if (mText.Size() >= GATHERED) {
      Emit();
    }
  }

  std::ostream& Stream() { return mOut; }

private:
  static constexpr std::size_t GATHERED = 262144;
  // The indentation of the usual depths, copied whole.
  static constexpr char SPACES[32] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

  std::ostream& mOut;
  bool mFlushEachLine;
  std::streamsize mPendingWidth;
  TextBuffer mText;
};

// Appends the value text of an Int, Float or Double `node` straight to the
// line (its characters need no escape in any format) and returns true; false,
// with the line as it was, for other nodes and the values only printf formats.
// `fixedIsPrintfs` is FixedIsPrintfs(), asked once per write.
inline bool AppendShortNumber(LineOutput& line, const GenAttrBase& node, bool fixedIsPrintfs) {
  TextBuffer& text = line.Text();
  char* const room = text.Extend(kShortNumberRoom);
  char* const end = WriteShortNumber(node, room, fixedIsPrintfs);
  text.Truncate(end != nullptr ? end : room);
  return end != nullptr;
}

// GetValueAsString() of `node`, with the line so far written first when the
// rendering may print a report, so that the report lands where it always did.
// Valid until the next rendering on this thread.
inline const char* RenderedValue(LineOutput& line, const GenAttrBase& node) {
  if (ValueMayReport(node)) {
    line.Emit();
  }
  return node.GetValueAsString();
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_LINEOUTPUT_H
