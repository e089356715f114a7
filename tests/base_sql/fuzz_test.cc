// Deterministic fuzzing: mutated statements and token soup must never crash
// the translator, and what it accepts must be valid SQLite syntax.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "base/sql/translator.h"
#include "base_sql/sample_schema.h"
#include "base_sql/statements.h"

namespace trelix::sql {
namespace {

TEST(FuzzTest, MutatedStatementsNeitherCrashNorYieldBadSyntax) {
  const auto statements = testing::LoadStatements("statements");
  std::vector<std::string> seeds;
  for (const auto& [id, s] : statements) seeds.push_back(s.text);

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  std::vector<std::string> setup = {"ATTACH ':memory:' AS demo_specs", "ATTACH ':memory:' AS demo_project"};
  for (auto& s : testing::SampleSchema(Dialect::kSqlite, "main", "demo_specs")) setup.push_back(s);
  for (const auto& s : setup) ASSERT_EQ(sqlite3_exec(db.get(), s.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << s;
  ASSERT_EQ(sqlite3_exec(db.get(), "CREATE TABLE demo_project.e_brochure (con_schema_id int)", nullptr, nullptr, nullptr),
            SQLITE_OK);

  // TRELIX_FUZZ_ITERATIONS / TRELIX_FUZZ_SEED run longer or other rounds.
  const char* iterations_env = std::getenv("TRELIX_FUZZ_ITERATIONS");
  const char* seed_env = std::getenv("TRELIX_FUZZ_SEED");
  const int iterations = iterations_env ? std::atoi(iterations_env) : 6000;
  std::mt19937 rng(seed_env ? static_cast<unsigned>(std::atol(seed_env)) : 20240605u);
  int accepted = 0;
  for (int i = 0; i < iterations; ++i) {
    std::string input;
    if (i % 5 == 4) {
      for (int k = 0, n = 1 + rng() % 30; k < n; ++k) input += testing::RandomPiece(rng);
    } else {
      input = testing::MutateStatement(seeds[rng() % seeds.size()], rng);
    }
    FuzzTranslate(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    auto r = Translate(input, Dialect::kSqlite);
    if (!r.ok()) continue;
    ++accepted;
    const std::string sql = testing::ProviderCommand(r->text);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) == SQLITE_OK) {
      sqlite3_finalize(stmt);
      continue;
    }
    const std::string error = sqlite3_errmsg(db.get());
    // Unknown names are the mutation's doing; broken syntax would be ours.
    EXPECT_EQ(error.find("syntax error"), std::string::npos) << input << "\n=> " << sql << "\n" << error;
    EXPECT_EQ(error.find("unrecognized token"), std::string::npos) << input << "\n=> " << sql << "\n" << error;
  }
  // The mutations must leave a fair share of statements translatable, or
  // this test proves nothing about the printer.
  EXPECT_GT(accepted, iterations / 10);
}

}  // namespace
}  // namespace trelix::sql
