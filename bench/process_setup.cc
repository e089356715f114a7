// The benchmarks run with the allocator set as the service and the CLI set
// it, so that their figures are the product's.
#include "common/process_allocator.h"

namespace {
[[maybe_unused]] const bool kAllocatorSet = trelix::KeepFreedMemoryForReuse();
}  // namespace
