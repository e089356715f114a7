#pragma once
// RoundRobinCache: a handful of values kept under their text keys, for the
// per-thread caches of things parsed from text that repeats from call to
// call (the same few schemas, the same few commands). Lookup is a linear
// scan, which for a handful of entries beats hashing the key; once full,
// a new entry replaces the oldest one. Not thread-safe: keep one per thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelix {

template <typename Value, size_t kCapacity = 8>
class RoundRobinCache {
 public:
  // The value kept under `key`, or null.
  const Value* Find(std::string_view key) const {
    for (const Entry& entry : entries_) {
      if (entry.key == key) return &entry.value;
    }
    return nullptr;
  }

  // Keeps `value` under `key` (the caller has found no entry for it) and
  // returns the kept value.
  const Value& Keep(std::string key, Value value) {
    Entry entry{std::move(key), std::move(value)};
    if (entries_.size() < kCapacity) {
      entries_.push_back(std::move(entry));
      return entries_.back().value;
    }
    Entry& slot = entries_[next_slot_];
    next_slot_ = (next_slot_ + 1) % kCapacity;
    slot = std::move(entry);
    return slot.value;
  }

 private:
  struct Entry {
    std::string key;
    Value value;
  };
  std::vector<Entry> entries_;
  size_t next_slot_ = 0;
};

}  // namespace trelix
