#include "cli/Commands.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <system_error>

#include "cli/BlockBuf.h"
#include "cli/Find.h"
#include "cli/NodePath.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Stats.h"
#include "cli/TreeDiff.h"
#include "cli/TreeInput.h"
#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

namespace {

// Reads `file`, or says on standard error why it cannot.
Tree Load(const std::string& file, const GenAttrReadOptions& read) {
  GenAttrReadError error{};
  Tree tree = ReadTree(file, read, error);
  if (!tree) {
    std::cerr << ReadFailure(file, error);
  }
  return tree;
}

// The status of a subcommand whose results went to standard output, unless
// they could not all be written there.
int Finish(int status) {
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "genattr: cannot write to standard output (" << std::strerror(errno)
              << "); check the disk space or the program reading the output.\n";
    return kExitTrouble;
  }
  return status;
}

void NoSuchNode(const std::string& file, const std::string& path) {
  std::cerr << "genattr: '" << file << "' has no node at path '" << path << "'; 'genattr find "
            << file << "' lists the paths it has.\n";
}

// Passes the bytes of a write on to its destination and shows how far the
// write has come, by the lines it wrote against the lines expected.
class ProgressBuf : public BlockBuf {
public:
  ProgressBuf(std::streambuf* target, Progress& progress) : BlockBuf(target), mProgress(progress) {}

protected:
  bool Pass(const char* begin, const char* end) override {
    const std::streamsize size = end - begin;
    for (const char* p = begin; p != end; ++p) {
      mLines += *p == '\n' ? 1 : 0;
    }
    mBytes += static_cast<std::uint64_t>(size);
    mProgress.Update(mLines, mBytes);
    return mpTarget->sputn(begin, size) == size;
  }

private:
  Progress& mProgress;
  std::uint64_t mLines = 0;
  std::uint64_t mBytes = 0;
};

// Writes the tree to `out` as `options` say, with progress when the input was
// large.
void WriteWithProgress(GenAttrBase* root, Format format, const ConvertOptions& options,
                       const std::string& name, bool shown, std::ostream& out) {
  const Stylesheets stylesheets{options.xsl, options.css};
  if (!shown) {
    WriteTree(root, format, stylesheets, out, options.timeStamp);
    return;
  }
  Progress progress(true, "writing", name, ExpectedLines(root, format));
  ProgressBuf counting(out.rdbuf(), progress);
  std::ostream counted(&counting);
  WriteTree(root, format, stylesheets, counted, options.timeStamp);
  counted.flush();
  if (!counted) {
    out.setstate(std::ios::badbit);
  }
}

std::uint64_t FileSize(const std::string& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

} // namespace

int RunShow(const ShowOptions& options) {
  Tree tree = Load(options.file, options.read);
  if (!tree) {
    return kExitTrouble;
  }
  GenAttrBase* start = tree.get();
  if (options.hasPath) {
    start = ResolvePath(tree.get(), options.path);
    if (start == nullptr) {
      NoSuchNode(options.file, options.path);
      return kExitNo;
    }
  }
  if (options.limitDepth) {
    WriteListing(start, options.depth, std::cout);
  } else {
    WriteTree(start, Format::Text, Stylesheets{}, std::cout);
  }
  return Finish(kExitOk);
}

