#include "common/recordset.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>

#include "common/com_error.h"
#include "common/recordset_internal.h"

namespace trelix {

using namespace recordset_internal;

// --- RecordsetCore ----------------------------------------------------------------

namespace recordset_internal {

namespace {

void InsertSorted(std::vector<uint32_t>& ids, uint32_t row) {
  if (ids.empty() || ids.back() < row) {
    ids.push_back(row);
  } else {
    auto it = std::lower_bound(ids.begin(), ids.end(), row);
    if (it == ids.end() || *it != row) ids.insert(it, row);
  }
}

void EraseSorted(std::vector<uint32_t>& ids, uint32_t row) {
  auto it = std::lower_bound(ids.begin(), ids.end(), row);
  if (it != ids.end() && *it == row) ids.erase(it);
}

}  // namespace

std::vector<Variant>& SharedCells::Mutable() {
  if (!store_) {
    store_ = std::make_shared<Store>();
  } else if (store_->shared.load(std::memory_order_relaxed)) {
    auto own = std::make_shared<Store>();
    own->cells = store_->cells;
    given_up_ = std::move(store_);
    store_ = std::move(own);
  }
  return store_->cells;
}

std::shared_ptr<const std::string> SharedCells::Derived(std::string_view key) const {
  if (!IsShared()) return nullptr;
  std::lock_guard<std::mutex> lock(store_->derived_mu);
  for (const auto& [kept_key, text] : store_->derived) {
    if (kept_key == key) return text;
  }
  return nullptr;
}

void SharedCells::KeepDerived(std::string key, std::shared_ptr<const std::string> text) const {
  if (!IsShared()) return;
  // The JSON text and its two compressed forms, with room for one more.
  constexpr size_t kKeptTexts = 4;
  std::lock_guard<std::mutex> lock(store_->derived_mu);
  auto& derived = store_->derived;
  for (auto& [kept_key, kept_text] : derived) {
    if (kept_key == key) {
      kept_text = std::move(text);
      return;
    }
  }
  if (derived.size() >= kKeptTexts) derived.erase(derived.begin());
  derived.emplace_back(std::move(key), std::move(text));
}

void SharedCells::ShareWith(const SharedCells& other) {
  // Marked by the one thread that uses `other` (or under the lock of the
  // cache that holds it), before anyone else can see the cells.
  if (other.store_) other.store_->shared.store(true, std::memory_order_relaxed);
  store_ = other.store_;
}

uint32_t RecordsetCore::AddRow(std::vector<Variant>&& values, RowState state) {
  const uint32_t row = row_count();
  const size_t n = std::min(values.size(), width());
  std::vector<Variant>& storage = cells.Mutable();
  storage.insert(storage.end(), std::make_move_iterator(values.begin()), std::make_move_iterator(values.begin() + n));
  if (n < width()) storage.resize(storage.size() + (width() - n));
  states.push_back(state);
  if (state != RowState::kUnchanged) pending.push_back(row);
  for (size_t f = 0; f < indexes.size(); ++f) {
    if (!indexes[f] || !indexes[f]->built) continue;
    if (auto key = IndexKeyOf(Cell(row, f), classes[f])) indexes[f]->buckets[*key].push_back(row);
  }
  sort_dirty = true;
  DropSpareOrders();
  find_positions.generation = 0;
  return row;
}

void RecordsetCore::WriteCell(uint32_t row, size_t field, Variant value) {
  if (states[row] == RowState::kUnchanged) {
    const Variant* first = RowCells(row);
    originals[row] = std::vector<Variant>(first, first + width());
    states[row] = RowState::kModified;
    pending.push_back(row);
  }
  Variant& cell = MutableCell(row, field);
  if (indexes[field] && indexes[field]->built) {
    auto old_key = IndexKeyOf(cell, classes[field]);
    auto new_key = IndexKeyOf(value, classes[field]);
    if (old_key != new_key) {
      if (old_key) {
        auto it = indexes[field]->buckets.find(*old_key);
        if (it != indexes[field]->buckets.end()) {
          EraseSorted(it->second, row);
          if (it->second.empty()) indexes[field]->buckets.erase(it);
        }
      }
      if (new_key) InsertSorted(indexes[field]->buckets[*new_key], row);
      find_positions.generation = 0;
    }
  }
  cell = std::move(value);
  for (const SortKey& k : sort_keys) {
    if (static_cast<size_t>(k.field) == field) sort_dirty = true;
  }
  DropSpareOrders();
}

void RecordsetCore::ResetRows() {
  cells.Clear();
  states.clear();
  originals.clear();
  pending.clear();
  view.clear();
  pos = 0;
  current_deleted = false;
  ++view_generation;
  sorted.clear();
  rank.clear();
  sort_dirty = true;
  DropSpareOrders();
  view_pos_of_row.clear();
  view_pos_stamp.clear();
  inverse_generation = 0;
  classes.clear();
  for (const auto& f : fields) classes.push_back(ClassOf(f.type));
  indexes.resize(fields.size());
  for (auto& index : indexes) {
    if (index) index = std::make_unique<FieldIndex>();
  }
  shape_ticket = {};
}

namespace {

// Criteria compiled on this thread, by the field shape (names and types) of
// the recordset and the criteria text. Recordsets of one shape meet the same
// criteria call after call (every sheet line's filter, for every vehicle), so
// each text is parsed once per shape. A compiled criteria is immutable, so
// handing it to several recordsets is safe. A recordset keeps the ticket of
// its shape, so that a lookup hashes the short text and a 4-byte shape
// number rather than every field name.
class ThreadCriteriaCache {
 public:
  ThreadCriteriaCache() { Reset(); }

