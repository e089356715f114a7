// The fuel-economy import on a slice of the real table (data/epa_slice.csv:
// 103 unmodified rows of the public US DOE/EPA table, chosen to include every
// powertrain type) and on the archive itself when it is beside the tree.

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

const std::string kSlice = std::string(TRELIX_SOURCE_DIR) + "/tests/base_datagen/data/epa_slice.csv";

TEST(EpaImport, SliceKeepsRealSparsityAndLabelsDerivedRows) {
  TempDir dir;
  auto stats = ImportEpa(kSlice, "sqlite:" + dir.path());
  ASSERT_TRUE(stats.ok()) << stats.status().message();
  EXPECT_EQ(stats->vehicles, 103);
  EXPECT_EQ(stats->skipped_rows, 0);
  SqliteSiteDb db(dir.path(), "epa_project", "epa_specs");
  const Database S = Database::kSpecs;
  const Database P = Database::kProject;

  testing::ExpectFacts(db, {
      {S, "vehicle ids are the table's ids", "SELECT count(*) FROM vehicles WHERE vehicle_id = source_id", "103"},
      {S, "a score of -1 gives no row",
       "SELECT count(*) FROM equipment e JOIN vehicles v ON v.vehicle_id = e.vehicle_id WHERE e.schema_id = 208 AND "
       "v.model_year < 2013",
       "0"},
      {S, "presence items store '-' rather than nothing",
       "SELECT count(*) FROM vehicles v WHERE NOT EXISTS (SELECT 1 FROM equipment e WHERE e.vehicle_id = v.vehicle_id "
       "AND e.schema_id = 105)",
       "0"},
      {S, "an electric car's tailpipe CO2 of 0 is kept",
       "SELECT count(*) FROM equipment e JOIN equipment p ON p.vehicle_id = e.vehicle_id AND p.schema_id = 100 AND "
       "p.data_value = 'EV' WHERE e.schema_id = 301 AND e.data_value IN ('0', '0.0')",
       "8"},
      {S, "derived options are labelled",
       "SELECT count(*) FROM option_list WHERE derived = 1 AND Manuf_name LIKE '%(derived)' AND msrp IS NULL",
       std::to_string(stats->derived_options)},
      {S, "only derived options exist", "SELECT count(*) FROM option_list WHERE derived = 0", "0"},
      {S, "derived rows belong to a derived option",
       "SELECT count(*) FROM equipment e WHERE e.option_id <> 0 AND NOT EXISTS (SELECT 1 FROM option_list o WHERE "
       "o.vehicle_id = e.vehicle_id AND o.option_id = e.option_id)",
       "0"},
      {S, "competitor sets by year and class",
       "SELECT count(*) FROM (SELECT DISTINCT model_year, body_class FROM vehicles) d",
       std::to_string(stats->competitor_sets)},
      {S, "a set holds vehicles of one year and class",
       "SELECT count(*) FROM vehicles v JOIN competitor_sets c ON c.competitor_set_id = v.competitor_set_id WHERE "
       "c.model_year <> v.model_year OR c.body_class <> v.body_class",
       "0"},
      {S, "drive codes translated", "SELECT count(*) FROM schema_text WHERE schema_id = 104 AND data_value = 'AWD'", "4"},
      {S, "transmission texts collected",
       "SELECT count(*) FROM equipment e WHERE e.schema_id = 103 AND NOT EXISTS (SELECT 1 FROM schema_text t WHERE "
       "t.schema_id = 103 AND t.data_value = e.data_value AND t.language_id = 1)",
       "0"},
      {S, "a quoted field with a comma survives",
       "SELECT count(*) FROM equipment WHERE schema_id = 108 AND data_value LIKE '%,%'", "3"},
      {S, "dates as yyyymmdd", "SELECT count(*) FROM equipment WHERE schema_id = 901 AND length(data_value) <> 8", "0"},
      {S, "standard texts composed", "SELECT count(*) FROM standard_text WHERE schema_id = 100", "103"},
      {S, "sourced and derived rows are described", "SELECT count(*) FROM dataset_info WHERE info_key = 'derived'", "1"},
      {P, "sheet lines convert with formulas",
       "SELECT count(*) FROM e_brochure WHERE con_format IN ('#1=235.215/?', '#1=?*0.425144', '#0=?/1.609344')", "3"},
      {P, "every rule kind",
       "SELECT count(DISTINCT advantage_rule) FROM key_advantages WHERE advantage_rule IN ('@', '#>', '#<', '#>10', "
       "'#<5%', '-,S', 'AWD,4WA,4WD,PT4')",
       "7"},
      {S, "dual-fuel vehicles get the derived option", "SELECT count(*) FROM option_list", "24"},
  });
}

TEST(EpaImport, RefusesInputsItCannotRead) {
  TempDir dir;
  auto file = [&](const std::string& name, const std::string& text) {
    const std::string path = dir.path() + "/" + name;
    std::ofstream(path) << text;
    return path;
  };
  std::ifstream slice(kSlice);
  std::string header;
  std::getline(slice, header);
  const std::pair<std::string, Status::Code> cases[] = {
      {dir.path() + "/missing.csv", Status::Code::kNotFound},
      {file("no_columns.csv", "id,year,make\n1,2020,X\n"), Status::Code::kCorruption},
      {file("empty.csv", ""), Status::Code::kCorruption},
      {file("open_quote.csv", header + "\n\"never closed,1,2\n"), Status::Code::kCorruption},
  };
  for (const auto& [path, code] : cases) {
    auto stats = ImportEpa(path, "sqlite:" + dir.path() + "/site");
    ASSERT_FALSE(stats.ok()) << path;
    EXPECT_EQ(stats.status().code(), code) << path << ": " << stats.status().message();
  }
  // No site was left behind by any of them.
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/site/epa_specs.sqlite"));
}

// The archive as published, read through unzip; a slice of it keeps the
// test quick.
TEST(EpaImport, ReadsTheArchive) {
  const std::string archive = std::string(TRELIX_SOURCE_DIR) + "/../shared/data/epa_fueleconomy_vehicles.csv.zip";
  if (!std::filesystem::exists(archive)) GTEST_SKIP() << "no archive at " << archive;
  TempDir dir;
  EpaImportOptions options;
  options.max_vehicles = 500;
  auto stats = ImportEpa(archive, "sqlite:" + dir.path(), options);
  ASSERT_TRUE(stats.ok()) << stats.status().message();
  EXPECT_EQ(stats->vehicles, 500);
  SqliteSiteDb db(dir.path(), "epa_project", "epa_specs");
  // The first row of the table: a 1985 two-seater with id 1.
  EXPECT_EQ(db.Scalar(Database::kSpecs, "SELECT make || ' ' || model_year FROM vehicles WHERE vehicle_id = 1"),
            "Alfa Romeo 1985");
}

}  // namespace
}  // namespace trelix::datagen
