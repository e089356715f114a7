// The XML persistence loader: what loads must save and load again.
#include <cstddef>
#include <cstdint>

#include "common/recordset_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trelix::FuzzRecordsetXml(data, size);
  return 0;
}
