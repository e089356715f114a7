#pragma once
// An e-brochure site held in memory and served through the recording
// connector: sheet lines, the vehicle's equipment rows, the parent values
// and the "unlimited" translation. Each statement of the spec sheet gets a
// fresh recordset, in the order the real statement would give it.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/recordset.h"
#include "common/variant.h"
#include "ebrochure/categories.h"
#include "support/recording_connector.h"

namespace trelix::testing {

struct SheetLine {
  int32_t row_id;
  int32_t schema_id;
  std::string format;
  Variant sought = Variant::Null();
  Variant location = Variant("-");
  Variant custom_text = Variant::Null();
  Variant text = Variant::Null();
};

struct EquipmentRow {
  int32_t option_id;
  int32_t record_id;
  int32_t schema_id;
  Variant data_value;
  Variant price = Variant::Null();  // Null for standard rows
  Variant condition = Variant::Null();
  Variant full_text = Variant::Null();
  Variant content = Variant::Null();
  Variant location = Variant("-");
};

struct ParentRow {
  int32_t schema_id;  // the sheet schema whose parent this is
  Variant data_value;
  Variant location = Variant("-");
};

inline EquipmentRow Standard(int32_t schema_id, Variant value, int32_t record_id) {
  return EquipmentRow{0, record_id, schema_id, std::move(value)};
}
inline EquipmentRow Option(int32_t option_id, int32_t schema_id, Variant value, int32_t record_id, double price) {
  return EquipmentRow{option_id, record_id, schema_id, std::move(value), Variant(Currency::FromDouble(price))};
}

struct FakeSite {
  std::vector<SheetLine> lines;
  std::vector<EquipmentRow> equipment;
  std::vector<ParentRow> parents;
  std::optional<Variant> unlimited;  // the application text; none: no row

  RecordsetRef Sheet() const {
    std::vector<std::vector<Variant>> rows;
    for (const SheetLine& l : lines) {
      rows.push_back({Variant(l.row_id), Variant("ENG"), Variant(l.row_id), Variant(l.schema_id), l.sought, l.text,
                      l.location, Variant(l.format), l.custom_text});
    }
    return MakeRecordset({{"row_id", DataType::kInteger},
                          {"category", DataType::kVarWChar, 20},
                          {"order_id", DataType::kInteger},
                          {"con_schema_id", DataType::kInteger},
                          {"con_schema_id_val", DataType::kVarWChar, 255},
                          {"con_text", DataType::kVarWChar, 255},
                          {"location", DataType::kVarWChar, 20},
                          {"con_format", DataType::kVarWChar, 255},
                          {"con_customtext", DataType::kVarWChar, 255}},
                         rows);
  }

  // Ordered as the equipment query orders: by schema, then price with the
  // standard rows (Null price) first.
  RecordsetRef Equipment(const std::string& price_field) const {
    std::vector<EquipmentRow> sorted = equipment;
    std::stable_sort(sorted.begin(), sorted.end(), [](const EquipmentRow& a, const EquipmentRow& b) {
      if (a.schema_id != b.schema_id) return a.schema_id < b.schema_id;
      if (a.price.IsNull() != b.price.IsNull()) return a.price.IsNull();
      if (a.price.IsNull()) return false;
      return a.price.currency().scaled < b.price.currency().scaled;
    });
    std::vector<std::vector<Variant>> rows;
    for (const EquipmentRow& e : sorted) {
      rows.push_back({Variant(e.option_id), Variant(e.record_id), Variant(e.schema_id), e.location, e.data_value,
                      e.condition, e.full_text, e.price, e.content});
    }
    return MakeRecordset({{"option_id", DataType::kInteger},
                          {"record_id", DataType::kInteger},
                          {"schema_id", DataType::kInteger},
                          {"location", DataType::kVarWChar, 10},
                          {"data_value", DataType::kVarWChar, 255},
                          {"condition", DataType::kVarWChar, 255},
                          {"full_text", DataType::kVarWChar, 255},
                          {price_field, DataType::kCurrency},
                          {"content", DataType::kLongVarWChar}},
                         rows);
  }

  RecordsetRef Parents() const {
    std::vector<std::vector<Variant>> rows;
    for (const ParentRow& p : parents) {
      rows.push_back({Variant(int32_t{1}), Variant(p.schema_id), p.data_value, p.location, Variant(p.schema_id)});
    }
    return MakeRecordset({{"parent", DataType::kInteger},
                          {"schema_id", DataType::kInteger},
                          {"data_value", DataType::kVarWChar, 50},
                          {"location", DataType::kVarWChar, 10},
                          {"con_schema_id", DataType::kInteger}},
                         rows);
  }

  RecordsetRef Texts() const {
    std::vector<std::vector<Variant>> rows;
    if (unlimited) rows.push_back({*unlimited});
    return MakeRecordset({{"application_text", DataType::kVarWChar, 255}}, rows);
  }

  // Serves the four statements of the spec sheet by their opening words.
  void Serve(ConnectorRecord& record, const std::string& price_field = "msrp") const {
    record.query = [this, price_field](const std::string& sql, const std::string&) -> RecordsetRef {
      if (sql.rfind("SELECT application_text", 0) == 0) return Texts();
      if (sql.rfind("SELECT eb.row_id", 0) == 0) return Sheet();
      if (sql.rfind("SELECT eq.option_id", 0) == 0) return Equipment(price_field);
      if (sql.rfind("SELECT DISTINCT eq.schema_id", 0) == 0) return Parents();
      throw ComError(-2147217900, "fake", "unexpected statement: " + sql);
    };
  }
};

// One row of a spec sheet result, for comparisons.
struct SheetRow {
  int32_t row_id = 0;
  std::string description;
  int32_t option_id = 0;
  int32_t record_id = 0;
  std::string data_value;
  std::string standard_text;

  friend bool operator==(const SheetRow&, const SheetRow&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const SheetRow& row) {
  return out << "{" << row.row_id << ", \"" << row.description << "\", " << row.option_id << ", " << row.record_id
             << ", \"" << row.data_value << "\", \"" << row.standard_text << "\"}";
}

inline std::string TextOf(const Variant& value) { return value.IsNull() ? "<null>" : value.IsEmpty() ? "" : value.string(); }

inline std::vector<SheetRow> Rows(Recordset& result) {
  std::vector<SheetRow> rows;
  if (result.RecordCount() == 0) return rows;
  result.MoveFirst();
  while (!result.IsEOF()) {
    rows.push_back({static_cast<int32_t>(result.Value("row_id").integer()), TextOf(result.Value("description")),
                    static_cast<int32_t>(result.Value("option_id").integer()),
                    static_cast<int32_t>(result.Value("record_id").integer()), TextOf(result.Value("data_value")),
                    TextOf(result.Value("standard_text"))});
    result.MoveNext();
  }
  return rows;
}

}  // namespace trelix::testing
