// Random trees with hostile names, values, descriptions and ids, for the tests
// that read back what a writer made of them.
#ifndef GENATTR_TESTS_SUPPORT_HOSTILETREES_H
#define GENATTR_TESTS_SUPPORT_HOSTILETREES_H

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "genattr/GenAttr.h"

namespace genattr_test {

class HostileTrees {
public:
  // Texts are made of up to five pieces of `narrow`, wide values of up to
  // five units of `wide`; both are borrowed for the life of the object.
  HostileTrees(std::uint32_t seed, const std::vector<std::string>& narrow, const std::wstring& wide)
      : mRandom(seed), mNarrow(narrow), mWide(wide) {}

  int Below(std::size_t n) {
    return std::uniform_int_distribution<int>(0, static_cast<int>(n) - 1)(mRandom);
  }

  // A node and up to `depth` levels below it. Finished nodes are linked again
  // now and then, directly or through a reference: they are never ancestors of
  // the node being built, so no cycle arises.
  GenAttrBase* Node(int depth) {
    GenAttrBase* node = Fresh();
    for (int n = depth > 0 ? Below(5) : 0; n > 0; --n) {
      GenAttrBase* old = mFinished.empty() ? nullptr : mFinished[Below(mFinished.size())];
      const int pick = Below(10);
      if (pick == 0 && old != nullptr) {
        node->AddAttr(old);
      } else if (pick == 1 && old != nullptr && old->GetType() == Cont) {
        node->AddAttr(new GenAttrCont(Narrow().c_str(), static_cast<GenAttrCont*>(old)));
      } else {
        node->AddAttr(Node(depth - 1));
      }
    }
    mFinished.push_back(node);
    return node;
  }

private:
  std::string Narrow() {
    std::string text;
    for (int n = Below(6); n > 0; --n) {
      text += mNarrow[Below(mNarrow.size())];
    }
    return text;
  }

  GenAttrBase* Fresh() {
    const std::string name = Narrow();
    const std::string description = Narrow();
    const std::string value = Narrow();
    const char* desc = Below(2) == 0 ? nullptr : description.c_str();
    std::wstring wide;
    for (int n = Below(6); n > 0; --n) {
      wide += mWide[Below(mWide.size())];
    }
    switch (Below(6)) {
    case 0:
      return new GenAttrBase(name.c_str(), desc);
    case 1:
      return new GenAttrString(name.c_str(), desc, value.c_str());
    case 2:
      return new GenAttrUnicodeString(name.c_str(), desc, wide.c_str());
    case 3:
      return new GenAttrInt(name.c_str(), desc, Below(2000) - 1000);
    default: {
      auto* cont = new GenAttrCont(name.c_str(), desc);
      if (Below(2) == 0) {
        cont->SetId(value.c_str());
      }
      return cont;
    }
    }
  }

  std::mt19937 mRandom;
  const std::vector<std::string>& mNarrow;
  const std::wstring& mWide;
  std::vector<GenAttrBase*> mFinished;
};

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_HOSTILETREES_H
