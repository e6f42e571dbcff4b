// A tree that the bytes of one fuzz input build, a plain model of its child
// chains, and a plain recursive walk over it. Shared by the lookup and
// writer targets.
//
// The input is a program of operations: make a node of any type (with
// hostile names, values and descriptions), link it at the end or the front of
// a chain, make a reference or a deep copy, give back the target's own count
// of a node, set texts from the node's own text, move a cursor, turn the UTF
// switch. The target holds one count of every node it made until it gives it
// back.
//
// Loops: a link from an older node to a younger one never closes a loop of
// links, so links are only made that way, with one exception: any node may
// link the root, which puts it below itself or below a descendant. References
// close loops of their own (a reference below the node it refers to) without
// owning any link of them. Such a tree can still be destroyed soundly: the
// root is a plain node that the target deletes directly at the end, whatever
// its count; every link into it comes from a node that its destruction
// destroys first, while the root is still whole.
#ifndef GENATTR_FUZZ_FUZZTREE_H
#define GENATTR_FUZZ_FUZZTREE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "genattr/GenAttr.h"

namespace fuzz {

class FuzzTree;

namespace detail {
// The tree being built; nodes report their destruction to it.
inline FuzzTree*& CurrentTree() {
  static FuzzTree* tree = nullptr;
  return tree;
}
void NodeDestroyed(const GenAttrBase* node);
} // namespace detail

// A node of class Node that reports its destruction.
template <class Node> class Tracked final : public Node {
public:
  using Node::Node;
  ~Tracked() override { detail::NodeDestroyed(this); }
};

class FuzzTree {
public:
  // Builds the tree from `in`: the root's name, the number of operations
  // (at most `maxOps`), the operations. The rest of `in` is the caller's.
  FuzzTree(FuzzInput& in, std::size_t maxOps) : mIn(in) {
    detail::CurrentTree() = this;
    mRoot = new Tracked<GenAttrBase>(Name().c_str());
    Hold(mRoot);
    const std::size_t ops = mIn.Byte() % (maxOps + 1);
    for (std::size_t op = 0; op < ops && !mIn.Empty(); ++op) {
      Step();
    }
  }

  FuzzTree(const FuzzTree&) = delete;
  FuzzTree& operator=(const FuzzTree&) = delete;

  ~FuzzTree() {
    for (std::size_t i = 1; i < mPool.size(); ++i) {
      if (mPool[i] != nullptr) {
        mPool[i]->UnRef();
      }
    }
    // Directly: links below the root may still hold it.
    delete mRoot;
    detail::CurrentTree() = nullptr;
  }

  GenAttrBase* Root() const { return mRoot; }

  // The nodes the target still holds, the root first.
  std::vector<GenAttrBase*> Held() const {
    std::vector<GenAttrBase*> held;
    for (GenAttrBase* node : mPool) {
      if (node != nullptr) {
        held.push_back(node);
      }
    }
    return held;
  }

  // A held node chosen by the input.
  GenAttrBase* Pick() { return mPool[PickIndex()]; }

  // Reads the children of every node reachable from `from` (all held nodes
  // when empty) through its cursor, once; Children() answers from this
  // record afterwards, so that checks can run without moving any cursor.
  // Returns false when more than `maxNodes` nodes are reachable.
  bool Record(std::size_t maxNodes, std::vector<GenAttrBase*> from = {}) {
    mChildren.clear();
    mRecorded.clear();
    std::vector<GenAttrBase*> todo = from.empty() ? Held() : std::move(from);
    while (!todo.empty()) {
      GenAttrBase* node = todo.back();
      todo.pop_back();
      if (mChildren.count(node) != 0) {
        continue;
      }
      if (mChildren.size() == maxNodes) {
        return false;
      }
      mRecorded.push_back(node);
      std::vector<GenAttrBase*>& children = mChildren[node];
      for (GenAttrBase* c = node->GetFirstAttr(); c != nullptr; c = node->GetNextAttr()) {
        children.push_back(c);
        todo.push_back(c);
      }
    }
    return true;
  }

  const std::vector<GenAttrBase*>& Children(GenAttrBase* node) const { return mChildren.at(node); }
  // Every node that Record() reached, in the order it reached them (which
  // depends on the input only, so that a finding replays).
  const std::vector<GenAttrBase*>& Recorded() const { return mRecorded; }

  // Depth-first walk in child order below `top` (level 0), from the record.
  // enter(node, level, again) is called for every node reached, `again`
  // telling that the node already lies on the path from `top`; the node's
  // children follow when it returns true and the node is not `again`.
  // Returns false, having stopped early, after `maxVisits` calls of enter().
  bool Walk(GenAttrBase* top, const std::function<bool(GenAttrBase*, std::size_t, bool)>& enter,
            std::size_t maxVisits) const {
    std::vector<GenAttrBase*> path;
    std::size_t visits = 0;
    return WalkBelow(top, 0, path, enter, visits, maxVisits);
  }

