#pragma once
// RedisCache: recordset texts in Redis, shared by every process of a site.
//
// Key: "trelix:<handle>:<database>:<hash of the connection string>:<key>"
// (the hash keeps passwords in connection strings out of the key space).
// Entries do not expire; bound the server with maxmemory and an LRU policy.
//
// Redis down (left to the implementer): a get is a miss and a put is
// dropped, both reported once when the server becomes unreachable and once
// when it answers again; while it is down, calls do not wait on it but
// retry the connection at most once a second. A page is then served from
// the database, only slower.
//
// Parsed copies of recently read texts are kept in process (a MemoryCache),
// used only when Redis returns exactly the text they were parsed from, so a
// hit costs one GET and a comparison of texts instead of an XML parse.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/memory_cache.h"
#include "base/recordset_cache.h"

struct redisContext;

namespace trelix::base {

struct RedisAddress {
  std::string host;
  uint16_t port = 6379;
  int database = 0;
  std::string user;
  std::string password;
};

// "redis://[[USER]:PASSWORD@]HOST[:PORT][/DB]".
Result<RedisAddress> ParseRedisUrl(std::string_view url);

class RedisCache : public RecordsetCache {
 public:
  explicit RedisCache(RedisAddress address, size_t parsed_bytes = 32u << 20);
  ~RedisCache() override;

  void Put(const CacheScope& scope, std::string_view key, std::string recordset_xml) override;
  RecordsetRef Get(const CacheScope& scope, std::string_view key) override;
  std::string Describe() const override;

  static std::string RedisKey(const CacheScope& scope, std::string_view key);

 private:
  struct Reply;
  // Runs one command; nullopt when Redis cannot be reached or fails.
  // GET of a missing key gives an empty optional inside (`found` false).
  struct Outcome {
    bool found = false;
    std::string value;
  };
  std::optional<Outcome> Command(const std::vector<std::string_view>& arguments);
  redisContext* Connect(std::string& error);
  void MarkDown(const std::string& error);
  void MarkUp();

  const RedisAddress address_;
  MemoryCache parsed_;
  std::mutex mutex_;
  std::vector<redisContext*> idle_;
  bool down_ = false;
  std::chrono::steady_clock::time_point retry_after_{};
};

}  // namespace trelix::base
