#include "cli/TreeInput.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/Progress.h"

namespace genattr {
namespace cli {

namespace {

const char* StatusName(int status) {
  switch (status) {
  case GENATTR_READ_OK:
    return "read";
  case GENATTR_READ_CANNOT_OPEN:
    return "cannot open";
  case GENATTR_READ_NOT_WELL_FORMED:
    return "not well-formed XML";
  case GENATTR_READ_NOT_A_TREE:
    return "not a tree document";
  case GENATTR_READ_LIMIT:
    return "resource limit hit";
  default:
    return "unknown status";
  }
}

// Loads the bytes of `fileName` in slices so that progress can be shown, then
// builds the tree from them. Used only where progress is wanted: it holds the
// file's bytes and the tree at once.
Tree ReadWithProgress(const std::string& fileName, std::uint64_t size,
                      const GenAttrReadOptions& options, GenAttrReadError& error) {
  std::ifstream in(fileName, std::ios::binary);
  std::string bytes;
  if (in) {
    bytes.resize(size);
    Progress progress(true, "reading", fileName, size);
    constexpr std::uint64_t slice = std::uint64_t{4} << 20;
    std::uint64_t done = 0;
    while (done < size && in.read(&bytes[done], static_cast<std::streamsize>(
                                                    size - done < slice ? size - done : slice))) {
      done += static_cast<std::uint64_t>(in.gcount());
      progress.Update(done, done);
    }
    done += in ? 0 : static_cast<std::uint64_t>(in.gcount());
    bytes.resize(done);
  }
  if (!in && !in.eof()) {
    // Let the reader say why the file cannot be read, in its words.
    return Tree(GenAttrXMLReader::ReadFile(fileName.c_str(), options, &error));
  }
  // The reader takes the document in one piece, so building the tree shows
  // no percentage, only that it is under way and how long it took.
  std::fprintf(stderr, "building the tree of %s ...", fileName.c_str());
  std::fflush(stderr);
  const auto start = std::chrono::steady_clock::now();
  Tree tree(GenAttrXMLReader::ReadBuffer(bytes.data(), bytes.size(), options, &error));
  std::fprintf(stderr, " %.1f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return tree;
}

} // namespace

Tree ReadTree(const std::string& fileName, const GenAttrReadOptions& options,
              GenAttrReadError& error) {
  std::error_code ec;
  const std::uint64_t size =
      std::filesystem::is_regular_file(fileName, ec)
          ? static_cast<std::uint64_t>(std::filesystem::file_size(fileName, ec))
          : 0;
  if (!ec && WantProgress(size)) {
    return ReadWithProgress(fileName, size, options, error);
  }
  return Tree(GenAttrXMLReader::ReadFile(fileName.c_str(), options, &error));
}

std::string DescribeStatus(const GenAttrReadError& error) {
  std::string text =
      "status " + std::to_string(error.mStatus) + " (" + StatusName(error.mStatus) + ")";
  if (error.mLine != 0) {
    text += ", line " + std::to_string(error.mLine) + ", column " + std::to_string(error.mColumn);
  }
  if (error.mMessage[0] != '\0') {
    text += ": ";
    text += error.mMessage;
  }
  return text;
}

std::string ReadFailure(const std::string& fileName, const GenAttrReadError& error) {
  std::string text = "genattr: cannot read '" + fileName + "': " + DescribeStatus(error) + "\n";
  switch (error.mStatus) {
  case GENATTR_READ_CANNOT_OPEN:
    return text + "  Check the file name and that you may read the file.\n";
  case GENATTR_READ_NOT_WELL_FORMED:
    // The reader's own messages for these begin with these words; a file cut
    // short never leads to them, so the usual hint would mislead.
    if (std::strncmp(error.mMessage, "unknown encoding", 16) == 0) {
      return text + "  The file declares an encoding that this system cannot convert.\n";
    }
    if (std::strstr(error.mMessage, "entity") != nullptr) {
      return text + "  An entity reference cannot be resolved from the file itself; nothing "
                    "outside it is read.\n";
    }
    return text + "  The file is not complete, well-formed XML; was it cut short or written by "
                  "another program?\n";
  case GENATTR_READ_NOT_A_TREE:
    return text + "  The XML does not describe an attribute tree; 'genattr check' reports where.\n";
  case GENATTR_READ_LIMIT:
    return text + "  The file goes beyond what the reader accepts; it may be damaged or hostile.\n";
  default:
    return text;
  }
}

} // namespace cli
} // namespace genattr
