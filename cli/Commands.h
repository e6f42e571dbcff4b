// The subcommands of the genattr command, each run to its exit status. Internal.
#ifndef GENATTR_CLI_COMMANDS_H
#define GENATTR_CLI_COMMANDS_H

#include <string>
#include <vector>

#include "genattr/GenAttrXMLReader.h"

namespace genattr {
namespace cli {

// Exit statuses: the answer is yes (or the work is done), the answer is no
// (no such node, no match, not sound, different), or trouble (a file cannot
// be read or written, a wrong argument).
enum ExitStatus { kExitOk = 0, kExitNo = 1, kExitTrouble = 2 };

struct ShowOptions {
  std::string file;
  bool limitDepth = false;
  unsigned long depth = 0;
  bool hasPath = false;
  std::string path;
  GenAttrReadOptions read;
};

struct ConvertOptions {
  std::string in;
  std::string out; // "-" for standard output
  std::string to;  // empty: from the extension of out
  std::string xsl;
  std::string css;
  bool timeStamp = true; // false: the XML documents and the page without the time of writing
  GenAttrReadOptions read;
};

struct FindOptions {
  std::string file;
  bool hasName = false, hasValue = false, hasType = false;
  std::string name, value, type;
  GenAttrReadOptions read;
};

// Each reads its files by `read` (or the options' `read`), writes its results
// to standard output and its complaints to standard error, and returns an
// ExitStatus.
int RunShow(const ShowOptions& options);
int RunConvert(const ConvertOptions& options);
int RunGet(const std::string& file, const std::string& path, const GenAttrReadOptions& read);
int RunFind(const FindOptions& options);
int RunCheck(const std::vector<std::string>& files, const GenAttrReadOptions& read);
int RunStats(const std::string& file, const GenAttrReadOptions& read);
int RunDiff(const std::string& before, const std::string& after, const GenAttrReadOptions& read);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_COMMANDS_H
