#include "base_sql/sample_schema.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sqlite3.h>

namespace trelix::sql::testing {

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

namespace {

struct TableDef {
  bool project;
  const char* name;
  const char* columns;  // $T<n>: case-insensitive text; $INT, $MONEY, $BIT, $FLOAT
  std::vector<const char*> rows;
};

const std::vector<TableDef>& Tables() {
  static const auto* tables = new std::vector<TableDef>{
      {true, "categories", "category_name $T20, ka_order_id $INT, eb_order_id $INT, sc_order_id $INT",
       {"'ENG', 1, 2, 2", "'Comfort', 2, 1, 3", "'SAFETY', 3, 3, 1"}},
      {true, "key_advantages",
       "row_id $INT, category $T20, con_schema_id $INT, con_schema_id_val $T255, location $T10, con_format $T20, "
       "advantage_rule $T50",
       {"1, 'ENG', 100, 'Y', '-', 'num', 'higher'", "2, 'eng', 101, '', 'F', 'num', 'lower'",
        "3, 'Comfort', 102, '-', '-', 'txt', NULL", "4, 'Comfort', 103, 'x', 'R', 'txt', 'yes'"}},
      {true, "key_advantage_text", "key_advantage_row_id $INT, language_id $INT, key_advantage_text $T200",
       {"1, 1, 'More power'", "2, 1, 'Less fuel'", "3, 1, 'Seats'", "4, 1, 'Roof'"}},
      {true, "ka_segmentation", "key_advantage_row_id $INT, segmentation_id $INT, segment_order_id $INT",
       {"1, 2, 20", "2, 2, 10", "4, 2, 5"}},
      {true, "currency_symbol",
       "code $T3, symbol $T5, symbolafter $BIT, decimals $INT, conversion $FLOAT, description $T50",
       {"'EUR', 'E', $FALSE, 2, 1.0, 'Euro'", "'GBP', 'L', $TRUE, 2, 0.85, 'Pound'"}},
      {true, "application_texts", "text_id $T50, language_id $INT, application_text $T200",
       {"'UNLIMITED', 1, 'Unlimited'", "'ENG', 1, 'Engine'", "'Comfort', 1, 'Comfort'", "'SAFETY', 1, 'Safety'",
        "'icon_equipment_std', 1, 'S'", "'ICON_EQUIPMENT_OPT', 1, 'O'", "'iconXequipment', 1, 'X'",
        "'custom1', 1, 'Custom'"}},
      {true, "e_brochure",
       "row_id $INT, category $T20, order_id $INT, con_schema_id $INT, con_schema_id_val $T255, con_text $T200, "
       "location $T10, con_format $T20, con_customtextid $T50",
       {"10, 'ENG', 1, 100, '', 'Power', '-', 'num', 'CUSTOM1'", "11, 'eng', 2, 101, '', 'Fuel', 'F', 'num', NULL",
        "12, 'ENG', 3, 0, '', 'Heading', NULL, 'hdr', NULL", "13, 'Comfort', 1, 102, '', 'Seats', '-', 'txt', NULL"}},
      {true, "segmentation", "e_brochure_row_id $INT, segmentation_id $INT, segment_order_id $INT",
       {"10, 2, 3", "11, 2, 1", "13, 2, 2"}},
      {true, "eb_segmentation", "e_brochure_row_id $INT, segmentation_id $INT, segment_order_id $INT",
       {"10, 2, 3", "11, 2, 1", "12, 2, 2", "13, 2, 4"}},
      {true, "e_brochure_text", "ebrochure_row_id $INT, language_id $INT, e_brochure_text $T200",
       {"10, 1, 'Power'", "11, 1, 'Fuel'", "12, 1, 'Engine data'", "13, 1, 'Seats'"}},
      {true, "standard_content", "schema_id $INT, category $T20, segment $T20, order_id $INT, row_id $INT",
       {"500, 'Comfort', 'Default', 1, 1", "501, 'comfort', 'Default', 2, 2", "502, 'SAFETY', 'Sport', 3, 3",
        "503, 'Comfort', 'SPORT', 4, 4"}},
      {false, "equipment",
       "vehicle_id $INT, option_id $INT, record_id $INT, schema_id $INT, location $T10, data_value $T255, "
       "condition $T255",
       {"1001, 0, 1, 100, '-', 'Y', NULL", "1001, 12, 2, 100, '-', 'N', '12'", "1001, 0, 3, 101, 'F', '5', NULL",
        "1001, 0, 4, 102, '-', 'yes', NULL", "1002, 0, 5, 100, '-', 'y', NULL", "1001, 0, 6, 200, '-', 'P', NULL"}},
      {false, "schema_info", "schema_id $INT, parent_schema_id $INT",
       {"100, 200", "101, NULL", "102, NULL", "103, NULL", "200, NULL"}},
      {false, "option_list", "vehicle_id $INT, option_id $INT, Manuf_name $T50, msrp $MONEY", {"1001, 12, 'Maker', 500"}},
      {false, "schema_text", "schema_id $INT, data_value $T255, language_id $INT, full_text $T200",
       {"100, 'Y', 1, 'Yes'", "102, 'YES', 1, 'Standard'"}},
      {false, "standard_text", "vehicle_id $INT, schema_id $INT, language_id $INT, content $T200",
       {"1001, 200, 1, 'Parent text'", "1001, 500, 1, 'Air'", "1002, 501, 1, 'Heat'", "1001, 502, 1, 'ESP'",
        "1002, 503, 1, 'Sport seats'"}},
  };
  return *tables;
}

std::string Types(std::string columns, Dialect d) {
  const bool pg = d == Dialect::kPostgres;
  // $T<n> first: its digits end at the next non-digit.
  for (size_t at; (at = columns.find("$T")) != std::string::npos && at + 2 < columns.size() &&
                  isdigit(static_cast<unsigned char>(columns[at + 2]));) {
    size_t end = at + 2;
    while (end < columns.size() && isdigit(static_cast<unsigned char>(columns[end]))) ++end;
    const std::string n = columns.substr(at + 2, end - at - 2);
    columns.replace(at, end - at, pg ? "varchar(" + n + ") COLLATE ci" : "nvarchar(" + n + ") COLLATE NOCASE");
  }
  columns = ReplaceAll(columns, "$INT", pg ? "integer" : "int");
  columns = ReplaceAll(columns, "$MONEY", pg ? "numeric(19,4)" : "money");
  columns = ReplaceAll(columns, "$BIT", pg ? "boolean" : "bit");
  columns = ReplaceAll(columns, "$FLOAT", pg ? "double precision" : "float");
  return columns;
}

}  // namespace

std::vector<std::string> SampleSchema(Dialect dialect, const std::string& project_schema,
                                      const std::string& specs_schema) {
  const bool pg = dialect == Dialect::kPostgres;
  std::vector<std::string> out;
  for (const TableDef& t : Tables()) {
    const std::string name = (t.project ? project_schema : specs_schema) + "." + t.name;
    out.push_back("CREATE TABLE " + name + " (" + Types(t.columns, dialect) + ")");
    for (const char* row : t.rows) {
      std::string values = ReplaceAll(ReplaceAll(row, "$TRUE", pg ? "true" : "1"), "$FALSE", pg ? "false" : "0");
      out.push_back("INSERT INTO " + name + " VALUES (" + values + ")");
    }
  }
  return out;
}

TranslateOptions SampleOptions() {
  TranslateOptions options;
  options.column_types = [](std::string_view, std::string_view table,
                            std::string_view column) -> std::optional<std::string> {
    for (const TableDef& t : Tables()) {
      if (table != t.name) continue;
      // ", name type, name type, ": the type runs from after ", name " to the next ", ".
      const std::string columns = ", " + Types(t.columns, Dialect::kSqlite) + ", ";
      const size_t at = columns.find(", " + std::string(column) + " ");
      if (at == std::string::npos) continue;
      const size_t type = at + column.size() + 3;
      return columns.substr(type, columns.find(", ", type) - type);
    }
    return std::nullopt;
  };
  return options;
}

std::vector<Construct> Constructs() {
  return {
      {"SELECT TOP 2 row_id FROM e_brochure ORDER BY row_id DESC", {{"13"}, {"12"}}},
      // NULL sorts first, so last when descending.
      {"SELECT TOP 2 row_id FROM e_brochure ORDER BY location DESC, row_id", {{"11"}, {"10"}}},
      {"SELECT row_id FROM e_brochure ORDER BY location, row_id", {{"12"}, {"10"}, {"13"}, {"11"}}},
      // PostgreSQL would name the CASE column "location" after its ELSE
      // branch, and ORDER BY location then sort by it, not by the table's.
      {"SELECT CASE WHEN location IS NULL THEN 'none' ELSE location END FROM e_brochure ORDER BY location, row_id",
       {{"none"}, {"-"}, {"-"}, {"F"}}},
      {"SELECT [row_id] FROM [dbo].[e_brochure] WHERE [category] = N'eNg' AND con_schema_id !< 101", {{"11"}}},
      {"SELECT DISTINCT category FROM e_brochure WHERE category = 'ENG'", {{"ENG"}}},
      {"SELECT category, COUNT(*) AS n FROM e_brochure GROUP BY category ORDER BY n DESC", {{"ENG", "3"}, {"Comfort", "1"}}},
      {"SELECT text = 'a' + 'b' + CAST(1 + 2 AS varchar(3)) + N'c'", {{"ab3c"}}},
      {"SELECT row_id FROM e_brochure WHERE con_text LIKE 'p%' OR con_text LIKE '%EAT%' ORDER BY 1", {{"10"}, {"13"}}},
      {"SELECT row_id FROM e_brochure WHERE con_text LIKE 'p%' OR con_text NOT LIKE '%E%' ORDER BY 1", {{"10"}}},
      {"SELECT row_id FROM e_brochure e WHERE EXISTS (SELECT * FROM segmentation s WHERE s.e_brochure_row_id = e.row_id) "
       "AND row_id NOT IN (SELECT e_brochure_row_id FROM segmentation WHERE segment_order_id = 1) ORDER BY row_id",
       {{"10"}, {"13"}}},
      {"SELECT row_id FROM e_brochure UNION SELECT ebrochure_row_id FROM e_brochure_text ORDER BY row_id DESC",
       {{"13"}, {"12"}, {"11"}, {"10"}}},
      {"SELECT a.Total FROM (SELECT COUNT(*) AS Total FROM e_brochure) a ORDER BY Total", {{"4"}}},
      {"SELECT LEN(' ab  '), ISNULL(NULL, 'x'), SUBSTRING('abcdef', 2, 3), LEFT('abc', 2), RIGHT('abc', 2)",
       {{"3", "x", "bcd", "ab", "bc"}}},
      {"SELECT CAST(2.7 AS int), LEN(' ab  '), LEFT('abc', 2)", {{"2", "3", "ab"}}},
      // Computed texts compare without regard to case, as SQL Server's do.
      {"SELECT MAX(CASE WHEN language_id = 1 THEN text_id END) FROM application_texts", {{"UNLIMITED"}}},
      {"SELECT COUNT(*) FROM application_texts WHERE UPPER(text_id) = 'eng' AND 'eNg' IN (text_id + '')", {{"1"}}},
      {"SELECT COUNT(*) FROM (SELECT DISTINCT category + '' AS c FROM e_brochure) d", {{"2"}}},
      {"SELECT COUNT(*) FROM (SELECT category + '' AS c FROM e_brochure GROUP BY category + '') g", {{"2"}}},
      {"SELECT text_id FROM application_texts WHERE text_id LIKE 'i%' ORDER BY text_id + ''",
       {{"ICON_EQUIPMENT_OPT"}, {"icon_equipment_std"}, {"iconXequipment"}}},
      {"SELECT d.c FROM (SELECT text_id + '' AS c FROM application_texts) d WHERE d.c BETWEEN 'ICON' AND 'icoz' ORDER BY 1",
       {{"ICON_EQUIPMENT_OPT"}, {"icon_equipment_std"}, {"iconXequipment"}}},
      {"SELECT CASE WHEN 'ABC' = 'abc' THEN 1 ELSE 0 END", {{"1"}}},
      {"SELECT CASE WHEN 'ABC' = N'abc' + '' THEN 1 ELSE 0 END", {{"1"}}},
  };
}

std::string ProviderCommand(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || text.compare(first, 5, "SHAPE") != 0) return text;
  const size_t open = text.find('{');
  if (open == std::string::npos) return text;
  // Up to the first '}' outside literals and quoted names.
  char quote = 0;
  for (size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '}') {
      return text.substr(open + 1, i - open - 1);
    }
  }
  return text;
}

