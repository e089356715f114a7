// The VBScript expression engine on a fresh engine per input.
#include <cstddef>
#include <cstdint>

#include "common/vbscript_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trelix::vbscript::FuzzEvalVbScript(data, size);
  return 0;
}
