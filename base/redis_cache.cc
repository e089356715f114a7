#include "base/redis_cache.h"

#include <hiredis/hiredis.h>

#include <charconv>
#include <cstdio>

namespace trelix::base {
namespace {

constexpr auto kRetryInterval = std::chrono::seconds(1);
constexpr size_t kMaxIdleConnections = 8;

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

bool ParseNumber(std::string_view text, unsigned long& out) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

}  // namespace

Result<RedisAddress> ParseRedisUrl(std::string_view url) {
  auto bad = [&] {
    return Status::InvalidArgument("Invalid Redis address '" + std::string(url) +
                                   "': expected redis://HOST[:PORT][/DB]");
  };
  constexpr std::string_view kPrefix = "redis://";
  if (url.substr(0, kPrefix.size()) != kPrefix) return bad();
  std::string_view rest = url.substr(kPrefix.size());
  RedisAddress address;
  if (size_t at = rest.rfind('@'); at != std::string_view::npos) {
    std::string_view credentials = rest.substr(0, at);
    rest.remove_prefix(at + 1);
    size_t colon = credentials.find(':');
    if (colon == std::string_view::npos) {
      address.password = std::string(credentials);
    } else {
      address.user = std::string(credentials.substr(0, colon));
      address.password = std::string(credentials.substr(colon + 1));
    }
  }
  if (size_t slash = rest.find('/'); slash != std::string_view::npos) {
    unsigned long db = 0;
    std::string_view db_text = rest.substr(slash + 1);
    if (!db_text.empty()) {
      if (!ParseNumber(db_text, db) || db > 1000000) return bad();
      address.database = static_cast<int>(db);
    }
    rest = rest.substr(0, slash);
  }
  std::string_view port_text;
  if (!rest.empty() && rest.front() == '[') {  // [IPv6]:port
    size_t close = rest.find(']');
    if (close == std::string_view::npos) return bad();
    std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return bad();
      port_text = after.substr(1);
      if (port_text.empty()) return bad();
    }
    rest = rest.substr(1, close - 1);
  } else if (size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    port_text = rest.substr(colon + 1);
    if (port_text.empty()) return bad();
    rest = rest.substr(0, colon);
  }
  if (!port_text.empty()) {
    unsigned long port = 0;
    if (!ParseNumber(port_text, port) || port == 0 || port > 65535) return bad();
    address.port = static_cast<uint16_t>(port);
  }
  if (rest.empty()) return bad();
  address.host = std::string(rest);
  return address;
}

RedisCache::RedisCache(RedisAddress address, size_t parsed_bytes)
    : address_(std::move(address)), parsed_(parsed_bytes) {}

RedisCache::~RedisCache() {
  for (redisContext* context : idle_) redisFree(context);
}

std::string RedisCache::Describe() const {
  return "redis://" + address_.host + ":" + std::to_string(address_.port) + "/" + std::to_string(address_.database);
}

std::string RedisCache::RedisKey(const CacheScope& scope, std::string_view key) {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(scope.connection)));
  std::string out = "trelix:" + std::to_string(scope.handle) + ":";
  for (char c : scope.database) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  out += ":";
  out += hash;
  out += ":";
  out.append(key);
  return out;
}

redisContext* RedisCache::Connect(std::string& error) {
  const timeval connect_timeout{0, 500000};
  redisContext* context = redisConnectWithTimeout(address_.host.c_str(), address_.port, connect_timeout);
  if (!context || context->err) {
    error = context ? context->errstr : "out of memory";
    if (context) redisFree(context);
    return nullptr;
  }
  const timeval command_timeout{1, 0};
  redisSetTimeout(context, command_timeout);
  auto run = [&](std::vector<std::string> words) {
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const auto& w : words) {
      argv.push_back(w.data());
      lengths.push_back(w.size());
    }
    auto* reply = static_cast<redisReply*>(
        redisCommandArgv(context, static_cast<int>(argv.size()), argv.data(), lengths.data()));
    bool ok = reply && reply->type != REDIS_REPLY_ERROR;
    if (!ok) error = reply ? std::string(reply->str, reply->len) : std::string(context->errstr);
    if (reply) freeReplyObject(reply);
    return ok;
  };
  if (!address_.password.empty()) {
    bool ok = address_.user.empty() ? run({"AUTH", address_.password}) : run({"AUTH", address_.user, address_.password});
    if (!ok) {
      redisFree(context);
      return nullptr;
    }
  }
  if (address_.database != 0 && !run({"SELECT", std::to_string(address_.database)})) {
    redisFree(context);
    return nullptr;
  }
  return context;
}

