// The comparison driver: the calls it makes and their order, its cache key,
// the cache hit path, the result's shape, votes and the error path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/vb_runtime.h"
#include "fake_site.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class CompareTest : public ::testing::Test {
 protected:
  CompareTest() {
    site_.advantages = {{1, 10, "@"}, {2, 20, "#>", "#0", "=? vs =!"}, {3, 30, "S,O"}};
    site_.specs = {Standard(1001, 10, "S"), Standard(1002, 10, "-"), Standard(1001, 20, "5"),
                   Standard(1002, 20, "9"), Standard(1001, 30, "S"), Standard(1002, 30, "S")};
  }
  std::vector<std::string> FieldNames(const Recordset& rs) {
    std::vector<std::string> names;
    for (int index = 0; index < rs.FieldCount(); ++index) names.push_back(rs.Field(index).name);
    return names;
  }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
  CompareCall call_;
};

TEST_F(CompareTest, RunsTheQueriesInOrderAndKeepsRowsWithAWinner) {
  call_.cache = 7;
  call_.website_cache = 3;
  RecordsetRef result = call_.Run(ka_);
  EXPECT_THAT(FieldNames(*result),
              ElementsAre("row_id", "description", "winner", "option_id", "schema_id", "option_on_competitor",
                          "category"));
  EXPECT_THAT(Rows(*result), ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "0", "ENG"},
                                         ResultRow{"2", "9 vs 5", "1002", "0", "20", "0", "ENG"}));
  EXPECT_EQ(result->Field(2).type, DataType::kBigInt);

  const ConnectorRecord& record = site_.record();
  ASSERT_THAT(record.Ops(), ElementsAre("ExecuteQuery", "GetCachedRecordset", "GetCachedRecordset", "ExecuteQuery",
                                        "CacheRecordset", "ExecuteQuery", "CacheRecordset"));
  const std::string key = "Compare1001,1002ENG1demo_specsdemo_projectEUR0msrpmsrp";
  EXPECT_EQ(record.calls[0].text,
            "SELECT application_text FROM application_texts WHERE text_id='unlimited' and language_id=1");
  EXPECT_EQ(record.calls[0].database, "demo_project");
  EXPECT_EQ(record.calls[1].text, key);
  EXPECT_EQ(record.calls[1].handle, 7);
  EXPECT_EQ(record.calls[2].text, "getAdvantageDescriptionsENG10demo_specsdemo_project");
  EXPECT_EQ(record.calls[2].handle, 3) << "the descriptions use the web site's cache";
  EXPECT_THAT(record.calls[5].text, HasSubstr(" where (eq.vehicle_id=1001 OR eq.vehicle_id=1002) "));
  EXPECT_EQ(record.calls[5].database, "demo_specs");
  EXPECT_EQ(record.calls[6].text, key);
  EXPECT_EQ(record.calls[6].handle, 7);
  EXPECT_EQ(record.calls[6].database, "demo_project");
  EXPECT_EQ(record.calls[6].connection, "sqlite:/tmp/none");
  EXPECT_EQ(Rows(*Recordset::LoadXml(record.calls[6].xml)), Rows(*result)) << "the cached text is the result";
  EXPECT_EQ(ka_.UnlimitedText(), "unbegrenzt");
}

TEST_F(CompareTest, CacheHitAnswersWithoutStatementsWhateverTheTotalPrices) {
  call_.cache = 7;
  const std::vector<ResultRow> first = Rows(*call_.Run(ka_));
  site_.record().calls.clear();
  site_.specs.clear();  // a statement would now give other rows

  ObjectContext context;
  ScopedObjectContext scope(context);
  call_.base_total = 12345;
  RecordsetRef hit = call_.Run(ka_);
  EXPECT_THAT(site_.record().Ops(), ElementsAre("GetCachedRecordset")) << "the unlimited text is loaded once";
  EXPECT_EQ(Rows(*hit), first);
  EXPECT_EQ(context.complete_count(), 1);
}

TEST_F(CompareTest, WithoutACacheNoCacheOperationsAndOneVotePerMethod) {
  ObjectContext context;
  ScopedObjectContext scope(context);
  call_.Run(ka_);
  EXPECT_THAT(site_.record().Ops(), ElementsAre("ExecuteQuery", "ExecuteQuery", "ExecuteQuery"));
  // The two queries run through the object's own interface and vote too.
  EXPECT_EQ(context.complete_count(), 3);
  EXPECT_EQ(context.vote(), ObjectContext::Vote::kComplete);
}

