// Scaled sites: the requested size, the same shape as the demo site, the
// same rows for the same seed, on SQLite and PostgreSQL.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "base/datagen/generators.h"
#include "site_db.h"

namespace trelix::datagen {
namespace {

using testing::PostgresSiteDb;
using testing::SqliteSiteDb;
using testing::TempDir;

ScaleOptions SmallSite() {
  ScaleOptions options;
  options.vehicles = 45;
  options.lines = 60;
  options.rows_per_vehicle = 1.5;
  return options;
}

void ExpectShape(testing::SiteDb& db, const ScaleOptions& options) {
  const Database P = Database::kProject, S = Database::kSpecs;
  const int64_t option_rows = 35;  // 5% of 1.5 x 60 = 4.5, rounded up, plus 0.5 x 60
  testing::ExpectFacts(db, {
      {S, "vehicles", "SELECT count(*) FROM vehicles", std::to_string(options.vehicles)},
      {P, "one line per item", "SELECT count(*) FROM e_brochure WHERE con_schema_id > 0", std::to_string(options.lines)},
      {P, "format codes of every kind",
       "SELECT count(DISTINCT con_format) FROM e_brochure WHERE con_format IN ('A','T','S','#0','#1','#2','#D','#C',"
       "'#0=?*1.609')",
       "9"},
      {P, "rule kinds", "SELECT count(DISTINCT advantage_rule) FROM key_advantages", "6"},
      {P, "unique feature order", "SELECT count(*) - count(DISTINCT order_id) FROM standard_content", "0"},
      {S, "option rows per vehicle", "SELECT max(n) FROM (SELECT count(*) AS n FROM equipment WHERE option_id > 0 "
                                     "GROUP BY vehicle_id) d",
       std::to_string(option_rows)},
      {S, "standard rows at most one per item",
       "SELECT count(*) FROM (SELECT vehicle_id, schema_id FROM equipment WHERE option_id = 0 GROUP BY vehicle_id, "
       "schema_id HAVING count(*) > 1) d",
       "0"},
      {S, "options with conditions", "SELECT CASE WHEN count(*) > 0 THEN 'yes' ELSE 'no' END FROM equipment WHERE "
                                     "condition IS NOT NULL",
       "yes"},
      {S, "unlimited sentinels", "SELECT count(*) FROM schema_info WHERE schema_id IN (23502, 23503)", "2"},
      {S, "competitor sets of twenty", "SELECT count(*) FROM competitor_sets", "3"},
      {S, "text values translated",
       "SELECT count(*) FROM equipment e WHERE e.data_value = 'V1' AND NOT EXISTS (SELECT 1 FROM schema_text t WHERE "
       "t.schema_id = e.schema_id AND t.data_value = e.data_value AND t.language_id = 8)",
       "0"},
  });
}

TEST(ScaledSite, HasTheShapeOfTheDemoSite) {
  TempDir dir;
  const ScaleOptions options = SmallSite();
  auto stats = GenerateScaled("sqlite:" + dir.path(), options);
  ASSERT_TRUE(stats.ok()) << stats.status().message();
  EXPECT_EQ(stats->vehicles, options.vehicles);
  SqliteSiteDb db(dir.path(), options.project_name, options.specs_name);
  ExpectShape(db, options);
  EXPECT_EQ(db.Scalar(Database::kSpecs, "SELECT count(*) FROM equipment"), std::to_string(stats->equipment_rows));
}

TEST(ScaledSite, SameSeedSameRows) {
  TempDir a, b, c;
  ScaleOptions options = SmallSite();
  ASSERT_TRUE(GenerateScaled("sqlite:" + a.path(), options).ok());
  ASSERT_TRUE(GenerateScaled("sqlite:" + b.path(), options).ok());
  options.seed += 1;
  ASSERT_TRUE(GenerateScaled("sqlite:" + c.path(), options).ok());
  const std::string dump = "SELECT vehicle_id, option_id, record_id, schema_id, data_value, condition FROM equipment "
                           "ORDER BY vehicle_id, record_id";
  auto rows = [&](const TempDir& dir) {
    return SqliteSiteDb(dir.path(), options.project_name, options.specs_name).Query(Database::kSpecs, dump);
  };
  EXPECT_EQ(rows(a), rows(b));
  EXPECT_NE(rows(a), rows(c));
}

TEST(ScaledSite, RefusesImpossibleSizes) {
  TempDir dir;
  const std::tuple<int64_t, int64_t, double> cases[] = {  // vehicles, lines, rows per vehicle
      {1, 100, 1.0}, {10, 5, 1.0}, {10, 100, 0.0}, {10, 100, -1.0}, {10, 20000, 2.0}};
  for (const auto& [vehicles, lines, factor] : cases) {
    ScaleOptions options;
    options.vehicles = vehicles;
    options.lines = lines;
    options.rows_per_vehicle = factor;
    auto stats = GenerateScaled("sqlite:" + dir.path(), options);
    EXPECT_EQ(stats.status().code(), Status::Code::kInvalidArgument) << vehicles << " " << lines << " " << factor;
  }
}

TEST(ScaledSite, OnPostgres) {
  TRELIX_NEED_SERVER_OR_SKIP(true);
  const std::string url = trelix::testing::TestEnv("TRELIX_TEST_PG");
  ScaleOptions options = SmallSite();
  options.project_name = testing::UniqueName("dg_bench_project");
  options.specs_name = testing::UniqueName("dg_bench_specs");
  auto stats = GenerateScaled(url, options);
  ASSERT_TRUE(stats.ok()) << stats.status().message();
  PostgresSiteDb db(url, options.project_name, options.specs_name);
  ASSERT_TRUE(db.ok());
  ExpectShape(db, options);
  db.DropSchemas();
}

}  // namespace
}  // namespace trelix::datagen
