// The DDL in data/ is generated from the schema description; these tests keep
// the files current and check that both engines accept the DDL.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <strings.h>

#include <cstdlib>
#include <memory>
#include <fstream>
#include <iterator>
#include <string>

#include "base/datagen/schema.h"

namespace trelix::datagen {
namespace {

// TRELIX_UPDATE_DDL=1 rewrites data/*.sql from the description.
TEST(DdlFiles, MatchTheSchemaDescription) {
  const bool update = std::getenv("TRELIX_UPDATE_DDL") != nullptr;
  for (Database db : {Database::kProject, Database::kSpecs}) {
    for (bool postgres : {false, true}) {
      const std::string path = std::string(TRELIX_SOURCE_DIR) + "/data/" + DdlFileName(db, postgres);
      const std::string expected = postgres ? PostgresDdl(db) : SqliteDdl(db);
      if (update) {
        std::ofstream(path, std::ios::binary) << expected;
        continue;
      }
      std::ifstream in(path, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected)
          << path << " is stale: rerun this test with TRELIX_UPDATE_DDL=1";
    }
  }
}

TEST(DdlFiles, SqliteAcceptsTheDdlAndKeepsDeclaredTypes) {
  for (Database db : {Database::kProject, Database::kSpecs}) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> handle(raw, sqlite3_close);
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(raw, SqliteDdl(db).c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
    // Every column is in the catalogue with the type SQLite reports as declared.
    for (const TableDef& table : Tables()) {
      if (table.database != db) continue;
      for (const ColumnDef& column : table.columns) {
        const char* decl = nullptr;
        ASSERT_EQ(sqlite3_table_column_metadata(raw, nullptr, std::string(table.name).c_str(),
                                                std::string(column.name).c_str(), &decl, nullptr, nullptr,
                                                nullptr, nullptr),
                  SQLITE_OK)
            << table.name << "." << column.name;
        // SQLite spells its own type names in capitals ("int" comes back as "INT").
        EXPECT_TRUE(strcasecmp(decl, std::string(column.type).c_str()) == 0) << decl << " vs " << column.type;
      }
    }
  }
}

TEST(SchemaTypes, PostgresMappingKeepsMeaning) {
  const std::pair<const char*, const char*> cases[] = {
      {"int", "integer"},           {"bigint", "bigint"},         {"smallint", "smallint"},
      {"bit", "boolean"},           {"nvarchar(50)", "varchar(50)"}, {"varchar(3)", "varchar(3)"},
      {"ntext", "text"},            {"float", "double precision"}, {"money", "numeric(19,4)"},
      {"decimal(7,2)", "numeric(7,2)"}, {"datetime", "timestamp(3)"},
  };
  for (const auto& [sql_server, postgres] : cases) EXPECT_EQ(PostgresType(sql_server), postgres) << sql_server;
  EXPECT_EQ(TextLength("nvarchar(40)"), 40);
  EXPECT_EQ(TextLength("ntext"), 0);
  EXPECT_TRUE(IsTextType("NTEXT"));
  EXPECT_FALSE(IsTextType("int"));
}

}  // namespace
}  // namespace trelix::datagen
