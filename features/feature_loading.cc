// VehicleFeatures: reading the feature list and the vehicles' standard
// texts, and laying every vehicle out against the feature list.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/vb_runtime.h"
#include "features/procedure_source.h"
#include "features/vehicle_features.h"

namespace trelix {

using features_internal::RunProcedure;

namespace {

bool IsIntegerField(const Variant& value) {
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
      return true;
    default:
      return false;
  }
}

// VB's "=" between a field value and a number; integer fields, which the
// id columns are, skip the general variant comparison.
bool EqualsNumber(const Variant& field, int64_t number) {
  if (IsIntegerField(field)) return field.integer() == number;
  return vb::Compare(field, Variant(number)) == 0;
}

// Left to the implementer: an id is matched against "vehicle_id" as VB
// compares a number with a text, numerically, so an id written with blanks
// around it (a list with a blank after each comma) still finds its rows.
class VehicleMatcher {
 public:
  explicit VehicleMatcher(const std::string& vehicle_id) : text_(vehicle_id), number_(vb::ParseNumber(vehicle_id)) {}
  bool operator()(const Variant& field) const {
    // The id's text is read once, not once per row.
    if (number_ && IsIntegerField(field)) return static_cast<double>(field.integer()) == *number_;
    return vb::Compare(field, text_) == 0;
  }

 private:
  Variant text_;
  std::optional<double> number_;
};

}  // namespace

bool VehicleFeatures::HasDatabaseInfo() const {
  return !project_database_name_.empty() && !database_connection_string_.empty() && !specs_database_name_.empty() &&
         language_id_ != -1;
}

void VehicleFeatures::ResetVehicleCollection() { vehicles_ = std::make_unique<VehicleCollection>(); }

RecordsetRef VehicleFeatures::GetFeatureData() {
  return RunProcedure(features_internal::kGetFeatureData, [&] {
    std::string sql;
    sql.reserve(400 + vehicle_id_list_.size());
    sql += "select st.vehicle_id, st.schema_id, st.content, sc.category ";
    sql += "from standard_text st ";
    sql += "inner join ";
    sql += project_database_name_;
    sql += "..standard_content sc on ( sc.schema_id = st.schema_id) ";
    sql += "where st.language_id = ";
    sql += std::to_string(language_id_);
    sql += " ";
    sql += "and st.vehicle_id in (";
    sql += vehicle_id_list_;
    sql += ") ";
    if (!category_.empty()) {
      sql += "and sc.category = N'";
      sql += category_;
      sql += "' ";
    }
    if (!segment_.empty()) {
      sql += "and sc.segment = N'";
      sql += segment_;
      sql += "' ";
    } else {
      sql += "and sc.segment = N'Default' ";
    }
    sql += "order by st.vehicle_id, sc.order_id;";
    return CreateConnector()->ExecuteQuery(sql, specs_database_name_, database_connection_string_);
  });
}

VehicleFeatures::SchemaIdList VehicleFeatures::GetSchemaIdList() {
  return RunProcedure(features_internal::kGetSchemaIdList, [&] {
    std::string sql;
    sql += "select sc.schema_id, sc.order_id, sc.row_id ";
    sql += "FROM standard_content sc ";
    sql += "WHERE ";
    if (!category_.empty()) {
      sql += "sc.category = N'";
      sql += category_;
      sql += "' ";
      sql += "and ";
    }
    if (!segment_.empty()) {
      sql += "sc.segment = N'";
      sql += segment_;
      sql += "' ";
    } else {
      sql += "sc.segment = N'Default' ";
    }
    sql += "order by sc.order_id;";
    RecordsetRef rs = CreateConnector()->ExecuteQuery(sql, project_database_name_, database_connection_string_);

    // A list of no features has no bounds, and nothing can be laid out
    // against it.
    const int32_t count = rs->RecordCount();
    if (count <= 0) RaiseVbError(kErrSubscriptOutOfRange);
    SchemaIdList list;
    list.schema_id.resize(count);
    list.order_id.resize(count);
    list.row_id.resize(count);
    list.category.resize(count);
    const int schema_field = rs->FieldIndex("schema_id");
    const int order_field = rs->FieldIndex("order_id");
    const int row_field = rs->FieldIndex("row_id");
    rs->MoveFirst();
    for (int32_t i = 0; !rs->IsEOF(); ++i) {
      if (i >= count) RaiseVbError(kErrSubscriptOutOfRange);
      list.schema_id[i] = vb::CLng(rs->Value(schema_field));
      list.order_id[i] = vb::CLng(rs->Value(order_field));
      list.row_id[i] = vb::CLng(rs->Value(row_field));
      rs->MoveNext();
    }
    rs->Close();
    return list;
  });
}

