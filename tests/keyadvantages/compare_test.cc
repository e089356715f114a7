// The comparison driver: its calls and their order, the cache key, the
// cache hit, the result's shape, votes, late binding and the error path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/object_factory.h"
#include "fake_site.h"
#include "frame/object_context.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

const std::string kKey = "Compare1001,1002ENG1demo_specsdemo_projectEUR0msrpmsrp";

class CompareTest : public ::testing::Test {
 protected:
  CompareTest() {
    site_.advantages = {{1, 10, "@"}, {2, 20, "#>", "#0", "=? vs =!"}, {3, 30, "S,O"}};
    site_.specs = {Standard(1001, 10, "S"), Standard(1002, 10, "-"), Standard(1001, 20, "5"),
                   Standard(1002, 20, "9"), Standard(1001, 30, "S"), Standard(1002, 30, "S")};
  }
  ComError Failure() { return Raised([&] { call_.Run(ka_); }); }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
  CompareCall call_;
  const std::vector<ResultRow> expected_ = {{"1", " against -", "1001", "0", "10", "0"},
                                            {"2", "9 vs 5", "1002", "0", "20", "0"}};
};

TEST_F(CompareTest, RunsItsCallsInOrderAndCachesTheRowsWithAWinner) {
  call_.cache = 7;
  call_.website_cache = 3;
  RecordsetRef result = call_.Run(ka_);
  std::vector<std::string> fields;
  for (int index = 0; index < result->FieldCount(); ++index) fields.push_back(result->Field(index).name);
  EXPECT_THAT(fields, ElementsAre("row_id", "description", "winner", "option_id", "schema_id", "option_on_competitor",
                                  "category"));
  EXPECT_EQ(result->Field(2).type, DataType::kBigInt);
  EXPECT_EQ(Rows(*result), expected_);

  const std::vector<ConnectorCall>& calls = site_.record().calls;
  ASSERT_THAT(site_.record().Ops(), ElementsAre("ExecuteQuery", "GetCachedRecordset", "GetCachedRecordset",
                                                "ExecuteQuery", "CacheRecordset", "ExecuteQuery", "CacheRecordset"));
  EXPECT_EQ(calls[0].text, "SELECT application_text FROM application_texts WHERE text_id='unlimited' and language_id=1");
  EXPECT_EQ(calls[1].text, kKey);
  EXPECT_EQ(calls[2].text, "getAdvantageDescriptionsENG10demo_specsdemo_project");
  EXPECT_EQ(calls[2].handle, 3) << "the descriptions use the web site's cache";
  EXPECT_THAT(calls[5].text, HasSubstr(" where (eq.vehicle_id=1001 OR eq.vehicle_id=1002) "));
  EXPECT_EQ(calls[5].database, "demo_specs");
  for (int call : {1, 6}) {
    EXPECT_EQ(std::tie(calls[call].text, calls[call].handle, calls[call].database, calls[call].connection),
              std::tuple(kKey, 7, "demo_project", "sqlite:/tmp/none"));
  }
  EXPECT_EQ(Rows(*Recordset::LoadXml(calls[6].xml)), expected_) << "the cached text is the result";
  EXPECT_EQ(ka_.UnlimitedText(), "unbegrenzt");

  // The hit: no statement (the unlimited text is loaded once per object),
  // whatever the total prices, and a vote.
  site_.record().calls.clear();
  site_.specs.clear();
  call_.base_total = 12345;
  ObjectContext context;
  ScopedObjectContext scope(context);
  EXPECT_EQ(Rows(*call_.Run(ka_)), expected_);
  EXPECT_THAT(site_.record().Ops(), ElementsAre("GetCachedRecordset"));
  EXPECT_EQ(context.complete_count(), 1);
}

TEST_F(CompareTest, WithoutACacheEachOfItsMethodsVotes) {
  ObjectContext context;
  ScopedObjectContext scope(context);
  call_.Run(ka_);
  EXPECT_THAT(site_.record().Ops(), ElementsAre("ExecuteQuery", "ExecuteQuery", "ExecuteQuery"));
  EXPECT_EQ(context.complete_count(), 3) << "the two queries run through the object's own interface";
}

TEST_F(CompareTest, CacheKeyCarriesOptionsPriceFieldsAndTheOptionalFlag) {
  const std::string head = "Compare1001,1002ENG1demo_specsdemo_projectEUR";
  struct Case {
    Variant base, competitor;
    const char* price_field;
    bool optional;
    std::string key;
  };
  for (const Case& c : std::vector<Case>{
           {Variant::Array({Variant(int32_t{5}), Variant(int32_t{6})}), Variant::Array({}), "", false,
            head + "options|1001,5,6|10020msrpmsrp"},
           {Variant::Array({}), Variant::Array({Variant("7")}), "pf_90001", false, head + "options|1001|1002,70pf_90001msrp"},
           {Variant::Array({}), Variant::Array({}), "", true, head + "0msrpmsrpTrue"},
           {Variant(), Variant::Null(), "", false, kKey}}) {
    site_.record().calls.clear();
    call_.cache = 1;
    call_.base_options = c.base;
    call_.competitor_options = c.competitor;
    call_.price_field = c.price_field;
    call_.display_optional = c.optional;
    call_.base_total = 99;  // never in the key
    RecordsetRef result = call_.Run(ka_);
    EXPECT_EQ(CallsOf(site_.record(), "GetCachedRecordset").at(0)->text, c.key);
    EXPECT_EQ(result->FieldCount(), c.optional ? 8 : 7);
  }
}

