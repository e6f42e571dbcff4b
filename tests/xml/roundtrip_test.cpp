// Typed documents of random trees read back equal node for node and in shape.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/support/TreeCompare.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Document;
using readertest::Read;
using readertest::Tree;

// Makes random trees of every node type: texts of every byte and wide unit,
// empty names and descriptions, ids, nodes linked twice or under several
// parents, references (also placed before their target, also with links of
// their own in front), deep chains. Ptr values are null unless `pointers`.
class RandomTree {
public:
  RandomTree(std::uint32_t seed, bool pointers) : mRandom(seed), mPointers(pointers) {}

  GenAttrBase* Make() {
    auto* root = new GenAttrCont("root");
    // The root's children are made apart and linked in random order, so that
    // a reference may come before the container it shares.
    std::vector<GenAttrBase*> children;
    const int count = Pick(1, 6);
    for (int i = 0; i < count; ++i) {
      children.push_back(Subtree(3));
    }
    std::shuffle(children.begin(), children.end(), mRandom);
    for (GenAttrBase* child : children) {
      root->AddAttr(child);
    }
    if (Pick(0, 3) == 0) {
      GenAttrBase* chain = root;
      for (int depth = Pick(100, 3000); depth > 0; --depth) {
        auto* next = new GenAttrCont(Text().c_str());
        chain->AddAttr(next);
        chain = next;
      }
    }
    return root;
  }

private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(mRandom); }

  std::string Text() {
    std::string text;
    switch (Pick(0, 3)) {
    case 0:
      return text; // empty
    case 1:
      for (int n = Pick(1, 8); n > 0; --n) {
        text.push_back(static_cast<char>(Pick('a', 'z')));
      }
      return text;
    case 2: {
      static const char* const tricky[] = {"a b", "1st",    "x:y",         "&<>\"'",      "]]>",
                                           " ",   "\t\r\n", "caf\xC3\xA9", "DateAndTime", "%41%"};
      return tricky[Pick(0, 9)];
    }
    default:
      for (int n = Pick(1, 12); n > 0; --n) {
        text.push_back(static_cast<char>(Pick(1, 255)));
      }
      return text;
    }
  }

  std::wstring WideText() {
    std::wstring text;
    for (int n = Pick(0, 10); n > 0; --n) {
      switch (Pick(0, 5)) {
      case 0:
        text.push_back(static_cast<wchar_t>(Pick(1, 0x7F)));
        break;
      case 1: // a lone surrogate
        text.push_back(static_cast<wchar_t>(Pick(0xD800, 0xDFFF)));
        break;
      case 2: // a pair, which 32-bit units hold as two units as well
        text.push_back(static_cast<wchar_t>(0xD83D));
        text.push_back(static_cast<wchar_t>(0xDE00));
        break;
      case 3:
        text.push_back(static_cast<wchar_t>(Pick(1, 0xFFFF)));
        break;
      case 4: {
        // Beyond 16 bits: a character, or where wchar_t has 32 bits, any unit.
        const std::uint32_t unit = sizeof(wchar_t) == 2
                                       ? static_cast<std::uint32_t>(Pick(1, 0xFFFF))
                                       : static_cast<std::uint32_t>(mRandom()) | 1u;
        text.push_back(static_cast<wchar_t>(unit));
        break;
      }
      default:
        text.push_back(static_cast<wchar_t>(Pick(0xFFFE, 0xFFFF)));
      }
    }
    return text;
  }

  GenAttrBase* Leaf() {
    const std::string name = Text();
    const bool described = Pick(0, 2) == 0;
    const std::string desc = Text();
    const char* d = desc.c_str();
    if (Pick(0, 3) == 0) {
      GenAttr_EnableCatiaJtUtfTransfer();
    }
    GenAttrBase* node = nullptr;
    switch (Pick(0, 6)) {
    case 0: {
      const std::string value = Text();
      node = described ? new GenAttrString(name.c_str(), d, value.c_str())
                       : new GenAttrString(name.c_str(), value.c_str());
      break;
    }
    case 1: {
      const std::wstring value = WideText();
      node = described ? new GenAttrUnicodeString(name.c_str(), d, value.c_str())
                       : new GenAttrUnicodeString(name.c_str(), value.c_str());
      break;
    }
    case 2: {
      const int value = static_cast<int>(mRandom());
      node =
          described ? new GenAttrInt(name.c_str(), d, value) : new GenAttrInt(name.c_str(), value);
      break;
    }
    case 3: {
      const std::uint32_t bits = mRandom();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      node = described ? new GenAttrFloat(name.c_str(), d, value)
                       : new GenAttrFloat(name.c_str(), value);
      break;
    }
    case 4: {
      const std::uint64_t bits = (std::uint64_t{mRandom()} << 32) | mRandom();
      double value;
      std::memcpy(&value, &bits, sizeof value);
      node = described ? new GenAttrDouble(name.c_str(), d, value)
                       : new GenAttrDouble(name.c_str(), value);
      break;
    }
    case 5: {
      void* value = mPointers ? reinterpret_cast<void*>(std::uintptr_t{mRandom()}) : nullptr;
      node =
          described ? new GenAttrPtr(name.c_str(), d, value) : new GenAttrPtr(name.c_str(), value);
      break;
    }
    default:
      node = described ? new GenAttrBase(name.c_str(), d) : new GenAttrBase(name.c_str());
    }
    GenAttr_DisableCatiaJtUtfTransfer();
    return node;
  }

  GenAttrBase* Subtree(int depth) {
    GenAttrBase* node = nullptr;
    const int kind = depth == 0 ? 0 : Pick(0, 9);
    if (kind <= 4) {
      node = Leaf();
    } else if (kind == 5 && !mContainers.empty()) {
      // A reference to a finished container, sometimes with links in front.
      GenAttrCont* target =
          mContainers[static_cast<std::size_t>(Pick(0, int(mContainers.size()) - 1))];
      auto* ref = new GenAttrCont(Text().c_str(), target);
      if (Pick(0, 2) == 0) {
        ref->SetDescription(Text().c_str());
      }
      if (Pick(0, 3) == 0) {
        ref->AddAttrAtTop(Leaf());
      }
      return ref;
    } else {
      const std::string name = Text();
      auto* cont = Pick(0, 2) == 0 ? new GenAttrCont(name.c_str(), Text().c_str())
                                   : new GenAttrCont(name.c_str());
      if (Pick(0, 1) == 0) {
        cont->SetId(Text().c_str());
      }
      node = cont;
    }
    // Any node may have children; a value node with children writes its
    // value as an attribute.
    if (depth > 0 && (kind > 2 || Pick(0, 4) == 0)) {
      for (int n = Pick(0, 4); n > 0; --n) {
        if (!mFinished.empty() && Pick(0, 4) == 0) {
          // A finished node linked again: twice under one parent, or here too.
          node->AddAttr(mFinished[static_cast<std::size_t>(Pick(0, int(mFinished.size()) - 1))]);
        } else {
          node->AddAttr(Subtree(depth - 1));
        }
      }
    }
    mFinished.push_back(node);
    if (node->GetType() == Cont && node->IsReference() == 0) {
      mContainers.push_back(static_cast<GenAttrCont*>(node));
    }
    return node;
  }

  std::mt19937 mRandom;
  bool mPointers;
  std::vector<GenAttrBase*> mFinished;
  std::vector<GenAttrCont*> mContainers;
};

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

// The README's model tree: the typed document, and what comes back.
TEST(ReaderRoundTrip, ModelTree) {
  Tree model(new GenAttrCont("Model"));
  static_cast<GenAttrCont*>(model.root)->SetId("M1");
  model.root->AddAttr(new GenAttrString("Material", "surface material", "Steel"));
  auto* part = new GenAttrCont("Part");
  part->SetId("P7");
  part->AddAttr(new GenAttrDouble("Mass", 12.5));
  auto* count = new GenAttrInt("Count", 3);
  part->AddAttr(count);
  model.root->AddAttr(part);
  model.root->AddAttr(count);
  model.root->AddAttr(new GenAttrCont("PartRef", part));
  auto* color = new GenAttrString("Color", "red & blue");
  color->AddAttr(new GenAttrInt("Alpha", 255));
  model.root->AddAttr(color);
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

} // namespace
