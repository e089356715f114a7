// VehicleFeatures: the comparison type, DoFeatureComparison, the two walks
// over the vehicle list and the icon texts.

#include <string>
#include <string_view>
#include <vector>

#include "common/call_scope.h"
#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/vb_runtime.h"
#include "features/procedure_source.h"
#include "features/vehicle_features.h"

namespace trelix {

using features_internal::RunProcedure;

namespace {

[[noreturn]] void RaiseFeatureError(const char* description) {
  throw ComError(kErrFeatureComparison, kComponentName, description);
}

// Blanks around a list item, as a list written "101, 205" has them.
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

void VehicleFeatures::SetComparisonType_NeighborBased() {
  comparison_type_ = static_cast<int32_t>(SearchType::NeighborBased);
}

void VehicleFeatures::SetComparisonType_PrimaryBased(const Variant& vPrimaryVehicleId) {
  std::string id = vb::CStr(vPrimaryVehicleId);
  primary_vehicle_id_ = id;
  comparison_type_ = static_cast<int32_t>(SearchType::PrimaryBased);

  // Left to the implementer: the primary id is looked for as a whole list
  // item (blanks around an item ignored), never inside a longer id, so that
  // 5 in "25,5" moves the 5 and leaves 25 whole.
  std::vector<std::string> items = vb::Split(vehicle_id_list_, ",");
  size_t found = items.size();
  for (size_t k = 0; k < items.size(); ++k) {
    if (TrimBlanks(items[k]) == TrimBlanks(id)) {
      found = k;
      break;
    }
  }
  if (found == items.size()) {
    // Not in the list: the primary vehicle is put before it (an empty list
    // becomes the id and a comma).
    vehicle_id_list_ = id + "," + vehicle_id_list_;
    return;
  }
  // Left to the implementer: a list holding only the primary id stays that
  // id alone; a trailing comma would leave the feature query an empty item.
  std::string rewritten = id;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k == found) continue;
    rewritten += ",";
    rewritten += items[k];
  }
  vehicle_id_list_ = std::move(rewritten);
}

void VehicleFeatures::DoFeatureComparison() {
  CallScope call;  // the statements share sessions and a read snapshot
  RunProcedure(features_internal::kDoFeatureComparison, [&] { DoFeatureComparisonBody(); });
}

void VehicleFeatures::DoFeatureComparisonBody() {
  if (!HasDatabaseInfo()) RaiseFeatureError("Missing Database info (Name(s), Language, or Connection String)");
  ResetVehicleCollection();
  RecordsetRef rs = GetFeatureData();
  SchemaIdList schema_list = GetSchemaIdList();
  GetIconInformation();
  if (rs->RecordCount() != 0) {
    FillFeatureCategories(*rs, schema_list);
    // Every vehicle is looked up from the first row; an index keeps a long
    // list from costing a scan of all rows per vehicle.
    rs->SetOptimize("vehicle_id", true);
    switch (static_cast<SearchType>(comparison_type_)) {
      case SearchType::NeighborBased:
        CompareNeighborBased(*rs, schema_list);
        break;
      case SearchType::PrimaryBased:
        ComparePrimaryBased(*rs, schema_list);
        break;
      default:
        RaiseFeatureError("Unknown search type requested");
    }
  }
  rs->Close();
}

void VehicleFeatures::CompareNeighborBased(Recordset& rs, const SchemaIdList& schema_list) {
  if (vehicle_id_list_.empty()) RaiseFeatureError("Missing list of vehicles");
  const std::vector<std::string> ids = vb::Split(vehicle_id_list_, ",");
  Flags current(schema_list.size());
  Flags reference(schema_list.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    AddVehicleIdObject(schema_list, rs, ids[i], current);
    const auto index = static_cast<int32_t>(i);
    if (i > 0) {
      CompareVehicleFeatures(index, index - 1, current, reference, false);
    } else {
      CompareVehicleFeatures(0, 0, current, reference, true);
    }
    reference = current;
  }
}

void VehicleFeatures::ComparePrimaryBased(Recordset& rs, const SchemaIdList& schema_list) {
  if (primary_vehicle_id_.empty()) RaiseFeatureError("Missing Primary Vehicle Id");
  if (vehicle_id_list_.empty()) RaiseFeatureError("Missing list of vehicles");
  Flags current(schema_list.size());
  Flags reference(schema_list.size());
  const std::vector<std::string> ids = vb::Split(vehicle_id_list_, ",");
  // The reference is the first vehicle of the list, which the primary-based
  // setter made the primary one; the id itself is not looked up here.
  for (size_t i = 0; i < ids.size(); ++i) {
    AddVehicleIdObject(schema_list, rs, ids[i], current);
    if (i > 0) {
      CompareVehicleFeatures(static_cast<int32_t>(i), 0, current, reference, false);
    } else {
      CompareVehicleFeatures(0, 0, current, reference, true);
      reference = current;
    }
  }
}

void VehicleFeatures::CompareVehicleFeatures(int32_t i, int32_t r, const Flags& current, const Flags& reference,
                                             bool first) {
  const VehicleCollection& vehicles = Collection();
  const VehicleRef cur = vehicles.At(i + 1);
  const VehicleRef ref = vehicles.At(r + 1);
  for (size_t j = 0; j < current.size(); ++j) {
    const auto position = static_cast<int64_t>(j) + 1;
    VehicleFeatureInfo& feature = *cur->features().At(position);
    if (first) {
      feature.SetFeatureState_InitialVehicle();
    } else if (!reference.at(j)) {
      if (current[j]) {
        feature.SetFeatureState_Added();
      } else {
        feature.SetFeatureState_SameAsOther();
      }
    } else if (!current[j]) {
      feature.SetFeatureState_Deleted();
    } else if (feature.TranslatedText() == ref->features().At(position)->TranslatedText()) {
      // Texts compare exactly: a change of letter case is a change.
      feature.SetFeatureState_SameAsOther();
    } else {
      feature.SetFeatureState_Changed();
    }
    feature.SetIconText(icon_info_);
  }
}

void VehicleFeatures::GetIconInformation() {
  RunProcedure(features_internal::kGetIconInformation, [&] {
    std::string sql;
    sql += "select ats.text_id, ats.application_text ";
    sql += "from application_texts ats ";
    sql += "Where ats.language_id = ";
    sql += std::to_string(language_id_);
    sql += " ";
    sql += "AND (ats.text_id like 'icon_equipment%') ";
    sql += "order by ats.text_id;";
    RecordsetRef rs = CreateConnector()->ExecuteQuery(sql, project_database_name_, database_connection_string_);
    // Fields with no row keep what an earlier comparison put in them.
    const int id_field = rs->FieldIndex("text_id");
    const int text_field = rs->FieldIndex("application_text");
    while (!rs->IsEOF()) {
      const Variant& text_id = rs->Value(id_field);
      // A Null id names no icon.
      if (!text_id.IsNull()) {
        const std::string id = vb::LCase(vb::CStr(text_id));
        if (id == "icon_equipment_adds") {
          icon_info_.IconAdded = vb::CStr(rs->Value(text_field));
        } else if (id == "icon_equipment_deletes") {
          icon_info_.IconDeleted = vb::CStr(rs->Value(text_field));
        } else if (id == "icon_equipment_changes") {
          icon_info_.IconChanged = vb::CStr(rs->Value(text_field));
        }
      }
      rs->MoveNext();
    }
    rs->Close();
  });
}

}  // namespace trelix
