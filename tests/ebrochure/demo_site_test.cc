// Categories on the demo site through the real connector: SQLite always,
// PostgreSQL when TRELIX_TEST_PG names a server (required when
// TRELIX_REQUIRE_SERVICES=1).

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"
#include "frame/object_context.h"
#include "support/demo_databases.h"
#include "support/raised.h"

namespace trelix {
namespace {

using testing::Ids;

class DemoSite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    TRELIX_NEED_SERVER_OR_SKIP(GetParam());
    const testing::DemoDatabases& demo = testing::DemoDatabases::Shared(GetParam(), "ebt");
    ASSERT_EQ(demo.error(), "");
    connection_ = demo.connection();
    project_ = demo.project();
    specs_ = demo.specs();
  }

  // The sheet as row id -> row.
  std::map<int32_t, testing::SheetRow> Sheet(const std::string& category, double vehicle, Variant options = Variant(),
                                             int16_t language = 1, const std::string& price = "msrp") {
    Categories categories;
    std::map<int32_t, testing::SheetRow> rows;
    for (const testing::SheetRow& row :
         testing::Rows(*categories.GetSpecs(category, language, vehicle, specs_, project_, price, options, 0, 0, connection_))) {
      rows[row.row_id] = row;
    }
    return rows;
  }

  std::string connection_, project_, specs_;
};

TEST_P(DemoSite, SheetLines) {
  const char* const kKestrel = "1.5-litre turbo petrol engine, 96 kW";
  const std::vector<std::tuple<const char*, double, std::vector<int32_t>, const char*, int16_t, testing::SheetRow>> cases = {
      {"Comfort", 1001, {}, "msrp", 1, {305, "@O heated front seats", 5, 47, "S", ""}},  // cheapest by msrp
      {"Comfort", 1001, {}, "prc90001", 1, {305, "@O heated front seats", 12, 51, "S", ""}},
      {"Comfort", 1001, {12}, "msrp", 1, {305, "@U heated front seats", 0, 0, "", ""}},  // no standard row: parent
      {"Comfort", 1001, {15}, "msrp", 1, {306, "@X navigation system", 0, 0, "-", ""}},  // 15 needs 12
      {"Comfort", 1001, {12, 15}, "msrp", 1, {306, "@O navigation system", 15, 54, "S", ""}},
      {"Safety", 1001, {21}, "msrp", 1, {409, "@D spare wheel", 21, 59, "-", ""}},
      {"Safety", 1001, {20, 21}, "msrp", 1, {409, "@S spare wheel", 0, 31, "S", ""}},  // 21 dropped by its condition
      {"Comfort", 1004, {}, "msrp", 1, {310, "@X front parking sensors", 0, 0, "", ""}},
      {"Comfort", 1006, {}, "msrp", 1, {309, "@S adaptive cruise control", 0, 18, "acc", ""}},
      {"Safety", 1006, {}, "msrp", 1, {407, "@U", 0, 0, "", ""}},
      {"Comfort", 1006, {}, "msrp", 1,
       {307, "Navigation with 9-inch touchscreen", 0, 16, "9.0", "Navigation with 9-inch touchscreen"}},
      {"Comfort", 1001, {}, "msrp", 1, {304, "", 0, 15, "CLO", "Cloth seats, height-adjustable driver's seat"}},
      {"ENG", 1001, {}, "msrp", 1, {116, "96 kW (raw value)", 0, 3, "96", kKestrel}},
      {"ENG", 1001, {}, "msrp", 1, {104, "131 PS (DIN)", 0, 3, "96", kKestrel}},
      {"ENG", 1006, {}, "msrp", 1, {111, "0 g/mi", 0, 6, "0", ""}},
      {"DIM", 1001, {}, "msrp", 1, {209, "2024-01-15", 0, 40, "20240115", ""}},
      {"DIM", 1008, {}, "msrp", 1, {210, "11.60  m", 0, 45, "11.6", ""}},
      {"Price", 1001, {}, "msrp", 1, {500, "CUR|24950", 0, 42, "24950", ""}},
      {"Warranty", 1007, {}, "msrp", 1, {600, "Unlimited years", 0, 46, "9999", ""}},
      {"Warranty", 1008, {}, "msrp", 7, {603, "Unlimited km", 0, 51, "9999999", ""}},  // no translation: "unlimited"
      {"Warranty", 1006, {}, "msrp", 1, {604, "999,999 km", 0, 44, "999999", ""}},
      {"ENG", 1001, {}, "msrp", 3, {108, "9,4 s", 0, 6, "9.4", ""}},
      {"ENG", 1008, {}, "msrp", 8, {101, "ハイブリッド", 0, 1, "HYB", ""}},
  };
  for (const auto& [category, vehicle, ids, price, language, expected] : cases) {
    const auto rows = Sheet(category, vehicle, ids.empty() ? Variant() : Ids(ids), language, price);
    auto found = rows.find(expected.row_id);
    ASSERT_NE(found, rows.end()) << category << " " << expected.row_id;
    EXPECT_EQ(found->second, expected) << category << " vehicle " << vehicle << " language " << language;
  }
}

