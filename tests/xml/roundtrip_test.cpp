// Typed documents of random trees read back equal node for node and in shape.
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/support/TreeCompare.h"
#include "tests/xml/RandomTree.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Document;
using readertest::RandomTree;
using readertest::Read;
using readertest::Tree;

// Writes `root` typed, reads it back, compares, and writes the copy again.
void RoundTrip(GenAttrBase* root, bool sameDocument) {
  // Huge Doubles have their overflow report printed by every write.
  testing::internal::CaptureStdout();
  const std::string first = Document(root, true);
  testing::internal::GetCapturedStdout();
  GenAttrReadError error;
  Tree copy(Read(first, error));
  ASSERT_EQ(error.mStatus, 0) << error.mMessage << " at " << error.mLine << ":" << error.mColumn
                              << "\n"
                              << first;
  ASSERT_NE(copy.root, nullptr);
  EXPECT_EQ(copy.root->GetRefCount(), 0);
  EXPECT_EQ(genattr_test::TreeCompare().Compare(root, copy.root), "") << first;
  if (sameDocument) {
    testing::internal::CaptureStdout();
    const std::string second = Document(copy.root, true);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(second, first);
  }
}

TEST(ReaderRoundTrip, RandomTreesComeBackExactly) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    const bool pointers = seed % 2 == 0;
    Tree tree(RandomTree(seed, pointers).Make());
    RoundTrip(tree.root, !pointers);
    if (HasFailure()) {
      break;
    }
  }
}

TEST(ReaderRoundTrip, RandomTreesUnderAUtf8Locale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
    GTEST_SKIP() << "no C.UTF-8 locale";
  }
  for (std::uint32_t seed = 1000; seed <= 1100 && !HasFailure(); ++seed) {
    SCOPED_TRACE(seed);
    Tree tree(RandomTree(seed, false).Make());
    RoundTrip(tree.root, true);
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ReaderRoundTrip, UtfSwitchOfTheHostIsLeftAlone) {
  Tree tree(RandomTree(7, false).Make());
  const std::string document = Document(tree.root, true);
  GenAttr_EnableCatiaJtUtfTransfer();
  GenAttrReadError error;
  Tree copy(Read(document, error));
  EXPECT_TRUE(GenAttr_CatiaJtUtfTransferEnabled());
  GenAttr_DisableCatiaJtUtfTransfer();
  EXPECT_EQ(genattr_test::TreeCompare().Compare(tree.root, copy.root), "");
}

// The switch is the host's, set before threads start: a thread that reads
// typed documents with flagged and unflagged strings never lets another
// thread's new strings take a flag the host did not set, and the strings it
// reads carry the flags of the document.
TEST(ReaderRoundTrip, ReadingOnOneThreadLeavesTheFlagsOfAnotherAlone) {
  // Mostly flagged strings, so that a reader that set the switch to make them
  // would hold it on most of the time.
  std::string document = "<r ga:type=\"Cont\"><b ga:type=\"String\">y</b>"
                         "<d ga:type=\"UnicodeString\">w</d>";
  for (int i = 0; i < 200; ++i) {
    document += "<a ga:type=\"String\" ga:utf=\"1\">x</a>"
                "<c ga:type=\"UnicodeString\" ga:utf=\"1\">z</c>";
  }
  document += "</r>";
  ASSERT_FALSE(GenAttr_CatiaJtUtfTransferEnabled());
  std::atomic<bool> done{false};
  std::atomic<int> wrongReads{0};
  std::thread reader([&] {
    for (int i = 0; i < 300; ++i) {
      GenAttrReadError error;
      Tree tree(Read(document, error));
      const auto flag = [&](const char* name) {
        GenAttrBase* node = tree.root->GetAttr(name);
        return node->GetType() == String ? static_cast<GenAttrString*>(node)->isUtfEncoded()
                                         : static_cast<GenAttrUnicodeString*>(node)->isUtfEncoded();
      };
      if (!flag("a") || flag("b") || !flag("c") || flag("d")) {
        ++wrongReads;
      }
    }
    done = true;
  });
  long made = 0, wrong = 0;
  while (!done || made < 1000) {
    auto* plain = new GenAttrString("s", "v");
    auto* wide = new GenAttrUnicodeString("w", L"v");
    wrong += (plain->isUtfEncoded() ? 1 : 0) + (wide->isUtfEncoded() ? 1 : 0) +
             (GenAttr_CatiaJtUtfTransferEnabled() ? 1 : 0);
    GenAttrBase::Free(plain);
    GenAttrBase::Free(wide);
    ++made;
  }
  reader.join();
  EXPECT_EQ(wrong, 0) << "of " << made;
  EXPECT_EQ(wrongReads.load(), 0);
}

