// Node-for-node and shape comparison of two attribute trees, for the reader's
// round-trip tests and fuzz target.
#ifndef GENATTR_TESTS_SUPPORT_TREECOMPARE_H
#define GENATTR_TESTS_SUPPORT_TREECOMPARE_H

#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "genattr/GenAttr.h"
#include "tree/SharedChains.h"
#include "tree/TreeAccess.h"

namespace genattr_test {

// The node whose chain `node` shares (its owner), or null for a node that
// shares none.
inline const GenAttrBase* SharedOwner(const GenAttrBase& node) {
  const GenAttrRefInfo* info = GenAttrTreeAccess::RefInfo(node);
  return info != nullptr ? info->mpOwner : nullptr;
}

// Compares `expected` and `actual` and their subtrees: type, name,
// description (absent or not), value (Float and Double bit for bit, a Ptr of
// `actual` null), id, UTF flag, reference flag, children in order; and the
// shape: the same node of `expected` always meets the same node of `actual`
// and the other way round, a sharing reference shares the chain of the
// corresponding node, and every node below the roots has the same count.
// Returns "" or a description of the first difference.
class TreeCompare {
public:
  std::string Compare(GenAttrBase* expected, GenAttrBase* actual) {
    std::vector<std::pair<GenAttrBase*, GenAttrBase*>> work{{expected, actual}};
    bool root = true;
    while (!work.empty()) {
      auto [a, b] = work.back();
      work.pop_back();
      if (!Pair(a, b)) {
        return mWhy;
      }
      if (!Node(*a, *b, root)) {
        return mWhy;
      }
      root = false;
      // Visited once: the first meeting compares the subtree.
      if (!mVisited.emplace(a, true).second) {
        continue;
      }
      std::vector<GenAttrBase*> ca, cb;
      for (GenAttrBase* c = a->GetFirstAttr(); c != nullptr; c = a->GetNextAttr()) {
        ca.push_back(c);
      }
      for (GenAttrBase* c = b->GetFirstAttr(); c != nullptr; c = b->GetNextAttr()) {
        cb.push_back(c);
      }
      if (ca.size() != cb.size()) {
        return Why(*a, "number of children " + std::to_string(ca.size()) + " vs " +
                           std::to_string(cb.size()));
      }
      for (std::size_t i = ca.size(); i-- > 0;) {
        work.emplace_back(ca[i], cb[i]);
      }
    }
    // Sharing: checked once all pairs are known.
    for (const auto& [a, b] : mForward) {
      const GenAttrBase* oa = SharedOwner(*a);
      const GenAttrBase* ob = SharedOwner(*b);
      if ((oa == nullptr) != (ob == nullptr)) {
        return Why(*a, "shares a chain on one side only");
      }
      if (oa != nullptr) {
        const auto found = mForward.find(const_cast<GenAttrBase*>(oa));
        if (found == mForward.end() || found->second != ob) {
          return Why(*a, "shares the chain of another node");
        }
      }
    }
    return "";
  }

private:
  bool Pair(GenAttrBase* a, GenAttrBase* b) {
    const auto fa = mForward.emplace(a, b);
    const auto fb = mBackward.emplace(b, a);
    if (fa.first->second != b || fb.first->second != a) {
      mWhy = Why(*a, "shape: one node meets two different nodes");
      return false;
    }
    return true;
  }

  bool Node(const GenAttrBase& a, const GenAttrBase& b, bool root) {
    if (a.GetType() != b.GetType()) {
      return Fail(a, "type");
    }
    if (std::strcmp(a.GetName(), b.GetName()) != 0) {
      return Fail(a, std::string("name vs ") + b.GetName());
    }
    const char* da = a.GetDescription();
    const char* db = b.GetDescription();
    if ((da == nullptr) != (db == nullptr) || (da != nullptr && std::strcmp(da, db) != 0)) {
      return Fail(a, "description");
    }
    if (a.IsReference() != b.IsReference()) {
      return Fail(a, "reference flag");
    }
    if (!root && a.GetRefCount() != b.GetRefCount()) {
      return Fail(a, "count " + std::to_string(a.GetRefCount()) + " vs " +
                         std::to_string(b.GetRefCount()));
    }
    switch (a.GetType()) {
    case String: {
      const auto& sa = static_cast<const GenAttrString&>(a);
      const auto& sb = static_cast<const GenAttrString&>(b);
      if (std::strcmp(sa.GetValue(), sb.GetValue()) != 0 ||
          sa.isUtfEncoded() != sb.isUtfEncoded()) {
        return Fail(a, "String value or flag");
      }
      break;
    }
    case UnicodeString: {
      const auto& sa = static_cast<const GenAttrUnicodeString&>(a);
      const auto& sb = static_cast<const GenAttrUnicodeString&>(b);
      if (std::wcscmp(sa.GetValue(), sb.GetValue()) != 0 ||
          sa.isUtfEncoded() != sb.isUtfEncoded()) {
        return Fail(a, "UnicodeString value or flag");
      }
      break;
    }
    case Int:
      if (static_cast<const GenAttrInt&>(a).GetValue() !=
          static_cast<const GenAttrInt&>(b).GetValue()) {
        return Fail(a, "Int value");
      }
      break;
    case Float: {
      const float fa = static_cast<const GenAttrFloat&>(a).GetValue();
      const float fb = static_cast<const GenAttrFloat&>(b).GetValue();
      if (std::memcmp(&fa, &fb, sizeof fa) != 0) {
        return Fail(a, "Float bits");
      }
      break;
    }
    case Double: {
      const double fa = static_cast<const GenAttrDouble&>(a).GetValue();
      const double fb = static_cast<const GenAttrDouble&>(b).GetValue();
      if (std::memcmp(&fa, &fb, sizeof fa) != 0) {
        return Fail(a, "Double bits");
      }
      break;
    }
    case Ptr:
      if (static_cast<const GenAttrPtr&>(b).GetValue() != nullptr) {
        return Fail(a, "Ptr read back not null");
      }
      break;
    case Cont: {
      const char* ia = static_cast<const GenAttrCont&>(a).GetId();
      const char* ib = static_cast<const GenAttrCont&>(b).GetId();
      if ((ia == nullptr) != (ib == nullptr) || (ia != nullptr && std::strcmp(ia, ib) != 0)) {
        return Fail(a, "id");
      }
      break;
    }
    default:
      break;
    }
    return true;
  }

  bool Fail(const GenAttrBase& node, const std::string& what) {
    mWhy = Why(node, what);
    return false;
  }
  static std::string Why(const GenAttrBase& node, const std::string& what) {
    std::ostringstream out;
    out << "node \"" << node.GetName() << "\": " << what;
    return out.str();
  }

  std::unordered_map<GenAttrBase*, GenAttrBase*> mForward, mBackward;
  std::unordered_map<GenAttrBase*, bool> mVisited;
  std::string mWhy;
};

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_TREECOMPARE_H
