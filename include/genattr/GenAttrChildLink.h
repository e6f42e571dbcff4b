// One link of a node's child chain.
#ifndef GENATTR_GENATTRCHILDLINK_H
#define GENATTR_GENATTRCHILDLINK_H

class GenAttrBase;

// One parent-to-child link. The parent allocates it when a child is added and
// releases it when the child is removed or the parent is destroyed; the link
// holds one count of its child.
struct GenAttrChildLink {
  GenAttrBase* mpAttr;
  GenAttrChildLink* mpNext;
  GenAttrChildLink* mpPrev;
};

#endif // GENATTR_GENATTRCHILDLINK_H