// Documents written without the time stamp read back as those with it: the
// typed one exactly, the plain one as the same tree as when stamped (unless
// the root's first child is named as the stamp, which a reader skips: with the
// stamp, the root's text ends at the stamp; without, at that child).
TEST(ReaderRoundTrip, DocumentsWithoutTimeStampReadBackTheSame) {
  const auto bare = [](GenAttrBase* root, bool typed) {
    std::ostringstream out;
    GenAttrXMLSerializer writer(root, &out);
    writer.SetTypedOutput(typed);
    writer.SetTimeStamp(false);
    testing::internal::CaptureStdout();
    writer.Write();
    testing::internal::GetCapturedStdout();
    return out.str();
  };
  for (std::uint32_t seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    Tree tree(RandomTree(seed, false).Make());
    GenAttrReadError error;
    const std::string typed = bare(tree.root, true);
    Tree copy(Read(typed, error));
    ASSERT_EQ(error.mStatus, 0) << error.mMessage << "\n" << typed;
    EXPECT_EQ(genattr_test::TreeCompare().Compare(tree.root, copy.root), "");
    if (std::strcmp(tree.root->GetFirstAttr()->GetName(), "DateAndTime") == 0) {
      continue;
    }
    testing::internal::CaptureStdout();
    const std::string stampedPlain = Document(tree.root, false);
    testing::internal::GetCapturedStdout();
    Tree stamped(Read(stampedPlain, error));
    ASSERT_EQ(error.mStatus, 0) << error.mMessage;
    Tree plain(Read(bare(tree.root, false), error));
    ASSERT_EQ(error.mStatus, 0) << error.mMessage;
    EXPECT_EQ(genattr_test::TreeCompare().Compare(stamped.root, plain.root), "");
  }
  // A root without children keeps its value exactly.
  Tree leaf(new GenAttrString("s", " x "));
  GenAttrReadError error;
  Tree back(Read(bare(leaf.root, false), error));
  ASSERT_NE(back.root, nullptr);
  EXPECT_STREQ(static_cast<GenAttrString*>(back.root)->GetValue(), " x ");
}

// The README's model tree: the typed document, and what comes back.
TEST(ReaderRoundTrip, ModelTree) {
  Tree model(writertest::MakeModelTree().release());
  EXPECT_EQ(Document(model.root, true),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Model xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\" ga:id=\"M1\">"
            "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n"
            "\n"
            "  <Material desc=\"surface material\" ga:type=\"String\">Steel</Material>\n"
            "  <Part ga:type=\"Cont\" ga:id=\"P7\" ga:node=\"1\">\n"
            "    <Mass ga:type=\"Double\" ga:bits=\"4029000000000000\">12.5000</Mass>\n"
            "    <Count ga:type=\"Int\" ga:node=\"2\">3</Count>\n"
            "  </Part>\n"
            "  <Count ga:link=\"2\">3</Count>\n"
            "  <PartRef ga:type=\"Cont\" ga:id=\"P7\" ga:ref=\"1\">\n"
            "    <Mass>12.5000</Mass>\n"
            "    <Count>3</Count>\n"
            "  </PartRef>\n"
            "  <Color value=\"red &amp; blue\"\n"
            " ga:type=\"String\">\n"
            "    <Alpha ga:type=\"Int\">255</Alpha>\n"
            "  </Color>\n"
            "</Model>\n");
  RoundTrip(model.root, true);
  // The plain document is unchanged by the setting being available.
  EXPECT_EQ(Document(model.root, false).find("ga:"), std::string::npos);
}

// A reference whose target is not in the tree comes back with the same
// children, as links of its own.
TEST(ReaderRoundTrip, ReferenceToAContainerOutsideTheTree) {
  auto* outside = new GenAttrCont("outside");
  outside->AddAttr(new GenAttrInt("a", 1));
  outside->AddAttr(new GenAttrInt("b", 2));
  Tree tree(new GenAttrCont("root"));
  tree.root->AddAttr(new GenAttrCont("ref", outside));
  GenAttrReadError error;
  Tree copy(Read(Document(tree.root, true), error));
  ASSERT_EQ(error.mStatus, 0) << error.mMessage;
  GenAttrBase* ref = copy.root->GetAttr("ref");
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->IsReference(), 1);
  EXPECT_EQ(ref->GetNumberChildren(), 2u);
  EXPECT_EQ(ref->GetAttrByPath("b")->GetValueAsString(), std::string("2"));
  GenAttrBase::Free(outside);
}

// Loops through references: one placed inside the container it shares (the
// container's element is still open when the reference's is written), and one
// whose shared child, written before its target, links the reference again.
TEST(ReaderRoundTrip, LoopsThroughReferences) {
  {
    Tree tree(new GenAttrCont("root"));
    auto* part = new GenAttrCont("Part");
    tree.root->AddAttr(part);
    auto* mass = new GenAttrDouble("Mass", 12.5);
    part->AddAttr(mass);
    part->AddAttr(new GenAttrInt("Count", 3));
    auto* ref = new GenAttrCont("ref", part);
    ref->AddAttrAtTop(new GenAttrInt("a", 1));
    mass->AddAttr(ref);
    RoundTrip(tree.root, true);
  }
  {
    Tree tree(new GenAttrCont("root"));
    auto* outer = new GenAttrCont("X");
    auto* inner = new GenAttrCont("T");
    outer->AddAttr(inner);
    auto* back = new GenAttrCont("B", outer);
    back->AddAttrAtTop(new GenAttrInt("own", 1));
    inner->AddAttr(back);
    tree.root->AddAttr(new GenAttrCont("A", inner));
    tree.root->AddAttr(outer);
    RoundTrip(tree.root, true);
  }
}

} // namespace
