// The feature comparison on the demo site through the real connector:
// SQLite always, PostgreSQL when TRELIX_TEST_PG names a server (required
// when TRELIX_REQUIRE_SERVICES=1). Also the JSON and table forms.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "features/feature_json.h"
#include "features/vehicle_features.h"
#include "support/demo_databases.h"
#include "support/raised.h"

namespace trelix {
namespace {

class DemoSite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    TRELIX_NEED_SERVER_OR_SKIP(GetParam());
    const testing::DemoDatabases& demo = testing::DemoDatabases::Shared(GetParam(), "fct");
    ASSERT_EQ(demo.error(), "");
    connection_ = demo.connection();
    project_ = demo.project();
    specs_ = demo.specs();
    Connect(features_);
  }

  void Connect(VehicleFeatures& features) {
    features.SetDatabaseConnectionString(connection_);
    features.SetProjectDatabaseName(project_);
    features.SetSpecsDatabaseName(specs_);
    features.SetLanguageId(1);
  }

  // "id:letters" per vehicle, a state's initial each: Initial, Same, Added,
  // Deleted, Changed.
  std::vector<std::string> States() {
    std::vector<std::string> out;
    for (const auto& entry : features_.vehicles()) {
      std::string line = entry.item->vehicle_id() + ":";
      for (const auto& [key, feature] : entry.item->features()) line += FeatureStateName(feature->feature_state()).substr(0, 1);
      out.push_back(line);
    }
    return out;
  }

  std::string connection_, project_, specs_;
  VehicleFeatures features_;
};

TEST_P(DemoSite, NeighborBasedComfort) {
  features_.SetCategory("Comfort");
  features_.SetVehicleIdList("1001,1002,1003,1004,1005,1006");
  features_.DoFeatureComparison();
  // Features: air conditioning, seats, navigation, cruise control (filed
  // under 'comfort'), parking sensors, keyless entry.
  EXPECT_EQ(States(), std::vector<std::string>({"1001:IIIIII", "1002:CSASCA", "1003:SCCCSS", "1004:DCDDCD",
                                                "1005:ACAACA", "1006:CCSCSS"}));
  auto v1006 = features_.Item("1006");
  EXPECT_EQ(v1006->Item("0")->TranslatedText(), "two-zone automatic climate control");  // changed by case alone
  EXPECT_EQ(v1006->Item("0")->Icon(), "/img/en/changed.png");
  EXPECT_EQ(v1006->Item("1")->TranslatedText(), "");  // present with an empty text
  EXPECT_EQ(features_.Item("1004")->Item("0")->Icon(), "/img/en/deleted.png");
  EXPECT_EQ(features_.Item("1005")->Item("0")->Icon(), "/img/en/added.png");
  EXPECT_EQ(features_.Item("1001")->Item("3")->Category(), "comfort");
  EXPECT_EQ(features_.Item("1004")->Item("3")->Category(), "comfort");  // missing: the feature's own category
}

TEST_P(DemoSite, LanguagesAndIcons) {
  // German icon ids are stored in capitals; the hybrid has English texts only.
  features_.SetCategory("Comfort");
  features_.SetLanguageId(3);
  features_.SetVehicleIdList("1007,1008");
  features_.DoFeatureComparison();
  EXPECT_EQ(States(), std::vector<std::string>({"1007:IIIIII", "1008:DDDDDD"}));
  EXPECT_EQ(features_.Item(2)->Item(1)->Icon(), "/img/de/deleted.png");
  // Japanese has no "changes" icon.
  features_.SetLanguageId(8);
  features_.SetVehicleIdList("1001,1002");
  features_.DoFeatureComparison();
  EXPECT_EQ(features_.Item(2)->Item(1)->Icon(), "/img/de/changed.png");  // kept from the German run
  VehicleFeatures fresh;
  Connect(fresh);
  fresh.SetLanguageId(8);
  fresh.SetCategory("Comfort");
  fresh.SetVehicleIdList("1001,1002");
  fresh.DoFeatureComparison();
  EXPECT_TRUE(fresh.Item(2)->Item(1)->IsFeatureState_Changed());
  EXPECT_EQ(fresh.Item(2)->Item(1)->Icon() + "|" + fresh.Item(2)->Item(3)->Icon(), "|/img/ja/added.png");
}

TEST_P(DemoSite, SegmentAndBlanks) {
  // Segment Sport: the engine, then the sunroof; no category restriction.
  features_.SetSegment("Sport");
  features_.SetVehicleIdList("1001, 1005");  // a blank after the comma
  features_.DoFeatureComparison();
  EXPECT_EQ(States(), std::vector<std::string>({"1001:II", " 1005:CA"}));
  auto v1005 = features_.Item(" 1005");
  EXPECT_EQ(v1005->Item("0")->TranslatedText(), "1.6-litre turbo petrol engine, 121 kW");
  EXPECT_EQ(v1005->Item("1")->TranslatedText(), "Panoramic sunroof");
  EXPECT_EQ(features_.Item(1)->Item("1")->Category(), "Comfort");
}

TEST_P(DemoSite, NoRowsAndBadList) {
  features_.SetVehicleIdList("4242");
  features_.DoFeatureComparison();
  EXPECT_EQ(features_.Count(), 0);
  EXPECT_EQ(FeatureComparisonJson(features_), R"({"vehicles":[]})");
  // An empty list is no valid statement; the connector's error passes unchanged.
  features_.SetVehicleIdList("");
  const ComError error = testing::Raised([&] { features_.DoFeatureComparison(); });
  EXPECT_EQ(error.number(), base::kErrCommand);
  EXPECT_NE(error.source().rfind("trelix_eb", 0), 0u) << error.source();
}

TEST_P(DemoSite, JsonAndTable) {
  features_.SetCategory("Comfort");
  features_.SetVehicleIdList("1001,1004");
  features_.DoFeatureComparison();
  const auto json = nlohmann::json::parse(FeatureComparisonJson(features_));
  ASSERT_EQ(json["vehicles"].size(), 2u);
  EXPECT_EQ(json["vehicles"][1]["id"], "1004");
  ASSERT_EQ(json["vehicles"][1]["features"].size(), 6u);
  EXPECT_EQ(json["vehicles"][1]["features"][0],
            nlohmann::json::parse(R"({"key":"0","text":"","category":"Comfort","state":"Deleted",)"
                                  R"("icon":"/img/en/deleted.png"})"));
  EXPECT_EQ(json["vehicles"][0]["features"][1]["state"], "InitialVehicle");

  const std::string table = FeatureComparisonTable(features_);
  EXPECT_EQ(table.rfind("key  category  1001   ", 0), 0u) << table;
  EXPECT_NE(table.find("0    Comfort   . Manual air conditioning"), std::string::npos) << table;
  EXPECT_NE(table.find("- [/img/en/deleted.png]"), std::string::npos) << table;
  EXPECT_NE(table.find("(2 vehicles, 6 features;"), std::string::npos) << table;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, DemoSite, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "PostgreSQL" : "SQLite"; });

}  // namespace trelix
