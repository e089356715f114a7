// The two queries of the comparison: exact statements, cache keys and cache
// traffic, indexes, completion votes and the error path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_site.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kSelectList =
    "ka.row_id , ka_text.key_advantage_text as Description ,  SQL='OR (eq.schema_id=' + cast(con_schema_id as "
    "varchar(7)) + case when con_schema_id_val != '' AND con_schema_id_val != '-'  then ' AND eq.data_value=''' + "
    "cast(con_schema_id_val as varchar(255)) + '''' else '' end + case  when location != '-' then ' AND "
    "Location=''' + cast(location as varchar(10)) + '''' else '' end + ')', con_schema_id as schema_id, "
    "con_schema_id_val as schema_id_value, location, con_format as format, advantage_rule, category ";

TEST(KeyAdvantageSpecs, StatementListsEveryVehicleAndIndexesLookupColumns) {
  FakeSite site;
  site.specs = {Standard(1001, 10, "S")};
  KeyAdvantages ka;
  struct Case {
    const char* vehicles;
    const char* condition;
  };
  for (const Case& c : {Case{"1001,1002", "(eq.vehicle_id=1001 OR eq.vehicle_id=1002)"},
                        Case{"101", "(eq.vehicle_id=101)"}, Case{"1, 2,3", "(eq.vehicle_id=1 OR eq.vehicle_id= 2 OR eq.vehicle_id=3)"}}) {
    site.record().calls.clear();
    RecordsetRef rs = ka.GetKeyAdvantageSpecs(c.vehicles, "ENG", 1, "demo_specs", "demo_project", "(ignored)",
                                              Variant("msrp"), 4, 7, "sqlite:/x");
    ASSERT_EQ(site.record().calls.size(), 1u) << "no cache traffic, whatever the handle";
    const ConnectorCall& call = site.record().calls[0];
    EXPECT_EQ(call.op, "ExecuteQuery");
    EXPECT_EQ(call.database, "demo_specs");
    EXPECT_EQ(call.connection, "sqlite:/x");
    EXPECT_EQ(call.text,
              std::string("SELECT eq.vehicle_id, eq.option_id, eq.record_id, eq.schema_id, si.parent_schema_id, "
                          "eq.location, eq.data_value, eq.condition, scht.full_text, ol.Manuf_name, ol.msrp FROM "
                          "equipment eq INNER JOIN schema_info si on eq.schema_id = si.schema_id LEFT OUTER JOIN "
                          "option_list ol ON eq.vehicle_id = ol.vehicle_id AND eq.option_id = ol.option_id LEFT "
                          "OUTER JOIN schema_text scht ON eq.schema_id = scht.schema_id AND eq.data_value = "
                          "scht.data_value AND scht.language_id =  1 where ") +
                  c.condition + " order by eq.schema_id, eq.option_id desc");
    for (const char* field : {"schema_id", "option_id", "vehicle_id", "location", "data_value"}) {
      EXPECT_TRUE(rs->Optimize(field)) << field;
    }
  }
}

TEST(KeyAdvantageSpecs, VotesCompleteOnlyWithAContext) {
  FakeSite site;
  KeyAdvantages ka;
  EXPECT_NO_THROW(ka.GetKeyAdvantageSpecs("1", "", 1, "s", "p", "", Variant("msrp"), 0, 0, "c"));
  ObjectContext context;
  ScopedObjectContext scope(context);
  ka.GetKeyAdvantageSpecs("1", "", 1, "s", "p", "", Variant("msrp"), 0, 0, "c");
  EXPECT_EQ(context.complete_count(), 1);
}

