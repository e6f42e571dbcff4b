// The subcommands of the genattr command, each run to its exit status. Internal.
#ifndef GENATTR_CLI_COMMANDS_H
#define GENATTR_CLI_COMMANDS_H

#include <string>
#include <vector>

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
};

struct ConvertOptions {
  std::string in;
  std::string out; // "-" for standard output
  std::string to;  // empty: from the extension of out
  std::string xsl;
  std::string css;
};

struct FindOptions {
  std::string file;
  bool hasName = false, hasValue = false, hasType = false;
  std::string name, value, type;
};

// Each writes its results to standard output and its complaints to standard
// error, and returns an ExitStatus.
int RunShow(const ShowOptions& options);
int RunConvert(const ConvertOptions& options);
int RunGet(const std::string& file, const std::string& path);
int RunFind(const FindOptions& options);
int RunCheck(const std::vector<std::string>& files);
int RunStats(const std::string& file);
int RunDiff(const std::string& before, const std::string& after);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_COMMANDS_H