TEST_F(CompareTest, CacheKeyCarriesOptionsPriceFieldsAndOptionalFlag) {
  struct Case {
    Variant base_options;
    Variant competitor_options;
    const char* price_field;
    bool optional;
    const char* key;
  };
  const Case cases[] = {
      {Variant::Array({Variant(int32_t{5}), Variant(int32_t{6})}), Variant::Array({}), "", false,
       "Compare1001,1002ENG1demo_specsdemo_projectEURoptions|1001,5,6|10020msrpmsrp"},
      {Variant::Array({}), Variant::Array({Variant("7")}), "pf_90001", false,
       "Compare1001,1002ENG1demo_specsdemo_projectEURoptions|1001|1002,70pf_90001msrp"},
      {Variant::Array({}), Variant::Array({}), "", true, "Compare1001,1002ENG1demo_specsdemo_projectEUR0msrpmsrpTrue"},
      {Variant(), Variant::Null(), "", false, "Compare1001,1002ENG1demo_specsdemo_projectEUR0msrpmsrp"},
  };
  for (const Case& c : cases) {
    site_.record().calls.clear();
    call_.cache = 1;
    call_.base_options = c.base_options;
    call_.competitor_options = c.competitor_options;
    call_.price_field = c.price_field;
    call_.display_optional = c.optional;
    call_.base_total = 99;  // the totals never enter the key
    call_.Run(ka_);
    EXPECT_EQ(CallsOf(site_.record(), "GetCachedRecordset").at(0)->text, c.key);
  }
}

TEST_F(CompareTest, OptionalAdvantagesAddTheirField) {
  call_.display_optional = true;
  RecordsetRef result = call_.Run(ka_);
  ASSERT_EQ(result->FieldCount(), 8);
  EXPECT_EQ(result->Field(7).name, "optionaladvantage");
  EXPECT_EQ(result->Field(7).type, DataType::kBoolean);
}

TEST_F(CompareTest, OneVehicleOrNoAdvantagesGiveAnEmptyCachedResult) {
  call_.cache = 2;
  call_.vehicles = "1001";
  RecordsetRef result = call_.Run(ka_);
  EXPECT_EQ(result->FieldCount(), 7);
  EXPECT_EQ(result->RecordCount(), 0);
  EXPECT_EQ(CallsOf(site_.record(), "CacheRecordset").size(), 1u);

  site_.advantages.clear();
  site_.record().calls.clear();
  call_.vehicles = "1001,1002";
  result = call_.Run(ka_);
  EXPECT_EQ(result->RecordCount(), 0);
  EXPECT_EQ(CallsOf(site_.record(), "CacheRecordset").size(), 1u);
}

TEST_F(CompareTest, OnlyTheFirstTwoVehiclesAreCompared) {
  site_.specs.push_back(Standard(1003, 30, "O"));
  call_.vehicles = "1001,1002,1003";
  const std::vector<ResultRow> rows = Rows(*call_.Run(ka_));
  EXPECT_THAT(rows, ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "0", "ENG"},
                                ResultRow{"2", "9 vs 5", "1002", "0", "20", "0", "ENG"}));
  EXPECT_THAT(site_.Statements().back(), HasSubstr("(eq.vehicle_id=1001 OR eq.vehicle_id=1002 OR eq.vehicle_id=1003)"));
}

TEST_F(CompareTest, LateBoundCallDefaultsTheOptionalArguments) {
  std::vector<Variant> args = {Variant("1001,1002"), Variant("ENG"),        Variant(int16_t{1}), Variant("demo_specs"),
                               Variant("demo_project"), Variant("EUR"),    Variant("msrp"),     Variant(),
                               Variant(),             Variant(int16_t{0}), Variant(int32_t{4}), Variant(int32_t{0}),
                               Variant("sqlite:/x"),  Variant(0.0),        Variant(0.0)};
  Variant result = ka_.Invoke("Compare", InvokeKind::kMethod, args);
  auto rs = result.As<Recordset>();
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->FieldCount(), 7) << "booDisplayOptionalAdvantages defaults to false";
  EXPECT_EQ(CallsOf(site_.record(), "GetCachedRecordset").at(0)->text,
            "Compare1001,1002ENG1demo_specsdemo_projectEUR0msrpmsrp");
  std::vector<Variant> none;
  EXPECT_EQ(vb::ToText(ka_.Invoke("version", InvokeKind::kMethod, none)), "2005 2 8");
}