TEST_F(CompareTest, ListsBeyondTwoVehiclesAndWithoutAdvantages) {
  site_.specs.push_back(Standard(1003, 30, "O"));
  call_.vehicles = "1001,1002,1003";  // only the first two are compared
  EXPECT_EQ(Rows(*call_.Run(ka_)), expected_);
  call_.cache = 2;
  for (const char* vehicles : {"1001", "1001,1002"}) {
    if (std::string(vehicles) == "1001,1002") site_.advantages.clear();
    site_.record().calls.clear();
    call_.vehicles = vehicles;
    RecordsetRef result = call_.Run(ka_);
    EXPECT_EQ(result->RecordCount(), 0) << vehicles;
    EXPECT_EQ(CallsOf(site_.record(), "CacheRecordset").size(), 1u) << "an empty answer is cached too";
  }
}

TEST_F(CompareTest, LateBindingDefaultsAndCreation) {
  RegisterKeyAdvantagesClass();
  auto ka = CreateObjectAs<KeyAdvantages>("TRELIX_EB.KeyAdvantages");
  EXPECT_FALSE(ka->CanBePooled());
  std::vector<Variant> args = {Variant("1001,1002"), Variant("ENG"), Variant(int16_t{1}), Variant("demo_specs"),
                               Variant("demo_project"), Variant("EUR"), Variant("msrp"), Variant(), Variant(),
                               Variant(int16_t{0}), Variant(int32_t{4}), Variant(int32_t{0}), Variant("c"),
                               Variant(0.0), Variant(0.0)};
  EXPECT_EQ(ka->Invoke("Compare", InvokeKind::kMethod, args).As<Recordset>()->FieldCount(), 7)
      << "booDisplayOptionalAdvantages defaults to false";
  EXPECT_EQ(CallsOf(site_.record(), "GetCachedRecordset").at(0)->text, kKey);
  std::vector<Variant> none;
  EXPECT_EQ(vb::ToText(ka->Invoke("version", InvokeKind::kMethod, none)), "2005 2 8");
}

TEST_F(CompareTest, AFailingEquipmentQueryLeavesThroughBothProceduresOfTheErrorLog) {
  site_.record().query = FailingFor("SELECT eq.vehicle_id", site_.record().query);
  call_.cache = 5;
  const ComError error = Failure();
  const std::string& path = log_.component();
  EXPECT_EQ(std::tuple(error.number(), error.source(), error.description()),
            std::tuple(-2147217900,
                       "2" + path + "!KeyAdvantages!Function GetKeyAdvantageSpecs!0!-2147217900!" + path +
                           "!KeyAdvantages!Function Compare!0!-2147217900",
                       "Incorrect syntax in KeyAdvantages, Function GetKeyAdvantageSpecs at line number 0 in "
                       "KeyAdvantages, Function Compare at line number 0"));
  EXPECT_TRUE(CallsOf(site_.record(), "CacheRecordset").empty()) << "a failed comparison caches nothing";
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], HasSubstr("occurred in module KeyAdvantages, Function GetKeyAdvantageSpecs, line 0."));
  EXPECT_THAT(lines[1], HasSubstr("occurred in module KeyAdvantages, Function Compare, line 0. This error was "
                                  "generated remotely by " + path + ", a component of " + path + "."));
}

TEST_F(CompareTest, BadInputsFailThroughTheErrorLog) {
  call_.vehicles = "1001,x1002";  // a vehicle id that is not a number
  EXPECT_EQ(Failure().number(), kErrTypeMismatch);

  call_.vehicles = "1001,1002";  // an option list beside a non-array, found before any statement
  call_.base_options = Variant::Array({Variant(int32_t{5})});
  site_.record().calls.clear();
  const ComError mismatch = Failure();
  EXPECT_EQ(mismatch.source(), "1" + log_.component() + "!KeyAdvantages!Function Compare!0!13");
  EXPECT_TRUE(site_.record().calls.empty());

  // An equipment record without its text fails in SetValue.
  call_.base_options = Variant();
  auto answer = site_.record().query;
  site_.record().query = [answer](const std::string& sql, const std::string& database) -> RecordsetRef {
    if (sql.rfind("SELECT eq.vehicle_id", 0) != 0) return answer(sql, database);
    return MakeRecordset({{"vehicle_id", DataType::kInteger}, {"option_id", DataType::kInteger},
                          {"schema_id", DataType::kInteger}, {"parent_schema_id", DataType::kInteger},
                          {"location", DataType::kBSTR}, {"data_value", DataType::kBSTR}, {"msrp", DataType::kCurrency}},
                         {{Variant(int32_t{1001}), Variant(int32_t{0}), Variant(int32_t{10}), Variant(int32_t{10}),
                           Variant("-"), Variant("S"), Variant::Null()}});
  };
  const ComError missing = Failure();
  EXPECT_EQ(missing.number(), 3265);
  EXPECT_THAT(missing.description(), EndsWith(" in KeyAdvantages, Sub SetValue at line number 0 in KeyAdvantages, "
                                               "Function Compare at line number 0"));
  EXPECT_EQ(log_.Lines().size(), 4u);
}

}  // namespace
}  // namespace trelix::testing
