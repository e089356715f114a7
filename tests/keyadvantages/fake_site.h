#pragma once
// A key-advantage site held in memory and served through the recording
// connector: advantage definitions, equipment rows of the vehicles, the
// currency table and the "unlimited" translation. Each statement gets a
// fresh recordset shaped as the real statement would return it.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "common/recordset.h"
#include "common/variant.h"
#include "keyadvantages/key_advantages.h"
#include "support/recording_connector.h"

namespace trelix::testing {

struct Advantage {
  int32_t row_id;
  int32_t schema_id;
  std::string rule;
  std::string format = "T";
  std::string description = "=? against =!";
  std::string required_value = "";
  std::string location = "-";
  std::string category = "ENG";
};

struct SpecRow {
  int32_t vehicle_id;
  int32_t option_id;
  int32_t schema_id;
  Variant data_value;
  Variant full_text = Variant::Null();
  Variant price = Variant::Null();  // Null for standard rows
  Variant location = Variant("-");
  Variant parent_schema_id = Variant::Null();  // Null: the schema is its own parent
};

inline SpecRow Standard(int32_t vehicle, int32_t schema, Variant value, Variant text = Variant::Null()) {
  return SpecRow{vehicle, 0, schema, std::move(value), std::move(text)};
}
inline SpecRow Option(int32_t vehicle, int32_t option, int32_t schema, Variant value, double price) {
  return SpecRow{vehicle, option, schema, std::move(value), Variant::Null(), Variant(Currency::FromDouble(price))};
}
inline SpecRow At(SpecRow row, std::string location) {
  row.location = Variant(std::move(location));
  return row;
}
inline SpecRow WithParent(SpecRow row, int32_t parent) {
  row.parent_schema_id = Variant(parent);
  return row;
}

struct CurrencyRow {
  std::string code;
  std::string symbol;
  Variant symbol_after;
  int32_t decimals;
  double conversion;
};

// The calls of one operation, in order.
inline std::vector<const ConnectorCall*> CallsOf(const ConnectorRecord& record, const std::string& op) {
  std::vector<const ConnectorCall*> found;
  for (const ConnectorCall& call : record.calls) {
    if (call.op == op) found.push_back(&call);
  }
  return found;
}

// A query answer that fails for statements starting with `prefix` (all
// statements when empty) as a provider would, and passes the others on.
using QueryAnswer = std::function<RecordsetRef(const std::string& sql, const std::string& database)>;
inline QueryAnswer FailingFor(const std::string& prefix, QueryAnswer answer) {
  return [prefix, answer](const std::string& sql, const std::string& database) -> RecordsetRef {
    if (sql.rfind(prefix, 0) == 0) throw ComError(-2147217900, "fake", "Incorrect syntax");
    return answer(sql, database);
  };
}

class FakeSite {
 public:
  std::vector<Advantage> advantages;
  std::vector<SpecRow> specs;
  std::vector<CurrencyRow> currencies;
  std::optional<Variant> unlimited = Variant("unbegrenzt");  // none: no row

  FakeSite() {
    connector_.record().query = [this](const std::string& sql, const std::string&) { return Answer(sql); };
  }

  ConnectorRecord& record() { return connector_.record(); }
  std::vector<std::string> Statements() {
    std::vector<std::string> texts;
    for (const ConnectorCall* call : CallsOf(connector_.record(), "ExecuteQuery")) texts.push_back(call->text);
    return texts;
  }

 private:
  static bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

  RecordsetRef Answer(const std::string& sql) {
    if (StartsWith(sql, "SELECT application_text")) {
      std::vector<std::vector<Variant>> rows;
      if (unlimited) rows.push_back({*unlimited});
      return MakeRecordset({{"application_text", DataType::kVarWChar, 255}}, rows);
    }
    if (StartsWith(sql, "SELECT DISTINCT ca.ka_order_id") || StartsWith(sql, "SELECT ka.row_id")) return Descriptions();
    if (StartsWith(sql, "SELECT eq.vehicle_id")) return Specs(sql);
    if (StartsWith(sql, "SELECT code, symbol")) return Currencies();
    throw ComError(-2147217900, "fake", "unexpected statement");
  }

  RecordsetRef Descriptions() const {
    std::vector<std::vector<Variant>> rows;
    for (const Advantage& a : advantages) {
      std::string sql = "OR (eq.schema_id=" + std::to_string(a.schema_id);
      if (!a.required_value.empty() && a.required_value != "-") sql += " AND eq.data_value='" + a.required_value + "'";
      if (a.location != "-") sql += " AND Location='" + a.location + "'";
      sql += ")";
      rows.push_back({Variant(int32_t{1}), Variant(a.row_id), Variant(a.description), Variant(sql),
                      Variant(a.schema_id), Variant(a.required_value), Variant(a.location), Variant(a.format),
                      Variant(a.rule), Variant(a.category)});
    }
    return MakeRecordset({{"ka_order_id", DataType::kInteger},
                          {"row_id", DataType::kInteger},
                          {"Description", DataType::kVarWChar, 255},
                          {"SQL", DataType::kVarChar, 400},
                          {"schema_id", DataType::kInteger},
                          {"schema_id_value", DataType::kVarWChar, 255},
                          {"location", DataType::kVarWChar, 10},
                          {"format", DataType::kVarWChar, 50},
                          {"advantage_rule", DataType::kVarWChar, 255},
                          {"category", DataType::kVarWChar, 50}},
                         rows);
  }

