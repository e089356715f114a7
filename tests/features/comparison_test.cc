// VehicleFeatures over a fake connector: the statements it sends, both
// comparison walks, the list rewrites, icons, error sources and pooling.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/object_factory.h"
#include "features/fake_site.h"
#include "features/vehicle_features.h"
#include "frame/object_context.h"
#include "support/recording_connector.h"
#include "support/raised.h"

namespace trelix {

class VehicleFeaturesTestPeer {
 public:
  static void SetComparisonType(VehicleFeatures& features, int32_t type) { features.comparison_type_ = type; }
};

namespace {

using testing::Raised;

class FeaturesTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }

  // A new object and site, so that a table of cases can start each case
  // afresh.
  void Reset() {
    features_ = std::make_unique<VehicleFeatures>();
    site_ = testing::FakeSite();
    connector_.record().calls.clear();
    // Features 2000, 2010, 2020 in display order.
    site_.content = {{2010, "Comfort", "Default", 20, 2},
                     {2000, "Comfort", "Default", 10, 1},
                     {2020, "Safety", "Default", 30, 3},
                     {9000, "Comfort", "Sport", 10, 4}};
    site_.features = features_.get();
    site_.Install(connector_.record());
    features_->SetDatabaseConnectionString("sqlite:/nowhere");
    features_->SetProjectDatabaseName("proj");
    features_->SetSpecsDatabaseName("specs");
    features_->SetLanguageId(1);
  }

  void Texts(int32_t vehicle, std::map<int32_t, Variant> texts, int32_t language = 1) {
    for (auto& [schema, text] : texts) site_.texts.push_back({vehicle, schema, text, language});
  }

  // "state:text:icon" of every feature, one string per vehicle.
  std::vector<std::string> Summary() {
    std::vector<std::string> out;
    for (const auto& entry : features_->vehicles()) {
      std::string line = entry.key + "=";
      for (const auto& [key, f] : entry.item->features()) {
        line += std::string(FeatureStateName(f->feature_state())) + ":" + f->TranslatedText() + ":" + f->Icon() + " ";
      }
      out.push_back(line);
    }
    return out;
  }

  testing::ScopedRecordingConnector connector_;
  testing::FakeSite site_;
  std::unique_ptr<VehicleFeatures> features_;
};

TEST_F(FeaturesTest, Statements) {
  const std::string features = "select st.vehicle_id, st.schema_id, st.content, sc.category from standard_text st "
                               "inner join proj..standard_content sc on ( sc.schema_id = st.schema_id) where "
                               "st.language_id = ";
  const std::string by_vehicle = " order by st.vehicle_id, sc.order_id;";
  const std::string schemas = "select sc.schema_id, sc.order_id, sc.row_id FROM standard_content sc WHERE ";
  struct Case {
    const char *category, *segment;
    int32_t language;
    std::string feature_sql, schema_sql;
  };
  const Case cases[] = {
      {"Comfort", "", 1, features + "1 and st.vehicle_id in (101,102) and sc.category = N'Comfort' and sc.segment = "
                                    "N'Default'" + by_vehicle,
       schemas + "sc.category = N'Comfort' and sc.segment = N'Default' order by sc.order_id;"},
      {"", "Sport", 3, features + "3 and st.vehicle_id in (101,102) and sc.segment = N'Sport'" + by_vehicle,
       schemas + "sc.segment = N'Sport' order by sc.order_id;"},
      {"", "", -7, features + "-7 and st.vehicle_id in (101,102) and sc.segment = N'Default'" + by_vehicle,
       schemas + "sc.segment = N'Default' order by sc.order_id;"},
  };
  for (const Case& c : cases) {
    connector_.record().calls.clear();
    connector_.record().connectors_created = 0;
    features_->SetCategory(c.category);
    features_->SetSegment(c.segment);
    features_->SetLanguageId(c.language);
    features_->SetVehicleIdList("101,102");
    features_->DoFeatureComparison();
    std::vector<std::string> seen;
    for (const auto& call : connector_.record().calls) seen.push_back(call.database + "|" + call.connection + "|" + call.text);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "specs|sqlite:/nowhere|" + c.feature_sql, "proj|sqlite:/nowhere|" + c.schema_sql,
                        "proj|sqlite:/nowhere|select ats.text_id, ats.application_text from application_texts ats "
                        "Where ats.language_id = " + std::to_string(c.language) +
                            " AND (ats.text_id like 'icon_equipment%') order by ats.text_id;"}));
    EXPECT_EQ(connector_.record().connectors_created, 3);  // one connector per statement
  }
}

