// The T-SQL dialect translator, to every dialect.
#include <cstddef>
#include <cstdint>

#include "base/sql/translator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trelix::sql::FuzzTranslate(data, size);
  return 0;
}
