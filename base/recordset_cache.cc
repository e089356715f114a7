#include "base/recordset_cache.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/memory_cache.h"
#include "base/redis_cache.h"
#include "common/com_error.h"

namespace trelix::base {
namespace {

constexpr size_t kDefaultMemoryBytes = 64u << 20;

struct CacheState {
  std::mutex mutex;
  std::shared_ptr<RecordsetCache> cache;
  CacheReporter reporter;
};

CacheState& State() {
  static CacheState state;
  return state;
}

Result<std::shared_ptr<RecordsetCache>> MakeCache(std::string_view url) {
  if (url.empty() || url == "memory") return std::shared_ptr<RecordsetCache>(std::make_shared<MemoryCache>(kDefaultMemoryBytes));
  if (url.substr(0, 7) == "memory:") {
    std::string_view size = url.substr(7);
    unsigned long megabytes = 0;
    auto [ptr, ec] = std::from_chars(size.data(), size.data() + size.size(), megabytes);
    if (ec != std::errc() || ptr != size.data() + size.size() || megabytes == 0 || megabytes > (1ul << 20)) {
      return Status::InvalidArgument("Invalid cache size in '" + std::string(url) + "': expected memory:MEGABYTES");
    }
    return std::shared_ptr<RecordsetCache>(std::make_shared<MemoryCache>(static_cast<size_t>(megabytes) << 20));
  }
  if (url.substr(0, 8) == "redis://") {
    auto address = ParseRedisUrl(url);
    if (!address.ok()) return address.status();
    return std::shared_ptr<RecordsetCache>(std::make_shared<RedisCache>(address.value()));
  }
  return Status::InvalidArgument("Invalid cache '" + std::string(url) +
                                 "': expected memory, memory:MEGABYTES or redis://HOST:PORT[/DB]");
}

}  // namespace

Status ConfigureCache(std::string_view url) {
  auto cache = MakeCache(url);
  if (!cache.ok()) return cache.status();
  CacheState& state = State();
  std::lock_guard lock(state.mutex);
  state.cache = std::move(cache.value());
  return Status::Ok();
}

std::shared_ptr<RecordsetCache> ProcessCache() {
  CacheState& state = State();
  {
    std::lock_guard lock(state.mutex);
    if (state.cache) return state.cache;
  }
  const char* env = std::getenv("TRELIX_CACHE");
  auto cache = MakeCache(env ? env : "");
  if (!cache.ok()) {
    ReportCacheProblem("TRELIX_CACHE ignored: " + cache.status().message());
    cache = MakeCache("");
  }
  std::lock_guard lock(state.mutex);
  if (!state.cache) state.cache = std::move(cache.value());
  return state.cache;
}

void SetCacheReporter(CacheReporter reporter) {
  CacheState& state = State();
  std::lock_guard lock(state.mutex);
  state.reporter = std::move(reporter);
}

void ReportCacheProblem(std::string_view message) {
  CacheReporter reporter;
  {
    CacheState& state = State();
    std::lock_guard lock(state.mutex);
    reporter = state.reporter;
  }
  if (reporter) {
    reporter(message);
  } else {
    std::fprintf(stderr, "trelix_eb: cache: %.*s\n", static_cast<int>(message.size()), message.data());
  }
}

RecordsetRef LoadCachedXml(std::string_view xml, std::string_view what) {
  std::string problem;
  try {
    RecordsetRef recordset = Recordset::LoadXml(xml);
    if (recordset) return recordset;
    problem = "no recordset";
  } catch (const ComError& error) {
    problem = error.description();
  } catch (const std::exception& error) {
    problem = error.what();
  }
  ReportCacheProblem("cached entry '" + std::string(what.substr(0, 200)) + "' does not load (" + problem +
                     "); treated as a miss");
  return nullptr;
}

}  // namespace trelix::base