  // Compares every held node's children, read through its cursor, with the
  // chains of the model: links appended at the end of the chain a node
  // reaches, put in front of it, or reached through a reference made when the
  // chain was not empty. A destroyed node that had been referenced ends the
  // model's validity (its references then keep only what they own).
  void CheckModel() const {
    if (!mModelValid) {
      return;
    }
    for (GenAttrBase* node : Held()) {
      std::vector<GenAttrBase*> modelled;
      for (int link = mFirst.at(node); link >= 0; link = mLinks[link].next) {
        modelled.push_back(mLinks[link].child);
      }
      std::vector<GenAttrBase*> actual;
      for (GenAttrBase* c = node->GetFirstAttr(); c != nullptr; c = node->GetNextAttr()) {
        actual.push_back(c);
      }
      FUZZ_CHECK(actual == modelled);
    }
  }

  void Destroyed(const GenAttrBase* node) {
    if (mReferenced.count(node) != 0) {
      mModelValid = false;
    }
  }

  // A name: from a small set most of the time, so that names repeat.
  std::string Name() {
    static const char* const common[] = {"", "a", "b", "a b", "x/y", "1st", "-", "\xE9t\xE9"};
    const std::uint8_t pick = mIn.Byte();
    if (pick < 160) {
      return common[pick % 8];
    }
    if (pick < 170) {
      return std::string(256 + mIn.Byte(), 'n');
    }
    return mIn.Text(24);
  }

  // A hostile 8-bit text: markup, quotes, control characters, bytes from
  // 0x80 up, line ends, UTF-8 and broken UTF-8.
  std::string Text() {
    static const char* const pieces[] = {"&",   "<",     ">",        "\"",           "'",    "\t",
                                         "\n",  "\r",    "\x01",     "\x7F",         "\xE9", "\xFF",
                                         "]]>", "&amp;", "\xC3\xA9", "\xED\xA0\x80", "v",    " "};
    const std::uint8_t pick = mIn.Byte();
    if (pick < 128) {
      std::string text;
      for (int n = pick % 6; n > 0; --n) {
        text += pieces[mIn.Byte() % (sizeof(pieces) / sizeof(pieces[0]))];
      }
      return text;
    }
    return mIn.Text(32);
  }

  // A hostile wide text: surrogates paired and alone, units above U+FFFF
  // and above U+10FFFF, negative units, characters XML cannot carry.
  std::wstring WideText() {
    static const wchar_t units[] = {L'w',     L'&',   L'<',   L'"',   0x01,   0xE9,    0x20AC,
                                    0xD83D,   0xDE00, 0xD800, 0xDFFF, 0xFFFE, 0x1F600, 0x10FFFF,
                                    0x110000, L'\r',  L'\n',  L'\t',  -1};
    std::wstring text;
    for (int n = mIn.Byte() % 8; n > 0; --n) {
      const std::uint8_t pick = mIn.Byte();
      if (pick < 200) {
        text += units[pick % (sizeof(units) / sizeof(units[0]))];
      } else {
        const auto unit = mIn.Raw<wchar_t>();
        text += unit != 0 ? unit : L'0';
      }
    }
    return text;
  }

  // A deep copy of `source` by the copy constructor of its own class (or of
  // GenAttrBase).
  static GenAttrBase* Copy(const GenAttrBase* source, bool plain) {
    switch (plain ? Base : source->GetType()) {
    case String:
      return new Tracked<GenAttrString>(static_cast<const GenAttrString*>(source));
    case Float:
      return new Tracked<GenAttrFloat>(static_cast<const GenAttrFloat*>(source));
    case Double:
      return new Tracked<GenAttrDouble>(static_cast<const GenAttrDouble*>(source));
    case Int:
      return new Tracked<GenAttrInt>(static_cast<const GenAttrInt*>(source));
    case Cont:
      return new Tracked<GenAttrCont>(static_cast<const GenAttrCont*>(source));
    case UnicodeString:
      return new Tracked<GenAttrUnicodeString>(static_cast<const GenAttrUnicodeString*>(source));
    case Ptr:
      return new Tracked<GenAttrPtr>(static_cast<const GenAttrPtr*>(source));
    default:
      return new Tracked<GenAttrBase>(source);
    }
  }

private:
  struct Link {
    GenAttrBase* child;
    int next;
  };

  std::size_t PickIndex() {
    // The next held node from a position the input chooses; the root is
    // always held.
    std::size_t i = mIn.Below(static_cast<std::uint32_t>(mPool.size()));
    while (mPool[i] == nullptr) {
      i = (i + 1) % mPool.size();
    }
    return i;
  }