int RunConvert(const ConvertOptions& options) {
  Format format{};
  if (options.to.empty() ? !FormatFromFileName(options.out, &format)
                         : !FormatFromName(options.to, &format)) {
    std::cerr << "genattr: cannot tell which format to write to '" << options.out
              << "'; name it with --to text, xml, typed or html, or give the file the extension "
                 ".txt, .xml or .html.\n";
    return kExitTrouble;
  }
  if ((format == Format::Text || format == Format::Html) &&
      (!options.xsl.empty() || !options.css.empty())) {
    std::cerr << "genattr: --xsl and --css belong to the XML formats; leave them out or convert "
                 "with --to xml or --to typed.\n";
    return kExitTrouble;
  }
  Tree tree = Load(options.in, options.read);
  if (!tree) {
    return kExitTrouble;
  }
  const bool progress = WantProgress(FileSize(options.in));
  if (options.out == "-") {
    WriteWithProgress(tree.get(), format, options, "standard output", false, std::cout);
    return Finish(kExitOk);
  }
  // The page is the same bytes everywhere, as its factory writes it; the
  // listing and the XML documents take the platform's line ends.
  std::ofstream out(options.out, format == Format::Html
                                     ? std::ios::out | std::ios::trunc | std::ios::binary
                                     : std::ios::out | std::ios::trunc);
  if (!out) {
    std::cerr << "genattr: cannot open '" << options.out << "' for writing ("
              << std::strerror(errno) << "); check that its folder exists and that you may write "
              << "there.\n";
    return kExitTrouble;
  }
  WriteWithProgress(tree.get(), format, options, options.out, progress, out);
  out.close();
  if (!out) {
    const int cause = errno;
    // Only a plain file is removed: the destination may be a device.
    std::error_code ec;
    const bool removed = std::filesystem::is_regular_file(options.out, ec) &&
                         std::filesystem::remove(options.out, ec);
    std::cerr << "genattr: writing '" << options.out << "' failed (" << std::strerror(cause) << ")"
              << (removed ? "; the incomplete file was removed" : "")
              << ". Check the disk space.\n";
    return kExitTrouble;
  }
  return kExitOk;
}

int RunGet(const std::string& file, const std::string& path, const GenAttrReadOptions& read) {
  Tree tree = Load(file, read);
  if (!tree) {
    return kExitTrouble;
  }
  GenAttrBase* node = ResolvePath(tree.get(), path);
  if (node == nullptr) {
    NoSuchNode(file, path);
    return kExitNo;
  }
  std::cout << ValueText(node) << '\n';
  return Finish(kExitOk);
}

int RunFind(const FindOptions& options) {
  FindFilter filter;
  if (options.hasType && !TypeFromName(options.type.c_str(), &filter.type)) {
    std::cerr << "genattr: '" << options.type << "' is no node type; use one of Base, String, "
              << "Float, Double, Int, Cont, UnicodeString, Ptr.\n";
    return kExitTrouble;
  }
  filter.name = options.hasName ? options.name.c_str() : nullptr;
  filter.value = options.hasValue ? options.value.c_str() : nullptr;
  Tree tree = Load(options.file, options.read);
  if (!tree) {
    return kExitTrouble;
  }
  const std::uint64_t found = FindNodes(tree.get(), filter, std::cout);
  return Finish(found > 0 ? kExitOk : kExitNo);
}

int RunCheck(const std::vector<std::string>& files, const GenAttrReadOptions& read) {
  int status = kExitOk;
  for (const std::string& file : files) {
    GenAttrReadError error{};
    Tree tree = ReadTree(file, read, error);
    if (tree) {
      std::cout << file << ": sound\n";
    } else {
      std::cout << file << ": " << DescribeStatus(error) << '\n';
      status = kExitNo;
    }
  }
  return Finish(status);
}

int RunStats(const std::string& file, const GenAttrReadOptions& read) {
  Tree tree = Load(file, read);
  if (!tree) {
    return kExitTrouble;
  }
  PrintStats(GatherStats(tree.get(), 5), std::cout);
  return Finish(kExitOk);
}

int RunDiff(const std::string& before, const std::string& after, const GenAttrReadOptions& read) {
  Tree a = Load(before, read);
  if (!a) {
    return kExitTrouble;
  }
  Tree b = Load(after, read);
  if (!b) {
    return kExitTrouble;
  }
  const std::uint64_t differences = DiffTrees(a.get(), b.get(), std::cout);
  return Finish(differences == 0 ? kExitOk : kExitNo);
}

} // namespace cli
} // namespace genattr
