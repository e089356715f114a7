// Whole blocks of rows in and out of a recordset: AppendRows for code that
// builds results from row-major values, TakeVisibleValues for code that
// consumes a result nobody else holds. Both move values where no other
// recordset sees them, rather than copying them cell by cell.

#include <iterator>
#include <numeric>

#include "common/recordset.h"
#include "common/recordset_internal.h"

namespace trelix {

using recordset_internal::FilterKind;
using recordset_internal::kErrArguments;
using recordset_internal::kErrObjectClosed;
using recordset_internal::RaiseAdo;
using recordset_internal::RowState;

void Recordset::AppendRows(std::vector<Variant>&& cells) {
  Impl& core = *impl_;
  if (!core.open) RaiseAdo(kErrObjectClosed);
  const size_t width = core.width();
  if (width == 0 ? !cells.empty() : cells.size() % width != 0) RaiseAdo(kErrArguments);
  if (cells.empty()) return;
  bool indexed = false;
  for (const auto& index : core.indexes) indexed = indexed || (index && index->built);
  if (core.row_count() != 0 || indexed || core.filter_kind != FilterKind::kNone || !core.sort_keys.empty()) {
    std::vector<Variant> values;
    for (size_t at = 0; at < cells.size(); at += width) {
      values.assign(std::make_move_iterator(cells.begin() + static_cast<std::ptrdiff_t>(at)),
                    std::make_move_iterator(cells.begin() + static_cast<std::ptrdiff_t>(at + width)));
      AppendRow(std::move(values));
    }
    return;
  }
  // What AppendRow leaves after each of the rows, in one step.
  const size_t rows = cells.size() / width;
  core.cells.Mutable() = std::move(cells);
  core.states.assign(rows, RowState::kUnchanged);
  core.sort_dirty = true;
  core.DropSpareOrders();
  core.find_positions.generation = 0;
  core.view.resize(rows);
  std::iota(core.view.begin(), core.view.end(), uint32_t{0});
  ++core.view_generation;
  core.pos = 0;  // a freshly filled result stands on its first row
}

std::vector<Variant> Recordset::TakeVisibleValues() {
  Impl& core = *impl_;
  if (!core.open) RaiseAdo(kErrObjectClosed);
  struct CloseAtEnd {
    Recordset& source;
    ~CloseAtEnd() {
      if (source.impl_->open) source.Close();
    }
  } close_at_end{*this};

  const size_t width = core.width();
  std::vector<Variant> values;
  // The rule the persisted-form take follows: cells that were never shared
  // are this recordset's alone, and once it is closed nothing reads them.
  // Shared cells are never written again, so they are copied.
  if (core.cells.IsShared() || core.cells.size() == 0) {
    values.reserve(core.view.size() * width);
    for (uint32_t r : core.view) values.insert(values.end(), core.RowCells(r), core.RowCells(r) + width);
    return values;
  }
  std::vector<Variant>& own = core.cells.Mutable();  // not shared: the same cells
  bool every_row = core.view.size() == core.row_count() && own.size() == core.view.size() * width;
  for (size_t i = 0; every_row && i < core.view.size(); ++i) every_row = core.view[i] == i;
  if (every_row) return std::move(own);
  values.reserve(core.view.size() * width);
  for (uint32_t r : core.view) {
    Variant* row = own.data() + static_cast<size_t>(r) * width;
    values.insert(values.end(), std::make_move_iterator(row), std::make_move_iterator(row + width));
  }
  return values;
}

}  // namespace trelix