TEST_F(FeaturesTest, NeighborBasedWalks) {
  Texts(101, {{2000, "Manual AC"}, {2010, "Cloth seats"}});
  Texts(102, {{2000, "Manual AC"}, {2010, "cloth seats"}, {2020, "6 airbags"}});
  Texts(103, {{2010, "cloth seats"}, {2020, ""}});
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"101", {"101=InitialVehicle:Manual AC: InitialVehicle:Cloth seats: InitialVehicle:: "}},
      {"101,102",
       {"101=InitialVehicle:Manual AC: InitialVehicle:Cloth seats: InitialVehicle:: ",
        "102=SameAsOther:Manual AC: Changed:cloth seats:chg.png Added:6 airbags:add.png "}},
      // 103 against 102: an empty text still counts as present.
      {"101,102,103",
       {"101=InitialVehicle:Manual AC: InitialVehicle:Cloth seats: InitialVehicle:: ",
        "102=SameAsOther:Manual AC: Changed:cloth seats:chg.png Added:6 airbags:add.png ",
        "103=Deleted::del.png SameAsOther:cloth seats: Changed::chg.png "}},
      // A vehicle without rows: every feature missing; neither having one is the same.
      {"104,101",
       {"104=InitialVehicle:: InitialVehicle:: InitialVehicle:: ",
        "101=Added:Manual AC:add.png Added:Cloth seats:add.png SameAsOther:: "}},
  };
  for (const auto& [list, expected] : cases) {
    features_->SetVehicleIdList(list);
    features_->DoFeatureComparison();
    EXPECT_EQ(Summary(), expected) << list;
  }
  EXPECT_EQ(features_->Count(), 2);
  EXPECT_EQ(features_->Item("101"), features_->Item(2));
}

TEST_F(FeaturesTest, PrimaryBasedWalk) {
  Texts(101, {{2000, "Manual AC"}});
  Texts(102, {{2000, "Two-zone"}, {2010, "Cloth seats"}});
  Texts(103, {{2000, "Manual AC"}, {2010, "Leather"}});
  features_->SetVehicleIdList("101,102,103");
  features_->SetComparisonType_PrimaryBased(int32_t{103});
  EXPECT_TRUE(features_->IsComparisonType_PrimaryBased());
  EXPECT_FALSE(features_->IsComparisonType_NeighborBased());
  EXPECT_EQ(features_->VehicleIdList(), Variant("103,101,102"));
  features_->DoFeatureComparison();
  // 101 and 102 are each compared with 103, not with their neighbour.
  EXPECT_EQ(Summary(), std::vector<std::string>({
                           "103=InitialVehicle:Manual AC: InitialVehicle:Leather: InitialVehicle:: ",
                           "101=SameAsOther:Manual AC: Deleted::del.png SameAsOther:: ",
                           "102=Changed:Two-zone:chg.png Changed:Cloth seats:chg.png SameAsOther:: ",
                       }));
  // Back to neighbour-based: the rewritten list stays.
  features_->SetComparisonType_NeighborBased();
  EXPECT_TRUE(features_->IsComparisonType_NeighborBased());
  EXPECT_EQ(features_->VehicleIdList(), Variant("103,101,102"));
  EXPECT_EQ(features_->primary_vehicle_id(), "103");
}