  void Hold(GenAttrBase* node) {
    node->AddRef();
    mPool.push_back(node);
    mFirst[node] = -1;
  }

  // A node of a class the input chooses, with a value.
  GenAttrBase* Make() {
    const std::string name = Name();
    const std::string description = Text();
    const char* desc = mIn.Byte() % 3 == 0 ? nullptr : description.c_str();
    switch (mIn.Byte() % 8) {
    case String:
      return new Tracked<GenAttrString>(name.c_str(), desc, Text().c_str());
    case Float:
      return new Tracked<GenAttrFloat>(name.c_str(), desc, Number<float>());
    case Double:
      return new Tracked<GenAttrDouble>(name.c_str(), desc, Number<double>());
    case Int:
      return new Tracked<GenAttrInt>(name.c_str(), desc, Number<int>());
    case Cont: {
      auto* cont = new Tracked<GenAttrCont>(name.c_str(), desc);
      if (mIn.Byte() % 2 == 0) {
        cont->SetId(Text().c_str());
      }
      return cont;
    }
    case UnicodeString:
      return new Tracked<GenAttrUnicodeString>(name.c_str(), desc, WideText().c_str());
    case Ptr:
      return new Tracked<GenAttrPtr>(name.c_str(), desc,
                                     reinterpret_cast<void*>(mIn.Raw<std::uintptr_t>()));
    default:
      return desc != nullptr ? new Tracked<GenAttrBase>(name.c_str(), desc)
                             : new Tracked<GenAttrBase>(name.c_str());
    }
  }

  // A small number most of the time, any bit pattern (NaN, infinities,
  // values too wide for the value buffer) now and then.
  template <typename T> T Number() {
    const std::uint8_t pick = mIn.Byte();
    if (pick < 128) {
      return static_cast<T>(static_cast<int>(pick) - 64) / static_cast<T>(pick % 3 + 1);
    }
    return mIn.Raw<T>();
  }

  void ModelAppend(GenAttrBase* parent, GenAttrBase* child) {
    mLinks.push_back(Link{child, -1});
    const int added = static_cast<int>(mLinks.size()) - 1;
    int& first = mFirst[parent];
    if (first < 0) {
      first = added;
      return;
    }
    int last = first;
    while (mLinks[last].next >= 0) {
      last = mLinks[last].next;
    }
    mLinks[last].next = added;
  }

  void ModelPrepend(GenAttrBase* parent, GenAttrBase* child) {
    int& first = mFirst[parent];
    mLinks.push_back(Link{child, first});
    first = static_cast<int>(mLinks.size()) - 1;
  }

  // Number of nodes a deep copy of `source` makes, up to `limit`.
  std::size_t CopySize(GenAttrBase* source, std::size_t limit) {
    if (!Record(limit, {source})) {
      return limit;
    }
    std::size_t size = 0;
    Walk(
        source,
        [&size](GenAttrBase*, std::size_t, bool) {
          ++size;
          return true;
        },
        limit);
    return size;
  }

  void Step() {
    switch (mIn.Byte() % 13) {
    case 0:
    case 1:
      if (mPool.size() < 48) {
        Hold(Make());
      }
      break;
    case 2:
    case 3:
    case 4: {
      // Older to younger only (see the header); through a reference the link
      // lands in the chain of a node older still.
      const std::size_t parent = PickIndex();
      const std::size_t child = PickIndex();
      if (parent < child) {
        if (mIn.Byte() % 3 == 0) {
          mPool[parent]->AddAttrAtTop(mPool[child]);
          ModelPrepend(mPool[parent], mPool[child]);
        } else {
          mPool[parent]->AddAttr(mPool[child]);
          ModelAppend(mPool[parent], mPool[child]);
        }
      }
      break;
    }
    case 5: {
      GenAttrBase* parent = Pick();
      parent->AddAttr(mRoot);
      ModelAppend(parent, mRoot);
      break;
    }
    case 6:
      if (mPool.size() < 48) {
        GenAttrBase* target = Pick();
        const std::string name = Name();
        GenAttrBase* reference = nullptr;
        if (target->GetType() == Cont) {
          reference = new Tracked<GenAttrCont>(name.c_str(), static_cast<GenAttrCont*>(target));
        } else {
          reference = new Tracked<GenAttrBase>(name.c_str(), target);
        }
        mReferenced.insert(target);
        Hold(reference);
        mFirst[reference] = mFirst[target];
      }
      break;
    case 7:
      if (mPool.size() < 48) {
        GenAttrBase* source = Pick();
        const bool plain = mIn.Byte() % 4 == 0;
        const std::size_t size = CopySize(source, COPY_BUDGET - mCopied + 1);
        if (mCopied + size <= COPY_BUDGET) {
          mCopied += size;
          GenAttrBase* copy = Copy(source, plain);
          Hold(copy);
          // The copied children are new nodes: the model takes them as made.
          for (GenAttrBase* c = copy->GetFirstAttr(); c != nullptr; c = copy->GetNextAttr()) {
            ModelAppend(copy, c);
          }
        }
      }
      break;
    case 8: {
      const std::size_t i = PickIndex();
      if (i != 0) {
        GenAttrBase* node = mPool[i];
        mPool[i] = nullptr;
        node->UnRef();
      }
      break;
    }
    case 9:
      SetFromOwnText(*Pick());
      break;
    case 10:
      SetNumber(*Pick());
      break;
    case 11: {
      // Lookups must not move cursors, writers leave them past the end.
      GenAttrBase* node = Pick();
      if (node->GetFirstAttr() != nullptr) {
        for (int n = mIn.Byte() % 4; n > 0; --n) {
          node->GetNextAttr();
        }
      }
      break;
    }
    default:
      if (mIn.Byte() % 2 == 0) {
        GenAttr_EnableCatiaJtUtfTransfer();
      } else {
        GenAttr_DisableCatiaJtUtfTransfer();
      }
      break;
    }
  }

