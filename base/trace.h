#pragma once
// The connector's call trace: one event per connector call, in call order,
// for the command line's --trace and for tests. Process-wide and
// thread-safe; off (and free) until a sink is set.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/status.h"

namespace trelix::base {

struct TraceEvent {
  std::string_view op;        // ExecuteQuery, ExecuteShape, GetCachedRecordset, CacheRecordset
  std::string_view database;
  std::string_view text;      // the statement or the cache key exactly as passed
  int32_t handle = 0;         // the cache handle; 0 for statements
  double ms = 0;              // time the call took, failed calls included
};

using TraceSink = std::function<void(const TraceEvent&)>;

// Sets the sink every event goes to; nullptr turns tracing off.
void SetTraceSink(TraceSink sink);
bool TracingEnabled();

// Appends one JSON line per event to `path` (created if missing), e.g.
// {"op":"ExecuteQuery","database":"demo_project","text":"SELECT ...","handle":0,"ms":0.42}
Status TraceToFile(const std::string& path);

// The JSON line of an event, without the newline. Invalid UTF-8 in the
// text becomes U+FFFD.
std::string TraceJsonLine(const TraceEvent& event);

// Times one connector call and emits its event when it ends (also when it
// ends by an error).
class TraceScope {
 public:
  TraceScope(std::string_view op, std::string_view database, std::string_view text, int32_t handle);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  bool active_;
  TraceEvent event_;
  int64_t start_ns_ = 0;
};

}  // namespace trelix::base
