#include "cli/Output.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <streambuf>
#include <utility>
#include <vector>

#include "cli/Walk.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrSTSerializer.h"
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

void WriteTree(GenAttrBase* root, Format format, const Stylesheets& stylesheets,
               std::ostream& out) {
  switch (format) {
  case Format::Text: {
    GenAttrSTSerializer writer(root, &out);
    writer.SetFlushEachLine(false);
    writer.Write();
    return;
  }
  case Format::Xml:
  case Format::Typed: {
    GenAttrXMLSerializer writer(root, &out);
    writer.SetFlushEachLine(false);
    writer.SetTypedOutput(format == Format::Typed);
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
    writer.Write();
    return;
  }
  }
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
    const char* datum = node->GetType() == Cont ? static_cast<GenAttrCont*>(node)->GetId()
                                                : node->GetValueAsString();
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
class LineFilter : public std::streambuf {
public:
  LineFilter(std::streambuf* target, LineRuns runs) : mpTarget(target), mRuns(std::move(runs)) {
    setp(mBuffer, mBuffer + sizeof mBuffer);
  }
  ~LineFilter() override { Drain(); }

protected:
  int_type overflow(int_type c) override {
    if (!Drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() && mpTarget->pubsync() == 0 ? 0 : -1; }

private:
  bool Drain() {
    const char* begin = pbase();
    const char* const end = pptr();
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
    setp(mBuffer, mBuffer + sizeof mBuffer);
    return good;
  }

  std::streambuf* mpTarget;
  LineRuns mRuns;
  std::size_t mRun = 0;
  char mBuffer[1 << 16];
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
