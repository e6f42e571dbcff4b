#include "genattr/GenAttrUtfTransfer.h"

namespace {

bool gUtfTransferEnabled = false;

} // namespace

void GenAttr_EnableCatiaJtUtfTransfer() {
  gUtfTransferEnabled = true;
}

void GenAttr_DisableCatiaJtUtfTransfer() {
  gUtfTransferEnabled = false;
}

bool GenAttr_CatiaJtUtfTransferEnabled() {
  return gUtfTransferEnabled;
}
