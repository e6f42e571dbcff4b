// How nodes held by Python objects end, and what lazy iterators rely on.
#include <cstddef>
#include <vector>

#include "python/NodeRef.h"

namespace genattr_python {

namespace {

struct Lifetime {
  std::uint64_t mGeneration = 0;
  std::size_t mLiveIterators = 0;
  // Nodes whose last count waits for the last live iterator to end.
  std::vector<GenAttrBase*> mDeferred;
};

// Never destroyed: Python objects may give back their counts while the
// interpreter shuts down, after static destructors would have run.
Lifetime& State() {
  static auto* state = new Lifetime();
  return *state;
}

} // namespace

std::uint64_t& EditGeneration() {
  return State().mGeneration;
}

void Release(GenAttrBase* node) {
  if (node == nullptr) {
    return;
  }
  Lifetime& state = State();
  if (state.mLiveIterators > 0 && node->GetRefCount() <= 1 &&
      (node->HasChildren() != 0 || node->IsReference() != 0)) {
    state.mDeferred.push_back(node);
    return;
  }
  node->UnRef();
}

IterationScope::IterationScope() {
  ++State().mLiveIterators;
}

void IterationScope::End() {
  if (!mLive) {
    return;
  }
  mLive = false;
  Lifetime& state = State();
  if (--state.mLiveIterators == 0) {
    // Taken out first: a release may run while the list is being worked off.
    std::vector<GenAttrBase*> deferred;
    deferred.swap(state.mDeferred);
    for (GenAttrBase* node : deferred) {
      node->UnRef();
    }
  }
}

} // namespace genattr_python
