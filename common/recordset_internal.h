#pragma once
// The state of a recordset, shared by the files that implement it
// (recordset.cc: cursor, editing, filter, sort, find; recordset_xml.cc:
// persistence; recordset_dispatch.cc: late binding).
//
// Rows are stored once, in insertion order, in one flat vector of cells, and
// are never moved: a row id is its insertion ordinal. Deleting marks a row;
// the view (the visible row ids in traversal order) is what the cursor walks.
// (Storage chosen so: indexes, sort orders and views hold plain row ids that
// no edit invalidates, and a scan walks memory in order.)

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/recordset.h"
#include "common/recordset_criteria.h"
#include "common/recordset_values.h"

namespace trelix::recordset_internal {

enum class RowState : uint8_t {
  kUnchanged,
  kNew,       // added, not yet accepted by UpdateBatch
  kModified,  // changed, not yet accepted; the original values are kept
  kDeleted,   // deleted, not yet accepted: invisible, still persisted as a deletion
  kGone,      // deleted and accepted (or a new row deleted): invisible for good
};

inline bool IsLiveState(RowState s) { return s == RowState::kUnchanged || s == RowState::kNew || s == RowState::kModified; }

// Index of one field: normalized value -> ids of the rows holding it, in
// ascending order. Null values are not indexed. (A hash rather than an
// ordered index: the filters and finds on optimized fields are equalities.)
// Built on first use rather than when Optimize is set: a result often gets
// the property on fields that no filter of that call then touches.
struct FieldIndex {
  bool built = false;
  std::unordered_map<std::string, std::vector<uint32_t>> buckets;
};

// The row cells, shared copy-on-write between a recordset and its clones: a
// copy of a whole unfiltered recordset (what every cache hit hands out)
// costs a reference. Cells that were ever shared are never written again:
// whichever side writes gets its own copy first, so no write can race with
// a read through another recordset, whatever threads they live on.
class SharedCells {
 public:
  const Variant& operator[](size_t i) const { return store_->cells[i]; }
  const Variant* data() const { return store_ ? store_->cells.data() : nullptr; }
  size_t size() const { return store_ ? store_->cells.size() : 0; }
  // The cells for writing, made private first when they were shared.
  std::vector<Variant>& Mutable();
  void ShareWith(const SharedCells& other);
  void Clear() { store_.reset(); }
  // Whether the cells are shared, and so never written again.
  bool IsShared() const { return store_ && store_->shared.load(std::memory_order_relaxed); }
  // A text computed from shared cells (say, the JSON of a cached result and
  // its compressed forms), kept with them for the next reader of the same
  // cells. `key` names everything else the text depends on; a few texts are
  // kept (the oldest goes first). Null when none is kept under `key` or the
  // cells are not shared.
  std::shared_ptr<const std::string> Derived(std::string_view key) const;
  void KeepDerived(std::string key, std::shared_ptr<const std::string> text) const;

 private:
  struct Store {
    std::vector<Variant> cells;
    std::atomic<bool> shared{false};
    mutable std::mutex derived_mu;
    mutable std::vector<std::pair<std::string, std::shared_ptr<const std::string>>> derived;  // oldest first
  };
  std::shared_ptr<Store> store_;
  // The shared cells given up by the last write: references to values read
  // before it stay valid as long as this recordset lives, as they would
  // without sharing.
  std::shared_ptr<const Store> given_up_;
};

struct SortKey {
  int field;
  bool descending;
};

enum class FilterKind : uint8_t { kNone, kCriteria, kPending };

struct RecordsetCore {
  bool open = false;
  bool disconnected = false;
  std::vector<FieldInfo> fields;
  std::vector<FieldClass> classes;  // ClassOf(fields[i].type)

  // Rows.
  SharedCells cells;  // row-major, fields.size() cells a row
  std::vector<RowState> states;
  std::unordered_map<uint32_t, std::vector<Variant>> originals;  // of kModified rows
  // Rows whose state changed since the last UpdateBatch of every row (may
  // repeat a row or name one accepted since): what such a batch visits, so
  // that building a result row by row with a batch per row stays linear.
  std::vector<uint32_t> pending;

  // The view and the cursor: pos is an index into view; -1 is BOF, view.size()
  // is EOF. After Delete, current_deleted is set and pos already names the
  // row that followed the deleted one.
  std::vector<uint32_t> view;
  int64_t pos = 0;
  bool current_deleted = false;
  uint64_t view_generation = 1;

