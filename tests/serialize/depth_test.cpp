// The depth counter of the writers: at every line the level of the node being
// written, back to its starting value after the write.
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

// Collects what is written, and at each flush (every line end) the finished
// line with the value the counter had then.
class LineDepths : public std::streambuf {
public:
  explicit LineDepths(const int& depth) : mDepth(depth) {}
  std::vector<std::pair<std::string, int>> lines;

protected:
  int overflow(int c) override {
    mPending.push_back(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    mPending.append(text, static_cast<std::size_t>(count));
    return count;
  }
  int sync() override {
    lines.emplace_back(mPending, mDepth);
    mPending.clear();
    return 0;
  }

private:
  const int& mDepth;
  std::string mPending;
};

template <class Writer> class DepthProbe : public Writer {
public:
  DepthProbe(GenAttrBase* root, std::ostream* out, int start) : Writer(root, out) {
    this->mDepth = start;
  }
  const int& Depth() const { return this->mDepth; }
};

// Each line that starts a node's text, an element tag or a listing line, is
// indented by two spaces per level. (The XML writer continues the start tag of
// a value node with children on a line of its own, without indentation.)
template <class Writer> void ExpectDepthFollowsIndentation(int start) {
  const writertest::Tree tree = writertest::MakeModelTree();
  std::ostream out(nullptr);
  DepthProbe<Writer> writer(tree.get(), &out, start);
  LineDepths sink(writer.Depth());
  out.rdbuf(&sink);
  writer.Write();
  EXPECT_EQ(writer.Depth(), start);
  ASSERT_GT(sink.lines.size(), 8u);
  for (const auto& [line, depth] : sink.lines) {
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent != std::string::npos &&
        (line[indent] == '<' || line.compare(indent, 6, "Name: ") == 0)) {
      EXPECT_EQ(depth - start, static_cast<int>(indent / 2)) << line;
    }
  }
}

TEST(WriterDepth, FollowsTheNodeBeingWritten) {
  ExpectDepthFollowsIndentation<GenAttrSTSerializer>(0);
  ExpectDepthFollowsIndentation<GenAttrXMLSerializer>(0);
}

TEST(WriterDepth, CountsFromItsStartingValue) {
  ExpectDepthFollowsIndentation<GenAttrSTSerializer>(3);
  ExpectDepthFollowsIndentation<GenAttrXMLSerializer>(3);
}

} // namespace
