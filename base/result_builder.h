#pragma once
// ResultBuilder: turns the rows an engine returns into the recordset the
// connector hands out: a client-side, disconnected, updatable recordset of
// all rows, positioned on the first one.
//
// Columns with a declared type convert each value as it arrives; columns
// without one (expressions) keep the raw values until the end and are then
// typed from all of them (ValueTyper). Values are gathered row after row in
// one block, which becomes the recordset's storage as it is: no value is
// moved twice and no row is appended one by one.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/column_types.h"
#include "common/recordset.h"
#include "common/status.h"

namespace trelix::base {

class ResultBuilder {
 public:
  // Declares the next column. `declared` is nullopt when the engine knows no
  // type for it.
  void AddColumn(std::string name, std::optional<FieldInfo> declared);

  // Values of the current row, in column order; after the last, EndRow.
  // A value that does not fit its column's type is an InvalidArgument
  // naming the column.
  Status AddNull();
  Status AddInteger(int64_t value);
  Status AddReal(double value);
  Status AddText(std::string_view text);
  // The number of rows expected (exact or a guess): storage for them is
  // made once instead of regrown. Call before the first row.
  void ExpectRows(size_t rows) { expected_rows_ = std::min<size_t>(rows, kMaxExpectedRows); }
  void EndRow();

  // The recordset (field names made unique and non-empty).
  Result<RecordsetRef> Finish();

 private:
  struct Column {
    std::string name;
    std::optional<FieldInfo> field;
    DataType declared_type = DataType::kEmpty;
    bool text = false;  // a declared text type: values go in as they are
    ValueTyper typer;
  };
  Status Fail(const Status& status) const;
  // The recordset's fields: names unique and non-empty, types as declared or
  // as the values seen so far say.
  std::vector<FieldInfo> Fields() const;

  // The column the next value belongs to.
  Column& Current() { return columns_[column_]; }
  // Storage for the expected rows, made once, at the first value.
  void ReserveAtFirstValue() {
    if (cells_.empty()) cells_.reserve(std::max<size_t>(expected_rows_, 1) * columns_.size());
  }

  std::vector<Column> columns_;
  // A guess is capped: a large earlier result must not make every later,
  // smaller one reserve as much.
  static constexpr size_t kMaxExpectedRows = 100000;
  size_t expected_rows_ = 0;
  bool all_declared_ = true;
  std::vector<Variant> cells_;  // row-major, every row complete but the current one
  size_t column_ = 0;           // of the current row
};

}  // namespace trelix::base