  // The price column is the one the statement names after "ol.Manuf_name, ol.".
  RecordsetRef Specs(const std::string& sql) const {
    const std::string marker = "ol.Manuf_name, ol.";
    const size_t start = sql.find(marker) + marker.size();
    const std::string price_field = sql.substr(start, sql.find(' ', start) - start);
    std::vector<SpecRow> ordered = specs;
    std::stable_sort(ordered.begin(), ordered.end(), [](const SpecRow& a, const SpecRow& b) {
      return a.schema_id != b.schema_id ? a.schema_id < b.schema_id : a.option_id > b.option_id;
    });
    std::vector<std::vector<Variant>> rows;
    int32_t record_id = 1;
    for (const SpecRow& s : ordered) {
      const Variant parent = s.parent_schema_id.IsNull() ? Variant(s.schema_id) : s.parent_schema_id;
      rows.push_back({Variant(s.vehicle_id), Variant(s.option_id), Variant(record_id++), Variant(s.schema_id), parent,
                      s.location, s.data_value, Variant::Null(), s.full_text,
                      s.option_id == 0 ? Variant::Null() : Variant("opt"), s.price});
    }
    return MakeRecordset({{"vehicle_id", DataType::kInteger},
                          {"option_id", DataType::kInteger},
                          {"record_id", DataType::kInteger},
                          {"schema_id", DataType::kInteger},
                          {"parent_schema_id", DataType::kInteger},
                          {"location", DataType::kVarWChar, 10},
                          {"data_value", DataType::kVarWChar, 255},
                          {"condition", DataType::kVarWChar, 255},
                          {"full_text", DataType::kVarWChar, 255},
                          {"Manuf_name", DataType::kVarWChar, 50},
                          {price_field, DataType::kCurrency}},
                         rows);
  }

  RecordsetRef Currencies() const {
    std::vector<std::vector<Variant>> rows;
    for (const CurrencyRow& c : currencies) {
      rows.push_back({Variant(c.code), Variant(c.symbol), c.symbol_after, Variant(c.decimals), Variant(c.conversion),
                      Variant("")});
    }
    return MakeRecordset({{"code", DataType::kVarWChar, 3},
                          {"symbol", DataType::kVarWChar, 5},
                          {"symbolafter", DataType::kBoolean},
                          {"decimals", DataType::kInteger},
                          {"conversion", DataType::kDouble},
                          {"description", DataType::kVarWChar, 50}},
                         rows);
  }

  ScopedRecordingConnector connector_;
};

// The arguments of one Compare call, with the defaults the tests share.
struct CompareCall {
  std::string vehicles = "1001,1002";
  std::string category = "ENG";
  int16_t language = 1;
  std::string specs = "demo_specs";
  std::string project = "demo_project";
  std::string currencies = "EUR";
  std::string option_price_field = "msrp";
  Variant base_options;
  Variant competitor_options;
  int16_t segmentation = 0;
  int32_t cache = 0;
  int32_t website_cache = 0;
  std::string connection = "sqlite:/tmp/none";
  double base_total = 0;
  double competitor_total = 0;
  std::string price_field;
  bool display_optional = false;

  RecordsetRef Run(KeyAdvantages& ka) {
    return ka.Compare(vehicles, category, language, specs, project, currencies, option_price_field, base_options,
                      competitor_options, segmentation, cache, website_cache, connection, base_total,
                      competitor_total, price_field, display_optional);
  }
};

// One result row, its fields as text ("" for Empty or Null).
struct ResultRow {
  std::string row_id, description, winner, option_id, schema_id, option_on_competitor, category;
  friend bool operator==(const ResultRow&, const ResultRow&) = default;
};
inline std::string FieldText(const Recordset& rs, const char* name) {
  const Variant& value = rs.Value(name);
  return value.IsNull() ? std::string() : vb::ToText(value);
}
inline std::vector<ResultRow> Rows(Recordset& rs) {
  std::vector<ResultRow> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
    rows.push_back({FieldText(rs, "row_id"), FieldText(rs, "description"), FieldText(rs, "winner"),
                    FieldText(rs, "option_id"), FieldText(rs, "schema_id"), FieldText(rs, "option_on_competitor"),
                    FieldText(rs, "category")});
  }
  return rows;
}
inline std::ostream& operator<<(std::ostream& out, const ResultRow& row) {
  return out << "{" << row.row_id << ", '" << row.description << "', winner " << row.winner << ", option "
             << row.option_id << ", schema " << row.schema_id << ", competitor option " << row.option_on_competitor
             << ", " << row.category << "}";
}

// Sends the error log of the test to a file of its own and reads the lines
// appended since the fixture started.
class ScopedErrorLog {
 public:
  ScopedErrorLog() {
    component_ = ::testing::TempDir() + "keyadv_test_component.so";
    SetComponentPathOverride(component_);
    std::remove(ErrorLogPath().c_str());
  }
  ~ScopedErrorLog() {
    std::remove(ErrorLogPath().c_str());
    SetComponentPathOverride(std::nullopt);
  }
  const std::string& component() const { return component_; }
  std::vector<std::string> Lines() const {
    std::ifstream in(ErrorLogPath());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line != "\r") lines.push_back(line);
    }
    return lines;
  }

 private:
  std::string component_;
};

}  // namespace trelix::testing
