// How both writers hand their lines to the stream: the flush after every line
// by default, or a plain line feed and one flush at the end of Write(); the
// stream's own formatting; the order with what rendering prints.
#include <cstddef>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

// Keeps what is written and, at every flush, how much had been written then.
class FlushRecordingBuf : public std::stringbuf {
public:
  std::vector<std::size_t> flushedAt;

protected:
  int sync() override {
    flushedAt.push_back(str().size());
    return std::stringbuf::sync();
  }
};

struct Written {
  std::string document;
  std::vector<std::size_t> flushedAt;
};

using MakeWriter = std::function<std::unique_ptr<GenAttrSerializer>(GenAttrBase*, std::ostream*)>;

// Writes with the setting given, or with the writer's default.
Written WriteWith(const MakeWriter& make, GenAttrBase* root, std::optional<bool> flushEachLine) {
  FlushRecordingBuf buf;
  std::ostream out(&buf);
  std::unique_ptr<GenAttrSerializer> writer = make(root, &out);
  if (flushEachLine) {
    writer->SetFlushEachLine(*flushEachLine);
  }
  EXPECT_EQ(writer->Write(), 0);
  Written run{buf.str(), buf.flushedAt};
  EXPECT_TRUE(writertest::MaskTimeStamps(run.document));
  return run;
}

// Offsets just past every line feed of `document`.
std::vector<std::size_t> LineEnds(const std::string& document) {
  std::vector<std::size_t> ends;
  for (std::size_t at = document.find('\n'); at != std::string::npos;
       at = document.find('\n', at + 1)) {
    ends.push_back(at + 1);
  }
  return ends;
}

const struct {
  const char* name;
  MakeWriter make;
} kWriters[] = {
    {"text", [](GenAttrBase* root,
                std::ostream* out) { return std::make_unique<GenAttrSTSerializer>(root, out); }},
    {"xml",
     [](GenAttrBase* root, std::ostream* out) {
       auto writer = std::make_unique<GenAttrXMLSerializer>(root, out);
       writer->SetXSLStylesheet("view.xsl");
       writer->SetCSSStylesheet("tree.css");
       return writer;
     }},
};

TEST(LineFlush, EveryLineByDefaultOrTheSameBytesOnceAtTheEnd) {
  writertest::Tree tree = writertest::MakeModelTree();
  for (const auto& writer : kWriters) {
    SCOPED_TRACE(writer.name);
    const Written flushed = WriteWith(writer.make, tree.get(), std::nullopt);
    const Written once = WriteWith(writer.make, tree.get(), false);
    EXPECT_EQ(once.document, flushed.document);
    EXPECT_EQ(flushed.flushedAt, LineEnds(flushed.document));
    ASSERT_EQ(once.flushedAt.size(), 1u);
    EXPECT_EQ(once.flushedAt[0], once.document.size());
    // Turning it back on restores the flush per line.
    EXPECT_EQ(WriteWith(writer.make, tree.get(), true).flushedAt, flushed.flushedAt);
  }
}

// Calls the per-node Write() directly, without the header line.
class BareTextWriter : public GenAttrSTSerializer {
public:
  using GenAttrSTSerializer::GenAttrSTSerializer;
  using GenAttrSTSerializer::Write;
};

class BareXmlWriter : public GenAttrXMLSerializer {
public:
  using GenAttrXMLSerializer::GenAttrXMLSerializer;
  using GenAttrXMLSerializer::Write;
};

TEST(LineOutput, AFieldWidthOnTheStreamPadsTheFirstInsertionOnly) {
  writertest::Tree tree(new GenAttrInt("n", 1));
  std::ostringstream text;
  text.width(10);
  text.fill('*');
  BareTextWriter(tree.get(), &text).Write(tree.get());
  EXPECT_EQ(text.str(), "****Name: n***************    Value: 1  (Type: Int)\n");
  EXPECT_EQ(text.width(), 0);

  std::ostringstream xml;
  xml.width(3);
  xml.setf(std::ios::left, std::ios::adjustfield);
  BareXmlWriter(tree.get(), &xml).Write(tree.get());
  std::string document = xml.str();
  EXPECT_TRUE(writertest::MaskTimeStamps(document));
  EXPECT_EQ(document, "<  n>1<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n</n>\n");
}

TEST(LineOutput, AnOverflowReportLandsWithinTheLineOnStandardOutput) {
  writertest::Tree tree(new GenAttrCont("root"));
  tree->AddAttr(new GenAttrDouble("big", 1e200));
  for (const auto& [writer, flushEachLine] :
       {std::pair{kWriters[0], true}, std::pair{kWriters[1], true}, std::pair{kWriters[0], false},
        std::pair{kWriters[1], false}}) {
    SCOPED_TRACE(writer.name);
    SCOPED_TRACE(flushEachLine);
    testing::internal::CaptureStdout();
    std::unique_ptr<GenAttrSerializer> made = writer.make(tree.get(), &std::cout);
    made->SetFlushEachLine(flushEachLine);
    made->Write();
    std::cout.flush();
    const std::string output = testing::internal::GetCapturedStdout();
    // The line of "big" is written up to its value before the report.
    const std::size_t report = output.find("ERROR: GenAttrBase::GetValueAsString");
    ASSERT_NE(report, std::string::npos);
    const std::size_t lineStart = output.rfind('\n', report) + 1;
    EXPECT_NE(output.find("big", lineStart), std::string::npos);
    EXPECT_LT(output.find("big", lineStart), report);
  }
}

} // namespace
