#include "test_site.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

namespace trelix::testing {
namespace {

struct Column {
  const char* name;
  const char* type;  // SQL Server type name
};

struct Table {
  bool specs;  // which database holds it
  const char* name;
  std::vector<Column> columns;
  std::vector<const char*> rows;  // SQL literal lists both engines accept
  const char* index = nullptr;    // an indexed column (ASCII keys only)
};

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {false, "categories", {{"category_name", "nvarchar(50)"}, {"sc_order_id", "int"}},
       {"'SAFETY', 2", "'Comfort', 3"}, "category_name"},
      {false, "application_texts",
       {{"text_id", "nvarchar(50)"}, {"language_id", "smallint"}, {"application_text", "nvarchar(100)"}},
       {"'SAFETY', 1, 'Safety'", "'Comfort', 1, 'Comfort'", "'unlimited', 1, 'Unlimited'"}, "text_id"},
      {false, "standard_content",
       {{"schema_id", "int"}, {"category", "nvarchar(20)"}, {"order_id", "int"}, {"row_id", "int"}},
       {"10, 'SAFETY', 1, 1", "20, 'Comfort', 1, 2", "21, 'Comfort', 2, 3", "22, 'Comfort', 3, 4",
        "23, 'comfort', 4, 5"}},
      {true, "standard_text",
       {{"schema_id", "int"}, {"language_id", "smallint"}, {"content", "nvarchar(200)"}, {"vehicle_id", "int"}},
       {"10, 1, 'ESP', 1001", "10, 1, 'ESP', 1002", "20, 1, 'Air conditioning', 1001",
        "21, 1, 'Cruise control', 1001", "22, 1, 'Sport seats', 1001", "20, 1, 'Climate control', 1002",
        "23, 1, 'Heated seats', 1002"}},
      {true, "items",
       {{"id", "int"}, {"code", "nvarchar(20)"}, {"name", "nvarchar(50)"}, {"price", "money"}, {"weight", "float"},
        {"qty", "smallint"}, {"big", "bigint"}, {"flag", "bit"}, {"ratio", "decimal(9,2)"}, {"made", "datetime"},
        {"note", "ntext"}, {"ansi", "varchar(10)"}},
       {"1, 'A1', 'Émile', 12.5, 1.25, 3, 5000000000, '1', 3.14, '2024-01-02 03:04:05', 'first', 'x'",
        "2, 'b2', 'apple', NULL, 2.5, NULL, NULL, '0', NULL, NULL, NULL, NULL",
        "3, 'B2', 'Apple', 7, 0.5, 2, -1, '1', 1.5, '1999-12-31 23:59:59', 'third', 'y'",
        "4, 'c3', 'ÉCOLE', 3.25, 1, 1, 0, '0', 0, '2000-01-01 00:00:00', 'fourth', 'z'",
        "5, 'd4', 'école', 1, 1, 1, 1, '0', 0, '2000-01-01 00:00:00', 'fifth', 'w'"},
       "code"},
  };
  return tables;
}

bool IsText(const std::string& type) {
  return type.rfind("nvarchar", 0) == 0 || type.rfind("varchar", 0) == 0 || type == "ntext";
}

// The native PostgreSQL type the real sites use for an SQL Server type.
std::string PostgresType(const std::string& type) {
  static const std::map<std::string, std::string> named = {{"ntext", "text COLLATE ci"}, {"int", "integer"},
      {"bit", "boolean"}, {"float", "double precision"}, {"money", "numeric(19,4)"}, {"datetime", "timestamp(3)"}};
  if (auto it = named.find(type); it != named.end()) return it->second;
  if (IsText(type)) return (type[0] == 'n' ? type.substr(1) : type) + " COLLATE ci";  // nvarchar(n): varchar(n)
  if (type.rfind("decimal", 0) == 0) return "numeric" + type.substr(7);
  return type;
}

