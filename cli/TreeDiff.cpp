#include "cli/TreeDiff.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "cli/NodePath.h"
#include "cli/SiblingAlign.h"
#include "cli/Walk.h"
#include "genattr/GenAttrCont.h"

namespace genattr {
namespace cli {

namespace {

// What the diff compares of a node besides its children.
struct Facts {
  std::string type;
  bool hasDatum = false;
  std::string datum;
  bool hasDescription = false;
  std::string description;
};

Facts FactsOf(GenAttrBase* node) {
  Facts facts;
  facts.type = node->GetTypeAsString();
  if (node->IsReference() != 0) {
    facts.type += " reference";
  }
  // Rendered texts live in shared buffers: copied at once.
  const char* datum =
      node->GetType() == Cont ? static_cast<GenAttrCont*>(node)->GetId() : node->GetValueAsString();
  facts.hasDatum = datum != nullptr;
  facts.datum = datum != nullptr ? datum : "";
  const char* description = node->GetDescription();
  facts.hasDescription = description != nullptr;
  facts.description = description != nullptr ? description : "";
  return facts;
}

std::uint64_t Mix(std::uint64_t seed, std::uint64_t value) {
  // The 64-bit finaliser of MurmurHash3 over the running combination.
  std::uint64_t h = seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

std::uint64_t HashText(std::string_view text) {
  return std::hash<std::string_view>{}(text);
}

std::uint64_t NameKey(GenAttrBase* node) {
  return HashText(node->GetName());
}

// Name, type, value and description in one key.
std::uint64_t LocalKey(GenAttrBase* node) {
  const Facts facts = FactsOf(node);
  std::uint64_t key = Mix(NameKey(node), HashText(facts.type));
  key = Mix(key, facts.hasDatum ? HashText(facts.datum) + 1 : 0);
  return Mix(key, facts.hasDescription ? HashText(facts.description) + 1 : 0);
}

struct Keys {
  std::uint64_t local;   // LocalKey()
  std::uint64_t subtree; // the local keys of the node and its whole subtree, in order
};
using KeyTable = std::unordered_map<const GenAttrBase*, Keys>;

// The keys of every node below `root`, computed once per node by a walk that
// leaves each node after its children (a shared node's subtree is taken
// once; a reference's children are left to its container, a node met again
// on its own path, a cycle, to its first place).
KeyTable ComputeKeys(GenAttrBase* root) {
  struct Frame {
    GenAttrBase* node;
    std::vector<GenAttrBase*> children;
    std::size_t next;
    std::uint64_t local;
    std::uint64_t hash;
  };
  KeyTable table;
  std::unordered_set<const GenAttrBase*> onPath;
  std::vector<Frame> frames;
  std::size_t top = 0;
  auto enter = [&](GenAttrBase* node) {
    if (top == frames.size()) {
      frames.emplace_back();
    }
    Frame& frame = frames[top++];
    frame.node = node;
    frame.next = 0;
    frame.local = LocalKey(node);
    frame.hash = frame.local;
    frame.children.clear();
    if (node->IsReference() == 0) {
      CollectChildren(node, frame.children);
    }
    onPath.insert(node);
  };
  enter(root);
  while (top > 0) {
    Frame& frame = frames[top - 1];
    if (frame.next < frame.children.size()) {
      GenAttrBase* child = frame.children[frame.next++];
      auto known = table.find(child);
      if (known != table.end()) {
        frame.hash = Mix(frame.hash, known->second.subtree);
      } else if (onPath.count(child) != 0) {
        frame.hash = Mix(frame.hash, 1);
      } else {
        enter(child);
      }
      continue;
    }
    const Keys keys{frame.local, frame.hash};
    table.emplace(frame.node, keys);
    onPath.erase(frame.node);
    if (--top > 0) {
      Frame& parent = frames[top - 1];
      parent.hash = Mix(parent.hash, keys.subtree);
    }
  }
  return table;
}

// A text in double quotes, with quotes, backslashes and control characters
// escaped so that every difference stays on its line.
std::string Quoted(bool present, const std::string& text) {
  if (!present) {
    return "(none)";
  }
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += digits[byte >> 4];
      out += digits[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

enum class Step { Removed, Added, Paired };

struct Op {
  Step step;
  std::size_t a, b;
};

// One pair of nodes whose children are being compared.
struct Frame {
  GenAttrBase* before;
  GenAttrBase* after;
  std::vector<GenAttrBase*> childrenA, childrenB;
  std::vector<unsigned> occurrenceA, occurrenceB;
  std::vector<Op> ops;
  std::size_t next;
  std::size_t pathA, pathB; // lengths of the parents' paths
  bool markedA, markedB;    // whether the pair was put on the path sets
  bool top;                 // whether the pair are the roots
};

class Differ {
public:
  explicit Differ(std::ostream& out) : mOut(out) {}

  std::uint64_t Run(GenAttrBase* before, GenAttrBase* after) {
    mpRootA = before;
    mpRootB = after;
    mKeysA = ComputeKeys(before);
    mKeysB = ComputeKeys(after);
    if (std::string_view(before->GetName()) != after->GetName()) {
      Line("name changed", "(root)",
           ": " + Quoted(true, before->GetName()) + " -> " + Quoted(true, after->GetName()));
    }
    ComparePair(before, after, "(root)");
    Descend(before, after);
    while (!mFrames.empty()) {
      Frame& frame = mFrames.back();
      if (frame.next == frame.ops.size()) {
        Leave(frame);
        mFrames.pop_back();
        continue;
      }
      const Op op = frame.ops[frame.next++];
      mPathA.resize(frame.pathA);
      mPathB.resize(frame.pathB);
      if (op.step == Step::Removed) {
        AppendSegment(mPathA, frame.top, frame.childrenA[op.a]->GetName(), frame.occurrenceA[op.a]);
        Line("removed", mPathA, "");
        continue;
      }
      AppendSegment(mPathB, frame.top, frame.childrenB[op.b]->GetName(), frame.occurrenceB[op.b]);
      if (op.step == Step::Added) {
        Line("added", mPathB, "");
        continue;
      }
      AppendSegment(mPathA, frame.top, frame.childrenA[op.a]->GetName(), frame.occurrenceA[op.a]);
      GenAttrBase* a = frame.childrenA[op.a];
      GenAttrBase* b = frame.childrenB[op.b];
      ComparePair(a, b, mPathB);
      Descend(a, b); // may move `frame`
    }
    return mLines;
  }

private:
  void Line(const char* what, const std::string& path, const std::string& detail) {
    mOut << what << ": " << path << detail << '\n';
    ++mLines;
  }

  void ComparePair(GenAttrBase* a, GenAttrBase* b, const std::string& path) {
    const Facts before = FactsOf(a);
    const Facts after = FactsOf(b);
    if (before.type != after.type) {
      Line("type changed", path, ": " + before.type + " -> " + after.type);
    }
    if (before.hasDatum != after.hasDatum || before.datum != after.datum) {
      Line("value changed", path,
           ": " + Quoted(before.hasDatum, before.datum) + " -> " +
               Quoted(after.hasDatum, after.datum));
    }
    if (before.hasDescription != after.hasDescription || before.description != after.description) {
      Line("description changed", path,
           ": " + Quoted(before.hasDescription, before.description) + " -> " +
               Quoted(after.hasDescription, after.description));
    }
  }

  // A node the walk could meet twice: shared, or a root a cycle leads back to.
  bool Shared(const GenAttrBase* node) const {
    return node->GetRefCount() > 1 || node == mpRootA || node == mpRootB;
  }

  // Puts the children of a pair on the stack, lined up.
  void Descend(GenAttrBase* a, GenAttrBase* b) {
    if (a->IsReference() != 0 || b->IsReference() != 0 ||
        (a->HasChildren() == 0 && b->HasChildren() == 0)) {
      return;
    }
    const bool sharedA = Shared(a);
    const bool sharedB = Shared(b);
    if ((sharedA && mOnPathA.count(a) != 0) || (sharedB && mOnPathB.count(b) != 0)) {
      return; // a cycle: compared once on this path already
    }
    if (sharedA && sharedB && !mPairsDone.insert({a, b}).second) {
      return; // the same shared pair under another parent: reported there
    }
    if (sharedA) {
      mOnPathA.insert(a);
    }
    if (sharedB) {
      mOnPathB.insert(b);
    }
    mFrames.emplace_back();
    Frame& frame = mFrames.back();
    frame.before = a;
    frame.after = b;
    frame.next = 0;
    frame.pathA = mPathA.size();
    frame.pathB = mPathB.size();
    frame.markedA = sharedA;
    frame.markedB = sharedB;
    frame.top = mFrames.size() == 1;
    CollectChildren(a, frame.childrenA);
    CollectChildren(b, frame.childrenB);
    mNumbers.Number(frame.childrenA, frame.occurrenceA);
    mNumbers.Number(frame.childrenB, frame.occurrenceB);
    LineUp(frame);
  }

  void Leave(const Frame& frame) {
    if (frame.markedA) {
      mOnPathA.erase(frame.before);
    }
    if (frame.markedB) {
      mOnPathB.erase(frame.after);
    }
  }

  // The steps from one list of children to the other. Equal subtrees pair
  // first and need no further look; among the rest nodes equal but for their
  // children, then nodes of equal names, each in order.
  void LineUp(Frame& frame) const {
    const auto& ca = frame.childrenA;
    const auto& cb = frame.childrenB;
    std::vector<std::uint64_t> keysA[kLevels];
    std::vector<std::uint64_t> keysB[kLevels];
    for (GenAttrBase* child : ca) {
      const Keys& keys = mKeysA.at(child);
      keysA[0].push_back(keys.subtree);
      keysA[1].push_back(keys.local);
      keysA[2].push_back(NameKey(child));
    }
    for (GenAttrBase* child : cb) {
      const Keys& keys = mKeysB.at(child);
      keysB[0].push_back(keys.subtree);
      keysB[1].push_back(keys.local);
      keysB[2].push_back(NameKey(child));
    }
    LineUpRange(keysA, keysB, 0, {0, ca.size(), 0, cb.size()}, frame.ops);
  }

  static constexpr int kLevels = 3;
  struct Span {
    std::size_t a0, a1, b0, b1;
  };

  static void LineUpRange(const std::vector<std::uint64_t> (&keysA)[kLevels],
                          const std::vector<std::uint64_t> (&keysB)[kLevels], int level,
                          const Span& span, std::vector<Op>& ops) {
    if (level == kLevels) {
      for (std::size_t i = span.a0; i < span.a1; ++i) {
        ops.push_back({Step::Removed, i, 0});
      }
      for (std::size_t j = span.b0; j < span.b1; ++j) {
        ops.push_back({Step::Added, 0, j});
      }
      return;
    }
    const std::vector<std::uint64_t> a(keysA[level].begin() + span.a0,
                                       keysA[level].begin() + span.a1);
    const std::vector<std::uint64_t> b(keysB[level].begin() + span.b0,
                                       keysB[level].begin() + span.b1);
    std::size_t a0 = span.a0;
    std::size_t b0 = span.b0;
    for (const auto& match : MatchKeys(a, b)) {
      const std::size_t i = span.a0 + match.first;
      const std::size_t j = span.b0 + match.second;
      LineUpRange(keysA, keysB, level + 1, {a0, i, b0, j}, ops);
      if (level > 0) { // equal subtrees have nothing to report
        ops.push_back({Step::Paired, i, j});
      }
      a0 = i + 1;
      b0 = j + 1;
    }
    LineUpRange(keysA, keysB, level + 1, {a0, span.a1, b0, span.b1}, ops);
  }

  struct PairHash {
    std::size_t operator()(const std::pair<const GenAttrBase*, const GenAttrBase*>& p) const {
      return static_cast<std::size_t>(
          Mix(std::hash<const void*>{}(p.first), std::hash<const void*>{}(p.second)));
    }
  };

  std::ostream& mOut;
  std::uint64_t mLines = 0;
  GenAttrBase* mpRootA = nullptr;
  GenAttrBase* mpRootB = nullptr;
  KeyTable mKeysA, mKeysB;
  std::vector<Frame> mFrames;
  std::string mPathA, mPathB;
  std::unordered_set<const GenAttrBase*> mOnPathA, mOnPathB;
  std::unordered_set<std::pair<const GenAttrBase*, const GenAttrBase*>, PairHash> mPairsDone;
  SiblingNumbers mNumbers;
};

} // namespace

std::uint64_t DiffTrees(GenAttrBase* before, GenAttrBase* after, std::ostream& out) {
  return Differ(out).Run(before, after);
}

} // namespace cli
} // namespace genattr
