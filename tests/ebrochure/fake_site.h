#pragma once
// An e-brochure site in memory, served through the recording connector:
// sheet lines, equipment rows (in the order of the equipment query), parent
// values and the "unlimited" translation, each statement getting fresh rows.

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ebrochure/categories.h"
#include "support/recording_connector.h"

namespace trelix::testing {

struct SheetLine {
  int32_t row_id, schema_id;
  std::string format;
  Variant sought = Variant::Null(), location = Variant("-"), custom_text = Variant::Null(), text = Variant::Null();
};

struct EquipmentRow {
  int32_t option_id, record_id, schema_id;
  Variant data_value, price = Variant::Null(), condition = Variant::Null(), full_text = Variant::Null(),
                      content = Variant::Null(), location = Variant("-");
};

inline EquipmentRow Standard(int32_t schema, Variant value, int32_t record) { return {0, record, schema, std::move(value)}; }
inline EquipmentRow Option(int32_t option, int32_t schema, Variant value, int32_t record, double price) {
  return {option, record, schema, std::move(value), Variant(Currency::FromDouble(price))};
}

struct FakeSite {
  std::vector<SheetLine> lines = {};
  std::vector<EquipmentRow> equipment = {};
  std::vector<std::pair<int32_t, Variant>> parents = {};  // sheet schema, its parent's standard value
  std::optional<Variant> unlimited = Variant("unbegrenzt");

  RecordsetRef Answer(const std::string& sql) const {
    std::vector<std::vector<Variant>> rows;
    if (sql.rfind("SELECT application_text", 0) == 0) {
      if (unlimited) rows.push_back({*unlimited});
      return MakeRecordset({{"application_text", DataType::kVarWChar, 255}}, rows);
    }
    if (sql.rfind("SELECT eb.row_id", 0) == 0) {
      for (const SheetLine& l : lines) {
        rows.push_back({Variant(l.row_id), Variant("ENG"), Variant(l.row_id), Variant(l.schema_id), l.sought, l.text,
                        l.location, Variant(l.format), l.custom_text});
      }
      return MakeRecordset({{"row_id", DataType::kInteger}, {"category", DataType::kVarWChar, 50},
                            {"order_id", DataType::kInteger}, {"con_schema_id", DataType::kInteger},
                            {"con_schema_id_val", DataType::kVarWChar, 99}, {"con_text", DataType::kVarWChar, 99},
                            {"location", DataType::kVarWChar, 20}, {"con_format", DataType::kVarWChar, 40},
                            {"con_customtext", DataType::kVarWChar, 99}},
                           rows);
    }
    if (sql.rfind("SELECT eq.option_id", 0) == 0) {
      std::vector<EquipmentRow> sorted = equipment;  // by schema, then price with Null first
      std::stable_sort(sorted.begin(), sorted.end(), [](const EquipmentRow& a, const EquipmentRow& b) {
        auto price = [](const EquipmentRow& e) { return e.price.IsNull() ? INT64_MIN : e.price.currency().scaled; };
        return a.schema_id != b.schema_id ? a.schema_id < b.schema_id : price(a) < price(b);
      });
      for (const EquipmentRow& e : sorted) {
        rows.push_back({Variant(e.option_id), Variant(e.record_id), Variant(e.schema_id), e.location, e.data_value,
                        e.condition, e.full_text, e.price, e.content});
      }
      return MakeRecordset({{"option_id", DataType::kInteger}, {"record_id", DataType::kInteger},
                            {"schema_id", DataType::kInteger}, {"location", DataType::kVarWChar, 10},
                            {"data_value", DataType::kVarWChar, 50}, {"condition", DataType::kVarWChar, 99},
                            {"full_text", DataType::kVarWChar, 99}, {"msrp", DataType::kCurrency},
                            {"content", DataType::kLongVarWChar}},
                           rows);
    }
    for (const auto& [schema, value] : parents) {
      rows.push_back({Variant(int32_t{1}), Variant(schema), value, Variant("-"), Variant(schema)});
    }
    return MakeRecordset({{"parent", DataType::kInteger}, {"schema_id", DataType::kInteger},
                          {"data_value", DataType::kVarWChar, 50}, {"location", DataType::kVarWChar, 10},
                          {"con_schema_id", DataType::kInteger}},
                         rows);
  }
  void Serve(ConnectorRecord& record) const {
    record.query = [this](const std::string& sql, const std::string&) { return Answer(sql); };
  }
};

// The compared part of one result row.
struct SheetRow {
  int32_t row_id = 0;
  std::string description;
  int64_t option_id = 0, record_id = 0;
  std::string data_value, standard_text;
  friend bool operator==(const SheetRow&, const SheetRow&) = default;
  friend std::ostream& operator<<(std::ostream& out, const SheetRow& r) {
    return out << "{" << r.row_id << ", \"" << r.description << "\", " << r.option_id << ", " << r.record_id << ", \""
               << r.data_value << "\", \"" << r.standard_text << "\"}";
  }
};

// A Categories object over `site`, served through a recording connector.
struct ServedSite {
  explicit ServedSite(FakeSite served = {}) : site(std::move(served)) { site.Serve(connector.record()); }
  FakeSite site;
  ScopedRecordingConnector connector;
  Categories categories;
  Variant options;  // GetSpecs takes the option ids by reference
};

inline Variant Ids(std::vector<int32_t> ids) {
  std::vector<Variant> items(ids.begin(), ids.end());
  return Variant::Array(std::move(items));
}

inline std::vector<SheetRow> Rows(Recordset& result) {
  std::vector<SheetRow> rows;
  for (int32_t i = 0; i < result.RecordCount(); ++i) {
    auto text = [&](int field) { return result.ValueAt(i, field).IsNull() ? "<null>" : result.ValueAt(i, field).string(); };
    rows.push_back({static_cast<int32_t>(result.ValueAt(i, 0).integer()), text(1), result.ValueAt(i, 3).integer(),
                    result.ValueAt(i, 4).integer(), text(6), text(7)});
  }
  return rows;
}

}  // namespace trelix::testing
