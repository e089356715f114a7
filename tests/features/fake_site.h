#pragma once
// A feature-comparison site held in memory, answered through the recording
// connector: standard texts per vehicle, the feature list and icon texts.
// The answers follow the statements' semantics (filter by language, vehicle
// list, category and segment; order by vehicle and display order) so that
// tests can state the data and read the comparison.

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/vb_runtime.h"
#include "features/vehicle_features.h"
#include "support/recording_connector.h"

namespace trelix::testing {

struct ContentRow {
  int32_t schema_id;
  std::string category, segment = "Default";
  int32_t order_id, row_id;
  bool listed = true;  // false: joined by the feature query, missing from the feature list
};

struct TextRow {
  int32_t vehicle_id, schema_id;
  Variant content;  // Null allowed
  int32_t language_id = 1;
};

struct IconRow {
  std::string text_id;
  Variant text;
  int32_t language_id = 1;
};

class FakeSite {
 public:
  std::vector<ContentRow> content;
  std::vector<TextRow> texts;
  std::vector<IconRow> icons = {{"icon_equipment_adds", "add.png"},
                                {"icon_equipment_deletes", "del.png"},
                                {"icon_equipment_changes", "chg.png"}};
  // What the feature query's rows report as category, when a test wants
  // something other than the feature list's own (Null, for example).
  std::map<int32_t, Variant> category_override;
  // Answer the feature query for every vehicle, whatever the list says.
  bool all_vehicles = false;
  // A statement starting with this text fails as an engine would fail it.
  std::string failing_statement;

  // The vehicle list, language, category and segment the statements are
  // answered for, taken from the object under test when its query runs.
  const VehicleFeatures* features = nullptr;

  void Install(ConnectorRecord& record) {
    record.query = [this](const std::string& sql, const std::string&) -> RecordsetRef {
      if (!failing_statement.empty() && sql.rfind(failing_statement, 0) == 0) {
        throw ComError(-2147217900, "PostgreSQL", "relation \"standard_content\" does not exist");
      }
      if (sql.rfind("select st.vehicle_id", 0) == 0) return FeatureRows();
      if (sql.rfind("select sc.schema_id", 0) == 0) return SchemaRows();
      if (sql.rfind("select ats.text_id", 0) == 0) return IconRows();
      throw ComError(-2147217900, "fake", "unexpected statement");
    };
  }

 private:
  std::string Setting(Variant value) const { return vb::CStr(value); }
  bool Selected(const ContentRow& row) const {
    const std::string category = Setting(features->Category());
    const std::string segment = Setting(features->Segment());
    if (!category.empty() && !vb::TextEquals(row.category, category)) return false;
    return vb::TextEquals(row.segment, segment.empty() ? "Default" : segment);
  }
  std::vector<ContentRow> SelectedContent() const {
    std::vector<ContentRow> rows;
    for (const ContentRow& row : content) {
      if (Selected(row)) rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.order_id < b.order_id; });
    return rows;
  }

  RecordsetRef FeatureRows() const {
    std::vector<int32_t> ids;
    for (const std::string& id : vb::Split(Setting(features->VehicleIdList()), ",")) {
      if (auto number = vb::ParseNumber(id)) ids.push_back(static_cast<int32_t>(*number));
    }
    if (all_vehicles) {
      for (const TextRow& st : texts) ids.push_back(st.vehicle_id);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    const int32_t language = vb::CLng(features->LanguageId());
    std::vector<std::vector<Variant>> rows;
    for (int32_t id : ids) {
      for (const ContentRow& sc : SelectedContent()) {
        for (const TextRow& st : texts) {
          if (st.vehicle_id != id || st.schema_id != sc.schema_id || st.language_id != language) continue;
          auto category = category_override.find(sc.schema_id);
          rows.push_back({st.vehicle_id, st.schema_id, st.content,
                          category == category_override.end() ? Variant(sc.category) : category->second});
        }
      }
    }
    return MakeRecordset({{"vehicle_id", DataType::kInteger},
                          {"schema_id", DataType::kInteger},
                          {"content", DataType::kVarWChar},
                          {"category", DataType::kVarWChar}},
                         rows);
  }

  RecordsetRef SchemaRows() const {
    std::vector<std::vector<Variant>> rows;
    for (const ContentRow& sc : SelectedContent()) {
      if (sc.listed) rows.push_back({sc.schema_id, sc.order_id, sc.row_id});
    }
    return MakeRecordset(
        {{"schema_id", DataType::kInteger}, {"order_id", DataType::kInteger}, {"row_id", DataType::kInteger}}, rows);
  }

  RecordsetRef IconRows() const {
    const int32_t language = vb::CLng(features->LanguageId());
    std::vector<std::vector<Variant>> rows;
    for (const IconRow& icon : icons) {
      if (icon.language_id == language) rows.push_back({icon.text_id, icon.text});
    }
    return MakeRecordset({{"text_id", DataType::kVarWChar}, {"application_text", DataType::kVarWChar}}, rows);
  }
};

}  // namespace trelix::testing
