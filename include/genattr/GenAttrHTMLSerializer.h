// The tree as a self-contained HTML page to look at in a browser.
#ifndef GENATTR_GENATTRHTMLSERIALIZER_H
#define GENATTR_GENATTRHTMLSERIALIZER_H

#include <ostream>

#include "genattr/GenAttrSerializer.h"

// Writes one HTML file, encoded in UTF-8, that shows the tree below the root
// as rows that fold and unfold, with each node's name, type, value,
// description and container id, a search box that filters by name and value,
// and the number of nodes. The page carries its style and script inline and
// loads nothing: it opens from a local file without network.
//
// The tree travels as JSON data inside the page, which the script turns into
// rows with text nodes only, so no text of the tree can become markup or
// script. Texts are converted as the XML writer converts them (8-bit text
// through the locale, or as ISO 8859-1 where the locale cannot read it; wide
// text as UTF-16 or UTF-32), with U+FFFD for what is not a character.
//
// A node linked more than once is shown at its first place in pre-order;
// every later place is a row that links there. A node whose child chain is
// already shown elsewhere (a reference and the container it was made from)
// shows no children of its own but links to them.
//
// The indentation settings of the base do not apply. Lines are not flushed
// one by one unless SetFlushEachLine(true) asks for it: a page is of no use
// before its end. The stream is borrowed and must outlive the writer.
class GENATTR_API GenAttrHTMLSerializer : public GenAttrSerializer {
public:
  GenAttrHTMLSerializer(GenAttrBase* root, std::ostream* out);
  // Copies would own the same title.
  GenAttrHTMLSerializer(const GenAttrHTMLSerializer&) = delete;
  GenAttrHTMLSerializer& operator=(const GenAttrHTMLSerializer&) = delete;
  ~GenAttrHTMLSerializer() override;

  // Stores a copy of the page title, UTF-8 (a file name, say); null goes back
  // to the default, the name of the root.
  void SetTitle(const char* title);

  // Writes the page; returns 0. Nothing is written when the root or the
  // stream is null.
  int Write() override;

protected:
  std::ostream* mpOut;
  char* mpTitle;
};

#endif // GENATTR_GENATTRHTMLSERIALIZER_H
