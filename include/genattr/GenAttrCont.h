// A container node with an optional id.
#ifndef GENATTR_GENATTRCONT_H
#define GENATTR_GENATTRCONT_H

#include "genattr/GenAttrBase.h"

// Type code Cont (5). A container has no value, only an optional id, which names
// it in the plain-text listing.
class GENATTR_API GenAttrCont : public GenAttrBase {
public:
  // A container without id.
  explicit GenAttrCont(const char* name);
  GenAttrCont(const char* name, const char* description);
  // A reference container: shares the child chain of `referenced` (see
  // GenAttrBase) and holds its own copy of the id `referenced` has now, if any.
  GenAttrCont(const char* name, GenAttrCont* referenced);
  // Deep copy of `source` with its subtree; the copy has no id.
  explicit GenAttrCont(const GenAttrCont* source);
  GenAttrCont(const GenAttrCont&) = delete;
  GenAttrCont& operator=(const GenAttrCont&) = delete;

  // The id, or null; borrowed until the next SetId() or the node's end.
  const char* GetId() const;
  // Stores a copy of `id`, which may point into the current id.
  void SetId(const char* id);

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrCont() override;

  char* mpId;
};

#endif // GENATTR_GENATTRCONT_H
