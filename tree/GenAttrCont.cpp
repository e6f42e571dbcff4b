#include "genattr/GenAttrCont.h"

#include "tree/OwnedText.h"

using genattr::detail::CopyOptionalText;
using genattr::detail::ReplaceOptionalText;

GenAttrCont::GenAttrCont(const char* name) : GenAttrBase(name), mpId(nullptr) {
  mType = Cont;
}

GenAttrCont::GenAttrCont(const char* name, const char* description)
    : GenAttrBase(name, description), mpId(nullptr) {
  mType = Cont;
}

GenAttrCont::GenAttrCont(const char* name, GenAttrCont* referenced)
    : GenAttrBase(name, static_cast<GenAttrBase*>(referenced)),
      mpId(referenced != nullptr ? CopyOptionalText(referenced->mpId) : nullptr) {
  mType = Cont;
}

// A copy never takes the id, neither at its top nor below.
GenAttrCont::GenAttrCont(const GenAttrCont* source) : GenAttrBase(source), mpId(nullptr) {
  mType = Cont;
}

GenAttrCont::~GenAttrCont() {
  genattr::detail::ReleaseText(mpId);
}

const char* GenAttrCont::GetId() const {
  return mpId;
}

void GenAttrCont::SetId(const char* id) {
  ReplaceOptionalText(mpId, id);
}
