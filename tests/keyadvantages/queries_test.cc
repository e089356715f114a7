// The two queries of the comparison: exact statements, cache keys and
// traffic, indexes, votes and the error path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_site.h"
#include "frame/object_context.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(KeyAdvantageSpecs, OneStatementForAllVehiclesIndexedOnTheLookupColumns) {
  FakeSite site;
  KeyAdvantages ka;
  for (const auto& [vehicles, condition] :
       std::vector<std::pair<std::string, std::string>>{{"1001,1002", "(eq.vehicle_id=1001 OR eq.vehicle_id=1002)"},
                                                        {"101", "(eq.vehicle_id=101)"}}) {
    site.record().calls.clear();
    RecordsetRef rs =
        ka.GetKeyAdvantageSpecs(vehicles, "ENG", 1, "demo_specs", "demo_project", "(x", Variant("msrp"), 4, 7, "c");
    ASSERT_THAT(site.record().Ops(), ElementsAre("ExecuteQuery")) << "no cache traffic whatever the handle";
    EXPECT_EQ(site.record().calls[0].database, "demo_specs");
    EXPECT_EQ(site.record().calls[0].text,
              "SELECT eq.vehicle_id, eq.option_id, eq.record_id, eq.schema_id, si.parent_schema_id, eq.location, "
              "eq.data_value, eq.condition, scht.full_text, ol.Manuf_name, ol.msrp FROM equipment eq INNER JOIN "
              "schema_info si on eq.schema_id = si.schema_id LEFT OUTER JOIN option_list ol ON eq.vehicle_id = "
              "ol.vehicle_id AND eq.option_id = ol.option_id LEFT OUTER JOIN schema_text scht ON eq.schema_id = "
              "scht.schema_id AND eq.data_value = scht.data_value AND scht.language_id =  1 where " +
                  condition + " order by eq.schema_id, eq.option_id desc");
    for (const char* field : {"schema_id", "option_id", "vehicle_id", "location", "data_value"}) {
      EXPECT_TRUE(rs->Optimize(field)) << field;
    }
  }
}

TEST(AdvantageDescriptions, StatementPerCategoryAndSegment) {
  FakeSite site;
  KeyAdvantages ka;
  const std::string list =
      "ka.row_id , ka_text.key_advantage_text as Description ,  SQL='OR (eq.schema_id=' + cast(con_schema_id as "
      "varchar(7)) + case when con_schema_id_val != '' AND con_schema_id_val != '-'  then ' AND eq.data_value=''' + "
      "cast(con_schema_id_val as varchar(255)) + '''' else '' end + case  when location != '-' then ' AND "
      "Location=''' + cast(location as varchar(10)) + '''' else '' end + ')', con_schema_id as schema_id, "
      "con_schema_id_val as schema_id_value, location, con_format as format, advantage_rule, category ";
  const std::string texts = " Inner JOIN  key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND "
                            "ka_text.language_id = 1";
  const std::string plain = "SELECT DISTINCT ca.ka_order_id, " + list +
                            " FROM key_advantages ka  Inner JOIN  categories ca on ka.category=ca.category_name " + texts;
  const std::string segmented =
      "SELECT " + list + " FROM key_advantages ka  Inner JOIN  ka_segmentation sg ON ka.row_id = sg.key_advantage_row_id " +
      texts;
  const std::string by_segment = " ORDER BY sg.segment_order_id, sg.key_advantage_row_id";
  for (const auto& [category, segment, statement] : std::vector<std::tuple<const char*, int16_t, std::string>>{
           {"ENG", 0, plain + " WHERE  Advantage_rule is not null and (ka.Category = 'ENG')  ORDER BY ca.ka_order_id, ka.row_id"},
           {"", 0, plain + " WHERE  Advantage_rule is not null  ORDER BY ca.ka_order_id, ka.row_id"},
           {"ENG", 2, segmented + " WHERE  Advantage_rule is not null and (ka.Category = 'ENG') AND (sg.segmentation_id = 2)" + by_segment},
           {"", 12, segmented + " WHERE  Advantage_rule is not null AND (sg.segmentation_id = 12)" + by_segment}}) {
    site.record().calls.clear();
    ka.getAdvantageDescriptions(category, 1, "demo_specs", "demo_project", segment, 0, "c");
    ASSERT_THAT(site.record().Ops(), ElementsAre("ExecuteQuery")) << "Cache 0: no cache operation";
    EXPECT_EQ(site.record().calls[0].database + ": " + site.record().calls[0].text, "demo_project: " + statement);
  }
}

TEST(AdvantageDescriptions, CachedUnderTheirKeyAndHitsRunNoStatement) {
  FakeSite site;
  site.advantages = {{1, 10, "@"}, {2, 11, "#>"}};
  KeyAdvantages ka;
  ObjectContext context;
  ScopedObjectContext scope(context);
  ka.getAdvantageDescriptions("ENG", 3, "demo_specs", "demo_project", 2, 9, "c");
  ASSERT_THAT(site.record().Ops(), ElementsAre("GetCachedRecordset", "ExecuteQuery", "CacheRecordset"));
  for (int call : {0, 2}) {
    const ConnectorCall& c = site.record().calls[call];
    EXPECT_EQ(std::tie(c.text, c.handle, c.database),
              std::tuple("getAdvantageDescriptionsENG32demo_specsdemo_project", 9, "demo_project"));
  }
  EXPECT_THAT(site.record().calls[2].xml, HasSubstr("OR (eq.schema_id=11)"));

  site.record().calls.clear();
  RecordsetRef hit = ka.getAdvantageDescriptions("ENG", 3, "demo_specs", "demo_project", 2, 9, "c");
  EXPECT_THAT(site.record().Ops(), ElementsAre("GetCachedRecordset"));
  EXPECT_EQ(hit->RecordCount(), 2);
  EXPECT_EQ(context.complete_count(), 2) << "the hit votes too";

  site.record().calls.clear();  // another specs database: another key, the same statement
  ka.getAdvantageDescriptions("ENG", 3, "other_specs", "demo_project", 2, 9, "c");
  EXPECT_EQ(site.record().calls[0].text, "getAdvantageDescriptionsENG32other_specsdemo_project");
  EXPECT_EQ(site.record().calls[1].op, "ExecuteQuery");
}

TEST(AdvantageDescriptions, FailureIsLoggedAndRaisedWithItsLocationWithoutAVote) {
  ScopedErrorLog log;
  FakeSite site;
  site.record().query = FailingFor("", site.record().query);
  KeyAdvantages ka;
  ObjectContext context;
  ScopedObjectContext scope(context);
  const ComError error = Raised([&] { ka.getAdvantageDescriptions("ENG", 1, "s", "p", 0, 0, "c"); });
  EXPECT_EQ(std::tuple(error.number(), error.source(), error.description()),
            std::tuple(-2147217900,
                       "1" + log.component() + "!KeyAdvantages!Function getAdvantageDescriptions!0!-2147217900",
                       "Incorrect syntax in KeyAdvantages, Function getAdvantageDescriptions at line number 0"));
  EXPECT_EQ(context.complete_count(), 0);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_THAT(log.Lines()[0], HasSubstr(" reports " + log.component() +
                                        " program error #-2147217900 (Incorrect syntax) occurred in module "
                                        "KeyAdvantages, Function getAdvantageDescriptions, line 0."));
}

}  // namespace
}  // namespace trelix::testing
