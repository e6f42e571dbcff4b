// The base of the tree writers: root, indentation settings, time stamp.
#ifndef GENATTR_GENATTRSERIALIZER_H
#define GENATTR_GENATTRSERIALIZER_H

#include "genattr/Export.h"

class GenAttrBase;

// A writer borrows its root (and, in the concrete classes, its output stream):
// it never frees, copies or changes the tree, except that writing moves the
// child cursor of every node whose children it writes past the end.
class GENATTR_API GenAttrSerializer {
public:
  // Writes `root` at indentation 0 with 2 more spaces per level.
  explicit GenAttrSerializer(GenAttrBase* root);
  GenAttrSerializer(const GenAttrSerializer&) = default;
  GenAttrSerializer& operator=(const GenAttrSerializer&) = default;
  virtual ~GenAttrSerializer();

  // Spaces in front of the root; 0 or below writes none.
  void SetInitialIndent(int indent);
  // Spaces added per level.
  void SetIndentIncrement(int increment);
  // Whether each line ends with a line feed and a flush of the stream (true,
  // the default and what the factory writes with) or with a plain line feed,
  // the stream then being flushed once at the end of Write(). Without the
  // flush per line a file is written much faster, but a reader of the stream
  // sees nothing of the document until Write() returns.
  void SetFlushEachLine(bool flush);
  // Whether the 8-bit texts of the tree (names, descriptions, container ids,
  // String values) are UTF-8, as in trees read from documents or made from
  // Python (true), or in the current locale's multibyte encoding (false, the
  // default). With true they are written as the characters they encode,
  // whatever the locale: a byte that belongs to no well-formed sequence
  // becomes U+FFFD, except in the typed document, which keeps every text
  // exactly. Wide values are then written as their characters in the listing
  // too, whatever their UTF flag. Element names of the plain XML document
  // keep their rules.
  void SetUtf8Texts(bool on);
  // Whether the document carries the time of writing (true, the default): the
  // root's DateAndTime element in the XML documents, the "written" field of
  // the page. Without it the same tree always gives the same bytes, and the
  // XML documents read back as they do with it. The listing carries none.
  void SetTimeStamp(bool on);

  // Writes the whole document to the writer's stream; returns 0.
  virtual int Write() = 0;

protected:
  // The current local time as "Sun Dec 06 15:38:51 2026" (24 characters, English
  // names, day with a leading zero) in a buffer of the calling thread,
  // overwritten by the thread's next call and released when the thread ends.
  const char* GetDateAndTime();

  GenAttrBase* mpRoot;
  int mInitialIndent;
  int mIndentIncrement;
  // During a write, the level of the node being written: its value at the
  // start of the write for the root, one more per level below; back to that
  // value when the write ends.
  int mDepth;
  bool mFlushEachLine;
  bool mUtf8Texts;
  bool mTimeStamp;
};

#endif // GENATTR_GENATTRSERIALIZER_H
