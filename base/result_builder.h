#pragma once
// ResultBuilder: turns the rows an engine returns into the recordset the
// connector hands out: a client-side, disconnected, updatable recordset of
// all rows, positioned on the first one.
//
// Columns with a declared type convert each value as it arrives; columns
// without one (expressions) keep the raw values until the end and are then
// typed from all of them (ValueTyper).

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
  size_t ColumnCount() const { return columns_.size(); }
  // The declared type of column i, or kEmpty when it is typed by value.
  DataType DeclaredType(size_t column) const { return columns_[column].declared_type; }

  // Values of the current row, in column order; after the last, EndRow.
  // A value that does not fit its column's type is an InvalidArgument
  // naming the column.
  Status AddNull();
  Status AddInteger(int64_t value);
  Status AddReal(double value);
  Status AddText(std::string_view text);
  // A value already of the column's type (drivers with their own conversion).
  void AddVariant(Variant value);
  void EndRow();

  // The recordset (field names made unique and non-empty).
  Result<RecordsetRef> Finish();

 private:
  struct Column {
    std::string name;
    std::optional<FieldInfo> field;
    DataType declared_type = DataType::kEmpty;
    ValueTyper typer;
  };
  Status Fail(const Status& status) const;

  std::vector<Column> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::vector<Variant> row_;
};

}  // namespace trelix::base