  // Setters given a text inside the node's own current text, or a new one.
  void SetFromOwnText(GenAttrBase& node) {
    const bool own = mIn.Byte() % 2 == 0;
    const std::size_t skip = mIn.Byte();
    auto inside = [skip](const char* text) { return text + std::min(skip, std::strlen(text)); };
    switch (mIn.Byte() % 3) {
    case 0:
      node.SetName(own ? inside(node.GetName()) : Name().c_str());
      return;
    case 1:
      if (own && node.GetDescription() != nullptr) {
        node.SetDescription(inside(node.GetDescription()));
      } else {
        node.SetDescription(Text().c_str());
      }
      return;
    default:
      break;
    }
    switch (node.GetType()) {
    case String: {
      auto& string = static_cast<GenAttrString&>(node);
      string.SetValue(own ? inside(string.GetValue()) : Text().c_str());
      return;
    }
    case UnicodeString: {
      auto& wide = static_cast<GenAttrUnicodeString&>(node);
      const wchar_t* value = wide.GetValue();
      wide.SetValue(own ? value + std::min(skip, std::wcslen(value)) : WideText().c_str());
      return;
    }
    case Cont: {
      auto& cont = static_cast<GenAttrCont&>(node);
      if (own && cont.GetId() != nullptr) {
        cont.SetId(inside(cont.GetId()));
      } else {
        cont.SetId(Text().c_str());
      }
      return;
    }
    default:
      return;
    }
  }

  void SetNumber(GenAttrBase& node) {
    switch (node.GetType()) {
    case Int:
      static_cast<GenAttrInt&>(node).SetValue(Number<int>());
      return;
    case Float:
      static_cast<GenAttrFloat&>(node).SetValue(Number<float>());
      return;
    case Double:
      static_cast<GenAttrDouble&>(node).SetValue(Number<double>());
      return;
    case Ptr:
      static_cast<GenAttrPtr&>(node).SetValue(reinterpret_cast<void*>(mIn.Raw<std::uintptr_t>()));
      return;
    default:
      return;
    }
  }

  bool WalkBelow(GenAttrBase* node, std::size_t level, std::vector<GenAttrBase*>& path,
                 const std::function<bool(GenAttrBase*, std::size_t, bool)>& enter,
                 std::size_t& visits, std::size_t maxVisits) const {
    if (++visits > maxVisits) {
      return false;
    }
    const bool again = std::find(path.begin(), path.end(), node) != path.end();
    if (!enter(node, level, again) || again) {
      return true;
    }
    path.push_back(node);
    for (GenAttrBase* child : Children(node)) {
      if (!WalkBelow(child, level + 1, path, enter, visits, maxVisits)) {
        return false;
      }
    }
    path.pop_back();
    return true;
  }

  // Nodes all deep copies of one input may make together.
  static constexpr std::size_t COPY_BUDGET = 2000;

  FuzzInput& mIn;
  GenAttrBase* mRoot = nullptr;
  std::vector<GenAttrBase*> mPool; // index = age; null once given back
  std::size_t mCopied = 0;

  std::vector<Link> mLinks;
  std::unordered_map<const GenAttrBase*, int> mFirst;
  std::set<const GenAttrBase*> mReferenced;
  bool mModelValid = true;

  std::unordered_map<GenAttrBase*, std::vector<GenAttrBase*>> mChildren;
  std::vector<GenAttrBase*> mRecorded;
};

inline void detail::NodeDestroyed(const GenAttrBase* node) {
  if (FuzzTree* tree = CurrentTree()) {
    tree->Destroyed(node);
  }
}

} // namespace fuzz

#endif // GENATTR_FUZZ_FUZZTREE_H
