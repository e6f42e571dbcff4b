// How building a tree from a document went, shared by the element decoder
// and the reference resolver. Internal to genattr_xml.
#ifndef GENATTR_XML_BUILDSTATUS_H
#define GENATTR_XML_BUILDSTATUS_H

#include <string>

#include "genattr/GenAttrXMLReader.h"

namespace genattr {
namespace xml {

// The first failure of a build, with its status and message. Decoding an
// element and resolving references each record here what they find wrong;
// the first failure wins, as a later one may only follow from it.
class BuildStatus {
public:
  void Fail(GenAttrReadStatus status, const char* message) {
    if (mStatus == GENATTR_READ_OK) {
      mStatus = status;
      mMessage = message;
    }
  }
  bool Failed() const { return mStatus != GENATTR_READ_OK; }
  GenAttrReadStatus Status() const { return mStatus; }
  // The message of the failure; "" while there is none.
  const char* Message() const { return mMessage.c_str(); }

private:
  GenAttrReadStatus mStatus = GENATTR_READ_OK;
  std::string mMessage;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_BUILDSTATUS_H
