/* Releases a tree for the C test program, which cannot reach GenAttrBase::Free
 * of the class interface itself. */
#ifndef GENATTR_TESTS_CAPI_TEST_FREE_H
#define GENATTR_TESTS_CAPI_TEST_FREE_H

#include "genattr/genattr_c.h"

#ifdef __cplusplus
extern "C" {
#endif

/* GenAttrBase::Free on `node`: gives back one count, so an unlinked root goes
 * with its whole tree. */
void test_free(GenAttrHandle* node);

#ifdef __cplusplus
}
#endif

#endif /* GENATTR_TESTS_CAPI_TEST_FREE_H */
