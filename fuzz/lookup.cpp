// GetAttr, GetAttrByPath, the Find family and GetAllAttr on trees built from
// the input (shared children, references, loops made by the caller) against
// a plain recursive walk written here: same node, same list, same order.
// Lookups must not move any node's child cursor. The child chains themselves
// are compared with a model of the links.
//
// Input: the tree's program (see FuzzTree.h), then the queries.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzTree.h"
#include "genattr/GenAttr.h"

namespace {

using fuzz::FuzzInput;
using fuzz::FuzzTree;

// Beyond these sizes a query is not made: a tree of shared children can have
// exponentially many paths, which every walk (the library's too) follows.
constexpr std::size_t kMaxNodes = 4096;
constexpr std::size_t kMaxVisits = 20000;

// Texts and numbers found in the tree, so that queries hit now and then.
struct Bank {
  std::vector<std::string> names;
  std::vector<std::string> strings;
  std::vector<std::string> rendered;
  std::vector<int> ints;
  std::vector<float> floats;
  std::vector<double> doubles;

  explicit Bank(const FuzzTree& tree) {
    for (GenAttrBase* node : tree.Recorded()) {
      names.push_back(node->GetName());
      rendered.push_back(node->GetValueAsString());
      switch (node->GetType()) {
      case String:
        strings.push_back(static_cast<GenAttrString*>(node)->GetValue());
        break;
      case Int:
        ints.push_back(static_cast<GenAttrInt*>(node)->GetValue());
        break;
      case Float:
        floats.push_back(static_cast<GenAttrFloat*>(node)->GetValue());
        break;
      case Double:
        doubles.push_back(static_cast<GenAttrDouble*>(node)->GetValue());
        break;
      default:
        break;
      }
    }
  }
};

template <typename T> T From(FuzzInput& in, const std::vector<T>& bank, T other) {
  if (bank.empty() || in.Byte() >= 200) {
    return other;
  }
  return bank[in.Below(static_cast<std::uint32_t>(bank.size()))];
}

// The descendants of `top` that pass `test`, in pre-order; a node met again
// on its own path is neither offered nor descended into. False when the walk
// is too long to make.
template <typename Test>
bool Matches(const FuzzTree& tree, GenAttrBase* top, Test test,
             std::vector<GenAttrBase*>& matches) {
  return tree.Walk(
      top,
      [&](GenAttrBase* node, std::size_t level, bool again) {
        if (level > 0 && !again && test(node)) {
          matches.push_back(node);
        }
        return true;
      },
      kMaxVisits);
}

GenAttrBase* First(const std::vector<GenAttrBase*>& nodes) {
  return nodes.empty() ? nullptr : nodes.front();
}

GenAttrBase* ChildNamed(const FuzzTree& tree, GenAttrBase* node, const std::string& name) {
  for (GenAttrBase* child : tree.Children(node)) {
    if (name == child->GetName()) {
      return child;
    }
  }
  return nullptr;
}

// A path of up to five segments: names of real children along the way,
// other names, empty and overlong segments.
std::string MakePath(FuzzInput& in, const FuzzTree& tree, GenAttrBase* node, const Bank& bank) {
  std::string path;
  for (int n = in.Byte() % 5 + 1; n > 0; --n) {
    const auto& children = tree.Children(node);
    std::string segment;
    const std::uint8_t pick = in.Byte();
    if (pick < 160 && !children.empty()) {
      node = children[in.Below(static_cast<std::uint32_t>(children.size()))];
      segment = node->GetName();
    } else if (pick < 200) {
      segment = From<std::string>(in, bank.names, "");
    } else if (pick < 230) {
      segment = std::string(255 + in.Byte() % 3, 'n');
    } else {
      segment = in.Text(8);
    }
    path += path.empty() && n > 0 && in.Byte() % 8 != 0 ? "" : "/";
    path += segment;
  }
  return path;
}

GenAttrBase* FollowPath(const FuzzTree& tree, GenAttrBase* node, const std::string& path) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('/', start);
    node = ChildNamed(tree, node, path.substr(start, end == std::string::npos ? end : end - start));
    if (node == nullptr || end == std::string::npos) {
      return node;
    }
    start = end + 1;
  }
}

std::vector<GenAttrBase*> Take(GenAttrList* list) {
  std::vector<GenAttrBase*> nodes;
  for (GenAttrBase* n = list->GetFirst(); n != nullptr; n = list->GetNext()) {
    nodes.push_back(n);
  }
  FUZZ_CHECK(list->GetCount() == nodes.size());
  GenAttrList::Free(list);
  return nodes;
}

