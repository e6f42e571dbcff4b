#include "cli/TreeDiff.h"
#include "cli/Output.h"

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

// The value text, or a container's id; null for a container without one.
// A rendered text lives in a shared buffer until the next rendering.
const char* DatumOf(GenAttrBase* node) {
  return node->GetType() == Cont ? static_cast<GenAttrCont*>(node)->GetId() : ValueText(node);
}

Facts FactsOf(GenAttrBase* node) {
  Facts facts;
  facts.type = node->GetTypeAsString();
  if (node->IsReference() != 0) {
    facts.type += " reference";
  }
  const char* datum = DatumOf(node); // copied at once: it may live in a shared buffer
  facts.hasDatum = datum != nullptr;
  facts.datum = datum != nullptr ? datum : "";
  const char* description = node->GetDescription();
  facts.hasDescription = description != nullptr;
  facts.description = description != nullptr ? ShownName(description) : "";
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

std::uint64_t HashOptional(const char* text) {
  return text != nullptr ? HashText(text) + 1 : 0;
}

// Name, type, value and description in one key (FactsOf() without copies).
std::uint64_t LocalKey(GenAttrBase* node) {
  std::uint64_t key = Mix(NameKey(node), static_cast<std::uint64_t>(node->GetType()) * 2 +
                                             (node->IsReference() != 0 ? 1 : 0));
  key = Mix(key, HashOptional(DatumOf(node)));
  return Mix(key, HashOptional(node->GetDescription()));
}

// One node of a tree laid out in pre-order, as the diff walks it: a shared
// node once at each place, a reference and a node met again on its own path
// (a cycle) without children.
struct Entry {
  GenAttrBase* node;
  std::uint64_t local;   // LocalKey()
  std::uint64_t subtree; // the local keys of the node and its subtree, in order
  std::size_t size;      // 1 + the number of entries of its subtree
};
using Layout = std::vector<Entry>;

Layout Flatten(GenAttrBase* root) {
  Layout layout;
  std::vector<std::size_t> open; // entries whose subtrees are not complete yet
  auto close = [&](std::size_t end) {
    Entry& done = layout[open.back()];
    done.size = end - open.back();
    open.pop_back();
    if (!open.empty()) {
      Entry& parent = layout[open.back()];
      parent.subtree = Mix(parent.subtree, done.subtree);
    }
  };
  PreorderWalk walk(root, false);
  while (walk.Next()) {
    while (open.size() > walk.Depth()) {
      close(layout.size());
    }
    const std::uint64_t local = LocalKey(walk.Node());
    open.push_back(layout.size());
    layout.push_back({walk.Node(), local, local, 1});
  }
  while (!open.empty()) {
    close(layout.size());
  }
  return layout;
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

// Children are lined up by subtree, then node, then name.
constexpr int kLevels = 3;

struct Op {
  Step step;
  std::size_t a, b;
};

// One pair of nodes whose children are being compared; nodes are named by
// their places in the layouts.
struct Frame {
  std::vector<std::size_t> childrenA, childrenB;
  std::vector<unsigned> occurrenceA, occurrenceB;
  std::vector<Op> ops;
  std::size_t next;
  std::size_t pathA, pathB; // lengths of the parents' paths
  bool top;                 // whether the pair are the roots
};

class Differ {
public:
  explicit Differ(std::ostream& out) : mOut(out) {}

  std::uint64_t Run(GenAttrBase* before, GenAttrBase* after) {
    mA = Flatten(before);
    mB = Flatten(after);
    if (std::string_view(before->GetName()) != after->GetName()) {
      const std::string shownBefore = ShownName(before->GetName());
      Line("name changed", "(root)",
           ": " + Quoted(true, shownBefore) + " -> " + Quoted(true, ShownName(after->GetName())));
    }
    ComparePair(before, after, "(root)");
    Descend(0, 0);
    while (!mFrames.empty()) {
      Frame& frame = mFrames.back();
      if (frame.next == frame.ops.size()) {
        mFrames.pop_back();
        continue;
      }
      const Op op = frame.ops[frame.next++];
      mPathA.resize(frame.pathA);
      mPathB.resize(frame.pathB);
      if (op.step != Step::Added) {
        AppendSegment(mPathA, frame.top, mA[frame.childrenA[op.a]].node->GetName(),
                      frame.occurrenceA[op.a]);
      }
      if (op.step != Step::Removed) {
        AppendSegment(mPathB, frame.top, mB[frame.childrenB[op.b]].node->GetName(),
                      frame.occurrenceB[op.b]);
      }
      if (op.step == Step::Removed) {
        Line("removed", mPathA, "");
      } else if (op.step == Step::Added) {
        Line("added", mPathB, "");
      } else {
        const std::size_t a = frame.childrenA[op.a];
        const std::size_t b = frame.childrenB[op.b];
        ComparePair(mA[a].node, mB[b].node, mPathB);
        Descend(a, b); // may move `frame`
      }
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

  // The places of the children of the entry at `at`.
  static void Children(const Layout& layout, std::size_t at, std::vector<std::size_t>& out,
                       std::vector<GenAttrBase*>& nodes) {
    out.clear();
    nodes.clear();
    for (std::size_t child = at + 1; child < at + layout[at].size; child += layout[child].size) {
      out.push_back(child);
      nodes.push_back(layout[child].node);
    }
  }

  // Puts the children of a pair on the stack, lined up.
  void Descend(std::size_t a, std::size_t b) {
    if (mA[a].size == 1 && mB[b].size == 1) {
      return;
    }
    const GenAttrBase* nodeA = mA[a].node;
    const GenAttrBase* nodeB = mB[b].node;
    // A pair of shared nodes met again under other parents was reported at
    // its first place; comparing it again at each would repeat its lines.
    if (nodeA->GetRefCount() > 1 && nodeB->GetRefCount() > 1 &&
        !mPairsDone.insert({nodeA, nodeB}).second) {
      return;
    }
    mFrames.emplace_back();
    Frame& frame = mFrames.back();
    frame.next = 0;
    frame.pathA = mPathA.size();
    frame.pathB = mPathB.size();
    frame.top = mFrames.size() == 1;
    Children(mA, a, frame.childrenA, mNodes);
    mNumbers.Number(mNodes, frame.occurrenceA);
    Children(mB, b, frame.childrenB, mNodes);
    mNumbers.Number(mNodes, frame.occurrenceB);
    LineUp(frame);
  }

  // The steps from one list of children to the other. Equal subtrees pair
  // first and need no further look; among the rest nodes equal but for their
  // children, then nodes of equal names, each in order.
  void LineUp(Frame& frame) const {
    std::vector<std::uint64_t> keysA[kLevels];
    std::vector<std::uint64_t> keysB[kLevels];
    auto keys = [](const Layout& layout, const std::vector<std::size_t>& children,
                   std::vector<std::uint64_t>(&out)[kLevels]) {
      for (std::size_t child : children) {
        out[0].push_back(layout[child].subtree);
        out[1].push_back(layout[child].local);
        out[2].push_back(NameKey(layout[child].node));
      }
    };
    keys(mA, frame.childrenA, keysA);
    keys(mB, frame.childrenB, keysB);
    LineUpRange(keysA, keysB, 0, {0, frame.childrenA.size(), 0, frame.childrenB.size()}, frame.ops);
  }

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
  Layout mA, mB;
  std::vector<Frame> mFrames;
  std::string mPathA, mPathB;
  std::vector<GenAttrBase*> mNodes; // scratch for numbering siblings
  std::unordered_set<std::pair<const GenAttrBase*, const GenAttrBase*>, PairHash> mPairsDone;
  SiblingNumbers mNumbers;
};

} // namespace

std::uint64_t DiffTrees(GenAttrBase* before, GenAttrBase* after, std::ostream& out) {
  return Differ(out).Run(before, after);
}

} // namespace cli
} // namespace genattr
