#include "base/trace.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

namespace trelix::base {
namespace {

struct TraceState {
  std::mutex mutex;  // also serialises sink calls, so lines never interleave
  std::shared_ptr<TraceSink> sink;
  std::atomic<bool> enabled{false};
};

TraceState& State() {
  static TraceState state;
  return state;
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Emit(const TraceEvent& event) {
  TraceState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.sink) (*state.sink)(event);
}

}  // namespace

void SetTraceSink(TraceSink sink) {
  TraceState& state = State();
  std::lock_guard lock(state.mutex);
  state.sink = sink ? std::make_shared<TraceSink>(std::move(sink)) : nullptr;
  state.enabled.store(state.sink != nullptr, std::memory_order_release);
}

bool TracingEnabled() { return State().enabled.load(std::memory_order_acquire); }

std::string TraceJsonLine(const TraceEvent& event) {
  nlohmann::ordered_json line;
  line["op"] = std::string(event.op);
  line["database"] = std::string(event.database);
  line["text"] = std::string(event.text);
  line["handle"] = event.handle;
  line["ms"] = std::round(event.ms * 1000.0) / 1000.0;
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Status TraceToFile(const std::string& path) {
  std::FILE* raw = std::fopen(path.c_str(), "a");
  if (!raw) return Status::IOError("Cannot open the trace file " + path);
  std::shared_ptr<std::FILE> file(raw, [](std::FILE* f) { std::fclose(f); });
  SetTraceSink([file](const TraceEvent& event) {
    std::string line = TraceJsonLine(event);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), file.get());
    std::fflush(file.get());
  });
  return Status::Ok();
}

TraceScope::TraceScope(std::string_view op, std::string_view database, std::string_view text, int32_t handle)
    : active_(TracingEnabled()) {
  if (!active_) return;
  event_ = TraceEvent{op, database, text, handle, 0};
  start_ns_ = NowNs();
}

TraceScope::~TraceScope() {
  if (!active_) return;
  event_.ms = static_cast<double>(NowNs() - start_ns_) / 1e6;
  Emit(event_);
}

}  // namespace trelix::base
