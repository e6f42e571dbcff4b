// Reading XML tree documents back into attribute trees (library genattr_xml).
#ifndef GENATTR_GENATTRXMLREADER_H
#define GENATTR_GENATTRXMLREADER_H

#include <cstddef>

#include "genattr/GenAttrXMLExport.h"

class GenAttrBase;

// The status of a read: GenAttrReadError::mStatus, and the status the C
// functions of genattr_c_ext.h store.
enum GenAttrReadStatus {
  // The tree was read.
  GENATTR_READ_OK = 0,
  // The file cannot be opened or read (missing, a directory, no permission).
  GENATTR_READ_CANNOT_OPEN = 1,
  // The bytes are not well-formed XML 1.0 (also: bytes invalid in the
  // declared encoding, a truncated document, no element at all), wherever the
  // fault is; an encoding the C library's iconv does not know (mMessage
  // "unknown encoding: NAME"); a reference to an entity that no declaration
  // can provide ("undefined entity: &NAME;") or a recursive one.
  GENATTR_READ_NOT_WELL_FORMED = 2,
  // Well-formed, but not a tree document: a typed attribute with a value that
  // cannot be, a link to a node never defined.
  GENATTR_READ_NOT_A_TREE = 3,
  // A resource limit was hit (entity amplification, entity expansions nested
  // more than 64 deep, a size or count beyond what the reader accepts, memory).
  GENATTR_READ_LIMIT = 4
};

// The outcome of a read, filled on success too.
struct GenAttrReadError {
  // A GenAttrReadStatus. An int, as the C functions hand it out, so that the
  // structure and the comparisons hosts already make stay as they are.
  int mStatus;
  // Where the fault was found (for GENATTR_READ_NOT_A_TREE, where the typed
  // document went wrong, though the parse went on): line and column, 1-based;
  // 0 when not known.
  unsigned long mLine, mColumn;
  // What went wrong, in English, zero-terminated; "" for GENATTR_READ_OK.
  char mMessage[256];
};

// How a document is read: made with the defaults (`GenAttrReadOptions options;`),
// then changed where wanted. A plain value; the reader only reads it during
// the call it is passed to.
struct GenAttrReadOptions {
  // Whether an element without ga:type or ga:link keeps what is in it. True
  // (the default): each attribute other than desc and value becomes a String
  // child named "@" + the attribute's name (prefix kept), before the other
  // children, in document order; in an element with child elements, each run
  // of text between two element boundaries that is not only white space
  // becomes a String child named "#text", in its place. False: both are left
  // out; only desc and value are read, and text beside child elements is lost.
  bool mKeepAttributes = true;
};

// Reads a document written by GenAttrXMLSerializer (or any XML document) and
// builds the tree it describes. A document written with typed output comes
// back exactly: types, names, descriptions, values, container ids, order of
// children, nodes linked more than once, references (see README, "Reading
// documents back"); a Ptr value comes back as a null pointer. Other documents
// are read by the untyped rules of the README, which keep attributes and text
// beside elements as children unless GenAttrReadOptions says otherwise.
//
// Any encoding the C library's iconv knows is read, by the name the XML declaration
// gives (any case, usual aliases), besides UTF-16 and UTF-32 known by their
// byte order mark or first bytes; a document is converted piece by piece,
// never held whole. A DOCTYPE is accepted and the entities of its internal
// subset are expanded, within expat's amplification limits. Nothing outside
// the document is ever opened or fetched: no external DTD subset, external
// entity or external parameter entity. A reference to an external entity, or
// to one an unread external declaration could provide, stays in the text as
// written ("&name;"). Nesting of any depth is read without recursion. It
// changes no process-wide state: a typed string node takes its UTF flag from
// the document, any other string node from the host's UTF transfer switch.
class GENATTR_XML_API GenAttrXMLReader {
public:
  // Reads the file `fileName` (opened as binary). Returns the new root, owned
  // by the caller (count 0, like a node made with new: release it with
  // GenAttrBase::Free), or null on any failure, when nothing is left
  // allocated. `error`, when not null, receives the outcome.
  static GenAttrBase* ReadFile(const char* fileName, GenAttrReadError* error = nullptr);
  // The same for the `size` bytes at `data` (borrowed for the call only; null
  // with size 0 is an empty document).
  static GenAttrBase* ReadBuffer(const char* data, std::size_t size,
                                 GenAttrReadError* error = nullptr);
  // ReadFile() and ReadBuffer() with `options` (borrowed for the call only);
  // the overloads above read with the default options.
  static GenAttrBase* ReadFile(const char* fileName, const GenAttrReadOptions& options,
                               GenAttrReadError* error = nullptr);
  static GenAttrBase* ReadBuffer(const char* data, std::size_t size,
                                 const GenAttrReadOptions& options,
                                 GenAttrReadError* error = nullptr);
};

#endif // GENATTR_GENATTRXMLREADER_H
