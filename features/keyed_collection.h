#pragma once
// KeyedCollection<T>: the ordered, keyed collection of objects behind
// VehicleId (its features) and VehicleFeatures (its vehicles), with the
// behaviour and the errors of VB's Collection, which callers of the
// automation interface rely on:
//
//   - items stay in insertion order and are addressed by 1-based position;
//   - every item has a string key; keys compare ignoring case (Unicode case
//     folding), so "ABC" and "abc" are the same key;
//   - Item(index): a numeric index selects by position, a string by key;
//   - errors are VB's run-time errors with the component's name as source:
//     9 "Subscript out of range" for a position outside 1..Count,
//     5 "Invalid procedure call or argument" for a key that is not present
//       (and for an index that is neither a number nor a text),
//     457 "This key is already associated with an element of this
//       collection" for a second item under a key; the collection is then
//       left as it was.
//
// Items are shared: the collection holds a reference, a caller that fetches
// an item shares it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text_fold.h"
#include "common/com_error.h"
#include "common/variant.h"
#include "common/vb_runtime.h"

namespace trelix {

namespace keyed_collection_internal {

// The form under which a key is looked up: ASCII keys (the usual "0", "1",
// or numeric vehicle ids) are lower-cased without a trip through ICU.
inline std::string FoldKey(std::string_view key) {
  std::string folded(key);
  for (char& c : folded) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return base::FoldCase(key);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// The position that `key` writes in plain decimal (no sign, no leading
// zero), when it is below `count`. Digits have no case: such a key is
// equal, ignoring case, only to itself.
inline std::optional<size_t> PositionOfText(std::string_view key, size_t count) {
  if (key.empty() || key.size() > 9 || (key.size() > 1 && key[0] == '0')) return std::nullopt;
  size_t position = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    position = position * 10 + static_cast<size_t>(c - '0');
  }
  if (position >= count) return std::nullopt;
  return position;
}

// Whether `key` is `position` in plain decimal.
inline bool IsPositionText(std::string_view key, size_t position) {
  return PositionOfText(key, position + 1) == position;
}

}  // namespace keyed_collection_internal

template <class T>
class KeyedCollection {
 public:
  using ItemRef = std::shared_ptr<T>;

  struct Entry {
    std::string key;  // as given to Add
    ItemRef item;
  };

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }

  void Reserve(size_t count) { entries_.reserve(count); }

  // Appends `item` at the end under `key`. Raises 457 for a key already
  // present, leaving the collection unchanged.
  void Add(ItemRef item, std::string_view key) {
    if (keys_are_positions_) {
      if (keyed_collection_internal::IsPositionText(key, entries_.size())) {
        entries_.push_back(Entry{std::string(key), std::move(item)});
        return;
      }
      IndexKeys();
    }
    auto [slot, inserted] = positions_.try_emplace(keyed_collection_internal::FoldKey(key), Count());
    if (!inserted) RaiseVbError(kErrDuplicateKey);
    try {
      entries_.push_back(Entry{std::string(key), std::move(item)});
    } catch (...) {
      positions_.erase(slot);
      throw;
    }
  }

  // The item at a 1-based position; raises 9 outside 1..Count.
  const ItemRef& At(int64_t position) const {
    if (position < 1 || position > Count()) RaiseVbError(kErrSubscriptOutOfRange);
    return entries_[static_cast<size_t>(position - 1)].item;
  }

  // The item under `key` (case-insensitive); raises 5 when there is none.
  const ItemRef& ByKey(std::string_view key) const {
    if (keys_are_positions_) {
      const auto position = keyed_collection_internal::PositionOfText(key, entries_.size());
      if (!position) RaiseVbError(kErrInvalidProcedureCall);
      return entries_[*position].item;
    }
    auto found = positions_.find(keyed_collection_internal::FoldKey(key));
    if (found == positions_.end()) RaiseVbError(kErrInvalidProcedureCall);
    return entries_[static_cast<size_t>(found->second)].item;
  }

  // VB's Collection.Item: a text selects by key; a number (or Boolean)
  // selects by position after rounding half to even, as VB converts an index
  // to a Long; anything else raises 5.
  const ItemRef& Item(const Variant& index) const {
    switch (index.type()) {
      case VarType::kString:
        return ByKey(index.string());
      case VarType::kInteger:
      case VarType::kLong:
      case VarType::kLongLong:
      case VarType::kByte:
      case VarType::kBoolean:
        return At(index.integer());
      case VarType::kSingle:
      case VarType::kDouble:
      case VarType::kCurrency:
      case VarType::kDecimal: {
        // Rounded as a double first, so that a huge index is out of range
        // rather than an overflow.
        const double rounded = vb::Round(vb::CDbl(index));
        if (!(rounded >= 1 && rounded <= Count())) RaiseVbError(kErrSubscriptOutOfRange);
        return At(static_cast<int64_t>(rounded));
      }
      default:
        RaiseVbError(kErrInvalidProcedureCall);
    }
  }

  // The items in collection order, as the enumerator hands them out.
  Variant ItemsAsArray() const {
    std::vector<Variant> items;
    items.reserve(entries_.size());
    for (const Entry& entry : entries_) items.emplace_back(ObjectRef(entry.item));
    return Variant::Array(std::move(items));
  }

  const std::vector<Entry>& entries() const { return entries_; }
  typename std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  typename std::vector<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  static constexpr int32_t kErrDuplicateKey = 457;

  // From the position keys to the map, once a key of another form comes.
  void IndexKeys() {
    std::unordered_map<std::string, int32_t> positions;
    positions.reserve(entries_.capacity());
    for (size_t i = 0; i < entries_.size(); ++i) positions.emplace(entries_[i].key, static_cast<int32_t>(i));
    positions_ = std::move(positions);
    keys_are_positions_ = false;
  }

  std::vector<Entry> entries_;
  // While every key is its item's 0-based position in decimal ("0", "1",
  // ...: how the comparison keys features), keys need no map: a position
  // key can equal no earlier key, and such a key is found by its number.
  bool keys_are_positions_ = true;
  std::unordered_map<std::string, int32_t> positions_;  // folded key -> 0-based position
};

}  // namespace trelix
