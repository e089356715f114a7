#pragma once
// A key-advantage site held in memory behind the recording connector:
// advantage definitions, equipment rows, currencies and the "unlimited"
// text, each statement answered with a fresh recordset shaped as the real
// one. Plus the shared Compare call and result rows.

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/modVelloxLITE.h"
#include "common/recordset.h"
#include "common/vb_runtime.h"
#include "keyadvantages/key_advantages.h"
#include "support/raised.h"
#include "support/recording_connector.h"
#include "support/scoped_error_log.h"

namespace trelix::testing {

struct Advantage {
  int32_t row_id, schema_id;
  std::string rule, format = "T", description = "=? against =!", required_value = "", location = "-";
};

struct SpecRow {
  int32_t vehicle_id, option_id, schema_id;
  Variant data_value, full_text = Variant::Null(), price = Variant::Null(), location = Variant("-");
  int32_t parent = 0;  // 0: the schema is its own parent
};
inline SpecRow Standard(int32_t vehicle, int32_t schema, Variant value, Variant text = Variant::Null()) {
  return {vehicle, 0, schema, std::move(value), std::move(text)};
}
inline SpecRow Option(int32_t vehicle, int32_t option, int32_t schema, Variant value, double price) {
  return {vehicle, option, schema, std::move(value), Variant::Null(), Variant(Currency::FromDouble(price))};
}
inline SpecRow At(SpecRow row, const char* location, int32_t parent = 0) {
  row.location = Variant(location);
  row.parent = parent;
  return row;
}

struct CurrencyRow {
  std::string code, symbol;
  Variant symbol_after;
  int32_t decimals;
  double conversion;
};

inline std::vector<const ConnectorCall*> CallsOf(const ConnectorRecord& record, const std::string& op) {
  std::vector<const ConnectorCall*> found;
  for (const ConnectorCall& call : record.calls) {
    if (call.op == op) found.push_back(&call);
  }
  return found;
}

using QueryAnswer = std::function<RecordsetRef(const std::string& sql, const std::string& database)>;
// Fails the statements starting with `prefix` (all when empty) as a provider would.
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
  // The currency table's columns in reverse order, or without its last one.
  bool currency_columns_reversed = false;
  bool currency_without_conversion = false;

  FakeSite() {
    connector_.record().query = [this](const std::string& sql, const std::string&) { return Answer(sql); };
  }
  ConnectorRecord& record() { return connector_.record(); }

 private:
  RecordsetRef Answer(const std::string& sql) const {
    auto starts = [&](const char* prefix) { return sql.rfind(prefix, 0) == 0; };
    using V = Variant;
    std::vector<std::vector<Variant>> rows;
    if (starts("SELECT application_text")) {
      return MakeRecordset({{"application_text", DataType::kVarWChar, 50}}, {{V("unbegrenzt")}});
    }
    if (starts("SELECT DISTINCT ca.ka_order_id") || starts("SELECT ka.row_id")) {
      for (const Advantage& a : advantages) {
        std::string condition = "OR (eq.schema_id=" + std::to_string(a.schema_id);
        if (!a.required_value.empty()) condition += " AND eq.data_value='" + a.required_value + "'";
        if (a.location != "-") condition += " AND Location='" + a.location + "'";
        rows.push_back({V(a.row_id), V(a.description), V(condition + ")"), V(a.schema_id), V(a.required_value),
                        V(a.location), V(a.format), V(a.rule), V("ENG")});
      }
      return MakeRecordset({{"row_id", DataType::kInteger}, {"Description", DataType::kBSTR},
                            {"SQL", DataType::kBSTR}, {"schema_id", DataType::kInteger},
                            {"schema_id_value", DataType::kBSTR}, {"location", DataType::kBSTR},
                            {"format", DataType::kBSTR}, {"advantage_rule", DataType::kBSTR},
                            {"category", DataType::kBSTR}},
                           rows);
    }
    if (starts("SELECT eq.vehicle_id")) {
      // The price column is the one the statement names after "ol.Manuf_name, ol.".
      const size_t at = sql.find("ol.Manuf_name, ol.") + 18;
      std::vector<SpecRow> sorted = specs;
      std::stable_sort(sorted.begin(), sorted.end(), [](const SpecRow& a, const SpecRow& b) {
        return a.schema_id != b.schema_id ? a.schema_id < b.schema_id : a.option_id > b.option_id;
      });
      for (const SpecRow& s : sorted) {
        rows.push_back({V(s.vehicle_id), V(s.option_id), V(s.schema_id), V(s.parent ? s.parent : s.schema_id),
                        s.location, s.data_value, s.full_text, s.price});
      }
      return MakeRecordset({{"vehicle_id", DataType::kInteger}, {"option_id", DataType::kInteger},
                            {"schema_id", DataType::kInteger}, {"parent_schema_id", DataType::kInteger},
                            {"location", DataType::kBSTR}, {"data_value", DataType::kBSTR},
                            {"full_text", DataType::kBSTR}, {sql.substr(at, sql.find(' ', at) - at), DataType::kCurrency}},
                           rows);
    }
    if (starts("SELECT code, symbol")) {
      std::vector<TestField> fields = {{"code", DataType::kBSTR}, {"symbol", DataType::kBSTR},
                                       {"symbolafter", DataType::kBoolean}, {"decimals", DataType::kInteger},
                                       {"conversion", DataType::kDouble}};
      for (const CurrencyRow& c : currencies) {
        rows.push_back({V(c.code), V(c.symbol), c.symbol_after, V(c.decimals), V(c.conversion)});
      }
      if (currency_without_conversion) {
        fields.pop_back();
        for (auto& row : rows) row.pop_back();
      }
      if (currency_columns_reversed) {
        std::reverse(fields.begin(), fields.end());
        for (auto& row : rows) std::reverse(row.begin(), row.end());
      }
      return MakeRecordset(fields, rows);
    }
    throw ComError(-2147217900, "fake", "unexpected statement");
  }

  ScopedRecordingConnector connector_;
};

// One Compare call with the defaults the tests share.
struct CompareCall {
  std::string vehicles = "1001,1002", category = "ENG";
  int16_t language = 1;
  std::string specs = "demo_specs", project = "demo_project", currencies = "EUR", option_price_field = "msrp";
  Variant base_options, competitor_options;
  int32_t cache = 0, website_cache = 0;
  std::string connection = "sqlite:/tmp/none";
  double base_total = 0, competitor_total = 0;
  std::string price_field;
  bool display_optional = false;

  RecordsetRef Run(KeyAdvantages& ka) {
    return ka.Compare(vehicles, category, language, specs, project, currencies, option_price_field, base_options,
                      competitor_options, 0, cache, website_cache, connection, base_total, competitor_total,
                      price_field, display_optional);
  }
};

// A result row as text: row_id, description, winner, option_id, schema_id,
// option_on_competitor ("" for Empty or Null).
using ResultRow = std::vector<std::string>;
inline std::vector<ResultRow> Rows(Recordset& rs) {
  std::vector<ResultRow> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
    ResultRow row;
    for (const char* name : {"row_id", "description", "winner", "option_id", "schema_id", "option_on_competitor"}) {
      row.push_back(rs.Value(name).IsNull() ? std::string() : vb::ToText(rs.Value(name)));
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace trelix::testing
