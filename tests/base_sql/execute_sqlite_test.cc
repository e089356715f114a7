// The translated statements run on SQLite with case-insensitive columns
// and return what SQL Server would: rows found without regard to case,
// texts joined rather than added, NULLs first, result columns named as
// written, nested joins and cross-database names resolved.

#include <gtest/gtest.h>

#include "base/sql/translator.h"
#include "base_sql/sample_schema.h"
#include "base_sql/statements.h"

namespace trelix::sql {
namespace {

using testing::LoadStatements;
using testing::ProviderCommand;
using testing::ResultSet;
using testing::Rows;
using testing::RunOnSqlite;

Result<ResultSet> RunTranslated(const std::string& database, const std::string& tsql) {
  TranslateOptions options;
  options.column_types = testing::SampleCatalogue();
  auto translated = Translate(tsql, Dialect::kSqlite, options);
  if (!translated.ok()) return translated.status();
  return RunOnSqlite(database, ProviderCommand(translated->text));
}

TEST(ExecuteSqliteTest, EveryStatementRuns) {
  for (const auto& [id, statement] : LoadStatements("statements")) {
    SCOPED_TRACE(id);
    auto result = RunTranslated(statement.database, statement.text);
    ASSERT_TRUE(result.ok()) << result.status().message();
  }
}

TEST(ExecuteSqliteTest, ResultsAreSqlServers) {
  const auto statements = LoadStatements("statements");
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
  for (const auto& [id, rows] : expectations) {
    SCOPED_TRACE(id);
    const auto& statement = statements.at(id);
    auto result = RunTranslated(statement.database, statement.text);
    ASSERT_TRUE(result.ok()) << result.status().message();
    EXPECT_EQ(result->rows, rows);
  }
}

TEST(ExecuteSqliteTest, ColumnsAreNamedAsWritten) {
  const auto statements = LoadStatements("statements");
  auto s01 = RunTranslated("demo_specs", statements.at("S01").text);
  ASSERT_TRUE(s01.ok());
  EXPECT_EQ(s01->names, (std::vector<std::string>{"vehicle_id", "option_id", "record_id", "schema_id",
                                                  "parent_schema_id", "location", "data_value", "condition",
                                                  "full_text", "Manuf_name", "msrp"}));
  auto s02 = RunTranslated("demo_project", statements.at("S02").text);
  ASSERT_TRUE(s02.ok());
  EXPECT_EQ(s02->names, (std::vector<std::string>{"ka_order_id", "row_id", "Description", "SQL", "schema_id",
                                                  "schema_id_value", "location", "format", "advantage_rule",
                                                  "category"}));
}

// Constructs whose SQL Server meaning a naive text rewrite would lose.
TEST(ExecuteSqliteTest, ConstructsKeepTheirMeaning) {
  const std::pair<const char*, Rows> cases[] = {
      {"SELECT TOP 2 row_id FROM e_brochure ORDER BY row_id DESC", {{"13"}, {"12"}}},
      {"SELECT [row_id] FROM [dbo].[e_brochure] WHERE [category] = N'eNg' AND con_schema_id !< 101", {{"11"}}},
      {"SELECT DISTINCT category FROM e_brochure WHERE category = 'ENG'", {{"ENG"}}},
      {"SELECT category, COUNT(*) AS n FROM e_brochure GROUP BY category ORDER BY n DESC", {{"ENG", "3"}, {"Comfort", "1"}}},
      {"SELECT text = 'a' + 'b' + CAST(1 + 2 AS varchar(3)) + N'c'", {{"ab3c"}}},
      {"SELECT CASE WHEN location IS NULL THEN 'none' ELSE location END FROM e_brochure ORDER BY location, row_id",
       {{"none"}, {"-"}, {"-"}, {"F"}}},
      {"SELECT row_id FROM e_brochure WHERE con_text LIKE 'p%' OR con_text LIKE '%EAT%' ORDER BY 1", {{"10"}, {"13"}}},
      {"SELECT row_id FROM e_brochure e WHERE EXISTS (SELECT * FROM segmentation s WHERE s.e_brochure_row_id = e.row_id) "
       "AND row_id NOT IN (SELECT e_brochure_row_id FROM segmentation WHERE segment_order_id = 1) ORDER BY row_id",
       {{"10"}, {"13"}}},
      {"SELECT row_id FROM e_brochure UNION SELECT ebrochure_row_id FROM e_brochure_text ORDER BY row_id DESC",
       {{"13"}, {"12"}, {"11"}, {"10"}}},
      {"SELECT LEN(' ab  '), ISNULL(NULL, 'x'), SUBSTRING('abcdef', 2, 3), LEFT('abc', 2), RIGHT('abc', 2)",
       {{"3", "x", "bcd", "ab", "bc"}}},
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
  };
  for (const auto& [tsql, rows] : cases) {
    SCOPED_TRACE(tsql);
    auto result = RunTranslated("demo_project", tsql);
    ASSERT_TRUE(result.ok()) << result.status().message();
    EXPECT_EQ(result->rows, rows);
  }
}

}  // namespace
}  // namespace trelix::sql
