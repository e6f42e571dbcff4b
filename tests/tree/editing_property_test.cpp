// Editing through owners and references, checked against a small model of
// what every node sees, after every step of random sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "genattr/GenAttrBase.h"

namespace {

// A node that reports its end.
class ProbeNode : public GenAttrBase {
public:
  ProbeNode(const std::string& name, std::vector<char>* alive)
      : GenAttrBase(name.c_str()), mpAlive(alive), mId(alive->size()) {
    alive->push_back(1);
  }
  ProbeNode(const std::string& name, GenAttrBase* referenced, std::vector<char>* alive)
      : GenAttrBase(name.c_str(), referenced), mpAlive(alive), mId(alive->size()) {
    alive->push_back(1);
  }
  ~ProbeNode() override { (*mpAlive)[mId] = 0; }

private:
  std::vector<char>* mpAlive;
  std::size_t mId;
};

constexpr int kNone = -1;
constexpr int kBeforeFirst = -2; // a cursor whose next step gives the first child

// The model. A node sees a sequence of links. Each link has the node that
// owns it: the node it was put in front of (AddAttrAtTop, or InsertAttr before
// the first child), the owner of the chain (AddAttr), or the owner of the link
// it follows (InsertAttr elsewhere). A link is in every sequence that holds the
// link it follows, and AddAttr appends to every sequence of the chain's family.
struct Link {
  int child;
  int owner;
  bool alive;
};

struct MNode {
  int level = 0; // 0 leaf, 1 may hold leaves, 2 may hold leaves and level-1 nodes
  int held = 1;  // the count the test holds: 1 or 0
  bool alive = true;
  int initialParent = kNone;
  int family = kNone; // the owner of the chain, while the node shares one
  std::vector<int> seen;
  int cursor = kNone;
};

class Model {
public:
  std::vector<MNode> nodes;
  std::vector<Link> links;

  int Owner(int x) const { return nodes[x].family != kNone ? nodes[x].family : x; }
  int Count(int n) const {
    int count = nodes[n].held;
    for (const Link& link : links) {
      count += link.alive && link.child == n ? 1 : 0;
    }
    return count;
  }
  int Find(int x, int child) const {
    const std::vector<int>& seen = nodes[x].seen;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (links[seen[i]].child == child) {
        return static_cast<int>(i);
      }
    }
    return kNone;
  }

  int Make(int level) {
    nodes.emplace_back();
    nodes.back().level = level;
    return static_cast<int>(nodes.size()) - 1;
  }
  int MakeReference(int from) {
    const int r = Make(nodes[from].level);
    MNode& ref = nodes[r];
    const MNode& source = nodes[from];
    ref.initialParent = source.initialParent;
    if (source.family != kNone || !source.seen.empty()) {
      ref.family = Owner(from);
      ref.seen = source.seen;
    }
    return r;
  }