  std::shared_ptr<const Criteria> Compile(RecordsetCore& core, std::string_view text) {
    const uint32_t shape = ShapeOf(core);
    key_.assign(reinterpret_cast<const char*>(&shape), sizeof shape).append(text);
    if (auto found = compiled_.find(key_); found != compiled_.end()) return found->second;
    std::shared_ptr<const Criteria> compiled = CompileCriteria(text, core.fields);  // raises on bad text
    if (compiled_.size() >= kLimit) {
      // The texts are not repeating: start over rather than grow without bound.
      Reset();
      return Compile(core, text);
    }
    compiled_.emplace(key_, compiled);
    return compiled;
  }

 private:
  static constexpr size_t kLimit = 8192;
  static constexpr size_t kShapeLimit = 256;

  uint32_t ShapeOf(RecordsetCore& core) {
    if (core.shape_ticket.table == table_) return core.shape_ticket.shape;
    uint32_t found = 0;
    while (found < shapes_.size() && !SameShape(shapes_[found], core.fields)) ++found;
    if (found == shapes_.size()) {
      if (shapes_.size() >= kShapeLimit) {
        Reset();
        found = 0;
      }
      std::vector<std::pair<DataType, std::string>> shape;
      shape.reserve(core.fields.size());
      for (const FieldInfo& field : core.fields) shape.emplace_back(field.type, field.name);
      shapes_.push_back(std::move(shape));
    }
    core.shape_ticket = {table_, found};
    return found;
  }

  static bool SameShape(const std::vector<std::pair<DataType, std::string>>& shape,
                        const std::vector<FieldInfo>& fields) {
    if (shape.size() != fields.size()) return false;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (shape[i].first != fields[i].type || shape[i].second != fields[i].name) return false;
    }
    return true;
  }

  // A new table number makes every ticket handed out before (on any thread)
  // unknown here, so no recordset reuses a shape number from another thread
  // or from before a reset.
  void Reset() {
    static std::atomic<uint64_t> tables{0};
    table_ = tables.fetch_add(1, std::memory_order_relaxed) + 1;
    shapes_.clear();
    compiled_.clear();
  }