TEST(KeyAdvantagesClass, IsCreatableByProgIdAndNeverPooled) {
  RegisterKeyAdvantagesClass();
  auto created = CreateObjectAs<KeyAdvantages>("TRELIX_EB.KeyAdvantages");
  EXPECT_EQ(created->TypeName(), "KeyAdvantages");
  EXPECT_FALSE(created->CanBePooled());
  EXPECT_EQ(created->UnlimitedText(), "");
}

TEST_F(CompareTest, AFailingEquipmentQueryLeavesThroughBothProceduresOfTheErrorLog) {
  site_.record().query = FailingFor("SELECT eq.vehicle_id", site_.record().query);
  call_.cache = 5;
  try {
    call_.Run(ka_);
    FAIL() << "no error";
  } catch (const ComError& error) {
    const std::string& path = log_.component();
    EXPECT_EQ(error.number(), -2147217900);
    EXPECT_EQ(error.source(), "2" + path + "!KeyAdvantages!Function GetKeyAdvantageSpecs!0!-2147217900!" + path +
                                  "!KeyAdvantages!Function Compare!0!-2147217900");
    EXPECT_EQ(error.description(),
              "Incorrect syntax in KeyAdvantages, Function GetKeyAdvantageSpecs at line number 0 in KeyAdvantages, "
              "Function Compare at line number 0");
  }
  EXPECT_THAT(CallsOf(site_.record(), "CacheRecordset"), IsEmpty()) << "a failed comparison caches nothing";
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], HasSubstr("occurred in module KeyAdvantages, Function GetKeyAdvantageSpecs, line 0."));
  EXPECT_THAT(lines[1], HasSubstr("occurred in module KeyAdvantages, Function Compare, line 0. This error was "
                                  "generated remotely by " +
                                  log_.component() + ", a component of " + log_.component() + "."));
}

TEST_F(CompareTest, AnEquipmentRecordWithoutItsTextFailsInSetValue) {
  auto answer = site_.record().query;
  site_.record().query = [answer](const std::string& sql, const std::string& database) -> RecordsetRef {
    if (sql.rfind("SELECT eq.vehicle_id", 0) != 0) return answer(sql, database);
    return MakeRecordset({{"vehicle_id", DataType::kInteger},
                          {"option_id", DataType::kInteger},
                          {"schema_id", DataType::kInteger},
                          {"parent_schema_id", DataType::kInteger},
                          {"location", DataType::kVarWChar, 10},
                          {"data_value", DataType::kVarWChar, 10},
                          {"msrp", DataType::kCurrency}},
                         {{Variant(int32_t{1001}), Variant(int32_t{0}), Variant(int32_t{10}), Variant(int32_t{10}),
                           Variant("-"), Variant("S"), Variant::Null()}});
  };
  try {
    call_.Run(ka_);
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), 3265);
    EXPECT_THAT(error.source(), HasSubstr("!KeyAdvantages!Sub SetValue!0!3265!"));
    EXPECT_THAT(error.description(), ::testing::EndsWith(" in KeyAdvantages, Sub SetValue at line number 0 in "
                                                         "KeyAdvantages, Function Compare at line number 0"));
  }
  EXPECT_EQ(log_.Lines().size(), 2u);
}

TEST_F(CompareTest, ACompetitorIdThatIsNotANumberFailsTheComparison) {
  call_.vehicles = "1001,x1002";
  try {
    call_.Run(ka_);
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrTypeMismatch);
    EXPECT_THAT(error.description(), ::testing::EndsWith(" in KeyAdvantages, Function Compare at line number 0"));
  }
}

TEST_F(CompareTest, AnOptionListBesideANonArrayIsATypeMismatch) {
  call_.base_options = Variant::Array({Variant(int32_t{5})});
  try {
    call_.Run(ka_);
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrTypeMismatch);
    EXPECT_EQ(error.source(), "1" + log_.component() + "!KeyAdvantages!Function Compare!0!13");
  }
  EXPECT_THAT(site_.record().calls, IsEmpty()) << "the key is built before any statement";
  EXPECT_EQ(log_.Lines().size(), 1u);
}

}  // namespace
}  // namespace trelix::testing