  void AddAttr(int x, int child) {
    const int owner = Owner(x);
    const int link = NewLink(child, owner);
    for (MNode& node : nodes) {
      if (node.alive && (&node == &nodes[owner] || node.family == owner)) {
        node.seen.push_back(link);
      }
    }
    Adopt(x, child);
  }
  void AddAttrAtTop(int x, int child) {
    const int link = NewLink(child, x);
    nodes[x].seen.insert(nodes[x].seen.begin(), link);
    Adopt(x, child);
  }
  int InsertAttr(int x, int child, int before) {
    if (before == kNone) {
      AddAttr(x, child);
      return 1;
    }
    const int at = Find(x, before);
    if (at == kNone) {
      return 0;
    }
    if (at == 0) {
      AddAttrAtTop(x, child);
      return 1;
    }
    const int prev = nodes[x].seen[at - 1];
    const int link = NewLink(child, links[prev].owner);
    for (MNode& node : nodes) {
      const auto it = std::find(node.seen.begin(), node.seen.end(), prev);
      if (node.alive && it != node.seen.end()) {
        node.seen.insert(it + 1, link);
      }
    }
    Adopt(x, child);
    return 1;
  }
  int RemoveAttr(int x, int child) { return RemoveAttrAt(x, Find(x, child)); }
  int RemoveAttrAt(int x, int at) {
    if (at < 0 || at >= static_cast<int>(nodes[x].seen.size())) {
      return 0;
    }
    const int link = nodes[x].seen[at];
    const int child = links[link].child;
    Unlink(link);
    Settle(child, x, links[link].owner);
    Release(link);
    return 1;
  }
  void RemoveAllAttr(int x) {
    std::vector<int> removed;
    while (!nodes[x].seen.empty()) {
      removed.push_back(nodes[x].seen.front());
      Unlink(removed.back());
    }
    nodes[x].cursor = kNone;
    for (int link : removed) {
      Settle(links[link].child, x, links[link].owner);
    }
    for (int link : removed) {
      Release(link);
    }
  }
  int First(int x) {
    MNode& node = nodes[x];
    node.cursor = node.seen.empty() ? kNone : node.seen.front();
    return Under(x);
  }
  int Next(int x) {
    MNode& node = nodes[x];
    if (node.cursor == kBeforeFirst) {
      node.cursor = node.seen.empty() ? kNone : node.seen.front();
    } else if (node.cursor != kNone) {
      const auto it = std::find(node.seen.begin(), node.seen.end(), node.cursor);
      node.cursor = it + 1 != node.seen.end() ? *(it + 1) : kNone;
    }
    return Under(x);
  }
  void Drop(int n) {
    --nodes[n].held;
    Settle(n);
  }

private:
  int NewLink(int child, int owner) {
    links.push_back(Link{child, owner, true});
    return static_cast<int>(links.size()) - 1;
  }
  void Adopt(int parent, int child) {
    if (nodes[child].initialParent == kNone) {
      nodes[child].initialParent = parent;
    }
  }
  int Under(int x) const {
    const int cursor = nodes[x].cursor;
    return cursor >= 0 ? links[cursor].child : kNone;
  }
  // Takes `link` out of every sequence; a cursor on it steps back.
  void Unlink(int link) {
    for (MNode& node : nodes) {
      const auto it = std::find(node.seen.begin(), node.seen.end(), link);
      if (!node.alive || it == node.seen.end()) {
        continue;
      }
      if (node.cursor == link) {
        node.cursor = it == node.seen.begin() ? kBeforeFirst : *(it - 1);
      }
      node.seen.erase(it);
    }
  }
  // The initial parent survives a removal only where it still sees the child.
  void Settle(int child, int editor, int holder) {
    const int parent = nodes[child].initialParent;
    if ((parent == editor || parent == holder) && Find(parent, child) == kNone) {
      nodes[child].initialParent = kNone;
    }
  }
  void Release(int link) {
    links[link].alive = false;
    Settle(links[link].child);
  }
  // Ends `n` when nothing counts it any more.
  void Settle(int n) {
    if (!nodes[n].alive || Count(n) > 0) {
      return;
    }
    nodes[n].alive = false;
    for (MNode& node : nodes) {
      if (node.initialParent == n) {
        node.initialParent = kNone;
      }
    }
    const auto ownedByN = [&](int link) { return links[link].owner == n; };
    if (nodes[n].family != kNone) {
      // Others go on without the links it owned; cursors on them step back.
      for (MNode& node : nodes) {
        const auto first = std::find_if(node.seen.begin(), node.seen.end(), ownedByN);
        if (!node.alive || first == node.seen.end()) {
          continue;
        }
        if (node.cursor >= 0 && ownedByN(node.cursor)) {
          node.cursor = first == node.seen.begin() ? kBeforeFirst : *(first - 1);
        }
        node.seen.erase(std::remove_if(node.seen.begin(), node.seen.end(), ownedByN),
                        node.seen.end());
      }
    } else {
      // The sharers keep what they own, as chains of their own.
      for (std::size_t s = 0; s < nodes.size(); ++s) {
        MNode& sharer = nodes[s];
        if (!sharer.alive || sharer.family != n) {
          continue;
        }
        const auto notOwn = [&](int link) { return links[link].owner != static_cast<int>(s); };
        if (sharer.cursor >= 0 && notOwn(sharer.cursor)) {
          sharer.cursor = kNone;
        }
        sharer.seen.erase(std::remove_if(sharer.seen.begin(), sharer.seen.end(), notOwn),
                          sharer.seen.end());
        sharer.family = kNone;
      }
    }
    nodes[n].seen.clear();
    nodes[n].family = kNone;
    for (std::size_t link = 0; link < links.size(); ++link) {
      if (links[link].alive && links[link].owner == n) {
        Release(static_cast<int>(link));
      }
    }
  }
};

