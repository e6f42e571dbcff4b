// Writing a tree in one of the formats the command offers. Internal.
#ifndef GENATTR_CLI_OUTPUT_H
#define GENATTR_CLI_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

enum class Format {
  Text,  // the plain-text listing
  Xml,   // the XML document
  Typed, // the XML document with the additions that make it readable back exactly
  Html,  // the page to look at
};

// The format named `name` ("text", "xml", "typed", "html"); false when none is.
bool FormatFromName(const std::string& name, Format* format);
// The format a file name's extension stands for (".txt", ".xml", ".html",
// ".htm", in any case); false for any other name, "-" included.
bool FormatFromFileName(const std::string& fileName, Format* format);

// Stylesheet settings of the XML formats; empty texts are not set.
struct Stylesheets {
  std::string xslHref;
  std::string cssText;
};

// The value text of `node` as UTF-8, whatever the locale: a wide value's
// characters, any other value's rendering (the 8-bit texts of a tree read
// from a document are UTF-8 already). Borrowed, valid until the thread's next
// value rendering or use of the string utilities.
const char* ValueText(GenAttrBase* node);

// Writes the tree below `root` to `out` in `format`, the stream being flushed
// once at the end, with the time of writing where the format has one unless
// `timeStamp` is false. The caller checks the stream's state.
void WriteTree(GenAttrBase* root, Format format, const Stylesheets& stylesheets, std::ostream& out,
               bool timeStamp = true);

// About how many lines WriteTree() writes for `root` in `format`: one per
// node the writer goes through (the XML formats go into references, the
// listing does not) and two more, so that a progress display has a total to
// count against.
std::uint64_t ExpectedLines(GenAttrBase* root, Format format);

// Writes the plain-text listing of `root` down to `maxDepth` levels below it
// (0: the root's line alone), byte for byte the lines the full listing has for
// those nodes.
void WriteListing(GenAttrBase* root, std::size_t maxDepth, std::ostream& out);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_OUTPUT_H
