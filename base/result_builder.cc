#include "base/result_builder.h"

#include <algorithm>
#include <cmath>

#include "common/com_error.h"

namespace trelix::base {
namespace {

std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

void ResultBuilder::AddColumn(std::string name, std::optional<FieldInfo> declared) {
  Column column;
  column.name = SanitizeUtf8(name);
  if (declared) column.declared_type = declared->type;
  else all_declared_ = false;
  column.text = declared && (declared->type == DataType::kVarWChar || declared->type == DataType::kVarChar ||
                             declared->type == DataType::kLongVarWChar || declared->type == DataType::kLongVarChar ||
                             declared->type == DataType::kChar);
  column.field = std::move(declared);
  columns_.push_back(std::move(column));
}

Status ResultBuilder::Fail(const Status& status) const {
  const Column& column = columns_[column_];
  return Status::InvalidArgument("Column '" + column.name + "': " + status.message());
}

Status ResultBuilder::AddNull() {
  ReserveAtFirstValue();
  cells_.push_back(Variant::Null());
  ++column_;
  return Status::Ok();
}

Status ResultBuilder::AddInteger(int64_t value) {
  Column& column = Current();
  ReserveAtFirstValue();
  // The common cases straight into the block (this runs once per value).
  if (column.declared_type == DataType::kInteger && value >= INT32_MIN && value <= INT32_MAX) {
    cells_.emplace_back(static_cast<int32_t>(value));
  } else if (column.declared_type == DataType::kBigInt) {
    cells_.emplace_back(value);
  } else if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeInteger(value);
    cells_.emplace_back(value);
  } else {
    auto converted = VariantFromInteger(value, column.declared_type);
    if (!converted.ok()) return Fail(converted.status());
    cells_.push_back(std::move(converted.value()));
  }
  ++column_;
  return Status::Ok();
}

Status ResultBuilder::AddReal(double value) {
  Column& column = Current();
  ReserveAtFirstValue();
  if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeReal();
    if (!std::isfinite(value)) return Fail(Status::InvalidArgument("a value that is not a finite number"));
    cells_.emplace_back(value);
  } else {
    auto converted = VariantFromReal(value, column.declared_type);
    if (!converted.ok()) return Fail(converted.status());
    cells_.push_back(std::move(converted.value()));
  }
  ++column_;
  return Status::Ok();
}

Status ResultBuilder::AddText(std::string_view text) {
  Column& column = Current();
  ReserveAtFirstValue();
  if (column.text) {
    cells_.emplace_back(SanitizeUtf8(text));
  } else if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeText(text);
    cells_.emplace_back(SanitizeUtf8(text));
  } else {
    auto converted = VariantFromText(text, column.declared_type);
    if (!converted.ok()) return Fail(converted.status());
    cells_.push_back(std::move(converted.value()));
  }
  ++column_;
  return Status::Ok();
}

void ResultBuilder::EndRow() {
  // A short row (never from the drivers) ends with Empty values, as a row
  // appended with fewer values would.
  if (column_ < columns_.size()) cells_.resize(cells_.size() + (columns_.size() - column_));
  column_ = 0;
}

std::vector<FieldInfo> ResultBuilder::Fields() const {
  // Field names must be unique for the recordset; a provider may return
  // duplicates (a.id, b.id) or none (an unnamed expression). Left to the
  // implementer: an empty name becomes "ExprN" (N = ordinal), a repeated one
  // gets "_N" appended, so every column stays reachable by name.
  std::vector<FieldInfo> fields;
  fields.reserve(columns_.size());
  // Names seen so far, folded; a result has few columns, so a scan beats a set.
  std::vector<std::string> used;
  used.reserve(columns_.size());
  auto taken = [&used](const std::string& folded) {
    return std::find(used.begin(), used.end(), folded) != used.end();
  };
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& column = columns_[i];
    FieldInfo field = column.field ? *column.field : column.typer.Field(column.name);
    const std::string ordinal = std::to_string(i + 1);
    if (column.name.empty()) {
      field.name = "Expr";
      field.name += ordinal;
    } else {
      field.name = column.name;
    }
    std::string folded = FoldAscii(field.name);
    while (taken(folded)) {
      field.name += '_';
      field.name += ordinal;
      folded = FoldAscii(field.name);
    }
    used.push_back(std::move(folded));
    fields.push_back(std::move(field));
  }
  return fields;
}

Result<RecordsetRef> ResultBuilder::Finish() {
  const std::vector<FieldInfo> fields = Fields();
  const size_t width = columns_.size();
  if (!all_declared_) {
    // Typed-by-value columns now convert their raw values to the chosen type.
    for (size_t i = 0; i < width; ++i) {
      if (columns_[i].declared_type != DataType::kEmpty) continue;
      const DataType type = fields[i].type;
      for (size_t at = i; at < cells_.size(); at += width) {
        Variant& cell = cells_[at];
        if (cell.IsNull()) continue;
        Result<Variant> converted = cell.IsString() ? VariantFromText(cell.string(), type)
                                    : cell.type() == VarType::kDouble ? VariantFromReal(cell.real(), type)
                                                                      : VariantFromInteger(cell.integer(), type);
        if (!converted.ok()) {
          return Status::InvalidArgument("Column '" + fields[i].name + "': " + converted.status().message());
        }
        cell = std::move(converted.value());
      }
    }
  }
  auto recordset = std::make_shared<Recordset>();
  try {
    recordset->AppendFields(std::move(fields));
    recordset->Open();
    recordset->AppendRows(std::move(cells_));  // the block becomes the storage; first row current
    cells_.clear();
  } catch (const ComError& error) {
    return Status::InvalidArgument("The result cannot be held in a recordset: " + error.description());
  }
  return recordset;
}

}  // namespace trelix::base
