// The one-operator formula evaluator. Its failures go through the procedure
// error log, pointed here at a folder that does not exist so that the
// fuzzer neither fills a disk nor slows down on writes (a failed write is
// ignored by design).
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Utilitys.h"
#include "common/com_error.h"
#include "common/modVelloxLITE.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  trelix::SetComponentPathOverride("/nonexistent-trelix-fuzz/trelix_eb.so");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    (void)trelix::Calculate(trelix::Variant(std::string(reinterpret_cast<const char*>(data), size)));
  } catch (const trelix::ComError&) {
  }
  return 0;
}
