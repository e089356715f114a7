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

// Translation options whose column types are the sample tables' declared
// SQL Server types, as the connector's catalogue would answer them.
TranslateOptions SampleOptions();

// The SQL of a (possibly SHAPE) translated command: the text between the
// braces of a SHAPE command, else the text itself.
std::string ProviderCommand(const std::string& text);

using Rows = std::vector<std::vector<std::string>>;
struct ResultSet {
  std::vector<std::string> names;  // result column names as the engine reports them
  Rows rows;
};

// Constructs whose SQL Server meaning a naive text rewrite would lose, with
// the rows SQL Server gives for them on the sample project database.
struct Construct {
  std::string tsql;
  Rows rows;
};
std::vector<Construct> Constructs();

// Runs `sql` on a fresh in-memory SQLite database after the `setup`
// statements. Values normalised.
Result<ResultSet> RunOnSqlite(const std::vector<std::string>& setup, const std::string& sql);

// Translates `tsql` for SQLite (SampleOptions) and runs its provider command
// on the tables of SampleSchema: `database` ("demo_project" or "demo_specs")
// is main, the other one is attached under its name.
Result<ResultSet> RunTranslatedOnSqlite(const std::string& database, const std::string& tsql);

// Row values as text, engines' spellings made comparable: numbers in one
// form (500, 500.0000 -> 500), booleans as 1/0, NULL as "NULL".
std::string NormalizeValue(const std::string& value, bool is_null);

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to);

}  // namespace trelix::sql::testing
