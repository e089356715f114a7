#pragma once
// Counters of the HTTP service in the Prometheus text format: requests and a
// latency histogram per operation, component errors by number, completion
// votes, and the connector's cache hits and misses. Thread-safe.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace trelix::app {

class ServiceMetrics {
 public:
  // Records one request of `operation` ("specs", "health", ...) that ended
  // with HTTP `status` after `seconds`.
  void RecordRequest(const std::string& operation, int status, double seconds);
  void RecordComponentError(int32_t number);
  void RecordVotes(int complete, int abort);

  // The whole exposition text.
  std::string Render() const;

  // Upper bounds of the latency histogram, in seconds.
  static constexpr std::array<double, 12> kBuckets = {0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005,
                                                      0.01,   0.025,   0.05,   0.1,   0.5,    2.5};

 private:
  struct OperationStats {
    std::map<int, uint64_t> by_status;
    std::array<uint64_t, kBuckets.size()> buckets{};
    uint64_t count = 0;
    double sum = 0;
  };

  mutable std::mutex mutex_;
  std::map<std::string, OperationStats> operations_;
  std::map<int32_t, uint64_t> errors_;
  uint64_t votes_complete_ = 0;
  uint64_t votes_abort_ = 0;
};

}  // namespace trelix::app
