#include "common/process_allocator.h"

#include <malloc.h>

#include <cstdlib>

namespace trelix {

bool GlibcTunableSet(std::string_view tunables, std::string_view name) {
  while (!tunables.empty()) {
    const size_t end = tunables.find(':');
    const std::string_view item = tunables.substr(0, end);
    if (item.size() > name.size() && item.substr(0, name.size()) == name && item[name.size()] == '=') return true;
    if (end == std::string_view::npos) break;
    tunables.remove_prefix(end + 1);
  }
  return false;
}

bool KeepFreedMemoryForReuse() {
  constexpr int kLargestHeapBlock = 16 << 20;
  constexpr int kKeptHeapTop = 32 << 20;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  // Both: a fixed mapping threshold alone still hands the top back, a kept
  // top alone still maps the larger blocks afresh.
  bool ok = true;
  if (!tunables || !GlibcTunableSet(tunables, "glibc.malloc.mmap_threshold")) {
    ok = mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1 && ok;
  }
  if (!tunables || !GlibcTunableSet(tunables, "glibc.malloc.trim_threshold")) {
    ok = mallopt(M_TRIM_THRESHOLD, kKeptHeapTop) == 1 && ok;
  }
  return ok;
}

}  // namespace trelix
