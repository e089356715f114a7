#pragma once
// Process-wide counts of the connector's cache traffic, for a host's metrics.

#include <atomic>
#include <cstdint>

namespace trelix::base {

struct CacheCounters {
  std::atomic<uint64_t> hits{0};    // GetCachedRecordset that found an entry
  std::atomic<uint64_t> misses{0};  // GetCachedRecordset on a non-zero handle that found none
  std::atomic<uint64_t> stores{0};  // CacheRecordset on a non-zero handle
};

CacheCounters& ProcessCacheCounters();

}  // namespace trelix::base
