// The general entities a document declares, as far as the reader needs them:
// which are external, how deep their expansions nest, and which reference no
// declaration provides. Internal to genattr_xml.
#ifndef GENATTR_XML_ENTITIES_H
#define GENATTR_XML_ENTITIES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace genattr {
namespace xml {

class EntityTable {
public:
  // Expansions nested deeper are refused: expat recurses once per level, on
  // the stack of whichever thread reads.
  static constexpr int MAX_DEPTH = 64;

  enum class Verdict {
    Accepted,
    Recursive, // the entity's expansion would contain itself
    TooDeep,   // some expansion through it nests beyond MAX_DEPTH
  };
  // Notes the declaration of general entity `name`: internal with the
  // replacement text [value, value + length), or external when `value` is
  // null. Depths are checked as each declaration comes, because expat
  // expands entities in attribute defaults before the subset ends.
  Verdict Declare(const char* name, const char* value, std::size_t length);

  // The external entity among the open ones that expat lists in `context`
  // (names separated by form feeds; only that one is external, as nothing
  // external is ever opened), or "" if none.
  std::string ExternalIn(const char* context) const;

  // The first reference in the UTF-8 text [begin, end), or inside the
  // replacement texts of declared entities it references, to a name that no
  // declaration provides; "" if there is none.
  std::string FirstUndeclared(const char* begin, const char* end) const;

private:
  struct Entity {
    bool declared = false;
    bool external = false;
    int depth = 0; // expansions nested in one of this entity's, itself included
    std::vector<std::uint32_t> refs;
    std::vector<std::uint32_t> referrers;
  };
  std::uint32_t IndexOf(const std::string& name);
  const Entity* Find(const std::string& name) const;

  std::unordered_map<std::string, std::uint32_t> mIndex;
  std::vector<Entity> mEntities;
  std::vector<std::string> mNames;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_ENTITIES_H