// The library's nodes side by side with the model's.
class Harness {
public:
  ~Harness() {
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
      if (model.nodes[n].held > 0) {
        Drop(static_cast<int>(n));
      }
    }
    EXPECT_TRUE(std::none_of(alive.begin(), alive.end(), [](char a) { return a != 0; }))
        << "every node ends once the test lets go";
  }

  int Make(int level) {
    nodes.push_back(new ProbeNode("n" + std::to_string(nodes.size()), &alive));
    nodes.back()->AddRef();
    return model.Make(level);
  }
  int MakeReference(int from) {
    nodes.push_back(new ProbeNode("r" + std::to_string(nodes.size()), nodes[from], &alive));
    nodes.back()->AddRef();
    return model.MakeReference(from);
  }
  void Drop(int n) {
    model.Drop(n);
    nodes[n]->UnRef();
  }
  GenAttrBase* Node(int n) const { return n == kNone ? nullptr : nodes[n]; }

  // Compares every node with the model; `step` names the last operation.
  ::testing::AssertionResult Matches(const std::string& step) const {
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      const MNode& expected = model.nodes[n];
      if ((alive[n] != 0) != expected.alive) {
        return ::testing::AssertionFailure()
               << step << ": node " << n << (expected.alive ? " ended" : " lives on");
      }
      if (!expected.alive) {
        continue;
      }
      std::string seen;
      std::string wanted;
      for (GenAttrBase* child : nodes[n]->GetChildren()) {
        seen += std::string(child->GetName()) + " ";
      }
      for (int link : expected.seen) {
        wanted += std::string(nodes[model.links[link].child]->GetName()) + " ";
      }
      const auto count = static_cast<std::uint32_t>(expected.seen.size());
      if (seen != wanted || nodes[n]->GetNumberChildren() != count) {
        return ::testing::AssertionFailure()
               << step << ": node " << n << " sees [" << seen << "], model [" << wanted << "]";
      }
      // By position: both ends (each walked from its own end), one place
      // between that moves as the chain grows, and past the end.
      for (const std::uint32_t at : {0u, count / 3 + count % 5, count - 1, count}) {
        const GenAttrBase* const expectedChild =
            at < count ? nodes[model.links[expected.seen[at]].child] : nullptr;
        if (nodes[n]->GetAttrAt(at) != expectedChild) {
          return ::testing::AssertionFailure()
                 << step << ": node " << n << " GetAttrAt(" << at << ") of " << count;
        }
      }
      if (nodes[n]->GetRefCount() != model.Count(static_cast<int>(n))) {
        return ::testing::AssertionFailure()
               << step << ": node " << n << " count " << nodes[n]->GetRefCount() << ", model "
               << model.Count(static_cast<int>(n));
      }
      if (expected.initialParent != kNone && !model.nodes[expected.initialParent].alive) {
        return ::testing::AssertionFailure() << step << ": model keeps a dead initial parent";
      }
      if (nodes[n]->GetInitialParent() != Node(expected.initialParent)) {
        return ::testing::AssertionFailure()
               << step << ": node " << n << " initial parent "
               << (nodes[n]->GetInitialParent() ? nodes[n]->GetInitialParent()->GetName() : "none")
               << ", model " << expected.initialParent;
      }
    }
    return ::testing::AssertionSuccess();
  }

  Model model;
  std::vector<GenAttrBase*> nodes;
  std::vector<char> alive;
};

std::string Name(const Harness& h, int n) {
  return n == kNone ? "null" : h.nodes[n]->GetName();
}