TEST(AdvantageDescriptions, StatementPerCategoryAndSegment) {
  FakeSite site;
  KeyAdvantages ka;
  struct Case {
    const char* category;
    int16_t segment;
    std::string statement;
  };
  const std::string unsegmented_head = std::string("SELECT DISTINCT ca.ka_order_id, ") + kSelectList +
                                       " FROM key_advantages ka  Inner JOIN  categories ca on "
                                       "ka.category=ca.category_name  Inner JOIN  key_advantage_text ka_text ON "
                                       "ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = 1";
  const std::string segmented_head = std::string("SELECT ") + kSelectList +
                                     " FROM key_advantages ka  Inner JOIN  ka_segmentation sg ON ka.row_id = "
                                     "sg.key_advantage_row_id  Inner JOIN  key_advantage_text ka_text ON ka.row_id "
                                     "= ka_text.key_advantage_row_id AND ka_text.language_id = 1";
  const Case cases[] = {
      {"ENG", 0,
       unsegmented_head +
           " WHERE  Advantage_rule is not null and (ka.Category = 'ENG')  ORDER BY ca.ka_order_id, ka.row_id"},
      {"", 0, unsegmented_head + " WHERE  Advantage_rule is not null  ORDER BY ca.ka_order_id, ka.row_id"},
      {"ENG", 2,
       segmented_head + " WHERE  Advantage_rule is not null and (ka.Category = 'ENG') AND (sg.segmentation_id = 2) "
                        "ORDER BY sg.segment_order_id, sg.key_advantage_row_id"},
      {"", 12,
       segmented_head + " WHERE  Advantage_rule is not null AND (sg.segmentation_id = 12) ORDER BY "
                        "sg.segment_order_id, sg.key_advantage_row_id"},
  };
  for (const Case& c : cases) {
    site.record().calls.clear();
    ka.getAdvantageDescriptions(c.category, 1, "demo_specs", "demo_project", c.segment, 0, "sqlite:/x");
    ASSERT_THAT(site.record().Ops(), ElementsAre("ExecuteQuery")) << "Cache 0: no cache operation";
    EXPECT_EQ(site.record().calls[0].text, c.statement);
    EXPECT_EQ(site.record().calls[0].database, "demo_project");
  }
}

TEST(AdvantageDescriptions, CachesUnderItsKeyAndAnswersHitsWithoutAStatement) {
  FakeSite site;
  site.advantages = {{1, 10, "@"}, {2, 11, "#>"}};
  KeyAdvantages ka;
  ObjectContext context;
  ScopedObjectContext scope(context);

  RecordsetRef first = ka.getAdvantageDescriptions("ENG", 3, "demo_specs", "demo_project", 2, 9, "sqlite:/x");
  ASSERT_THAT(site.record().Ops(), ElementsAre("GetCachedRecordset", "ExecuteQuery", "CacheRecordset"));
  for (const ConnectorCall* call : {&site.record().calls[0], &site.record().calls[2]}) {
    EXPECT_EQ(call->text, "getAdvantageDescriptionsENG32demo_specsdemo_project");
    EXPECT_EQ(call->handle, 9);
    EXPECT_EQ(call->database, "demo_project");
    EXPECT_EQ(call->connection, "sqlite:/x");
  }
  EXPECT_THAT(site.record().calls[2].xml, HasSubstr("OR (eq.schema_id=11)"));

  site.record().calls.clear();
  RecordsetRef hit = ka.getAdvantageDescriptions("ENG", 3, "demo_specs", "demo_project", 2, 9, "sqlite:/x");
  EXPECT_THAT(site.record().Ops(), ElementsAre("GetCachedRecordset"));
  ASSERT_EQ(hit->RecordCount(), 2);
  hit->MoveFirst();
  EXPECT_EQ(vb::ToText(hit->Value("SQL")), "OR (eq.schema_id=10)");
  EXPECT_EQ(context.complete_count(), 2) << "the cache hit votes too";

  // Another specs database is another key, for the same statement.
  site.record().calls.clear();
  ka.getAdvantageDescriptions("ENG", 3, "other_specs", "demo_project", 2, 9, "sqlite:/x");
  EXPECT_EQ(site.record().calls[0].text, "getAdvantageDescriptionsENG32other_specsdemo_project");
  EXPECT_EQ(site.record().calls[1].op, "ExecuteQuery");
}

TEST(AdvantageDescriptions, FailureIsLoggedAndRaisedWithItsLocationAndCastsNoVote) {
  ScopedErrorLog log;
  FakeSite site;
  site.record().query = FailingFor("", site.record().query);
  KeyAdvantages ka;
  ObjectContext context;
  ScopedObjectContext scope(context);
  try {
    ka.getAdvantageDescriptions("ENG", 1, "s", "p", 0, 0, "c");
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), -2147217900);
    EXPECT_EQ(error.source(), "1" + log.component() +
                                  "!KeyAdvantages!Function getAdvantageDescriptions!0!-2147217900");
    EXPECT_EQ(error.description(),
              "Incorrect syntax in KeyAdvantages, Function getAdvantageDescriptions at line number 0");
  }
  EXPECT_EQ(context.complete_count(), 0);
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr(" reports " + log.component() +
                                  " program error #-2147217900 (Incorrect syntax) occurred in module KeyAdvantages, "
                                  "Function getAdvantageDescriptions, line 0."));
}

}  // namespace
}  // namespace trelix::testing
