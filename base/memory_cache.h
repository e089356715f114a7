#pragma once
// MemoryCache: the in-process recordset cache. Least recently used entries
// go first once the texts exceed the byte bound. Thread-safe.
//
// Beside each text the cache keeps the recordset parsed from it (on the
// first get), so a hit costs a copy of that recordset, not an XML parse; the
// copy shares the parsed cells until the caller writes to it, so a hit costs
// no row copies either. An entry is charged twice its text length plus its
// key, for that parsed copy.

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/recordset_cache.h"

namespace trelix::base {

class MemoryCache : public RecordsetCache {
 public:
  explicit MemoryCache(size_t max_bytes);

  void Put(const CacheScope& scope, std::string_view key, std::string recordset_xml) override;
  RecordsetRef Get(const CacheScope& scope, std::string_view key) override;
  std::string Describe() const override;

  // The same by a flat key (the Redis cache keeps its parsed copies here),
  // optionally with the recordset already parsed from the text.
  void Store(std::string key, std::string recordset_xml, RecordsetRef parsed = nullptr);
  // A copy of the recordset under `key`; with `expected_text`, only when the
  // stored text is exactly that text.
  RecordsetRef Lookup(const std::string& key, const std::string* expected_text = nullptr);
  void Erase(const std::string& key);

  size_t bytes() const;
  size_t entries() const;

 private:
  struct Entry {
    std::string key;
    std::string xml;
    size_t charge = 0;
    std::mutex mutex;  // guards parsed: one thread parses, others wait and copy
    RecordsetRef parsed;
  };
  using List = std::list<std::shared_ptr<Entry>>;

  static std::string FlatKey(const CacheScope& scope, std::string_view key);
  void EvictLocked();

  const size_t max_bytes_;
  mutable std::mutex mutex_;
  List lru_;  // most recent first
  std::unordered_map<std::string_view, List::iterator> index_;  // views into Entry::key
  size_t bytes_ = 0;
};

}  // namespace trelix::base
