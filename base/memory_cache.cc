#include "base/memory_cache.h"

namespace trelix::base {

MemoryCache::MemoryCache(size_t max_bytes) : max_bytes_(max_bytes) {}

std::string MemoryCache::FlatKey(const CacheScope& scope, std::string_view key) {
  std::string flat = std::to_string(scope.handle);
  flat.push_back('\x1f');
  flat.append(scope.connection);
  flat.push_back('\x1f');
  // Database names compare ignoring case, as SQL Server's do.
  for (char c : scope.database) flat.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  flat.push_back('\x1f');
  flat.append(key);
  return flat;
}

void MemoryCache::Put(const CacheScope& scope, std::string_view key, std::string recordset_xml) {
  Store(FlatKey(scope, key), std::move(recordset_xml));
}

RecordsetRef MemoryCache::Get(const CacheScope& scope, std::string_view key) {
  return Lookup(FlatKey(scope, key));
}

std::string MemoryCache::Describe() const { return "memory (" + std::to_string(max_bytes_) + " bytes)"; }

void MemoryCache::Store(std::string key, std::string recordset_xml, RecordsetRef parsed) {
  auto entry = std::make_shared<Entry>();
  entry->key = std::move(key);
  entry->xml = std::move(recordset_xml);
  entry->parsed = std::move(parsed);
  // The text, the parsed rows (about as large) and the JSON answer the
  // service may keep with those rows (smaller than the XML text).
  entry->charge = entry->key.size() + 3 * entry->xml.size() + 64;
  if (entry->charge > max_bytes_) {
    Erase(entry->key);  // too big to keep; an older text must not answer for it
    return;
  }
  std::lock_guard lock(mutex_);
  if (auto found = index_.find(entry->key); found != index_.end()) {
    bytes_ -= (*found->second)->charge;
    const List::iterator old = found->second;
    index_.erase(found);  // before the entry owning the key's text goes
    lru_.erase(old);
  }
  lru_.push_front(entry);
  index_.emplace(std::string_view(entry->key), lru_.begin());
  bytes_ += entry->charge;
  EvictLocked();
}

void MemoryCache::EvictLocked() {
  while (bytes_ > max_bytes_ && !lru_.empty()) {
    const std::shared_ptr<Entry>& last = lru_.back();
    bytes_ -= last->charge;
    index_.erase(std::string_view(last->key));
    lru_.pop_back();
  }
}

RecordsetRef MemoryCache::Lookup(const std::string& key, const std::string* expected_text) {
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(mutex_);
    auto found = index_.find(std::string_view(key));
    if (found == index_.end()) return nullptr;
    lru_.splice(lru_.begin(), lru_, found->second);
    entry = *found->second;
  }
  if (expected_text && entry->xml != *expected_text) return nullptr;
  RecordsetRef copy;
  {
    std::lock_guard lock(entry->mutex);
    if (!entry->parsed) entry->parsed = LoadCachedXml(entry->xml, key.substr(key.rfind('\x1f') + 1));
    // A recordset serves one thread at a time: copies are made under the lock.
    if (entry->parsed) copy = entry->parsed->Clone();
  }
  if (!copy) {
    // Drop the bad text (unless a newer one replaced it meanwhile).
    std::lock_guard lock(mutex_);
    auto found = index_.find(std::string_view(key));
    if (found != index_.end() && *found->second == entry) {
      bytes_ -= entry->charge;
      const List::iterator old = found->second;
      index_.erase(found);
      lru_.erase(old);
    }
  }
  return copy;
}

void MemoryCache::Erase(const std::string& key) {
  std::lock_guard lock(mutex_);
  auto found = index_.find(std::string_view(key));
  if (found == index_.end()) return;
  bytes_ -= (*found->second)->charge;
  const List::iterator old = found->second;
  index_.erase(found);
  lru_.erase(old);
}

size_t MemoryCache::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

size_t MemoryCache::entries() const {
  std::lock_guard lock(mutex_);
  return lru_.size();
}

}  // namespace trelix::base
