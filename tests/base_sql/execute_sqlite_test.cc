// The translated statements run on SQLite with case-insensitive columns
// and return what SQL Server would: rows found without regard to case,
// texts joined rather than added, NULLs first, result columns named as
// written, nested joins and cross-database names resolved.

#include <gtest/gtest.h>

#include <map>

#include "base/sql/translator.h"
#include "base_sql/sample_schema.h"
#include "base_sql/statements.h"

namespace trelix::sql {
namespace {

using testing::Rows;
using testing::RunTranslatedOnSqlite;

TEST(ExecuteSqliteTest, EveryStatementRunsWithSqlServersResults) {
  std::map<std::string, testing::ResultSet> results;
  for (const auto& [id, statement] : testing::LoadStatements("statements")) {
    auto result = RunTranslatedOnSqlite(statement.database, statement.text);
    ASSERT_TRUE(result.ok()) << id << ": " << result.status().message();
    results[id] = std::move(result.value());
  }
  const std::pair<const char*, Rows> expectations[] = {
      // 'UNLIMITED' is found by 'unlimited'.
      {"S06", {{"Unlimited"}}},
      // The SQL column is a joined text; category 'eng' counts as 'ENG'.
      {"S02",
       {{"1", "1", "More power", "OR (eq.schema_id=100 AND eq.data_value='Y')", "100", "Y", "-", "num", "higher", "ENG"},
        {"1", "2", "Less fuel", "OR (eq.schema_id=101 AND Location='F')", "101", "", "F", "num", "lower", "eng"}}},
      // Standard row (NULL price) before the option row.
      {"S11",
       {{"0", "1", "100", "-", "Y", "NULL", "Yes", "NULL", "Parent text"},
        {"12", "2", "100", "-", "N", "12", "NULL", "500", "Parent text"},
        {"0", "3", "101", "F", "5", "NULL", "NULL", "NULL", "NULL"},
        {"0", "4", "102", "-", "yes", "NULL", "Standard", "NULL", "NULL"}}},
      // Cross-database join to the project's e_brochure.
      {"S12", {{"200", "100", "P", "-", "100"}}},
      // Segment order through MIN; the heading only for the line without schema.
      {"S13", {{"11", "Fuel", "eng", ""}, {"12", "Engine data", "ENG", "Heading"}, {"10", "Power", "ENG", ""}}},
      // N'Comfort' matches 'comfort'.
      {"S19", {{"1001", "500", "Air", "Comfort"}, {"1002", "501", "Heat", "comfort"}}},
      // LIKE without regard to case; '_' matches any character.
      {"S23", {{"ICON_EQUIPMENT_OPT", "O"}, {"icon_equipment_std", "S"}, {"iconXequipment", "X"}}},
      // TOP 20 / start row / category inside SHAPE.
      {"S18", {{"1002", "comfort", "Heat", "Comfort", "3"}, {"1002", "Comfort", "Sport seats", "Comfort", "3"}}},
  };
  for (const auto& [id, rows] : expectations) EXPECT_EQ(results.at(id).rows, rows) << id;
  // Result columns are named as written.
  EXPECT_EQ(results.at("S01").names, (std::vector<std::string>{"vehicle_id", "option_id", "record_id", "schema_id",
                                                               "parent_schema_id", "location", "data_value",
                                                               "condition", "full_text", "Manuf_name", "msrp"}));
  EXPECT_EQ(results.at("S02").names, (std::vector<std::string>{"ka_order_id", "row_id", "Description", "SQL",
                                                               "schema_id", "schema_id_value", "location", "format",
                                                               "advantage_rule", "category"}));
}

// Constructs whose SQL Server meaning a naive text rewrite would lose.
TEST(ExecuteSqliteTest, ConstructsKeepTheirMeaning) {
  for (const auto& [tsql, rows] : testing::Constructs()) {
    auto result = RunTranslatedOnSqlite("demo_project", tsql);
    ASSERT_TRUE(result.ok()) << tsql << ": " << result.status().message();
    EXPECT_EQ(result->rows, rows) << tsql;
  }
}

}  // namespace
}  // namespace trelix::sql
