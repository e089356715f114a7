#include <gtest/gtest.h>

#include "common/process_allocator.h"

namespace trelix {
namespace {

// An operator's own malloc setting must win over the process default, and
// only for the parameter it names.
TEST(ProcessAllocator, FindsOnlyTheTunableNamed) {
  const struct {
    const char* tunables;
    bool mmap_threshold_set;
  } cases[] = {
      {"", false},
      {"glibc.malloc.mmap_threshold=1048576", true},
      {"glibc.malloc.tcache_count=1000:glibc.malloc.mmap_threshold=65536", true},
      {"glibc.malloc.mmap_threshold=65536:glibc.malloc.tcache_count=1000", true},
      {"glibc.malloc.tcache_count=1000", false},
      {"glibc.malloc.mmap_threshold_max=1", false},   // a longer name
      {"xglibc.malloc.mmap_threshold=1", false},      // inside another name
      {"glibc.malloc.mmap_threshold", false},         // no value
      {"glibc.malloc.trim_threshold=1:", false},
      {"glibc.malloc.perturb_xxxxxx=glibc.malloc.mmap_threshold", false},  // only in a value
      {"glibc.mem.tagging=1::glibc.malloc.mmap_threshold=1", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GlibcTunableSet(c.tunables, "glibc.malloc.mmap_threshold"), c.mmap_threshold_set) << c.tunables;
  }
}

}  // namespace
}  // namespace trelix