std::vector<std::string> Ddl(bool specs, bool postgres) {
  std::vector<std::string> out;
  if (postgres) {
    out.push_back("CREATE COLLATION ci (provider = icu, locale = 'und-u-ks-level2', deterministic = false)");
    out.push_back("CREATE TABLE trelix_column_types (table_name varchar(128), column_name varchar(128), "
                  "type_name varchar(40))");
  }
  for (const Table& table : Tables()) {
    if (table.specs != specs) continue;
    std::string create = std::string("CREATE TABLE ") + table.name + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const std::string type = table.columns[i].type;
      create += (i ? ", " : "") + std::string(table.columns[i].name) + " " +
                (postgres ? PostgresType(type) : type + (IsText(type) ? " COLLATE NOCASE" : ""));
      if (postgres) {
        out.push_back(std::string("INSERT INTO trelix_column_types VALUES ('") + table.name + "', '" +
                      table.columns[i].name + "', '" + type + "')");
      }
    }
    out.push_back(create + ")");
    if (table.index) {
      out.push_back(std::string("CREATE INDEX ix_") + table.name + " ON " + table.name + " (" + table.index + ")");
    }
    for (const char* row : table.rows) out.push_back(std::string("INSERT INTO ") + table.name + " VALUES (" + row + ")");
  }
  return out;
}

}  // namespace

TestSite::TestSite(Engine engine, const std::string& postgres_url) : engine_(engine), postgres_url_(postgres_url) {
  const std::string suffix = engine == Engine::kPostgres ? "_" + std::to_string(getpid()) : "";
  project_ = "tx_project" + suffix;
  specs_ = "tx_specs" + suffix;
  if (!Build() && error_.empty()) error_ = "site not built";
}

TestSite::~TestSite() {
  if (engine_ == Engine::kSqlite) {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  } else {
    Exec("", "DROP SCHEMA IF EXISTS " + project_ + " CASCADE; DROP SCHEMA IF EXISTS " + specs_ + " CASCADE");
  }
}

bool TestSite::Build() {
  if (engine_ == Engine::kSqlite) {
    std::string pattern = (std::filesystem::temp_directory_path() / "trelix_connector_XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;
    dir_ = pattern;
    connection_ = "sqlite:" + dir_;
    // Written by plain SQLite connections, without the connector's
    // collation: the ASCII-keyed indexes must stay valid under it.
    for (bool specs : {false, true}) {
      const std::string name = specs ? specs_ : project_;
      sqlite3* db = nullptr;
      sqlite3_open((dir_ + "/" + name + ".sqlite").c_str(), &db);
      sqlite3_close(db);
      std::string script = "BEGIN;";
      for (const std::string& sql : Ddl(specs, false)) script += sql + ";";
      if (!Exec(name, script + "COMMIT")) return false;
    }
    return true;
  }
  connection_ = postgres_url_.rfind("postgresql:", 0) == 0 ? postgres_url_ : "postgresql:" + postgres_url_;
  for (bool specs : {false, true}) {
    const std::string name = specs ? specs_ : project_;
    std::string script = "DROP SCHEMA IF EXISTS " + name + " CASCADE; CREATE SCHEMA " + name + "; SET search_path = " +
                         name + ";";
    for (const std::string& sql : Ddl(specs, true)) script += sql + ";";
    if (!Exec("", script)) return false;
  }
  return true;
}

bool TestSite::Exec(const std::string& database, const std::string& sql) {
  if (engine_ == Engine::kSqlite) {
    sqlite3* db = nullptr;
    char* message = nullptr;
    int rc = sqlite3_open_v2((dir_ + "/" + database + ".sqlite").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) error_ = sql + ": " + (message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK;
  }
  PGconn* conn = PQconnectdb(postgres_url_.c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (ok) {
    std::string text = "SET client_min_messages = warning; " +
                       (database.empty() ? sql : "SET search_path = " + database + "; " + sql);
    PGresult* result = PQexec(conn, text.c_str());
    ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
  }
  if (!ok) error_ = sql + ": " + PQerrorMessage(conn);
  PQfinish(conn);
  return ok;
}

}  // namespace trelix::testing
