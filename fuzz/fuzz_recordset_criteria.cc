// Filter, Find and Sort criteria on a recordset of every comparable type.
#include <cstddef>
#include <cstdint>

#include "common/recordset_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trelix::FuzzRecordsetCriteria(data, size);
  return 0;
}
