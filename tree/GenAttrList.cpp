#include "genattr/GenAttrList.h"

GenAttrList::~GenAttrList() = default;

void GenAttrList::Free(GenAttrList* list) {
  delete list;
}
