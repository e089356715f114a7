// The demo site holds the rows that the vehicle sheet, key advantage and
// feature comparison rules need (see the comment block of demo_site.cc), on
// SQLite and on PostgreSQL, and compares text without regard to case.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "site_db.h"

namespace trelix::datagen {
namespace {

using testing::Fact;
using testing::PostgresSiteDb;
using testing::SiteDb;
using testing::SqliteSiteDb;

constexpr Database P = Database::kProject;
constexpr Database S = Database::kSpecs;

// Queries valid on both engines; each answers one value.
const std::vector<Fact> kFacts = {
    // Sheet lines
    {P, "category codes match without regard to case", "SELECT count(*) FROM e_brochure WHERE category = 'eng'", "17"},
    {P, "one category without a categories row",
     "SELECT count(*) FROM e_brochure e WHERE NOT EXISTS (SELECT 1 FROM categories c WHERE c.category_name = e.category)",
     "1"},
    {P, "heading lines", "SELECT count(*) FROM e_brochure WHERE con_schema_id = 0 AND con_text IS NOT NULL", "4"},
    {P, "every format code",
     "SELECT count(DISTINCT con_format) FROM e_brochure WHERE con_format IN ('A','T','S','#0','#1','#2','#D','#C',"
     "'#','#P','V','#0=?*1.36','#0=?/1.609','#0=?*1.609')",
     "14"},
    {P, "sought values", "SELECT count(*) FROM e_brochure WHERE con_schema_id_val IN ('AWD','LEA','ACC')", "3"},
    {P, "locations", "SELECT count(*) FROM e_brochure WHERE location IN ('F','R')", "4"},
    {P, "custom texts in four languages",
     "SELECT count(*) FROM e_brochure e JOIN application_texts t ON t.text_id = e.con_customtextid", "76"},
    {P, "a custom text with a double blank",
     "SELECT count(*) FROM application_texts WHERE text_id = 'ct_lane' AND substr(application_text, 1, 2) = '  '", "4"},
    {P, "line texts in four languages", "SELECT count(*) FROM e_brochure_text WHERE language_id IN (1, 3, 5, 8)", "240"},
    {P, "partial language 7", "SELECT count(*) FROM e_brochure_text WHERE language_id = 7", "3"},
    {P, "'unlimited' in five languages, empty in 7",
     "SELECT count(*) FROM application_texts WHERE text_id = 'UNLIMITED' AND (application_text <> '' OR language_id = 7)",
     "5"},
    {P, "icon texts (no 'changes' in Japanese)",
     "SELECT count(*) FROM application_texts WHERE text_id IN ('icon_equipment_adds', 'icon_equipment_deletes', "
     "'icon_equipment_changes')",
     "11"},
    {P, "segmentation 2 of the sheet", "SELECT count(*) FROM segmentation WHERE segmentation_id = 2", "6"},
    {P, "segmentation 2 of the descriptions", "SELECT count(*) FROM eb_segmentation WHERE segmentation_id = 2", "6"},
    // Key advantages
    {P, "every rule kind",
     "SELECT count(DISTINCT advantage_rule) FROM key_advantages WHERE advantage_rule IN ('@','#>','#<','#>10','#<5%',"
     "'LEA,MIC,CLO')",
     "6"},
    {P, "a rule that is NULL", "SELECT count(*) FROM key_advantages WHERE advantage_rule IS NULL", "1"},
    {P, "every sentence format",
     "SELECT count(DISTINCT con_format) FROM key_advantages WHERE con_format IN ('T','#0','#1','#2','#C','#D','#K',"
     "'X','#0=?/1.609')",
     "9"},
    {P, "sentences in four languages", "SELECT count(*) FROM key_advantage_text", "124"},
    {P, "required value and locations",
     "SELECT count(*) FROM key_advantages WHERE con_schema_id_val = 'ACC' OR location IN ('F','R','')", "4"},
    {P, "advantage segmentation", "SELECT count(*) FROM ka_segmentation WHERE segmentation_id = 2", "4"},
    // Currencies
    {P, "five currencies", "SELECT count(*) FROM currency_symbol", "5"},
    {P, "a NULL symbolafter", "SELECT code FROM currency_symbol WHERE symbolafter IS NULL", "CHF"},
    {P, "yen without decimals", "SELECT decimals FROM currency_symbol WHERE code = 'jpy'", "0"},
    // Standard features
    {P, "feature order unique per segment",
     "SELECT count(*) FROM (SELECT segment, order_id FROM standard_content GROUP BY segment, order_id "
     "HAVING count(*) > 1) d",
     "0"},
    {P, "Comfort features of the default segment (one filed as 'comfort')",
     "SELECT count(*) FROM standard_content WHERE category = 'Comfort' AND segment = 'default'", "6"},
    {P, "type catalogue", "SELECT type_name FROM trelix_column_types WHERE table_name = 'E_BROCHURE' AND column_name = "
                          "'con_format'", "nvarchar(40)"},
    // Vehicles and equipment
    {S, "vehicles 1001..1008", "SELECT min(vehicle_id) || '-' || max(vehicle_id) || '/' || count(*) FROM vehicles",
     "1001-1008/8"},
    {S, "unlimited sentinels on their items",
     "SELECT count(*) FROM equipment WHERE (schema_id IN (23502, 23602) AND data_value IN ('999', '9999')) OR "
     "(schema_id IN (23503, 23603) AND data_value IN ('999999', '9999999'))",
     "7"},
    {S, "the same digits on an item without sentinels",
     "SELECT count(*) FROM equipment WHERE schema_id = 23504 AND data_value = '999999'", "1"},
    {S, "the compound condition", "SELECT count(*) FROM equipment WHERE condition = '({12} or {15}) and not {20}'", "3"},
    {S, "options with conditions", "SELECT count(DISTINCT option_id) FROM equipment WHERE condition IS NOT NULL", "3"},
    {S, "price columns rank options 5 and 12 oppositely",
     "SELECT count(*) FROM option_list a JOIN option_list b ON a.vehicle_id = b.vehicle_id WHERE a.option_id = 5 AND "
     "b.option_id = 12 AND a.msrp < b.msrp AND a.prc90001 > b.prc90001",
     "3"},
    {S, "a NULL option price", "SELECT count(*) FROM option_list WHERE prc90001 IS NULL", "3"},
    {S, "value texts join without regard to case",
     "SELECT s.full_text FROM equipment e JOIN schema_text s ON s.schema_id = e.schema_id AND s.data_value = "
     "e.data_value AND s.language_id = 1 WHERE e.vehicle_id = 1006 AND e.schema_id = 2040",
     "adaptive cruise control"},
    {S, "items with a parent", "SELECT count(*) FROM schema_info WHERE parent_schema_id <> 0", "15"},
    {S, "a vehicle without a standard row but with options",
     "SELECT count(*) || '/' || sum(CASE WHEN option_id = 0 THEN 1 ELSE 0 END) FROM equipment WHERE vehicle_id = 1001 "
     "AND schema_id = 2012",
     "3/0"},
    {S, "a decimal value with a point", "SELECT data_value FROM equipment WHERE vehicle_id = 1001 AND schema_id = 10050",
     "9.4"},
    {S, "ids fit 16 bits", "SELECT count(*) FROM equipment WHERE record_id > 32767 OR option_id > 32767", "0"},
    {S, "English-only vehicle", "SELECT count(*) FROM standard_text WHERE vehicle_id = 1008 AND language_id <> 1", "0"},
    {S, "an empty feature text", "SELECT count(*) FROM standard_text WHERE content = ''", "4"},
    {S, "texts that differ only in case compare equal",
     "SELECT count(*) FROM standard_text a JOIN standard_text b ON a.schema_id = b.schema_id AND a.language_id = "
     "b.language_id WHERE a.vehicle_id = 1002 AND b.vehicle_id = 1006 AND a.schema_id = 2000 AND a.language_id = 1 "
     "AND a.content = b.content",
     "1"},
};

// The shared demo site of this process, read back on its own engine.
class DemoSite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    TRELIX_NEED_SERVER_OR_SKIP(GetParam());
    const trelix::testing::DemoDatabases& demo = trelix::testing::DemoDatabases::Shared(GetParam(), "dg");
    ASSERT_EQ(demo.error(), "");
    project_ = demo.project();
    if (!GetParam()) {
      db_ = std::make_unique<SqliteSiteDb>(demo.connection().substr(7), project_, demo.specs());  // after "sqlite:"
      return;
    }
    auto pg = std::make_unique<PostgresSiteDb>(demo.connection(), project_, demo.specs());
    ASSERT_TRUE(pg->ok());
    db_ = std::move(pg);
  }

