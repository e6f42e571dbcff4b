// The process-wide UTF transfer switch.
#ifndef GENATTR_GENATTRUTFTRANSFER_H
#define GENATTR_GENATTRUTFTRANSFER_H

#include "genattr/Export.h"

// String nodes sample the switch whenever their value is set and record it as
// their UTF flag; changing the switch never alters existing nodes. Off at load.
// One switch for all threads, read and written atomically, and the host's
// alone: set it before threads start, since a string node made on another
// thread while it changes takes either value. The library, its reader, the
// command and the bindings never turn it on or off; nodes they make with a
// flag of their own (a typed document's ga:utf, a Python text) are flagged
// directly.
GENATTR_API void GenAttr_EnableCatiaJtUtfTransfer();
GENATTR_API void GenAttr_DisableCatiaJtUtfTransfer();
GENATTR_API bool GenAttr_CatiaJtUtfTransferEnabled();

#endif // GENATTR_GENATTRUTFTRANSFER_H
