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
  const Column& column = columns_[row_.size()];
  return Status::InvalidArgument("Column '" + column.name + "': " + status.message());
}

Status ResultBuilder::AddNull() {
  row_.push_back(Variant::Null());
  return Status::Ok();
}

Status ResultBuilder::AddInteger(int64_t value) {
  Column& column = columns_[row_.size()];
  // The common cases straight into the row (this runs once per value).
  if (column.declared_type == DataType::kInteger && value >= INT32_MIN && value <= INT32_MAX) {
    row_.emplace_back(static_cast<int32_t>(value));
    return Status::Ok();
  }
  if (column.declared_type == DataType::kBigInt) {
    row_.emplace_back(value);
    return Status::Ok();
  }
  if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeInteger(value);
    row_.emplace_back(value);
    return Status::Ok();
  }
  auto converted = VariantFromInteger(value, column.declared_type);
  if (!converted.ok()) return Fail(converted.status());
  row_.push_back(std::move(converted.value()));
  return Status::Ok();
}

Status ResultBuilder::AddReal(double value) {
  Column& column = columns_[row_.size()];
  if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeReal();
    if (!std::isfinite(value)) return Fail(Status::InvalidArgument("a value that is not a finite number"));
    row_.emplace_back(value);
    return Status::Ok();
  }
  auto converted = VariantFromReal(value, column.declared_type);
  if (!converted.ok()) return Fail(converted.status());
  row_.push_back(std::move(converted.value()));
  return Status::Ok();
}

Status ResultBuilder::AddText(std::string_view text) {
  Column& column = columns_[row_.size()];
  if (column.text) {
    row_.emplace_back(SanitizeUtf8(text));
    return Status::Ok();
  }
  if (column.declared_type == DataType::kEmpty) {
    column.typer.SeeText(text);
    row_.emplace_back(SanitizeUtf8(text));
    return Status::Ok();
  }
  auto converted = VariantFromText(text, column.declared_type);
  if (!converted.ok()) return Fail(converted.status());
  row_.push_back(std::move(converted.value()));
  return Status::Ok();
}

void ResultBuilder::EndRow() {
  if (all_declared_) {
    if (!recordset_) {
      // A field the recordset refuses cannot be: declared fields are valid.
      if (!OpenRecordset(Fields()).ok()) all_declared_ = false;
    }
    if (recordset_) {
      recordset_->AppendRow(std::move(row_));  // moves the values out, keeps the buffer
      row_.clear();
      return;
    }
  }
  if (rows_.empty()) rows_.reserve(expected_rows_);
  rows_.push_back(std::move(row_));
  row_.clear();
  row_.reserve(columns_.size());
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
    field.name = column.name.empty() ? "Expr" + std::to_string(i + 1) : column.name;
    std::string folded = FoldAscii(field.name);
    while (taken(folded)) {
      field.name += "_" + std::to_string(i + 1);
      folded = FoldAscii(field.name);
    }
    used.push_back(std::move(folded));
    fields.push_back(std::move(field));
  }
  return fields;
}

Status ResultBuilder::OpenRecordset(std::vector<FieldInfo> fields) {
  auto recordset = std::make_shared<Recordset>();
  try {
    recordset->AppendFields(std::move(fields));
    recordset->Open();
    recordset->Reserve(static_cast<int32_t>(std::max(expected_rows_, rows_.size())));
  } catch (const ComError& error) {
    return Status::InvalidArgument("The result cannot be held in a recordset: " + error.description());
  }
  recordset_ = std::move(recordset);
  return Status::Ok();
}

Result<RecordsetRef> ResultBuilder::Finish() {
  if (!recordset_) {
    const std::vector<FieldInfo> fields = Fields();
    // Typed-by-value columns now convert their raw values to the chosen type.
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (columns_[i].declared_type != DataType::kEmpty) continue;
      const DataType type = fields[i].type;
      for (auto& row : rows_) {
        Variant& cell = row[i];
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
    if (Status opened = OpenRecordset(std::move(fields)); !opened.ok()) return opened;
  }
  try {
    for (auto& row : rows_) recordset_->AppendRow(std::move(row));
    rows_.clear();
    if (recordset_->RecordCount() > 0) recordset_->MoveFirst();
  } catch (const ComError& error) {
    return Status::InvalidArgument("The result cannot be held in a recordset: " + error.description());
  }
  return std::move(recordset_);
}

}  // namespace trelix::base
