// The process-wide translation cache behind TranslateCached.
//
// Bounded by two generations: lookups read the current one under a shared
// lock; when it is full it becomes the old one (the previous old one is
// dropped) and a hit there moves the entry back. Recently used statements
// survive, and no lookup writes anything, so readers never contend.

#include <atomic>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "base/sql/translator.h"

namespace trelix::sql {
namespace {

// A generation holds at most this many entries or bytes of statement text.
constexpr size_t kMaxEntries = 4096;
constexpr size_t kMaxBytes = 8u << 20;
// Longer statements are translated every time rather than kept.
constexpr size_t kMaxCachedStatement = 64u << 10;

struct KeyView {
  Dialect dialect;
  std::string_view scope;
  std::string_view text;
};

struct Key {
  Dialect dialect;
  std::string scope;
  std::string text;
};

struct KeyHash {
  using is_transparent = void;
  size_t operator()(const KeyView& k) const {
    size_t h = std::hash<std::string_view>{}(k.text);
    if (!k.scope.empty()) h ^= std::hash<std::string_view>{}(k.scope) * 0x9e3779b97f4a7c15ull;
    return h + static_cast<size_t>(k.dialect);
  }
  size_t operator()(const Key& k) const { return (*this)(KeyView{k.dialect, k.scope, k.text}); }
};

struct KeyEq {
  using is_transparent = void;
  static KeyView View(const Key& k) { return KeyView{k.dialect, k.scope, k.text}; }
  static KeyView View(const KeyView& k) { return k; }
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    const KeyView x = View(a), y = View(b);
    return x.dialect == y.dialect && x.text == y.text && x.scope == y.scope;
  }
};

using Map = std::unordered_map<Key, std::shared_ptr<const Translation>, KeyHash, KeyEq>;

class TranslationCache {
 public:
  std::shared_ptr<const Translation> Find(const KeyView& key) {
    {
      std::shared_lock lock(mu_);
      if (auto it = current_.find(key); it != current_.end()) return it->second;
      if (old_.find(key) == old_.end()) return nullptr;
    }
    std::unique_lock lock(mu_);
    if (auto it = current_.find(key); it != current_.end()) return it->second;
    auto it = old_.find(key);
    if (it == old_.end()) return nullptr;
    auto value = it->second;
    auto node = old_.extract(it);
    InsertLocked(std::move(node.key()), value);
    return value;
  }

  void Insert(const KeyView& key, std::shared_ptr<const Translation> value) {
    std::unique_lock lock(mu_);
    if (current_.find(key) != current_.end()) return;
    InsertLocked(Key{key.dialect, std::string(key.scope), std::string(key.text)}, std::move(value));
  }

  void Clear() {
    std::unique_lock lock(mu_);
    current_.clear();
    old_.clear();
    current_bytes_ = 0;
  }

 private:
  void InsertLocked(Key key, std::shared_ptr<const Translation> value) {
    const size_t bytes = key.text.size() + key.scope.size() + value->text.size();
    if (current_.size() >= kMaxEntries || current_bytes_ + bytes > kMaxBytes) {
      old_ = std::move(current_);
      current_ = Map();
      current_bytes_ = 0;
    }
    current_bytes_ += bytes;
    current_.emplace(std::move(key), std::move(value));
  }

  std::shared_mutex mu_;
  Map current_, old_;
  size_t current_bytes_ = 0;
};

TranslationCache& Cache() {
  static auto* cache = new TranslationCache();  // never destroyed: used until exit
  return *cache;
}

std::atomic<bool> g_enabled{true};

}  // namespace

Result<std::shared_ptr<const Translation>> TranslateCached(std::string_view tsql, Dialect dialect) {
  static const TranslateOptions kNoOptions;
  return TranslateCached(tsql, dialect, kNoOptions);
}

Result<std::shared_ptr<const Translation>> TranslateCached(std::string_view tsql, Dialect dialect,
                                                           const TranslateOptions& options) {
  const bool enabled = g_enabled.load(std::memory_order_relaxed) && tsql.size() <= kMaxCachedStatement;
  const KeyView key{dialect, options.cache_scope, tsql};
  if (enabled) {
    if (auto hit = Cache().Find(key)) return hit;
  }
  auto translated = Translate(tsql, dialect, options);
  if (!translated.ok()) return translated.status();
  auto value = std::make_shared<const Translation>(std::move(translated.value()));
  if (enabled) Cache().Insert(key, value);
  return std::shared_ptr<const Translation>(value);
}

void SetTranslationCacheEnabled(bool enabled) {
  g_enabled.store(enabled, std::memory_order_relaxed);
  if (!enabled) Cache().Clear();
}

}  // namespace trelix::sql