void RedisCache::MarkDown(const std::string& error) {
  bool report = false;
  {
    std::lock_guard lock(mutex_);
    report = !down_;
    down_ = true;
    retry_after_ = std::chrono::steady_clock::now() + kRetryInterval;
  }
  if (report) {
    ReportCacheProblem("Redis cache at " + Describe() + " unavailable (" + error +
                       "); gets miss and puts are dropped until it answers");
  }
}

void RedisCache::MarkUp() {
  bool report = false;
  {
    std::lock_guard lock(mutex_);
    report = down_;
    down_ = false;
  }
  if (report) ReportCacheProblem("Redis cache at " + Describe() + " answers again");
}

std::optional<RedisCache::Outcome> RedisCache::Command(const std::vector<std::string_view>& arguments) {
  redisContext* context = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (down_ && std::chrono::steady_clock::now() < retry_after_) return std::nullopt;
    if (!idle_.empty()) {
      context = idle_.back();
      idle_.pop_back();
    }
  }
  std::string error;
  if (!context) {
    context = Connect(error);
    if (!context) {
      MarkDown(error);
      return std::nullopt;
    }
  }
  std::vector<const char*> argv;
  std::vector<size_t> lengths;
  for (std::string_view a : arguments) {
    argv.push_back(a.data());
    lengths.push_back(a.size());
  }
  auto* reply = static_cast<redisReply*>(
      redisCommandArgv(context, static_cast<int>(argv.size()), argv.data(), lengths.data()));
  if (!reply) {
    // The connection broke (server gone, timeout): never reuse it.
    error = context->errstr;
    redisFree(context);
    MarkDown(error);
    return std::nullopt;
  }
  Outcome outcome;
  bool ok = true;
  if (reply->type == REDIS_REPLY_STRING) {
    outcome.found = true;
    outcome.value.assign(reply->str, reply->len);
  } else if (reply->type == REDIS_REPLY_ERROR) {
    ok = false;
    error.assign(reply->str, reply->len);
  }
  freeReplyObject(reply);
  {
    std::lock_guard lock(mutex_);
    if (idle_.size() < kMaxIdleConnections) {
      idle_.push_back(context);
      context = nullptr;
    }
  }
  if (context) redisFree(context);
  MarkUp();
  if (!ok) {
    // The server answered but refused (out of memory, wrong type): report
    // every time, as it says something about this entry.
    ReportCacheProblem("Redis cache at " + Describe() + " refused a command: " + error);
    return std::nullopt;
  }
  return outcome;
}

void RedisCache::Put(const CacheScope& scope, std::string_view key, std::string recordset_xml) {
  const std::string redis_key = RedisKey(scope, key);
  // The parsed copy is made by the first get, which has to read the text
  // from Redis anyway (another process may have replaced it).
  parsed_.Erase(redis_key);
  Command({"SET", redis_key, recordset_xml});
}

RecordsetRef RedisCache::Get(const CacheScope& scope, std::string_view key) {
  const std::string redis_key = RedisKey(scope, key);
  auto outcome = Command({"GET", redis_key});
  if (!outcome || !outcome->found) {
    parsed_.Erase(redis_key);
    return nullptr;
  }
  if (RecordsetRef hit = parsed_.Lookup(redis_key, &outcome->value)) return hit;
  // Another process wrote it, or our parsed copy was evicted: parse it now
  // and keep it for the next get of the same text.
  RecordsetRef loaded = LoadCachedXml(outcome->value, key);
  if (!loaded) return nullptr;
  RecordsetRef copy = loaded->Clone();
  parsed_.Store(redis_key, std::move(outcome->value), std::move(loaded));
  return copy;
}

}  // namespace trelix::base