void VehicleFeatures::FillFeatureCategories(const Recordset& rs, SchemaIdList& schema_list) {
  // Left to the implementer: a feature a vehicle lacks reports the category
  // its feature row has for the other listed vehicles ("" when none has it),
  // not the category of the vehicle's next row, so that a feature keeps one
  // category across all vehicles of a comparison.
  std::unordered_map<int32_t, std::string> by_schema;
  const int schema_field = rs.FieldIndex("schema_id");
  const int category_field = rs.FieldIndex("category");
  for (int32_t row = 0, rows = rs.RecordCount(); row < rows; ++row) {
    const Variant& schema = rs.ValueAt(row, schema_field);
    const Variant& category = rs.ValueAt(row, category_field);
    // Only rows that name a feature of the list by an integer id and carry a
    // category tell anything here; a Null category fails the loading of its
    // own vehicle instead.
    if (!IsIntegerField(schema) || category.IsNull()) continue;
    const int64_t id = schema.integer();
    if (id < INT32_MIN || id > INT32_MAX) continue;
    // The first row of a feature decides; the text is copied only for it.
    auto [entry, inserted] = by_schema.try_emplace(static_cast<int32_t>(id));
    if (inserted) entry->second = vb::CStr(category);
  }
  for (size_t j = 0; j < schema_list.size(); ++j) {
    auto found = by_schema.find(schema_list.schema_id[j]);
    if (found != by_schema.end()) schema_list.category[j] = found->second;
  }
}

void VehicleFeatures::SetAllFlags(Flags& flags, bool value) { flags.assign(flags.size(), value); }

void VehicleFeatures::AddVehicleIdObject(const SchemaIdList& schema_list, Recordset& rs, const std::string& vehicle_id,
                                         Flags& flags) {
  RunProcedure(features_internal::kAddVehicleIdObject, [&] {
    auto vehicle = std::make_shared<VehicleId>();
    vehicle->SetVehicleId(vehicle_id);
    vehicle->ReserveFeatures(flags.size());

    rs.MoveFirst();
    rs.Find("vehicle_id = " + vehicle_id, 0, 1);

    SetAllFlags(flags, false);
    const int vehicle_field = rs.FieldIndex("vehicle_id");
    const int schema_field = rs.FieldIndex("schema_id");
    const int content_field = rs.FieldIndex("content");
    const int category_field = rs.FieldIndex("category");
    const VehicleMatcher same_vehicle(vehicle_id);
    size_t j = 0;
    while (!rs.IsEOF() && same_vehicle(rs.Value(vehicle_field))) {
      auto feature = std::make_shared<VehicleFeatureInfo>();
      feature->SetCategory(vb::CStr(rs.Value(category_field)));
      // A row left over after the last feature matched no feature of the
      // list: the list and the rows disagree.
      if (j >= schema_list.size() || j >= flags.size()) RaiseVbError(kErrSubscriptOutOfRange);
      if (EqualsNumber(rs.Value(schema_field), schema_list.schema_id[j])) {
        feature->SetTranslatedText(vb::CStr(rs.Value(content_field)));
        flags[j] = true;
        rs.MoveNext();
      } else {
        feature->SetTranslatedText(std::string());
        feature->SetCategory(schema_list.category[j]);
        flags[j] = false;
      }
      vehicle->Add(feature, std::to_string(j));
      ++j;
    }
    for (; j < flags.size(); ++j) {
      auto feature = std::make_shared<VehicleFeatureInfo>();
      if (j < schema_list.size()) feature->SetCategory(schema_list.category[j]);
      flags[j] = false;
      vehicle->Add(feature, std::to_string(j));
    }
    Add(vehicle, vehicle->vehicle_id());
  });
}

}  // namespace trelix
