// Recordset::Reserve: the capacity hint drivers give before appending a
// result whose size they know or expect.

#include "common/recordset.h"
#include "common/recordset_internal.h"

namespace trelix {

void Recordset::Reserve(int32_t rows) {
  if (rows <= 0) return;
  Impl& core = *impl_;
  const size_t total = core.row_count() + static_cast<size_t>(rows);
  core.cells.Mutable().reserve(total * core.width());
  core.states.reserve(total);
  core.view.reserve(total);
}

}  // namespace trelix