// One random step; returns its description.
std::string RandomStep(Harness& h, std::mt19937& random) {
  const auto pick = [&](int size) {
    return static_cast<int>(std::uniform_int_distribution<int>(0, size - 1)(random));
  };
  std::vector<int> holders;  // living nodes that may hold children
  std::vector<int> children; // living nodes that may be linked
  for (std::size_t n = 0; n < h.nodes.size(); ++n) {
    if (h.model.nodes[n].alive) {
      (h.model.nodes[n].level > 0 ? holders : children).push_back(static_cast<int>(n));
      if (h.model.nodes[n].level == 1) {
        children.push_back(static_cast<int>(n));
      }
    }
  }
  const int op = pick(23);
  if (holders.size() < 3 || op == 0) {
    const int level = 1 + pick(2);
    return "make level " + std::to_string(level) + " " + Name(h, h.Make(level));
  }
  if (children.size() < 4 || op == 1) {
    return "make leaf " + Name(h, h.Make(0));
  }
  const int x = holders[pick(static_cast<int>(holders.size()))];
  GenAttrBase& node = *h.nodes[x];
  // A child of a lower level than `x`, so that no loop can form.
  int child = kNone;
  for (int tries = 0; tries < 10 && child == kNone; ++tries) {
    const int c = children[pick(static_cast<int>(children.size()))];
    child = h.model.nodes[c].level < h.model.nodes[x].level ? c : kNone;
  }
  const std::string on = " on " + Name(h, x);
  const std::vector<int>& seen = h.model.nodes[x].seen;
  const int seenChild = seen.empty() ? child : h.model.links[seen[pick(int(seen.size()))]].child;
  switch (op) {
  case 2:
  case 3:
    return "reference " + Name(h, h.MakeReference(x)) + " of " + Name(h, x);
  case 4:
  case 5:
    if (child == kNone) {
      break;
    }
    node.AddAttr(h.Node(child));
    h.model.AddAttr(x, child);
    return "AddAttr " + Name(h, child) + on;
  case 6:
    if (child == kNone) {
      break;
    }
    node.AddAttrAtTop(h.Node(child));
    h.model.AddAttrAtTop(x, child);
    return "AddAttrAtTop " + Name(h, child) + on;
  case 7:
  case 8: {
    if (child == kNone) {
      break;
    }
    const int before = pick(5) == 0 ? kNone : seenChild;
    const int result = node.InsertAttr(h.Node(child), h.Node(before));
    EXPECT_EQ(result, h.model.InsertAttr(x, child, before));
    return "InsertAttr " + Name(h, child) + " before " + Name(h, before) + on;
  }
  case 9:
  case 10:
  case 11: {
    const int target = pick(6) == 0 ? child : seenChild;
    if (target == kNone) {
      break;
    }
    const std::string step = "RemoveAttr " + Name(h, target) + on;
    const int result = node.RemoveAttr(h.Node(target));
    EXPECT_EQ(result, h.model.RemoveAttr(x, target)) << step;
    return step;
  }
  case 12:
    if (pick(3) != 0) {
      break;
    }
    node.RemoveAllAttr();
    h.model.RemoveAllAttr(x);
    return "RemoveAllAttr" + on;
  case 16:
  case 17: {
    // Mostly a child seen, now and then one past the end.
    const int at = pick(static_cast<int>(seen.size()) + 1);
    const std::string step = "RemoveAttrAt " + std::to_string(at) + on;
    const int result = node.RemoveAttrAt(static_cast<std::uint32_t>(at));
    EXPECT_EQ(result, h.model.RemoveAttrAt(x, at)) << step;
    return step;
  }
  case 18:
    // Chains long enough that the library keeps their count without a record.
    if (child == kNone || seen.size() > 60) {
      break;
    }
    for (int i = 0; i < 40; ++i) {
      node.AddAttr(h.Node(child));
      h.model.AddAttr(x, child);
    }
    return "AddAttr 40 times " + Name(h, child) + on;
  case 13:
    EXPECT_EQ(node.GetFirstAttr(), h.Node(h.model.First(x))) << "GetFirstAttr" << on;
    return "GetFirstAttr" + on;
  case 14:
  case 15:
    EXPECT_EQ(node.GetNextAttr(), h.Node(h.model.Next(x))) << "GetNextAttr" << on;
    return "GetNextAttr" + on;
  default: {
    // Let go of a node: an owner, a reference or a child.
    std::vector<int> held;
    for (std::size_t n = 0; n < h.nodes.size(); ++n) {
      if (h.model.nodes[n].alive && h.model.nodes[n].held > 0) {
        held.push_back(static_cast<int>(n));
      }
    }
    const int n = held[pick(static_cast<int>(held.size()))];
    const std::string step = "Free " + Name(h, n);
    h.Drop(n);
    return step;
  }
  }
  return "nothing";
}

} // namespace

TEST(EditingProperty, RandomEditsThroughOwnersAndReferencesMatchTheModel) {
  for (unsigned seed = 1; seed <= 500; ++seed) {
    std::mt19937 random(seed);
    Harness h;
    std::string log;
    for (int step = 0; step < 150; ++step) {
      log += RandomStep(h, random) + "\n";
      const ::testing::AssertionResult matches = h.Matches(log);
      ASSERT_TRUE(matches) << "seed " << seed;
    }
  }
}

// A owns a1, a2; R1 refers to A and gets a front child; R2 refers to R1; R1
// is freed while A lives. R2 must go on sharing A's chain, and AddAttr through
// it must still reach A.
TEST(EditingProperty, ReferenceOfAReferenceKeepsTheOwnersChainWhenTheMiddleOneIsFreed) {
  Harness h;
  const int a = h.Make(2);
  const int a1 = h.Make(0);
  const int a2 = h.Make(0);
  const int top = h.Make(0);
  const int later = h.Make(0);
  for (int child : {a1, a2}) {
    h.nodes[a]->AddAttr(h.Node(child));
    h.model.AddAttr(a, child);
  }
  const int r1 = h.MakeReference(a);
  h.nodes[r1]->AddAttrAtTop(h.Node(top));
  h.model.AddAttrAtTop(r1, top);
  const int r2 = h.MakeReference(r1);
  ASSERT_TRUE(h.Matches("made"));
  h.Drop(r1);
  ASSERT_TRUE(h.Matches("R1 freed"));
  EXPECT_EQ(h.nodes[r2]->GetNumberChildren(), 2u);
  h.nodes[r2]->AddAttr(h.Node(later));
  h.model.AddAttr(r2, later);
  ASSERT_TRUE(h.Matches("AddAttr through R2"));
  EXPECT_EQ(h.nodes[a]->GetNumberChildren(), 3u);
}
