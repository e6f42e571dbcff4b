// Random trees for the command's tests: names drawn from a few letters so that
// siblings share names, values unique per tree so that no two nodes are equal.
#ifndef GENATTR_TESTS_CLI_RANDOMTREE_H
#define GENATTR_TESTS_CLI_RANDOMTREE_H

#include <random>
#include <string>

#include "genattr/GenAttr.h"

namespace clitest {

class RandomTrees {
public:
  explicit RandomTrees(unsigned seed) : mRandom(seed) {}

  // A container root with about `nodes` nodes below it.
  GenAttrBase* Make(int nodes) {
    auto* root = new GenAttrCont("root");
    GenAttrBase* containers[64] = {root};
    int count = 1;
    for (int i = 0; i < nodes; ++i) {
      GenAttrBase* parent = containers[Pick(count)];
      GenAttrBase* node = Node();
      parent->AddAttr(node);
      if (node->GetType() == Cont && count < 64) {
        containers[count++] = node;
      }
    }
    return root;
  }

  // A node of a random type with a fresh value; names include "/"-free
  // look-alikes of the path syntax ("a[2]") and a byte above 0x7F.
  GenAttrBase* Node() {
    // "\xE4" is a-umlaut read as ISO 8859-1.
    static const char* const names[] = {"a", "b", "c", "a[2]", "", "d e", "\xE4"};
    const char* name = names[Pick(7)];
    const std::string value = "v" + std::to_string(++mSerial);
    switch (Pick(5)) {
    case 0: {
      auto* cont = new GenAttrCont(name);
      cont->SetId(value.c_str());
      return cont;
    }
    case 1:
      return new GenAttrString(name, value.c_str());
    case 2:
      return new GenAttrInt(name, static_cast<int>(mSerial));
    case 3:
      return new GenAttrString(name, "described", value.c_str());
    default:
      return new GenAttrDouble(name, static_cast<double>(mSerial) + 0.25);
    }
  }

  int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(mRandom); }
  std::mt19937& Engine() { return mRandom; }

private:
  std::mt19937 mRandom;
  long mSerial = 0;
};

} // namespace clitest

#endif // GENATTR_TESTS_CLI_RANDOMTREE_H