TEST_P(DemoSite, ScopeCacheAndFailure) {
  Categories categories;
  Variant options;
  std::vector<int32_t> ids;
  for (const auto& row : testing::Rows(*categories.GetSpecs("", 1, 1001, specs_, project_, "msrp", options, 2, 0, connection_))) {
    ids.push_back(row.row_id);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{103, 109, 301, 305, 401, 500})) << "the segment's lines in its order";
  const auto all = Sheet("", 1001);
  EXPECT_EQ(all.count(900) + all.count(100), 0u) << "no line without a categories row, no heading line";
  EXPECT_EQ(all.count(116), 1u) << "category 'eng' is ENG";

  ObjectContext context;
  ScopedObjectContext scope(context);
  const int32_t handle = GetParam() ? 72 : 71;
  RecordsetRef fresh = categories.GetSpecs("Comfort", 1, 1004, specs_, project_, "msrp", options, 0, handle, connection_);
  Categories second;
  RecordsetRef cached = second.GetSpecs("Comfort", 1, 1004, specs_, project_, "msrp", options, 0, handle, connection_);
  EXPECT_EQ(testing::Rows(*cached), testing::Rows(*fresh));
  EXPECT_EQ(second.UnlimitedText(), "") << "a cache hit runs no query";
  EXPECT_EQ(context.complete_count(), 2);

  // A number line over a text value.
  EXPECT_EQ(testing::Raised([&] { categories.GetSpecs("XERR", 1, 1001, specs_, project_, "msrp", options, 0, 0, connection_); })
                .number(),
            kErrTypeMismatch);
}

TEST_P(DemoSite, Descriptions) {
  Categories categories;
  RecordsetRef eng = categories.GetDescriptions("ENG", 1, specs_, project_, 0, 0, connection_);
  ASSERT_EQ(eng->FieldCount(), 4);
  EXPECT_EQ(eng->Field(1).name + " " + eng->Field(3).name + " " + std::to_string(eng->RecordCount()),
            "Description column_heading 17");
  EXPECT_EQ(eng->ValueAt(0, 3).string(), "Engine data");
  EXPECT_EQ(categories.GetDescriptions("", 1, specs_, project_, 0, 0, connection_)->Field(3).name, "eb_order_id");
  RecordsetRef segmented = categories.GetDescriptions("ENG", 1, specs_, project_, 2, 0, connection_);
  ASSERT_EQ(segmented->RecordCount(), 2);
  EXPECT_EQ(segmented->ValueAt(1, 0).integer(), 109);

  Variant vehicles = Ids({1001, 1002});
  RecordsetRef top = categories.StandardDescriptions("", 1, vehicles, specs_, project_, connection_);
  ASSERT_EQ(top->RecordCount(), 3);
  EXPECT_EQ(top->Field(0).name, "vehicles");
  EXPECT_EQ(vb::ToText(top->ValueAt(1, 3)), "Comfort");
  auto comfort = top->ValueAt(1, 0).As<Recordset>();
  ASSERT_TRUE(comfort && comfort->RecordCount() == 2);
  EXPECT_EQ(comfort->ValueAt(0, 1).integer(), 1001);
  auto texts = comfort->ValueAt(0, 0).As<Recordset>();  // vehicle_id, category, content, category_name, sc_order_id
  ASSERT_TRUE(texts && texts->RecordCount() > 0);
  for (int32_t i = 0; i < texts->RecordCount(); ++i) {
    EXPECT_EQ(texts->ValueAt(i, 0).integer(), 1001);
    EXPECT_EQ(vb::ToText(texts->ValueAt(i, 3)), "Comfort");
  }
  Variant one = Ids({1002});
  RecordsetRef limited = categories.StandardDescriptions("Comfort", 1, one, specs_, project_, connection_, 3);
  EXPECT_EQ(limited->ValueAt(0, 0).As<Recordset>()->ValueAt(0, 0).As<Recordset>()->RecordCount(), 3);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, DemoSite, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "PostgreSQL" : "SQLite"; });

}  // namespace trelix
