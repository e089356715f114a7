#include "app/http_metrics.h"

#include <sstream>

#include "base/cache_counters.h"

namespace trelix::app {

void ServiceMetrics::RecordRequest(const std::string& operation, int status, double seconds) {
  std::lock_guard lock(mutex_);
  OperationStats& stats = operations_[operation];
  ++stats.by_status[status];
  ++stats.count;
  stats.sum += seconds;
  for (size_t i = 0; i < kBuckets.size(); ++i) {
    if (seconds <= kBuckets[i]) ++stats.buckets[i];
  }
}

void ServiceMetrics::RecordComponentError(int32_t number) {
  std::lock_guard lock(mutex_);
  ++errors_[number];
}

void ServiceMetrics::RecordVotes(int complete, int abort) {
  std::lock_guard lock(mutex_);
  votes_complete_ += complete;
  votes_abort_ += abort;
}

std::string ServiceMetrics::Render() const {
  std::ostringstream out;
  std::lock_guard lock(mutex_);
  out << "# HELP trelix_requests_total HTTP requests by operation and status.\n"
      << "# TYPE trelix_requests_total counter\n";
  for (const auto& [operation, stats] : operations_) {
    for (const auto& [status, count] : stats.by_status) {
      out << "trelix_requests_total{operation=\"" << operation << "\",status=\"" << status << "\"} " << count << "\n";
    }
  }
  out << "# HELP trelix_request_seconds Request latency by operation.\n"
      << "# TYPE trelix_request_seconds histogram\n";
  for (const auto& [operation, stats] : operations_) {
    for (size_t i = 0; i < kBuckets.size(); ++i) {
      out << "trelix_request_seconds_bucket{operation=\"" << operation << "\",le=\"" << kBuckets[i] << "\"} "
          << stats.buckets[i] << "\n";
    }
    out << "trelix_request_seconds_bucket{operation=\"" << operation << "\",le=\"+Inf\"} " << stats.count << "\n"
        << "trelix_request_seconds_sum{operation=\"" << operation << "\"} " << stats.sum << "\n"
        << "trelix_request_seconds_count{operation=\"" << operation << "\"} " << stats.count << "\n";
  }
  out << "# HELP trelix_component_errors_total Component errors by error number.\n"
      << "# TYPE trelix_component_errors_total counter\n";
  for (const auto& [number, count] : errors_) {
    out << "trelix_component_errors_total{number=\"" << number << "\"} " << count << "\n";
  }
  out << "# HELP trelix_completion_votes_total Completion votes cast in the calls' object contexts.\n"
      << "# TYPE trelix_completion_votes_total counter\n"
      << "trelix_completion_votes_total{vote=\"complete\"} " << votes_complete_ << "\n"
      << "trelix_completion_votes_total{vote=\"abort\"} " << votes_abort_ << "\n";
  const base::CacheCounters& cache = base::ProcessCacheCounters();
  out << "# HELP trelix_cache_lookups_total Recordset cache lookups by result.\n"
      << "# TYPE trelix_cache_lookups_total counter\n"
      << "trelix_cache_lookups_total{result=\"hit\"} " << cache.hits.load() << "\n"
      << "trelix_cache_lookups_total{result=\"miss\"} " << cache.misses.load() << "\n"
      << "# HELP trelix_cache_stores_total Recordsets stored in the cache.\n"
      << "# TYPE trelix_cache_stores_total counter\n"
      << "trelix_cache_stores_total " << cache.stores.load() << "\n";
  return out.str();
}

}  // namespace trelix::app
