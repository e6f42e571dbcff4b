#include "xml/Entities.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace genattr {
namespace xml {

namespace {

// The five entities every document has; they are characters, never expanded.
bool IsPredefined(const std::string& name) {
  return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

// Where the comment, CDATA section or processing instruction that starts at
// `at` ends (`end` when it does not); `at` itself when none starts there.
// Their '&' is text, never a reference.
const char* PastOpaqueMarkup(const char* at, const char* end) {
  static constexpr std::string_view kKinds[][2] = {
      {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  const std::string_view text(at, static_cast<std::size_t>(end - at));
  for (const auto& [open, close] : kKinds) {
    if (text.compare(0, open.size(), open) == 0) {
      const std::size_t found = text.find(close, open.size());
      return found == std::string_view::npos ? end : at + found + close.size();
    }
  }
  return at;
}

// Calls `visit` with the name of each entity reference in [begin, end) until
// it returns true. A replacement text has its character references already
// resolved, so every '&' left in it outside comments, CDATA sections and
// processing instructions starts a reference.
template <class Visit> bool EachReference(const char* begin, const char* end, Visit visit) {
  for (const char* at = begin; at != end; ++at) {
    if (*at == '<') {
      const char* past = PastOpaqueMarkup(at, end);
      if (past != at) {
        at = past - 1;
        continue;
      }
    }
    if (*at != '&' || end - at < 3 || at[1] == '#') {
      continue;
    }
    const char* name = at + 1;
    const char* stop = name;
    while (stop != end && *stop != ';' && *stop != '&' && *stop != '<' &&
           static_cast<unsigned char>(*stop) > ' ') {
      ++stop;
    }
    if (stop == end || *stop != ';' || stop == name) {
      continue;
    }
    const std::string found(name, stop);
    if (!IsPredefined(found) && visit(found)) {
      return true;
    }
    at = stop;
  }
  return false;
}

} // namespace

std::uint32_t EntityTable::IndexOf(const std::string& name) {
  const auto found = mIndex.find(name);
  if (found != mIndex.end()) {
    return found->second;
  }
  const auto index = static_cast<std::uint32_t>(mEntities.size());
  mEntities.emplace_back();
  mNames.push_back(name);
  mIndex.emplace(name, index);
  return index;
}

const EntityTable::Entity* EntityTable::Find(const std::string& name) const {
  const auto found = mIndex.find(name);
  return found == mIndex.end() ? nullptr : &mEntities[found->second];
}

EntityTable::Verdict EntityTable::Declare(const char* name, const char* value, std::size_t length) {
  const std::uint32_t index = IndexOf(name);
  if (mEntities[index].declared) {
    // expat reports only the first declaration, which is the one that counts.
    return Verdict::Accepted;
  }
  mEntities[index].declared = true;
  mEntities[index].external = value == nullptr;
  std::vector<std::uint32_t> refs;
  if (value != nullptr) {
    std::unordered_set<std::uint32_t> seen;
    bool recursive = false;
    EachReference(value, value + length, [&](const std::string& ref) {
      const std::uint32_t target = IndexOf(ref);
      recursive = target == index;
      if (!recursive && seen.insert(target).second) {
        refs.push_back(target);
        mEntities[target].referrers.push_back(index);
      }
      return recursive;
    });
    if (recursive) {
      return Verdict::Recursive;
    }
  }
  int depth = 1;
  for (const std::uint32_t ref : refs) {
    const Entity& target = mEntities[ref];
    if (target.declared && target.depth + 1 > depth) {
      depth = target.depth + 1;
    }
  }
  mEntities[index].refs = std::move(refs);
  mEntities[index].depth = depth;
  if (depth > MAX_DEPTH) {
    return Verdict::TooDeep;
  }
  // Entities declared earlier that reference this one nest deeper now. A
  // depth only grows, and stops at the limit, so each entity is raised at
  // most MAX_DEPTH times; coming back to this one means a loop.
  std::vector<std::uint32_t> raised{index};
  while (!raised.empty()) {
    const std::uint32_t from = raised.back();
    raised.pop_back();
    const int next = mEntities[from].depth + 1;
    for (const std::uint32_t referrer : mEntities[from].referrers) {
      Entity& entity = mEntities[referrer];
      if (!entity.declared || next <= entity.depth) {
        continue;
      }
      if (referrer == index) {
        return Verdict::Recursive;
      }
      entity.depth = next;
      if (next > MAX_DEPTH) {
        return Verdict::TooDeep;
      }
      raised.push_back(referrer);
    }
  }
  return Verdict::Accepted;
}

std::string EntityTable::ExternalIn(const char* context) const {
  if (context == nullptr) {
    return std::string();
  }
  for (const char* at = context;;) {
    const char* end = std::strchr(at, '\f');
    const std::string name = end == nullptr ? std::string(at) : std::string(at, end);
    const Entity* entity = Find(name);
    if (entity != nullptr && entity->declared && entity->external) {
      return name;
    }
    if (end == nullptr) {
      return std::string();
    }
    at = end + 1;
  }
}

std::string EntityTable::FirstUndeclared(const char* begin, const char* end) const {
  std::vector<bool> visited(mEntities.size());
  struct Step {
    std::uint32_t entity;
    std::size_t next;
  };
  std::vector<Step> path;
  std::string undeclared;
  EachReference(begin, end, [&](const std::string& name) {
    const auto found = mIndex.find(name);
    if (found == mIndex.end() || !mEntities[found->second].declared) {
      undeclared = name;
      return true;
    }
    // Depth first, in the order the expansion meets the references.
    path.assign(1, Step{found->second, 0});
    while (!path.empty()) {
      Step& step = path.back();
      const Entity& entity = mEntities[step.entity];
      if (step.next == entity.refs.size()) {
        path.pop_back();
        continue;
      }
      const std::uint32_t ref = entity.refs[step.next++];
      if (!mEntities[ref].declared) {
        undeclared = mNames[ref];
        return true;
      }
      if (!visited[ref] && !mEntities[ref].external) {
        visited[ref] = true;
        path.push_back(Step{ref, 0});
      }
    }
    return false;
  });
  return undeclared;
}

} // namespace xml
} // namespace genattr
