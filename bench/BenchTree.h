// The trees every tree benchmark works on, built alike for genattr and for
// pugixml, and the names and values the lookups search for.
#ifndef GENATTR_BENCH_BENCHTREE_H
#define GENATTR_BENCH_BENCHTREE_H

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "genattr/GenAttr.h"

namespace bench {

// Fanout 10 and depth 6: containers on levels 0 to 5 (111,111 of them) and a
// million leaves on level 6.
constexpr int kFanout = 10;
constexpr int kDepth = 6;
constexpr long kContainers = 111111;
constexpr long kLeaves = 1000000;
constexpr long kTreeNodes = kContainers + kLeaves;

// Leaf k in pre-order (0 to 999,999) holds, by k % 3, the Int k, the Double
// k + 0.5 or the String "s<k>". The last leaf, 999,999, is an Int.
constexpr int kLastIntLeaf = 999999;

// Child i of every node is named "n<i>", containers and leaves alike, so the
// last int leaf is named "n9" and lies at this path below the root.
constexpr const char* kLastLeafName = "n9";
constexpr const char* kLastLeafPath = "n9/n9/n9/n9/n9/n9";

// "n0" to "n<count - 1>", ready for use as names.
const char* ChildName(int index);

// The tree as genattr nodes: a GenAttrCont root named "root", owned by the
// caller (GenAttrBase::Free). Another `depth` gives the same tree with leaves
// on that level (10^depth of them).
GenAttrBase* BuildGenAttrTree(int depth = kDepth);

// The same tree in `doc` (cleared first): one element per node, below a root
// element "root", each leaf value in the attribute "value".
void BuildPugiTree(pugi::xml_document& doc);

// The tree a user would otherwise write by hand: a name, a value as text and
// the owned children.
struct PlainNode {
  std::string name;
  std::string value;
  std::vector<std::unique_ptr<PlainNode>> children;

  PlainNode() = default;
  explicit PlainNode(const char* nodeName) : name(nodeName) {}
  // A deep copy.
  PlainNode(const PlainNode& other);
  PlainNode& operator=(const PlainNode&) = delete;
};

// The same tree as plain nodes, the leaf values as their texts; each child
// list reserved for its ten children, or grown as it comes; leaves on level
// `depth`.
std::unique_ptr<PlainNode> BuildPlainTree(bool reserve = true, int depth = kDepth);

} // namespace bench

#endif // GENATTR_BENCH_BENCHTREE_H
