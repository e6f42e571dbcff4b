// Umbrella header of the genattr library: every exported class, constant and
// switch function.
#ifndef GENATTR_GENATTR_H
#define GENATTR_GENATTR_H

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrList.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrSerializer.h"
#include "genattr/GenAttrSerializerFactory.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"
#include "genattr/GenAttrUtfTransfer.h"
#include "genattr/GenAttrXMLSerializer.h"

#endif // GENATTR_GENATTR_H