TEST(PrimaryListTest, Rewrites) {
  struct Case {
    const char* list;
    Variant primary;
    const char* expected;
  };
  const Case cases[] = {
      {"101,205,317", "205", "205,101,317"}, {"101,205,317", "317", "317,101,205"},
      {"101,205,317", "101", "101,205,317"}, {"101,205,317", int32_t{400}, "400,101,205,317"}, {"", "205", "205,"},
      {"205", "205", "205"},  // the id alone stays alone
      {"25,5,125", "5", "5,25,125"}, {"25,125", "5", "5,25,125"},  // whole items only
      {"101, 205, 317", "205", "205,101, 317"},  // blanks around an item
      {"205,101,205", "205", "205,101,205"},     // the first occurrence moves
  };
  for (const Case& c : cases) {
    VehicleFeatures features;
    features.SetVehicleIdList(c.list);
    features.SetComparisonType_PrimaryBased(c.primary);
    EXPECT_EQ(features.VehicleIdList(), Variant(c.expected)) << c.list;
  }
}

TEST_F(FeaturesTest, MissingFeatureCategoryAndBlanks) {
  Texts(101, {{2010, "Cloth seats"}});
  Texts(102, {{2020, "6 airbags"}});
  features_->SetVehicleIdList("101, 102");  // a blank after the comma
  features_->DoFeatureComparison();
  ASSERT_EQ(features_->Count(), 2);
  auto second = features_->Item(" 102");
  EXPECT_EQ(second->vehicle_id(), " 102");
  EXPECT_EQ(second->Item("2")->TranslatedText(), "6 airbags");
  // Missing features carry their own category (from another vehicle's row),
  // or none when no listed vehicle has them.
  std::vector<std::string> categories;
  for (const auto& entry : features_->vehicles()) {
    for (const auto& [key, f] : entry.item->features()) categories.push_back(f->Category());
  }
  EXPECT_EQ(categories, std::vector<std::string>({"", "Comfort", "Safety", "", "Comfort", "Safety"}));
}

TEST_F(FeaturesTest, EmptyResultIgnoresComparisonType) {
  features_->SetVehicleIdList("101,102");
  features_->SetComparisonType_PrimaryBased("");  // empty primary: would fail a walk
  features_->DoFeatureComparison();
  EXPECT_EQ(features_->Count(), 0);
  EXPECT_EQ(features_->NewEnum().array()->items.size(), 0u);
}

TEST_F(FeaturesTest, Icons) {
  for (int32_t language : {3, 5}) {
    Texts(101, {{2000, "a"}}, language);
    Texts(102, {{2000, "b"}}, language);
  }
  site_.icons = {{"ICON_Equipment_Changes", "CHG-3", 3},
                 {"icon_equipment_adds", "ADD-3", 3},
                 {"icon_equipment_legend", "decoy", 3},
                 {"icon_equipment_adds", "ADD-5", 5}};
  features_->SetVehicleIdList("101,102");
  features_->SetLanguageId(3);
  features_->DoFeatureComparison();
  auto icons = [&] {
    const auto& info = features_->icon_info();
    return info.IconAdded + "|" + info.IconDeleted + "|" + info.IconChanged;
  };
  EXPECT_EQ(icons(), "ADD-3||CHG-3");
  EXPECT_EQ(features_->Item(2)->Item(1)->Icon(), "CHG-3");
  // A language without some icons keeps the texts found before.
  features_->SetLanguageId(5);
  features_->DoFeatureComparison();
  EXPECT_EQ(icons(), "ADD-5||CHG-3");
}

