// Reading the tree of a file for a subcommand. Internal.
#ifndef GENATTR_CLI_TREEINPUT_H
#define GENATTR_CLI_TREEINPUT_H

#include <memory>
#include <string>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrXMLReader.h"

namespace genattr {
namespace cli {

struct TreeRelease {
  void operator()(GenAttrBase* root) const { GenAttrBase::Free(root); }
};
// A tree the command read and owns.
using Tree = std::unique_ptr<GenAttrBase, TreeRelease>;

// Reads the XML document (typed or not) in `fileName` by `options`, with
// progress on a terminal for a large file. Null on failure, `error` then
// saying why.
Tree ReadTree(const std::string& fileName, const GenAttrReadOptions& options,
              GenAttrReadError& error);

// What a failed read means, as "status 2 (not well-formed XML), line 3,
// column 5: <reader's message>".
std::string DescribeStatus(const GenAttrReadError& error);

// The message for standard error after a failed read: the file, what is
// wrong with it and what to do about it.
std::string ReadFailure(const std::string& fileName, const GenAttrReadError& error);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_TREEINPUT_H
