#pragma once
// A small project and specs database for running the translated statements
// on a real engine: every table and column the component's statements read,
// text columns case-insensitive as the product's schemas declare them, and
// rows chosen to expose case, NULL-order and concatenation differences.

#include <string>
#include <vector>

#include "base/sql/translator.h"
#include "common/status.h"

namespace trelix::sql::testing {

// CREATE TABLE and INSERT statements for one engine. `project_schema` and
// `specs_schema` prefix the table names ("main", an attached name or a
// PostgreSQL schema).
std::vector<std::string> SampleSchema(Dialect dialect, const std::string& project_schema,
                                      const std::string& specs_schema);

// The declared SQL Server types of the sample tables' columns, as the
// connector's catalogue would answer them.
ColumnTypeLookup SampleCatalogue();

// The SQL of a (possibly SHAPE) translated command: the text between the
// braces of a SHAPE command, else the text itself.
std::string ProviderCommand(const std::string& text);

using Rows = std::vector<std::vector<std::string>>;
struct ResultSet {
  std::vector<std::string> names;  // result column names as the engine reports them
  Rows rows;
};

// Runs one SQLite statement on a fresh in-memory database built from
// SampleSchema: `database` ("demo_project" or "demo_specs") is main, the
// other one is attached under its name. Values normalised.
Result<ResultSet> RunOnSqlite(const std::string& database, const std::string& sql);

// Row values as text, engines' spellings made comparable: numbers in one
// form (500, 500.0000 -> 500), booleans as 1/0, NULL as "NULL".
std::string NormalizeValue(const std::string& value, bool is_null);

}  // namespace trelix::sql::testing
