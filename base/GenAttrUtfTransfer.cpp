#include "genattr/GenAttrUtfTransfer.h"

#include "base/LibraryState.h"

// Release and acquire: a thread that sees the switch turned on also sees
// what the host did before turning it on.
void GenAttr_EnableCatiaJtUtfTransfer() {
  genattr::detail::UtfTransferSwitch().store(true, std::memory_order_release);
}

void GenAttr_DisableCatiaJtUtfTransfer() {
  genattr::detail::UtfTransferSwitch().store(false, std::memory_order_release);
}

bool GenAttr_CatiaJtUtfTransferEnabled() {
  return genattr::detail::UtfTransferSwitch().load(std::memory_order_acquire);
}
