#include "tests/capi/test_free.h"

#include "genattr/GenAttrBase.h"

void test_free(GenAttrHandle* node) {
  GenAttrBase::Free(node);
}