  // Filter and sort as set.
  Variant filter = Variant(int32_t{0});
  FilterKind filter_kind = FilterKind::kNone;
  std::shared_ptr<const Criteria> criteria;
  std::string sort_text;
  std::vector<SortKey> sort_keys;

  // Live rows in sort order and each row's rank in it; rebuilt when rows or
  // sort-key values change.
  std::vector<uint32_t> sorted;
  std::vector<uint32_t> rank;
  bool sort_dirty = true;
  // Orders of earlier sort keys, still valid: code that alternates between
  // two sorts over unchanged rows sorts each once. Dropped on any edit.
  struct SortOrder {
    std::vector<SortKey> keys;
    std::vector<uint32_t> sorted;
    std::vector<uint32_t> rank;
  };
  std::vector<SortOrder> spare_orders;

  // Position of a row in the view, valid when its stamp is the view generation.
  std::vector<uint32_t> view_pos_of_row;
  std::vector<uint64_t> view_pos_stamp;
  uint64_t inverse_generation = 0;

  std::vector<std::unique_ptr<FieldIndex>> indexes;  // per field; null when not optimized
  // The index buckets a filter reads, kept between rebuilds for its buffer.
  std::vector<const std::vector<uint32_t>*> bucket_scratch;

  // View positions of the rows of one index bucket, ascending: what a loop
  // of Find calls on one value and one view searches. Valid while the view
  // generation is the same; edits of indexed values reset it.
  struct FindPositions {
    uint64_t generation = 0;
    size_t field = 0;
    std::string key;
    std::vector<uint32_t> positions;
  } find_positions;

  // This recordset's field shape as the criteria cache of one thread
  // numbered it; a ticket of another table (thread, or before a reset) is
  // looked up again. Reset when the fields change.
  struct ShapeTicket {
    uint64_t table = 0;
    uint32_t shape = 0;
  } shape_ticket;

  // Field indexes by the exact name last asked for: code reads the same few
  // fields by name in every row. Only found names are kept, so appending
  // fields (names are unique) never makes an entry wrong; cleared on Close.
  mutable std::vector<std::pair<std::string, int>> field_names_seen;

  // --- helpers -----------------------------------------------------------------
  size_t width() const { return fields.size(); }
  uint32_t row_count() const { return static_cast<uint32_t>(states.size()); }
  bool IsLive(uint32_t row) const { return IsLiveState(states[row]); }
  const Variant& Cell(uint32_t row, size_t field) const { return cells[row * width() + field]; }
  // The first cell of a row; valid for a recordset without fields too, whose
  // rows hold no cells (indexing `cells` there would read past its end).
  const Variant* RowCells(uint32_t row) const { return cells.data() + row * width(); }
  Variant& MutableCell(uint32_t row, size_t field) { return cells.Mutable()[row * width() + field]; }
  bool HasCurrent() const { return !current_deleted && pos >= 0 && pos < static_cast<int64_t>(view.size()); }
  uint32_t CurrentRow() const { return view[static_cast<size_t>(pos)]; }

  // Appends a row of values already of the field types; keeps the indexes.
  // The values are moved out; the caller's vector keeps its buffer.
  uint32_t AddRow(std::vector<Variant>&& values, RowState state);
  // Writes one cell (value already converted), keeping indexes, sort cache
  // and the original values of a changed row.
  void WriteCell(uint32_t row, size_t field, Variant value);
  // Fields changed: reset row storage and caches.
  void ResetRows();

  std::shared_ptr<const Criteria> Compile(std::string_view text);
  bool RowMatches(uint32_t row, const Criteria& criteria) const;
  // Recomputes the view from filter and sort and moves to its first row.
  void RebuildView();
  void EnsureSorted();
  // Stable-sorts row ids given in insertion order by the sort keys.
  void SortRows(std::vector<uint32_t>& rows) const;
  void EnsureInverse();
  void BuildIndex(size_t field);
  // The index of an optimized field, built now if it was not yet.
  FieldIndex& BuiltIndex(size_t field);
  // A sort key set changed or rows changed: the current order is stale.
  void DropSpareOrders() { spare_orders.clear(); }
};

}  // namespace trelix::recordset_internal

namespace trelix {
struct Recordset::Impl : recordset_internal::RecordsetCore {};

namespace recordset_internal {
struct Access {
  static RecordsetCore& Core(Recordset& recordset) { return *recordset.impl_; }
  static const RecordsetCore& Core(const Recordset& recordset) { return *recordset.impl_; }
};
}  // namespace recordset_internal
}  // namespace trelix