std::string NormalizeValue(const std::string& value, bool is_null) {
  if (is_null) return "NULL";
  if (value == "t") return "1";
  if (value == "f") return "0";
  char* end = nullptr;
  const double d = std::strtod(value.c_str(), &end);
  if (!value.empty() && end && *end == '\0') {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", d);
    return buffer;
  }
  return value;
}

Result<ResultSet> RunOnSqlite(const std::vector<std::string>& setup, const std::string& sql) {
  sqlite3* raw = nullptr;
  if (sqlite3_open(":memory:", &raw) != SQLITE_OK) {
    sqlite3_close(raw);
    return Status::IOError("cannot open SQLite");
  }
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  for (const std::string& s : setup) {
    char* error = nullptr;
    if (sqlite3_exec(db.get(), s.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "?";
      sqlite3_free(error);
      return Status::IOError(s + ": " + message);
    }
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return Status::IOError(sqlite3_errmsg(db.get()));
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> guard(stmt, &sqlite3_finalize);
  ResultSet out;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i) out.names.push_back(sqlite3_column_name(stmt, i));
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const bool null = sqlite3_column_type(stmt, i) == SQLITE_NULL;
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.push_back(NormalizeValue(text ? reinterpret_cast<const char*>(text) : "", null));
    }
    out.rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return Status::IOError(sqlite3_errmsg(db.get()));
  return out;
}

Result<ResultSet> RunTranslatedOnSqlite(const std::string& database, const std::string& tsql) {
  auto translated = Translate(tsql, Dialect::kSqlite, SampleOptions());
  if (!translated.ok()) return translated.status();
  const bool project = database == "demo_project";
  const std::string other = project ? "demo_specs" : "demo_project";
  std::vector<std::string> setup = SampleSchema(Dialect::kSqlite, project ? "main" : other, project ? other : "main");
  setup.insert(setup.begin(), "ATTACH ':memory:' AS " + other);
  return RunOnSqlite(setup, ProviderCommand(translated->text));
}

}  // namespace trelix::sql::testing
