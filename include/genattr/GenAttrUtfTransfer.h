// The process-wide UTF transfer switch.
#ifndef GENATTR_GENATTRUTFTRANSFER_H
#define GENATTR_GENATTRUTFTRANSFER_H

#include "genattr/Export.h"

// String nodes sample the switch whenever their value is set and record it as
// their UTF flag; changing the switch never alters existing nodes. Off at load.
// One switch for all threads, read and written atomically: any thread may
// change it while others create string nodes.
GENATTR_API void GenAttr_EnableCatiaJtUtfTransfer();
GENATTR_API void GenAttr_DisableCatiaJtUtfTransfer();
GENATTR_API bool GenAttr_CatiaJtUtfTransferEnabled();

#endif // GENATTR_GENATTRUTFTRANSFER_H