  uint64_t table_ = 0;
  std::vector<std::vector<std::pair<DataType, std::string>>> shapes_;
  std::unordered_map<std::string, std::shared_ptr<const Criteria>> compiled_;
  std::string key_;
};

}  // namespace

std::shared_ptr<const Criteria> RecordsetCore::Compile(std::string_view text) {
  thread_local ThreadCriteriaCache cache;
  return cache.Compile(*this, text);
}

bool RecordsetCore::RowMatches(uint32_t row, const Criteria& c) const {
  const Variant* values = &cells[row * width()];
  for (const auto& group : c.groups) {
    bool all = true;
    for (const Term& term : group) {
      if (!TermMatches(term, values[term.field])) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

void RecordsetCore::SortRows(std::vector<uint32_t>& rows) const {
  if (sort_keys.empty() || rows.size() < 2) return;
  const bool any_text = std::any_of(sort_keys.begin(), sort_keys.end(), [&](const SortKey& k) {
    return classes[static_cast<size_t>(k.field)] == FieldClass::kText;
  });
  if (!any_text) {
    // Nothing to fold: the row ids are sorted as they are, and the few rows
    // of a narrow filter by insertion (stable), without a buffer.
    auto before = [&](uint32_t a, uint32_t b) {
      for (const SortKey& k : sort_keys) {
        const size_t f = static_cast<size_t>(k.field);
        const int c = CompareForSort(Cell(a, f), Cell(b, f), classes[f]);
        if (c != 0) return k.descending ? c > 0 : c < 0;
      }
      return false;
    };
    constexpr size_t kInsertionSortRows = 16;
    if (rows.size() <= kInsertionSortRows) {
      for (size_t i = 1; i < rows.size(); ++i) {
        const uint32_t row = rows[i];
        size_t j = i;
        for (; j > 0 && before(row, rows[j - 1]); --j) rows[j] = rows[j - 1];
        rows[j] = row;
      }
    } else {
      std::stable_sort(rows.begin(), rows.end(), before);
    }
    return;
  }
  // Texts are folded once per row rather than once per comparison.
  std::vector<std::vector<std::string>> folded(sort_keys.size());
  for (size_t k = 0; k < sort_keys.size(); ++k) {
    const size_t f = static_cast<size_t>(sort_keys[k].field);
    if (classes[f] != FieldClass::kText) continue;
    folded[k].resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const Variant& v = Cell(rows[i], f);
      if (v.IsString()) FoldCase(v.string(), folded[k][i]);
    }
  }
  std::vector<uint32_t> order(rows.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    for (size_t k = 0; k < sort_keys.size(); ++k) {
      const size_t f = static_cast<size_t>(sort_keys[k].field);
      const Variant& va = Cell(rows[a], f);
      const Variant& vb = Cell(rows[b], f);
      int c;
      if (!folded[k].empty() && va.IsString() && vb.IsString()) {
        c = folded[k][a].compare(folded[k][b]);
        c = c < 0 ? -1 : (c > 0 ? 1 : 0);
      } else {
        c = CompareForSort(va, vb, classes[f]);
      }
      if (c != 0) return sort_keys[k].descending ? c > 0 : c < 0;
    }
    return false;
  });
  std::vector<uint32_t> sorted_rows(rows.size());
  for (size_t i = 0; i < order.size(); ++i) sorted_rows[i] = rows[order[i]];
  rows.swap(sorted_rows);
}

void RecordsetCore::EnsureSorted() {
  if (!sort_dirty) return;
  sorted.clear();
  for (uint32_t r = 0; r < row_count(); ++r) {
    if (IsLive(r)) sorted.push_back(r);
  }
  SortRows(sorted);
  rank.assign(row_count(), 0);
  for (uint32_t i = 0; i < sorted.size(); ++i) rank[sorted[i]] = i;
  sort_dirty = false;
}

void RecordsetCore::EnsureInverse() {
  if (inverse_generation == view_generation) return;
  if (view_pos_of_row.size() < row_count()) {
    view_pos_of_row.resize(row_count());
    view_pos_stamp.resize(row_count(), 0);
  }
  for (uint32_t i = 0; i < view.size(); ++i) {
    view_pos_of_row[view[i]] = i;
    view_pos_stamp[view[i]] = view_generation;
  }
  inverse_generation = view_generation;
}

void RecordsetCore::BuildIndex(size_t field) {
  auto index = std::make_unique<FieldIndex>();
  // Results often come ordered by the field: a row whose key is the one
  // before joins that bucket without a lookup (map nodes never move).
  std::vector<uint32_t>* last_bucket = nullptr;
  std::string last_key;
  for (uint32_t r = 0; r < row_count(); ++r) {
    if (!IsLive(r)) continue;
    auto key = IndexKeyOf(Cell(r, field), classes[field]);
    if (!key) continue;
    if (!last_bucket || *key != last_key) {
      last_bucket = &index->buckets[*key];
      last_key = std::move(*key);
    }
    last_bucket->push_back(r);
  }
  index->built = true;
  indexes[field] = std::move(index);
}

FieldIndex& RecordsetCore::BuiltIndex(size_t field) {
  if (!indexes[field]->built) BuildIndex(field);
  return *indexes[field];
}

void RecordsetCore::RebuildView() {
  view.clear();
  ++view_generation;
  pos = 0;
  current_deleted = false;

  // The matching rows in insertion order first.
  bool all_rows = false;
  bool from_index = false;
  if (filter_kind == FilterKind::kCriteria) {
    // With an indexed equality term in every group, only the rows of those
    // buckets can match: test them instead of every row.
    std::vector<const std::vector<uint32_t>*>& buckets = bucket_scratch;
    buckets.clear();
    from_index = true;
    // A filter that is one indexed equality term is answered by its bucket
    // alone: an equal index key is an equal value.
    const bool bucket_is_answer = criteria->IsSingleTerm();
    static const std::vector<uint32_t> kNoRows;
    // Indexes already built are asked first; another is built only when
    // none of them narrows the group to a few rows, since building one costs
    // a pass over every row and testing a few rows costs next to nothing.
    constexpr size_t kFewRows = 32;
    for (const auto& group : criteria->groups) {
      const std::vector<uint32_t>* best = nullptr;
      for (const bool built : {true, false}) {
        if (!built && best && best->size() <= kFewRows) break;
        for (const Term& term : group) {
          const auto& index = indexes[static_cast<size_t>(term.field)];
          if (!term.index_key || !index || index->built != built) continue;
          const auto& map = BuiltIndex(static_cast<size_t>(term.field)).buckets;
          auto it = map.find(*term.index_key);
          const std::vector<uint32_t>* rows = it == map.end() ? &kNoRows : &it->second;
          if (!best || rows->size() < best->size()) best = rows;
          if (!built && best->size() <= kFewRows) break;
        }
      }
      if (!best) {
        from_index = false;
        break;
      }
      buckets.push_back(best);
    }
    if (from_index) {
      for (const auto* rows : buckets) {
        for (uint32_t r : *rows) {
          if (!IsLive(r)) continue;
          if (bucket_is_answer) {
            // The caller reads these rows next; for a narrow filter ask for
            // them now, all at once, instead of meeting each cache miss in turn.
            if (rows->size() <= 256) {
              const char* first = reinterpret_cast<const char*>(&cells[r * width()]);
              const size_t bytes = width() * sizeof(Variant);
              for (size_t off = 0; off < bytes; off += 64) __builtin_prefetch(first + off);
            }
            view.push_back(r);
          } else if (RowMatches(r, *criteria)) {
            view.push_back(r);
          }
        }
      }
      if (buckets.size() > 1) {
        std::sort(view.begin(), view.end());
        view.erase(std::unique(view.begin(), view.end()), view.end());
      }
    }
  }
  if (!from_index) {
    const uint32_t n = row_count();
    if (filter_kind == FilterKind::kNone) view.reserve(n);
    for (uint32_t r = 0; r < n; ++r) {
      if (!IsLive(r)) continue;
      switch (filter_kind) {
        case FilterKind::kNone:
          view.push_back(r);
          break;
        case FilterKind::kCriteria:
          if (RowMatches(r, *criteria)) view.push_back(r);
          break;
        case FilterKind::kPending:
          if (states[r] != RowState::kUnchanged) view.push_back(r);
          break;
      }
    }
    all_rows = filter_kind == FilterKind::kNone;
  }
  if (sort_keys.empty()) return;

  // Then the sort order: from the cached order of all rows when it is
  // current, otherwise by sorting the few matches themselves, which beats
  // sorting every row for a narrow filter.
  if (sort_dirty && !all_rows && view.size() * 8 < row_count()) {
    SortRows(view);
    return;
  }
  EnsureSorted();
  if (all_rows) {
    view = sorted;
  } else {
    std::sort(view.begin(), view.end(), [&](uint32_t a, uint32_t b) { return rank[a] < rank[b]; });
  }
}

}  // namespace recordset_internal

// --- Recordset ----------------------------------------------------------------------

namespace {

void RequireOpen(const RecordsetCore& core) {
  if (!core.open) RaiseAdo(kErrObjectClosed);
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

// --- Fields ---------------------------------------------------------------------------

void Recordset::AppendField(const FieldInfo& field) { AppendFields({field}); }

void Recordset::AppendFields(std::vector<FieldInfo> fields) {
  Impl& core = *impl_;
  core.fields.reserve(core.fields.size() + fields.size());
  core.classes.reserve(core.fields.size() + fields.size());
  core.indexes.reserve(core.fields.size() + fields.size());
  for (FieldInfo& field : fields) {
    if (core.open) RaiseAdo(kErrCannotAppend, "ADODB.Fields");
    if (!IsSupportedType(field.type) || field.defined_size < 0 || field.name.empty()) {
      RaiseAdo(kErrArguments, "ADODB.Fields");
    }
    if (LookupField(core.fields, field.name) >= 0) RaiseAdo(kErrCannotAppend, "ADODB.Fields");
    core.classes.push_back(ClassOf(field.type));
    core.indexes.emplace_back();
    core.fields.push_back(std::move(field));
  }
}

void Recordset::AppendField(std::string name, DataType type, int32_t defined_size, int32_t attributes) {
  FieldInfo field;
  field.name = std::move(name);
  field.type = type;
  field.defined_size = defined_size;
  field.attributes = attributes;
  // An explicit attribute set without adFldIsNullable/adFldMayBeNull refuses Null.
  field.nullable = attributes == -1 || (attributes & (0x20 | 0x40)) != 0;
  if (type == DataType::kNumeric || type == DataType::kDecimal) {
    field.precision = 18;  // what a fabricated decimal field gets without explicit precision
  }
  AppendField(field);
}

int Recordset::FieldCount() const { return static_cast<int>(impl_->fields.size()); }

const FieldInfo& Recordset::Field(int index) const {
  if (index < 0 || index >= FieldCount()) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  return impl_->fields[static_cast<size_t>(index)];
}

int Recordset::FindField(std::string_view name) const {
  const Impl& core = *impl_;
  for (const auto& [seen, index] : core.field_names_seen) {
    if (seen == name) return index;
  }
  const int index = LookupField(core.fields, name);
  constexpr size_t kNamesKept = 32;
  if (index >= 0 && core.field_names_seen.size() < kNamesKept) core.field_names_seen.emplace_back(name, index);
  return index;
}

int Recordset::FieldIndex(std::string_view name) const {
  int index = FindField(name);
  if (index < 0) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  return index;
}

// --- Life cycle --------------------------------------------------------------------------

void Recordset::Open() {
  Impl& core = *impl_;
  if (core.open) RaiseAdo(kErrObjectOpen);
  core.ResetRows();
  core.open = true;
  core.disconnected = false;
  // A filter or sort set before Open applies to the opened rows.
  Variant filter = core.filter;
  std::string sort = core.sort_text;
  core.filter = Variant(int32_t{0});
  core.filter_kind = FilterKind::kNone;
  core.criteria.reset();
  core.sort_text.clear();
  core.sort_keys.clear();
  if (!sort.empty()) SetSort(sort);
  if (!(filter.type() != VarType::kString && filter.IsNumericType() && filter.integer() == 0)) SetFilter(filter);
  core.RebuildView();
}

void Recordset::Close() {
  Impl& core = *impl_;
  RequireOpen(core);
  core.fields.clear();
  core.field_names_seen.clear();
  core.indexes.clear();
  core.filter = Variant(int32_t{0});
  core.filter_kind = FilterKind::kNone;
  core.criteria.reset();
  core.sort_text.clear();
  core.sort_keys.clear();
  core.ResetRows();
  core.open = false;
}

bool Recordset::IsOpen() const { return impl_->open; }

// --- Navigation -------------------------------------------------------------------------

bool Recordset::IsEOF() const {
  const Impl& core = *impl_;
  RequireOpen(core);
  if (core.current_deleted) return false;
  return core.view.empty() || core.pos >= static_cast<int64_t>(core.view.size());
}

bool Recordset::IsBOF() const {
  const Impl& core = *impl_;
  RequireOpen(core);
  if (core.current_deleted) return false;
  return core.view.empty() || core.pos < 0;
}

void Recordset::MoveFirst() {
  Impl& core = *impl_;
  RequireOpen(core);
  if (core.view.empty()) RaiseAdo(kErrNoCurrentRecord);
  core.pos = 0;
  core.current_deleted = false;
}

void Recordset::MoveLast() {
  Impl& core = *impl_;
  RequireOpen(core);
  if (core.view.empty()) RaiseAdo(kErrNoCurrentRecord);
  core.pos = static_cast<int64_t>(core.view.size()) - 1;
  core.current_deleted = false;
}

void Recordset::MoveNext() {
  Impl& core = *impl_;
  RequireOpen(core);
  if (core.current_deleted) {
    core.current_deleted = false;  // pos already names the following row
    return;
  }
  if (IsEOF()) RaiseAdo(kErrNoCurrentRecord);
  ++core.pos;
}

void Recordset::MovePrevious() {
  Impl& core = *impl_;
  RequireOpen(core);
  if (core.current_deleted) {
    core.current_deleted = false;
    --core.pos;
    return;
  }
  if (IsBOF()) RaiseAdo(kErrNoCurrentRecord);
  --core.pos;
}

int32_t Recordset::RecordCount() const {
  RequireOpen(*impl_);
  return static_cast<int32_t>(impl_->view.size());
}

int32_t Recordset::AbsolutePosition() const {
  const Impl& core = *impl_;
  RequireOpen(core);
  if (core.HasCurrent()) return static_cast<int32_t>(core.pos + 1);
  if (core.current_deleted) return -1;  // adPosUnknown
  return IsEOF() ? -3 : -2;             // adPosEOF, adPosBOF
}

// --- Values -----------------------------------------------------------------------------------

const Variant& Recordset::Value(int field_index) const {
  const Impl& core = *impl_;
  if (field_index < 0 || static_cast<size_t>(field_index) >= core.width()) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  if (!core.open || !core.HasCurrent()) RaiseAdo(kErrNoCurrentRecord, "ADODB.Field");
  return core.Cell(core.CurrentRow(), static_cast<size_t>(field_index));
}

const Variant& Recordset::Value(std::string_view field_name) const { return Value(FieldIndex(field_name)); }

void Recordset::SetValue(int field_index, const Variant& value) {
  Impl& core = *impl_;
  if (field_index < 0 || static_cast<size_t>(field_index) >= core.width()) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  if (!core.open || !core.HasCurrent()) RaiseAdo(kErrNoCurrentRecord, "ADODB.Field");
  const size_t f = static_cast<size_t>(field_index);
  core.WriteCell(core.CurrentRow(), f, CoerceToField(core.fields[f], value));
}

void Recordset::SetValue(std::string_view field_name, const Variant& value) { SetValue(FieldIndex(field_name), value); }

const Variant& Recordset::ValueAt(int32_t position, int field_index) const {
  const Impl& core = *impl_;
  RequireOpen(core);
  if (field_index < 0 || static_cast<size_t>(field_index) >= core.width()) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  if (position < 0 || static_cast<size_t>(position) >= core.view.size()) RaiseAdo(kErrNoCurrentRecord, "ADODB.Field");
  return core.Cell(core.view[static_cast<size_t>(position)], static_cast<size_t>(field_index));
}

// --- Editing ------------------------------------------------------------------------------------

void Recordset::AddNew() {
  Impl& core = *impl_;
  RequireOpen(core);
  uint32_t row = core.AddRow(std::vector<Variant>(core.width()), RowState::kNew);
  // The new row joins the view at its end whatever the filter; it stays
  // visible until the filter or sort is set again.
  core.view.push_back(row);
  ++core.view_generation;
  core.pos = static_cast<int64_t>(core.view.size()) - 1;
  core.current_deleted = false;
}

void Recordset::Update() { RequireOpen(*impl_); }

void Recordset::UpdateBatch(int affect) {
  Impl& core = *impl_;
  RequireOpen(core);
  if (affect < 1 || affect > 4) RaiseAdo(kErrArguments);
  auto accept = [&](uint32_t r) {
    switch (core.states[r]) {
      case RowState::kNew:
      case RowState::kModified:
        core.states[r] = RowState::kUnchanged;
        core.originals.erase(r);
        break;
      case RowState::kDeleted:
        core.states[r] = RowState::kGone;
        core.originals.erase(r);
        break;
      default:
        break;
    }
  };
  if (affect == 1) {
    if (core.HasCurrent()) accept(core.CurrentRow());
    return;
  }
  // Only rows that changed since the last such batch can be pending.
  for (uint32_t r : core.pending) accept(r);
  core.pending.clear();
}

void Recordset::Delete(int affect) {
  Impl& core = *impl_;
  RequireOpen(core);
  auto remove = [&](uint32_t r) {
    core.states[r] = core.states[r] == RowState::kNew ? RowState::kGone : RowState::kDeleted;
    if (core.states[r] == RowState::kDeleted) core.pending.push_back(r);
    core.sort_dirty = true;
    core.DropSpareOrders();
  };
  if (affect == 2) {
    for (uint32_t r : core.view) remove(r);
    core.view.clear();
    ++core.view_generation;
    core.pos = 0;
    core.current_deleted = true;
    return;
  }
  if (affect != 1) RaiseAdo(kErrArguments);
  if (!core.HasCurrent()) RaiseAdo(kErrNoCurrentRecord);
  remove(core.CurrentRow());
  core.view.erase(core.view.begin() + core.pos);
  ++core.view_generation;
  // The deleted row stays "current" until the cursor moves: no values, but
  // MoveNext arrives at the row that followed it.
  core.current_deleted = true;
}

void Recordset::AppendRow(std::vector<Variant>&& values) {
  Impl& core = *impl_;
  RequireOpen(core);
  if (values.size() != core.width()) RaiseAdo(kErrArguments);
  const bool was_empty = core.view.empty();
  uint32_t row = core.AddRow(std::move(values), RowState::kUnchanged);
  if (core.filter_kind == FilterKind::kNone && core.sort_keys.empty()) {
    core.view.push_back(row);
    ++core.view_generation;
    if (was_empty) core.pos = 0;  // a freshly filled result stands on its first row
  } else {
    core.RebuildView();
  }
}

void Recordset::AppendConvertedRow(std::vector<Variant> values) {
  Impl& core = *impl_;
  RequireOpen(core);
  if (values.size() != core.width()) RaiseAdo(kErrArguments);
  for (size_t f = 0; f < values.size(); ++f) {
    if (!StoredAsIs(core.fields[f], values[f])) values[f] = CoerceToField(core.fields[f], values[f]);
  }
  AppendRow(std::move(values));
}

// --- Filter, Sort, Find --------------------------------------------------------------------------

void Recordset::SetFilter(const Variant& criteria) {
  Impl& core = *impl_;
  if (criteria.IsString()) {
    std::string_view text = TrimView(criteria.string());
    if (text.empty()) {
      SetFilter(Variant(int32_t{0}));
      return;
    }
    if (!core.open) {  // kept and applied when the recordset opens
      core.filter = criteria;
      return;
    }
    auto compiled = core.Compile(text);  // raises, leaving the old filter in place
    core.filter = criteria;
    core.filter_kind = FilterKind::kCriteria;
    core.criteria = std::move(compiled);
    core.RebuildView();
    return;
  }
  auto number = criteria.IsNumericType() ? NumericOf(criteria) : std::nullopt;
  if (!number || *number != std::trunc(*number)) RaiseAdo(kErrArguments);
  const int64_t group = static_cast<int64_t>(*number);
  FilterKind kind;
  switch (group) {
    case 0:  // adFilterNone
    case 3:  // adFilterFetchedRecords: every row is fetched here
      kind = FilterKind::kNone;
      break;
    case 1:  // adFilterPendingRecords
      kind = FilterKind::kPending;
      break;
    default:
      RaiseAdo(kErrArguments);
  }
  core.filter = group == 0 ? Variant(int32_t{0}) : Variant(static_cast<int32_t>(group));
  if (!core.open) return;
  core.filter_kind = kind;
  core.criteria.reset();
  core.RebuildView();
}

const Variant& Recordset::Filter() const { return impl_->filter; }

void Recordset::SetSort(std::string_view sort) {
  Impl& core = *impl_;
  std::vector<SortKey> keys;
  std::string_view rest = sort;
  while (!TrimView(rest).empty()) {
    size_t comma = rest.find(',');
    std::string_view item = TrimView(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item.empty()) RaiseAdo(kErrArguments);
    bool descending = false;
    std::string_view name = item;
    if (item.front() == '[') {
      size_t close = item.find(']');
      if (close == std::string_view::npos) RaiseAdo(kErrArguments);
      name = item.substr(1, close - 1);
      item = TrimView(item.substr(close + 1));
    } else {
      size_t blank = item.find_first_of(" \t");
      name = item.substr(0, blank);
      item = blank == std::string_view::npos ? std::string_view() : TrimView(item.substr(blank));
    }
    if (!item.empty()) {
      if (EqualsIgnoreCase(item, "DESC")) {
        descending = true;
      } else if (!EqualsIgnoreCase(item, "ASC")) {
        RaiseAdo(kErrArguments);
      }
    }
    if (core.open) {
      int f = FindField(name);
      if (f < 0) RaiseAdo(kErrItemNotFound);
      if (core.classes[static_cast<size_t>(f)] == FieldClass::kChapter) RaiseAdo(kErrArguments);
      keys.push_back({f, descending});
    }
    if (comma == std::string_view::npos) break;
  }
  core.sort_text = std::string(sort);
  if (!core.open) return;
  // The same keys again (a loop re-sorting by one field) keep the order
  // already computed, which edits invalidate on their own.
  const bool same = keys.size() == core.sort_keys.size() &&
                    std::equal(keys.begin(), keys.end(), core.sort_keys.begin(), [](const SortKey& a, const SortKey& b) {
                      return a.field == b.field && a.descending == b.descending;
                    });
  if (!same) {
    auto same_keys = [](const std::vector<SortKey>& a, const std::vector<SortKey>& b) {
      return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const SortKey& x, const SortKey& y) {
               return x.field == y.field && x.descending == y.descending;
             });
    };
    // The order of the keys given up is kept while the rows stay as they
    // are, and an order kept for the new keys is taken up again.
    constexpr size_t kSpareOrders = 3;
    if (!core.sort_dirty && !core.sort_keys.empty()) {
      if (core.spare_orders.size() >= kSpareOrders) core.spare_orders.erase(core.spare_orders.begin());
      core.spare_orders.push_back({std::move(core.sort_keys), std::move(core.sorted), std::move(core.rank)});
    }
    core.sort_keys = std::move(keys);
    core.sort_dirty = true;
    for (auto it = core.spare_orders.begin(); it != core.spare_orders.end(); ++it) {
      if (!same_keys(it->keys, core.sort_keys)) continue;
      core.sorted = std::move(it->sorted);
      core.rank = std::move(it->rank);
      core.sort_dirty = false;
      core.spare_orders.erase(it);
      break;
    }
  }
  core.RebuildView();
}

const std::string& Recordset::Sort() const { return impl_->sort_text; }

void Recordset::Find(std::string_view criteria, int32_t skip, int32_t direction) {
  Impl& core = *impl_;
  RequireOpen(core);
  if (direction != 1 && direction != -1) RaiseAdo(kErrArguments);
  auto compiled = core.Compile(TrimView(criteria));
  if (!compiled->IsSingleTerm()) RaiseAdo(kErrArguments);  // one term only: no AND/OR
  const Term& term = compiled->groups[0][0];
  const int64_t size = static_cast<int64_t>(core.view.size());

  // The row the search starts at: the current one (after a Delete, the row
  // that followed it) moved by `skip` in the direction of the search.
  int64_t start = core.pos;
  if (core.current_deleted && direction < 0) start -= 1;
  if (!core.current_deleted && start < 0 && direction > 0) start = 0;  // BOF: from the first row
  if (!core.current_deleted && start >= size && direction < 0) start = size - 1;  // EOF: from the last row
  start += static_cast<int64_t>(skip) * direction;
  core.current_deleted = false;

  if (direction > 0) {
    if (start < 0) start = 0;
    if (start >= size) {
      core.pos = size;
      return;
    }
  } else {
    if (start >= size) start = size - 1;
    if (start < 0) {
      core.pos = -1;
      return;
    }
  }

  // An equality term on an optimized field looks at the rows of one bucket
  // instead of walking the view, once the view is big enough to matter.
  const size_t f = static_cast<size_t>(term.field);
  if (term.index_key && core.indexes[f] && size > 32) {
    auto& cache = core.find_positions;
    if (cache.generation != core.view_generation || cache.field != f || cache.key != *term.index_key) {
      cache.positions.clear();
      const auto& map = core.BuiltIndex(f).buckets;
      if (auto it = map.find(*term.index_key); it != map.end()) {
        core.EnsureInverse();
        for (uint32_t r : it->second) {
          if (r < core.view_pos_stamp.size() && core.view_pos_stamp[r] == core.view_generation) {
            cache.positions.push_back(core.view_pos_of_row[r]);
          }
        }
        std::sort(cache.positions.begin(), cache.positions.end());
      }
      cache.generation = core.view_generation;
      cache.field = f;
      cache.key = *term.index_key;
    }
    const auto& positions = cache.positions;
    if (direction > 0) {
      auto it = std::lower_bound(positions.begin(), positions.end(), static_cast<uint32_t>(start));
      core.pos = it == positions.end() ? size : static_cast<int64_t>(*it);
    } else {
      auto it = std::upper_bound(positions.begin(), positions.end(), static_cast<uint32_t>(start));
      core.pos = it == positions.begin() ? -1 : static_cast<int64_t>(*(it - 1));
    }
    return;
  }

  const Variant* cells = core.cells.data();
  const size_t width = core.width();
  if (direction > 0) {
    for (int64_t i = start; i < size; ++i) {
      if (TermMatches(term, cells[core.view[static_cast<size_t>(i)] * width + f])) {
        core.pos = i;
        return;
      }
    }
    core.pos = size;
  } else {
    for (int64_t i = start; i >= 0; --i) {
      if (TermMatches(term, cells[core.view[static_cast<size_t>(i)] * width + f])) {
        core.pos = i;
        return;
      }
    }
    core.pos = -1;
  }
}

namespace {
std::atomic<bool> g_indexes_enabled{true};
}  // namespace

void SetRecordsetIndexesEnabled(bool enabled) { g_indexes_enabled.store(enabled, std::memory_order_relaxed); }

void Recordset::SetOptimize(std::string_view field_name, bool on) {
  Impl& core = *impl_;
  const size_t f = static_cast<size_t>(FieldIndex(field_name));
  if (!on || !g_indexes_enabled.load(std::memory_order_relaxed)) {
    core.indexes[f].reset();
    return;
  }
  if (core.indexes[f]) return;
  if (core.classes[f] == FieldClass::kChapter) RaiseAdo(kErrArguments);
  core.indexes[f] = std::make_unique<recordset_internal::FieldIndex>();
}

bool Recordset::Optimize(std::string_view field_name) const {
  return impl_->indexes[static_cast<size_t>(FieldIndex(field_name))] != nullptr;
}

void Recordset::Disconnect() { impl_->disconnected = true; }

// --- Clone ---------------------------------------------------------------------------------------------

std::shared_ptr<Recordset> Recordset::Clone() const {
  const Impl& core = *impl_;
  auto copy = std::make_shared<Recordset>();
  // The fields passed every check when they were appended here.
  copy->impl_->fields = core.fields;
  copy->impl_->classes = core.classes;
  copy->impl_->indexes.resize(core.fields.size());
  if (!core.open) return copy;
  copy->Open();
  Impl& target = *copy->impl_;
  // Every row visible in insertion order and no chapters (whose recordsets
  // the copy must not share): the copy shares the cells until either side
  // writes.
  bool whole = core.view.size() == core.row_count() &&
               std::find(core.classes.begin(), core.classes.end(), FieldClass::kChapter) == core.classes.end();
  for (size_t i = 0; whole && i < core.view.size(); ++i) whole = core.view[i] == i;
  if (whole) {
    target.cells.ShareWith(core.cells);
    target.states = core.states;
    for (uint32_t r = 0; r < target.row_count(); ++r) {
      if (core.states[r] != RowState::kUnchanged) target.pending.push_back(r);
      if (core.states[r] == RowState::kModified) target.originals[r] = core.originals.at(r);
    }
    for (size_t f = 0; f < core.width(); ++f) {
      if (core.indexes[f]) target.indexes[f] = std::make_unique<recordset_internal::FieldIndex>();
    }
    target.RebuildView();
    return copy;
  }
  target.cells.Mutable().reserve(core.view.size() * core.width());
  target.states.reserve(core.view.size());
  std::vector<Variant> values;
  for (uint32_t r : core.view) {
    values.clear();
    for (size_t f = 0; f < core.width(); ++f) {
      const Variant& v = core.Cell(r, f);
      // A chapter is a recordset of its own: the copy gets its own copy.
      if (core.classes[f] == FieldClass::kChapter && v.IsObject() && !v.IsNothing()) {
        values.emplace_back(v.As<Recordset>()->Clone());
      } else {
        values.push_back(v);
      }
    }
    target.AddRow(std::move(values), core.states[r]);
    if (core.states[r] == RowState::kModified) {
      target.originals[target.row_count() - 1] = core.originals.at(r);
    }
  }
  for (size_t f = 0; f < core.width(); ++f) {
    if (core.indexes[f]) target.indexes[f] = std::make_unique<recordset_internal::FieldIndex>();
  }
  target.RebuildView();
  return copy;
}

}  // namespace trelix
