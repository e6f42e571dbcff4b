#include "cli/Output.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <streambuf>
#include <utility>
#include <vector>

#include "cli/BlockBuf.h"
#include "cli/Walk.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"
#include "genattr/GenAttrXMLSerializer.h"

namespace genattr {
namespace cli {

bool FormatFromName(const std::string& name, Format* format) {
  static const std::pair<const char*, Format> names[] = {{"text", Format::Text},
                                                         {"xml", Format::Xml},
                                                         {"typed", Format::Typed},
                                                         {"html", Format::Html}};
  for (const auto& entry : names) {
    if (name == entry.first) {
      *format = entry.second;
      return true;
    }
  }
  return false;
}

bool FormatFromFileName(const std::string& fileName, Format* format) {
  const std::size_t dot = fileName.rfind('.');
  const std::size_t slash = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return false;
  }
  std::string extension = fileName.substr(dot + 1);
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  static const std::pair<const char*, Format> extensions[] = {
      {"txt", Format::Text}, {"xml", Format::Xml}, {"html", Format::Html}, {"htm", Format::Html}};
  for (const auto& entry : extensions) {
    if (extension == entry.first) {
      *format = entry.second;
      return true;
    }
  }
  return false;
}

const char* ValueText(GenAttrBase* node) {
  if (node->GetType() == UnicodeString) {
    const wchar_t* value = static_cast<GenAttrUnicodeString*>(node)->GetValue();
    return GenAttrStringUtils::Instance().GetUTF8EncodedString(value != nullptr ? value : L"");
  }
  return node->GetValueAsString();
}

// Every text the command writes is the characters of its source: the trees
// it reads hold UTF-8.
void WriteTree(GenAttrBase* root, Format format, const Stylesheets& stylesheets, std::ostream& out,
               bool timeStamp) {
  switch (format) {
  case Format::Text: {
    GenAttrSTSerializer writer(root, &out);
    writer.SetFlushEachLine(false);
    writer.SetUtf8Texts(true);
    writer.Write();
    return;
  }
  case Format::Xml:
  case Format::Typed: {
    GenAttrXMLSerializer writer(root, &out);
    writer.SetFlushEachLine(false);
    writer.SetUtf8Texts(true);
    writer.SetTypedOutput(format == Format::Typed);
    writer.SetTimeStamp(timeStamp);
    if (!stylesheets.xslHref.empty()) {
      writer.SetXSLStylesheet(stylesheets.xslHref.c_str());
    }
    if (!stylesheets.cssText.empty()) {
      writer.SetCSSStylesheet(stylesheets.cssText.c_str());
    }
    writer.Write();
    return;
  }
  case Format::Html: {
    GenAttrHTMLSerializer writer(root, &out);
    writer.SetUtf8Texts(true);
    writer.SetTimeStamp(timeStamp);
    writer.Write();
    return;
  }
  }
}

std::uint64_t ExpectedLines(GenAttrBase* root, Format format) {
  std::uint64_t lines = 2;
  PreorderWalk walk(root, format != Format::Text);
  while (walk.Next()) {
    ++lines;
  }
  return lines;
}

namespace {

// Runs of listing lines, each kept or dropped as a whole.
using LineRuns = std::vector<std::pair<std::uint64_t, bool>>;

std::uint64_t LineFeeds(const char* text) {
  return text == nullptr
             ? 0
             : static_cast<std::uint64_t>(std::count(text, text + std::strlen(text), '\n'));
}

// The listing's lines node by node: one each, plus the line feeds its texts
// carry (the listing escapes nothing), in the order the text writer goes.
LineRuns ListingRuns(GenAttrBase* root, std::size_t maxDepth) {
  LineRuns runs{{1, true}}; // the rule line
  PreorderWalk walk(root, false);
  while (walk.Next()) {
    GenAttrBase* node = walk.Node();
    const bool keep = walk.Depth() <= maxDepth;
    const char* datum =
        node->GetType() == Cont ? static_cast<GenAttrCont*>(node)->GetId() : ValueText(node);
    const std::uint64_t lines =
        1 + LineFeeds(node->GetName()) + LineFeeds(datum) + LineFeeds(node->GetDescription());
    if (runs.back().second == keep) {
      runs.back().first += lines;
    } else {
      runs.emplace_back(lines, keep);
    }
  }
  return runs;
}

// Passes on the lines of the kept runs and swallows the others.
class LineFilter : public BlockBuf {
public:
  LineFilter(std::streambuf* target, LineRuns runs) : BlockBuf(target), mRuns(std::move(runs)) {}
  ~LineFilter() override { Drain(); }

protected:
  bool Pass(const char* begin, const char* end) override {
    bool good = true;
    while (begin < end && mRun < mRuns.size()) {
      auto& run = mRuns[mRun];
      const char* stop = begin;
      while (stop < end && run.first > 0) {
        const char* feed = static_cast<const char*>(std::memchr(stop, '\n', end - stop));
        if (feed == nullptr) {
          stop = end;
          break;
        }
        stop = feed + 1;
        --run.first;
      }
      if (run.second) {
        good = good && mpTarget->sputn(begin, stop - begin) == stop - begin;
      }
      if (run.first == 0) {
        ++mRun;
      }
      begin = stop;
    }
    return good;
  }

private:
  LineRuns mRuns;
  std::size_t mRun = 0;
};

} // namespace

void WriteListing(GenAttrBase* root, std::size_t maxDepth, std::ostream& out) {
  LineFilter filter(out.rdbuf(), ListingRuns(root, maxDepth));
  std::ostream filtered(&filter);
  WriteTree(root, Format::Text, Stylesheets{}, filtered);
  filtered.flush();
  if (!filtered) {
    out.setstate(std::ios::badbit);
  }
}

} // namespace cli
} // namespace genattr
