#include "common/process_allocator.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace trelix {

bool KeepFreedMemoryForReuse() {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, "glibc.malloc.")) return false;
  constexpr int kLargestHeapBlock = 16 << 20;
  constexpr int kKeptHeapTop = 32 << 20;
  // Both: a fixed mapping threshold alone still hands the top back, a kept
  // top alone still maps the larger blocks afresh.
  return mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1 && mallopt(M_TRIM_THRESHOLD, kKeptHeapTop) == 1;
}

}  // namespace trelix