TEST_F(FeaturesTest, ErrorSources) {
  const int32_t kFc = kErrFeatureComparison;
  const std::string kOuter = "trelix_eb.DoFeatureComparison";
  const std::string kAdd = "trelix_eb.AddVehicleIdObject";
  const std::string kNoInfo = "Missing Database info (Name(s), Language, or Connection String)";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    int32_t number;
    std::string source, description;
    int32_t vehicles_left = 0;  // what the collection holds afterwards
  };
  const Case cases[] = {
      {"no language", [&] { features_->SetLanguageId(-1); }, kFc, kOuter, kNoInfo},
      {"no project database", [&] { features_->SetProjectDatabaseName(""); }, kFc, kOuter, kNoInfo},
      {"no specs database", [&] { features_->SetSpecsDatabaseName(""); }, kFc, kOuter, kNoInfo},
      {"no connection", [&] { features_->SetDatabaseConnectionString(""); }, kFc, kOuter, kNoInfo},
      {"unknown search type", [&] { VehicleFeaturesTestPeer::SetComparisonType(*features_, 0); }, kFc, kOuter,
       "Unknown search type requested"},
      {"no primary id", [&] { features_->SetComparisonType_PrimaryBased(""); }, kFc, kOuter,
       "Missing Primary Vehicle Id"},
      {"no list, neighbour-based", [&] { site_.all_vehicles = true; features_->SetVehicleIdList(""); }, kFc, kOuter,
       "Missing list of vehicles"},
      {"no list, primary-based",
       [&] {
         site_.all_vehicles = true;
         features_->SetComparisonType_PrimaryBased("101");
         features_->SetVehicleIdList("");
       },
       kFc, kOuter, "Missing list of vehicles"},
      {"engine failure", [&] { site_.failing_statement = "select sc.schema_id"; }, -2147217900, "PostgreSQL",
       "relation \"standard_content\" does not exist"},
      {"no features in the list", [&] { features_->SetSegment("Nothing"); }, 9, "trelix_eb.GetSchemaIdList",
       "Subscript out of range"},
      {"row matching no feature",
       [&] {
         site_.content.push_back({7777, "Comfort", "Default", 99, 9, false});
         site_.texts.push_back({102, 7777, "stray"});
       },
       9, kAdd, "Subscript out of range", 1},
      {"Null category", [&] { site_.category_override[2000] = Variant::Null(); }, 94, kAdd, "Invalid use of Null"},
      {"Null content of a present feature", [&] { site_.texts[1].content = Variant::Null(); }, 94, kAdd,
       "Invalid use of Null", 1},
      {"duplicate id", [&] { features_->SetVehicleIdList("101,102,101"); }, 457, kAdd,
       "This key is already associated with an element of this collection", 2},
      {"Null icon text", [&] { site_.icons[0].text = Variant::Null(); }, 94, "trelix_eb.GetIconInformation",
       "Invalid use of Null"},
  };
  for (const Case& c : cases) {
    Reset();
    Texts(101, {{2000, "a"}});
    Texts(102, {{2000, "b"}});
    features_->SetVehicleIdList("101,102");
    c.arrange();
    ComError error = Raised([&] { features_->DoFeatureComparison(); });
    EXPECT_EQ(std::tuple(error.number(), error.source(), error.description(), features_->Count()),
              std::tuple(c.number, c.source, c.description, c.vehicles_left))
        << c.what;
  }
}

