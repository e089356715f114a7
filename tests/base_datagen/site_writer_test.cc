// SiteWriter: connection strings and names, row checks that hold on every
// engine, and the rule that a failed or abandoned write leaves the previous
// site untouched.

#include "base/datagen/site_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/datagen/generators.h"
#include "site_db.h"

namespace trelix::datagen {
namespace {

using testing::SqliteSiteDb;
using testing::TempDir;

TEST(SiteWriterOpen, RefusesBadTargets) {
  TempDir dir;
  const std::string file = dir.path() + "/plain_file";
  std::ofstream(file) << "x";
  using enum Status::Code;
  const std::string here = "sqlite:" + dir.path();
  const std::tuple<std::string, std::string, std::string, Status::Code> cases[] = {  // connection, names, the code
      {here, "demo project", "demo_specs", kInvalidArgument}, {here, "../up", "demo_specs", kInvalidArgument},
      {here, "demo_project", "", kInvalidArgument}, {here, "same", "SAME", kInvalidArgument},
      {"sqlite:", "demo_project", "demo_specs", kInvalidArgument}, {"oracle:x", "demo_project", "demo_specs", kInvalidArgument},
      {"no scheme at all", "demo_project", "demo_specs", kInvalidArgument},
      {"mssql://sa:pw@localhost:1433", "demo_project", "demo_specs", kUnsupported},
      {"sqlite:" + file + "/below", "demo_project", "demo_specs", kIOError},
      // Nothing listens on port 1 of loopback.
      {"postgresql://nobody@127.0.0.1:1/none?connect_timeout=2", "demo_project", "demo_specs", kUnavailable},
  };
  for (const auto& [connection, project, specs, code] : cases) {
    auto writer = SiteWriter::Open(connection, project, specs);
    ASSERT_FALSE(writer.ok()) << connection << " " << project << " " << specs;
    EXPECT_EQ(writer.status().code(), code) << connection << ": " << writer.status().message();
    EXPECT_FALSE(writer.status().message().empty());
  }
}

TEST(SiteWriterInsert, ChecksRowsAgainstTheSchema) {
  TempDir dir;
  const std::string long_text(41, 'x');
  const std::string bad_utf8 = "caf\xC3";
  const std::tuple<const char*, TableId, std::vector<Cell>> cases[] = {
      {"too few values", TableId::kCategories, {"ENG", 1, 2}},
      {"NULL in a NOT NULL column", TableId::kCategories, {Cell(), 1, 2, 3}},
      {"number in a text column", TableId::kCategories, {5, 1, 2, 3}},
      {"text in an int column", TableId::kCategories, {"ENG", "1", 2, 3}},
      {"text longer than declared", TableId::kEBrochure, {1, "ENG", 1, 5, long_text, Cell(), "-", "A", Cell()}},
      {"invalid UTF-8", TableId::kCategories, {bad_utf8, 1, 2, 3}},
      {"int out of range", TableId::kCategories, {"ENG", int64_t{1} << 40, 2, 3}},
      {"smallint out of range", TableId::kEBrochureText, {1, 40000, "text"}},
      {"bit other than 0/1", TableId::kCurrencySymbol, {"EUR", "€", 2, 2, 1.0, Cell()}},
      {"decimal too large", TableId::kOptionList, {1, 1, Cell(), "x", Cell(), Cell(), 123456.0, 0, Cell()}},
      {"datetime not ISO", TableId::kOptionList, {1, 1, Cell(), "x", Cell(), Cell(), Cell(), 0, "01.02.2024"}},
  };
  for (const auto& [what, table, cells] : cases) {
    auto writer = SiteWriter::Open("sqlite:" + dir.path(), "p", "s");
    ASSERT_TRUE(writer.ok()) << writer.status().message();
    EXPECT_EQ(writer.value()->Insert(table, cells).code(), Status::Code::kInvalidArgument) << what;
    // The failure sticks: nothing more is accepted and nothing is committed.
    EXPECT_FALSE(writer.value()->Insert(TableId::kCategories, {"ENG", 1, 2, 3}).ok()) << what;
    EXPECT_FALSE(writer.value()->Commit().ok()) << what;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no stray files either
}

TEST(SiteWriterCommit, ReplacesASiteOnlyWhenComplete) {
  TempDir dir;
  ASSERT_TRUE(CreateDemoSite("sqlite:" + dir.path()).ok());
  SqliteSiteDb db(dir.path(), "demo_project", "demo_specs");
  const std::string count_sql = "SELECT count(*) FROM equipment";
  const std::string before = db.Scalar(Database::kSpecs, count_sql);
  auto open = [&] {
    auto writer = SiteWriter::Open("sqlite:" + dir.path(), "demo_project", "demo_specs");
    EXPECT_TRUE(writer.ok()) << writer.status().message();
    return std::move(writer.value());
  };
  {
    // A duplicate key ends the write; the old site stays.
    auto writer = open();
    ASSERT_TRUE(writer->Insert(TableId::kCategories, {"ENG", 1, 2, 3}).ok());
    EXPECT_EQ(writer->Insert(TableId::kCategories, {"eng", 1, 2, 3}).code(), Status::Code::kInvalidArgument);
    EXPECT_FALSE(writer->Commit().ok());
  }
  // Abandoned without Commit.
  ASSERT_TRUE(
      open()->Insert(TableId::kVehicles, {1, "m", "x", Cell(), 2024, Cell(), Cell(), Cell(), Cell(), Cell()}).ok());
  EXPECT_EQ(db.Scalar(Database::kSpecs, count_sql), before);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++files;
    EXPECT_EQ(entry.path().extension(), ".sqlite") << entry.path();
  }
  EXPECT_EQ(files, 2);

  // A complete write replaces the site.
  auto writer = open();
  ASSERT_TRUE(writer->Insert(TableId::kCategories, {"ENG", 1, 2, 3}).ok());
  ASSERT_TRUE(writer->Commit().ok());
  EXPECT_EQ(writer->rows(TableId::kCategories), 1);
  EXPECT_EQ(db.Scalar(Database::kSpecs, count_sql), "0");
  EXPECT_EQ(db.Scalar(Database::kProject, "SELECT category_name FROM categories"), "ENG");
}

// On PostgreSQL rows are sent with COPY when Commit runs, so a duplicate key
// surfaces there; the transaction then leaves the old schemas in place.
TEST(SiteWriterCommit, PostgresKeepsTheOldSiteOnFailure) {
  TRELIX_NEED_SERVER_OR_SKIP(true);
  const std::string url = trelix::testing::TestEnv("TRELIX_TEST_PG");
  const std::string project = testing::UniqueName("dg_atomic_project");
  const std::string specs = testing::UniqueName("dg_atomic_specs");
  ASSERT_TRUE(CreateDemoSite(url, project, specs).ok());
  testing::PostgresSiteDb db(url, project, specs);
  ASSERT_TRUE(db.ok());
  {
    auto writer = SiteWriter::Open(url, project, specs);
    ASSERT_TRUE(writer.ok()) << writer.status().message();
    ASSERT_TRUE(writer.value()->Insert(TableId::kCategories, {"ENG", 1, 2, 3}).ok());
    ASSERT_TRUE(writer.value()->Insert(TableId::kCategories, {"eng", 1, 2, 3}).ok());
    const Status status = writer.value()->Commit();
    EXPECT_EQ(status.code(), Status::Code::kIOError);
    EXPECT_NE(status.message().find("categories"), std::string::npos) << status.message();
  }
  EXPECT_EQ(db.Scalar(Database::kSpecs, "SELECT count(*) FROM vehicles"), "8");
  EXPECT_EQ(db.Scalar(Database::kProject, "SELECT count(*) FROM categories"), "6");
  db.DropSchemas();
}

}  // namespace
}  // namespace trelix::datagen