void Query(FuzzInput& in, const FuzzTree& tree, GenAttrBase* node, const Bank& bank) {
  const std::string name = From<std::string>(in, bank.names, in.Text(12));
  std::vector<GenAttrBase*> expected;
  switch (in.Byte() % 7) {
  case 0:
    FUZZ_CHECK(node->GetAttr(name.c_str()) == ChildNamed(tree, node, name));
    return;
  case 1: {
    const std::string path = MakePath(in, tree, node, bank);
    FUZZ_CHECK(node->GetAttrByPath(path.c_str()) == FollowPath(tree, node, path));
    return;
  }
  case 2: {
    const std::string value = From<std::string>(in, bank.strings, in.Text(12));
    const auto test = [&](GenAttrBase* n) {
      return n->GetType() == String && name == n->GetName() &&
             value == static_cast<GenAttrString*>(n)->GetValue();
    };
    if (Matches(tree, node, test, expected)) {
      FUZZ_CHECK(node->FindStringAttr(name.c_str(), value.c_str()) == First(expected));
    }
    return;
  }
  case 3: {
    const int value = From(in, bank.ints, in.Raw<int>());
    const auto test = [&](GenAttrBase* n) {
      return n->GetType() == Int && name == n->GetName() &&
             static_cast<GenAttrInt*>(n)->GetValue() == value;
    };
    if (Matches(tree, node, test, expected)) {
      FUZZ_CHECK(node->FindIntegerAttr(name.c_str(), value) == First(expected));
    }
    return;
  }
  case 4: {
    const float value = From(in, bank.floats, in.Raw<float>());
    const float tolerance =
        in.Byte() < 128 ? static_cast<float>(in.Byte() % 4) / 2 : in.Raw<float>();
    const auto test = [&](GenAttrBase* n) {
      if (n->GetType() != Float || name != n->GetName()) {
        return false;
      }
      const float stored = static_cast<GenAttrFloat*>(n)->GetValue();
      const float upper = stored + tolerance;
      const float lower = stored - tolerance;
      return upper > value && lower < value;
    };
    if (Matches(tree, node, test, expected)) {
      FUZZ_CHECK(node->FindFloatAttr(name.c_str(), value, tolerance) == First(expected));
    }
    return;
  }
  case 5: {
    const double value = From(in, bank.doubles, in.Raw<double>());
    const double tolerance = in.Byte() < 128 ? (in.Byte() % 4) / 2.0 : in.Raw<double>();
    const auto test = [&](GenAttrBase* n) {
      if (n->GetType() != Double || name != n->GetName()) {
        return false;
      }
      const double stored = static_cast<GenAttrDouble*>(n)->GetValue();
      return stored + tolerance > value && stored - tolerance < value;
    };
    if (Matches(tree, node, test, expected)) {
      FUZZ_CHECK(node->FindDoubleAttr(name.c_str(), value, tolerance) == First(expected));
    }
    return;
  }
  default: {
    const bool byName = in.Byte() % 2 == 0;
    const std::uint8_t valuePick = in.Byte();
    const std::string value = valuePick < 100   ? From<std::string>(in, bank.rendered, "")
                              : valuePick < 150 ? std::string()
                                                : in.Text(12);
    const char* const nameFilter = byName ? name.c_str() : nullptr;
    const char* const valueFilter = valuePick < 200 ? value.c_str() : nullptr;
    const std::uint8_t modePick = in.Byte();
    const int mode = modePick < 100   ? GenAttrBase::FLAT
                     : modePick < 200 ? GenAttrBase::RECURSIVE
                                      : in.Raw<int>();
    const auto test = [&](GenAttrBase* n) {
      return (nameFilter == nullptr || std::strcmp(n->GetName(), nameFilter) == 0) &&
             (valueFilter == nullptr || std::strcmp(n->GetValueAsString(), valueFilter) == 0);
    };
    if (mode == GenAttrBase::FLAT) {
      for (GenAttrBase* child : tree.Children(node)) {
        if (test(child)) {
          expected.push_back(child);
        }
      }
    } else if (!Matches(tree, node, test, expected)) {
      return;
    }
    FUZZ_CHECK(Take(node->GetAllAttr(nameFilter, valueFilter, mode)) == expected);
    return;
  }
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Overflowing values print a report and a path listing; the fuzzer's own
  // output goes to standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    return 1;
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const char* const locales[] = {"C", "C.UTF-8"};
  std::setlocale(LC_ALL, locales[in.Byte() & 1]);
  GenAttr_DisableCatiaJtUtfTransfer();

  FuzzTree tree(in, 64);
  if (!tree.Record(kMaxNodes)) {
    return 0;
  }
  const Bank bank(tree);

  // Cursors parked at known children, to be found there after the lookups.
  std::map<GenAttrBase*, std::size_t> parked;
  for (int n = in.Byte() % 4; n > 0; --n) {
    GenAttrBase* node = tree.Pick();
    const std::size_t at = in.Below(static_cast<std::uint32_t>(tree.Children(node).size() + 1));
    node->GetFirstAttr();
    for (std::size_t k = 0; k < at; ++k) {
      node->GetNextAttr();
    }
    parked[node] = at;
  }

  for (int n = 0; n < 32 && !in.Empty(); ++n) {
    Query(in, tree, tree.Pick(), bank);
  }

  for (const auto& [node, at] : parked) {
    const auto& children = tree.Children(node);
    GenAttrBase* const next = at + 1 < children.size() ? children[at + 1] : nullptr;
    FUZZ_CHECK(node->GetNextAttr() == next);
  }
  tree.CheckModel();
  return 0;
}