TEST_F(FeaturesTest, LateBoundComparison) {
  Texts(101, {{2000, "a"}});
  Texts(102, {{2000, "b"}});
  // Late-bound call on `target`; the arguments are taken by value.
  auto invoke = [](Object& target, const char* name, InvokeKind kind, Args args = {}) {
    return target.Invoke(name, kind, args);
  };
  auto put = [&](const char* name, Variant value) { invoke(*features_, name, InvokeKind::kPropertyPut, {value}); };
  auto get = [&](Object& target, const char* name) { return invoke(target, name, InvokeKind::kPropertyGet); };
  put("LanguageId", "3");
  EXPECT_EQ(get(*features_, "LanguageId"), Variant(int32_t{3}));
  put("LanguageId", int16_t{1});
  put("VehicleIdList", "101,102");
  put("Category", int32_t{42});
  EXPECT_EQ(get(*features_, "Category"), Variant("42"));
  put("Category", "");
  // Conversions that fail leave the field as it was.
  EXPECT_EQ(Raised([&] { put("LanguageId", "three"); }).number(), kErrTypeMismatch);
  EXPECT_EQ(Raised([&] { put("Segment", Variant::Null()); }).number(), 94);
  EXPECT_EQ(features_->LanguageId(), Variant(int32_t{1}));

  Args primary = {Variant(int32_t{102})};
  features_->Invoke("SetComparisonType_PrimaryBased", InvokeKind::kMethod, primary);
  EXPECT_EQ(primary[0], Variant(int32_t{102}));  // by reference, unchanged
  EXPECT_EQ(get(*features_, "IsComparisonType_PrimaryBased"), Variant(true));
  invoke(*features_, "DoFeatureComparison", InvokeKind::kMethod);
  EXPECT_EQ(get(*features_, "Count"), Variant(int32_t{2}));
  ObjectRef vehicle = invoke(*features_, "", InvokeKind::kMethod, {Variant(int32_t{2})}).object();
  ObjectRef feature = invoke(*vehicle, "", InvokeKind::kMethod, {Variant("0")}).object();
  EXPECT_EQ(get(*feature, "IsFeatureState_Changed"), Variant(true));
  EXPECT_EQ(get(*feature, "Icon"), Variant("chg.png"));
  EXPECT_EQ(get(*features_, "_NewEnum").array()->items.size(), 2u);
  EXPECT_EQ(Raised([&] { invoke(*features_, "Item", InvokeKind::kMethod); }).description(), "Missing Item Index");
  EXPECT_TRUE(invoke(*features_, "Add", InvokeKind::kMethod, {Variant(std::make_shared<VehicleId>()), Variant("999")})
                  .IsEmpty());
  EXPECT_EQ(features_->Count(), 3);
}

TEST(VehicleFeaturesPoolTest, ActivationResetsPartOfTheState) {
  RegisterVehicleFeaturesClass();
  ObjectContext context;
  ScopedObjectContext scope(context);
  VehicleFeatures* first_address;
  {
    auto first = std::dynamic_pointer_cast<VehicleFeatures>(CreateObject("trelix_eb.VehicleFeatures"));
    ASSERT_TRUE(first);
    first_address = first.get();
    first->SetProjectDatabaseName("proj");
    first->SetLanguageId(5);
    first->SetVehicleIdList("1,2");
    first->SetComparisonType_PrimaryBased("2");
    first->Add(std::make_shared<VehicleId>(), "x");
  }
  auto second = std::dynamic_pointer_cast<VehicleFeatures>(CreateObject("trelix_eb.VehicleFeatures"));
  ASSERT_TRUE(second);
  EXPECT_EQ(second.get(), first_address);  // the released object came back
  EXPECT_EQ(second->TypeName(), "VehicleFeatures");
  EXPECT_EQ(second->Count(), 0);
  EXPECT_EQ(second->LanguageId(), Variant(int32_t{-1}));
  EXPECT_TRUE(second->IsComparisonType_NeighborBased());
  // Everything else stays as the previous caller left it.
  EXPECT_EQ(second->ProjectDatabaseName(), Variant("proj"));
  EXPECT_EQ(second->VehicleIdList(), Variant("2,1"));
  EXPECT_EQ(second->primary_vehicle_id(), "2");
  EXPECT_TRUE(second->CanBePooled());

  // Deactivated, the object holds no collection.
  second->Deactivate();
  EXPECT_EQ(second->NewEnum(), Variant::Nothing());
  EXPECT_EQ(Raised([&] { second->Count(); }).number(), kErrObjectVariableNotSet);
  second->Activate();
  EXPECT_EQ(second->Count(), 0);
}

}  // namespace
}  // namespace trelix
