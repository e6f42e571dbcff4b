// Random trees for the reader tests.
#ifndef GENATTR_TESTS_XML_RANDOMTREE_H
#define GENATTR_TESTS_XML_RANDOMTREE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "genattr/GenAttr.h"

namespace readertest {

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
    std::vector<GenAttrBase*> made;
    if (depth > 0 && (kind > 2 || Pick(0, 4) == 0)) {
      for (int n = Pick(0, 4); n > 0; --n) {
        if (!mFinished.empty() && Pick(0, 4) == 0) {
          // A finished node linked again: twice under one parent, or here too.
          node->AddAttr(mFinished[static_cast<std::size_t>(Pick(0, int(mFinished.size()) - 1))]);
        } else {
          made.push_back(Subtree(depth - 1));
          node->AddAttr(made.back());
        }
      }
    }
    if (!made.empty() && node->GetType() == Cont && Pick(0, 5) == 0) {
      // A reference inside the container it shares: a loop the walks cut.
      auto* ref = new GenAttrCont(Text().c_str(), static_cast<GenAttrCont*>(node));
      if (Pick(0, 1) == 0) {
        ref->AddAttrAtTop(Leaf());
      }
      made[static_cast<std::size_t>(Pick(0, int(made.size()) - 1))]->AddAttr(ref);
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

} // namespace readertest

#endif // GENATTR_TESTS_XML_RANDOMTREE_H
