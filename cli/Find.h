// Finding nodes by name, value and type. Internal.
#ifndef GENATTR_CLI_FIND_H
#define GENATTR_CLI_FIND_H

#include <cstdint>
#include <ostream>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

// What a node must have to be found; a null text or a negative type matches all.
struct FindFilter {
  const char* name = nullptr;  // equal byte for byte, as GetAllAttr() compares
  const char* value = nullptr; // equal to GetValueAsString(), as GetAllAttr() compares
  int type = -1;               // a GenAttrType
};

// Writes the NodePath.h path of every node below `root` that passes `filter`,
// one per line, in pre-order; the root itself is never a result. The children
// of a reference are found where its container stands. Returns the count.
std::uint64_t FindNodes(GenAttrBase* root, const FindFilter& filter, std::ostream& out);

// The GenAttrType named `name` as GetTypeAsString() names it ("Int", "Cont",
// ...); false for any other text.
bool TypeFromName(const char* name, int* type);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_FIND_H