  std::string project_;
  std::unique_ptr<SiteDb> db_;
};

TEST_P(DemoSite, HoldsWhatTheRulesNeed) {
  testing::ExpectFacts(*db_, kFacts);
}

// The parent rows of the sheet reach the project's lines from the specs
// database: 1006 has no climate-zone row, but its parent item (air
// conditioning) is standard, and 1004's is '-'.
TEST_P(DemoSite, ParentRowsAnswerForMissingValues) {
  auto for_vehicle = [&](const std::string& vehicle) {
    return db_->Query(Database::kSpecs,
                      "SELECT DISTINCT eq.schema_id AS parent, schema_info.schema_id, eq.data_value FROM schema_info "
                      "INNER JOIN equipment eq ON schema_info.parent_schema_id = eq.schema_id INNER JOIN " + project_ +
                      ".e_brochure ON schema_info.schema_id = " + project_ + ".e_brochure.con_schema_id WHERE "
                      "eq.vehicle_id = " + vehicle + " AND eq.option_id = 0 AND schema_info.schema_id = 2001");
  };
  EXPECT_EQ(for_vehicle("1006"), (testing::Rows{{"2000", "2001", "S"}}));
  EXPECT_EQ(for_vehicle("1004"), (testing::Rows{{"2000", "2001", "-"}}));
  EXPECT_EQ(db_->Scalar(Database::kSpecs, "SELECT count(*) FROM equipment WHERE vehicle_id IN (1004, 1006) AND "
                                          "schema_id = 2001 AND option_id = 0"),
            "0");
}

INSTANTIATE_TEST_SUITE_P(Engines, DemoSite, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Postgres" : "Sqlite"; });

}  // namespace
}  // namespace trelix::datagen
