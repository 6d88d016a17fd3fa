// libFuzzer entry of the unshrink target; what the input means is described in FuzzTargets.h.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return corvina::fuzz::FuzzUnshrink(data, size);
}
