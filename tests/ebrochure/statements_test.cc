// What the Categories methods send to the connector: exact statements in
// order, cache keys, cache traffic, completion votes and logged failures.

#include <gtest/gtest.h>

#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"
#include "frame/object_context.h"
#include "support/raised.h"

namespace trelix {
namespace {

using namespace testing;  // NOLINT: the site vocabulary

// Schemas 100, 101 at F, 102, 103.
FakeSite Sample() {
  return FakeSite{{{1, 100, "A"}, {2, 101, "A", Variant::Null(), Variant("F")}, {3, 102, "T"}, {4, 103, "#"}},
                  {Standard(100, Variant("Yes"), 1), Standard(103, Variant("4"), 2)}};
}

void ExpectLogged(const std::function<void()>& call, int32_t number, const std::string& label) {
  const ComError error = Raised(call);
  EXPECT_EQ(error.number(), number);
  EXPECT_NE(error.description().find(" in Categories, " + label + " at line number 0"), std::string::npos)
      << error.description();
}

TEST(GetSpecsStatements, TheFourStatementsInOrder) {
  const std::string select =
      "SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, "
      "eb.location,   eb.con_format, ct.application_text as con_customtext ";
  const std::string segmented = "FROM e_brochure eb INNER JOIN  segmentation ON eb.row_id = "
      "segmentation.e_brochure_row_id LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id AND "
      "ct.language_id = 1";
  const std::string order = " ORDER BY segmentation.segment_order_id, segmentation.e_brochure_row_id, eb.order_id ";
  const std::string plain = " FROM e_brochure eb LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = "
      "ct.text_id   AND ct.language_id = 1";
  const std::vector<std::tuple<const char*, int16_t, std::string>> variants = {
      {"ENG", 2, select + segmented + " WHERE     (eb.category = 'ENG') AND (eb.con_schema_id > 0)  AND "
                 "(segmentation.segmentation_id =2)" + order},
      {"", 2, select + segmented + " INNER JOIN  categories on category = category_name  WHERE (eb.con_schema_id > 0)"
              "  AND (segmentation.segmentation_id =2)" + order},
      {"ENG", 0, select + plain + " where  Category='ENG' AND  eb.con_schema_id > 0 ORDER BY eb.row_id, eb.order_id"},
      {"", 0, select + plain + " INNER JOIN  categories on category = category_name where eb.con_schema_id > 0 ORDER "
              "BY eb_order_id, eb.row_id, eb.order_id"},
  };
  const std::string equipment =
      "SELECT eq.option_id, eq.record_id, eq.schema_id, eq.location, \r\n\teq.data_value, \r\n\teq.condition, "
      "scht.full_text, \r\n\tol.msrp, st.content from schema_text scht RIGHT OUTER JOIN  schema_info LEFT OUTER JOIN  "
      "equipment eq ON schema_info.schema_id = eq.schema_id LEFT OUTER JOIN   option_list ol ON eq.vehicle_id = "
      "ol.vehicle_id AND eq.option_id = ol.option_id ON scht.schema_id = eq.schema_id AND  scht.data_value = "
      "eq.data_value And scht.language_id = 1 left outer join standard_text st on st.vehicle_id = eq.vehicle_id and "
      "schema_info.parent_schema_id = st.schema_id And st.language_id = 1 where  (eq.vehicle_id=1001) AND ( "
      "((eq.Schema_id=100)) OR ((eq.Schema_id=101) AND (eq.location='F')) OR ((eq.Schema_id=102)) OR "
      "((eq.Schema_id=103))) order by eq.schema_id, msrp ASC";
  const std::string parent =
      "SELECT DISTINCT eq.schema_id AS parent, schema_info.schema_id, eq.data_value, eq.location, "
      "demo_project..e_brochure.con_schema_id FROM schema_info INNER JOIN  equipment eq ON "
      "schema_info.parent_schema_id = eq.schema_id INNER JOIN demo_project..e_brochure ON schema_info.schema_id = "
      "demo_project..e_brochure.con_schema_id  Where (eq.vehicle_id = 1001) And (eq.option_id = 0)  ORDER BY "
      "demo_project..e_brochure.con_schema_id";
  for (const auto& [category, segmentation, sheet] : variants) {
    ServedSite served(Sample());
    served.categories.GetSpecs(category, 1, 1001, "demo_specs", "demo_project", "msrp", served.options, segmentation,
                               0, "conn");
    std::vector<std::string> seen;
    for (const ConnectorCall& call : served.connector.record().calls) {
      seen.push_back(call.op + "|" + call.database + "|" + call.connection + "|" + call.text);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
        "ExecuteQuery|demo_project|conn|SELECT application_text FROM application_texts WHERE text_id='unlimited' and language_id=1",
        "ExecuteQuery|demo_project|conn|" + sheet, "ExecuteQuery|demo_specs|conn|" + equipment,
        "ExecuteQuery|demo_specs|conn|" + parent}));
  }
}

TEST(GetSpecsStatements, UnlimitedTextOncePerObject) {
  for (const auto& [stored, expected] : std::vector<std::pair<std::optional<Variant>, std::string>>{
           {Variant("illimité"), "illimité"}, {Variant(""), "unlimited"}, {Variant::Null(), "unlimited"},
           {std::nullopt, "unlimited"}}) {
    ServedSite served(Sample());
    served.site.unlimited = stored;
    served.categories.GetSpecs("ENG", 5, 1001, "s", "p", "msrp", served.options, 0, 0, "c");
    served.categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", served.options, 0, 0, "c");
    EXPECT_EQ(served.connector.record().calls.size(), 7u) << "the second call reads no text";
    EXPECT_EQ(served.categories.UnlimitedText(), expected);
  }
}

TEST(GetSpecsStatements, CacheKeysMissAndHit) {
  const std::vector<std::tuple<Variant, double, std::string>> keys = {
      {Ids({12, 15}), 1001, "GetSpecsENG11001demo_specsdemo_projectoptions12152"},
      {Ids({15, 12}), 1001, "GetSpecsENG11001demo_specsdemo_projectoptions15122"},
      {Variant(), 1001, "GetSpecsENG11001demo_specsdemo_project2"},
      {Variant(int32_t{12}), 1001, "GetSpecsENG11001demo_specsdemo_project2"},
      {Variant::Array({}), 1001.5, "GetSpecsENG11001.5demo_specsdemo_project2"},
  };
  for (const auto& [given, vehicle, key] : keys) {
    FakeSite site = Sample();
    ScopedRecordingConnector connector;
    site.Serve(connector.record());
    ObjectContext context;
    ScopedObjectContext scope(context);
    Variant options = given;
    RecordsetRef fresh;
    {
      Categories categories;
      fresh = categories.GetSpecs("ENG", 1, vehicle, "demo_specs", "demo_project", "msrp", options, 2, 9, "conn");
    }
    const ConnectorRecord& record = connector.record();
    ASSERT_EQ(record.Ops(), (std::vector<std::string>{"GetCachedRecordset", "ExecuteQuery", "ExecuteQuery",
                                                       "ExecuteQuery", "ExecuteQuery", "CacheRecordset"}));
    EXPECT_EQ(record.connectors_created, 3);  // lookup, queries, store
    for (const ConnectorCall& call : {record.calls.front(), record.calls.back()}) {
      EXPECT_EQ(call.text + "|" + std::to_string(call.handle) + "|" + call.database + "|" + call.connection,
                key + "|9|demo_project|conn");
    }
    EXPECT_EQ(record.calls.back().xml, fresh->SaveXml());
    EXPECT_TRUE(options == given) << "the options are not changed";

    connector.record().calls.clear();
    Categories another;
    RecordsetRef hit = another.GetSpecs("ENG", 1, vehicle, "demo_specs", "demo_project", "msrp", options, 2, 9, "conn");
    EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"GetCachedRecordset"});
    EXPECT_EQ(Rows(*hit), Rows(*fresh));
    EXPECT_EQ(context.complete_count(), 2) << "a hit votes too";
  }
}

TEST(GetSpecsStatements, FailuresAreLoggedWithoutVote) {
  for (const char* failing : {"GetCachedRecordset", "ExecuteQuery", "CacheRecordset"}) {
    ServedSite served(Sample());
    served.connector.record().fail_op = failing;
    ObjectContext context;
    ScopedObjectContext scope(context);
    ExpectLogged([&] { served.categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", served.options, 0, 4, "c"); },
                 served.connector.record().fail_number, "Function GetSpecs");
    EXPECT_EQ(context.complete_count(), 0) << failing;
  }
  // A sheet without lines has no first row for the where clause.
  ServedSite empty;
  ExpectLogged([&] { empty.categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", empty.options, 0, 0, "c"); }, 3021,
               "Function BuildWhereClause");
}

TEST(GetDescriptionsStatements, VariantsKeysAndCache) {
  const std::string head = "SELECT eb.row_id , ebt.e_brochure_text as Description, category ";
  const std::string min = ", Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading  FROM e_brochure eb INNER JOIN  ";
  const std::string seg = "eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN  e_brochure_text ebt ON "
      "eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1";
  const std::string plain = "e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1";
  const std::vector<std::tuple<const char*, int16_t, std::string, std::string>> cases = {
      {"ENG", 2, head + min + seg + " WHERE     (eb.category = 'ENG') AND (sg.segmentation_id =2) GROUP BY eb.row_id , "
                 "ebt.e_brochure_text, category ORDER BY sg.segment_order_id, sg.e_brochure_row_id",
       "GetDescriptionsENG12demo_specsdemo_project"},
      {"", 2, head + ", eb_order_id " + min + seg + " INNER JOIN  categories on category = category_name GROUP BY "
              "eb.row_id , ebt.e_brochure_text, category, eb_order_id ORDER BY sg.segment_order_id, sg.e_brochure_row_id",
       "GetDescriptions12demo_specsdemo_project"},
      {"ENG", 0, head + min + plain + " WHERE     (eb.category = 'ENG')  GROUP BY eb.row_id , ebt.e_brochure_text, "
                 "category ORDER BY row_id",
       "GetDescriptionsENG10demo_specsdemo_project"},
      {"", 0, head + ", eb_order_id " + min + plain + "INNER JOIN  categories on category = category_name GROUP BY "
              "eb.row_id , ebt.e_brochure_text, category, eb_order_id ORDER BY eb_order_id",
       "GetDescriptions10demo_specsdemo_project"},
  };
  ScopedRecordingConnector connector;
  connector.record().query = [](const std::string&, const std::string&) {
    return MakeRecordset({{"Description", DataType::kVarWChar, 99}}, {{Variant("Engine")}});
  };
  ObjectContext context;
  ScopedObjectContext scope(context);
  Categories categories;
  for (const auto& [category, segmentation, sql, key] : cases) {
    connector.record().calls.clear();
    categories.GetDescriptions(category, 1, "demo_specs", "demo_project", segmentation, 6, "conn");
    const std::vector<ConnectorCall>& calls = connector.record().calls;
    ASSERT_EQ(connector.record().Ops(), (std::vector<std::string>{"GetCachedRecordset", "ExecuteQuery", "CacheRecordset"}));
    EXPECT_EQ(calls[0].text, key);
    EXPECT_EQ(calls[1].text, sql);
    EXPECT_EQ(calls[1].database, "demo_project");
    EXPECT_EQ(calls[2].text + std::to_string(calls[2].handle), key + "6");
    connector.record().calls.clear();
    RecordsetRef hit = categories.GetDescriptions(category, 1, "demo_specs", "demo_project", segmentation, 6, "conn");
    EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"GetCachedRecordset"});
    EXPECT_EQ(hit->Value("Description").string(), "Engine");
  }
  EXPECT_EQ(context.complete_count(), 8);

  connector.record().calls.clear();
  categories.GetDescriptions("ENG", 2, "s", "p");  // handle 0: no lookup, no store
  EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteQuery"});
  connector.record().fail_op = "ExecuteQuery";
  ExpectLogged([&] { categories.GetDescriptions("ENG", 2, "s", "p"); }, connector.record().fail_number,
               "Function GetDescriptions");
}

TEST(StandardDescriptionsStatements, ShapeCommand) {
  const std::string inner = " vehicle_id, standard_content.category, sp..standard_text.content, "
      "application_texts.application_text AS category_name, categories.sc_order_id  FROM standard_content INNER JOIN "
      "sp..standard_text ON standard_content.schema_id = sp..standard_text.schema_id AND sp..standard_text.language_id = "
      "1 INNER JOIN application_texts ON standard_content.category = application_texts.text_id AND "
      "application_texts.language_id = 1 INNER JOIN categories ON standard_content.category = categories.category_name "
      "WHERE (";
  const std::string tail = " ORDER BY categories.sc_order_id, standard_content.order_id, vehicle_id} as StandardContent "
      "COMPUTE StandardContent BY vehicle_id, sc_order_id, category, category_name) as vehicles compute vehicles by "
      "sc_order_id, category, category_name";
  const std::vector<std::tuple<const char*, Variant, int16_t, int16_t, std::string>> cases = {
      {"", Ids({1001, 1002}), 0, 0, "SHAPE (SHAPE {SELECT " + inner + " vehicle_id=1001 OR vehicle_id=1002)" + tail},
      {"Comfort", Ids({1001, 1002}), 20, 1,
       "SHAPE (SHAPE {SELECT TOP 20" + inner + " vehicle_id=1001 OR vehicle_id=1002) AND category='Comfort'AND row_id>1" + tail},
      {"", Variant::Array({Variant("7")}), -3, 100, "SHAPE (SHAPE {SELECT " + inner + " vehicle_id=7)AND row_id>100" + tail},
  };
  ScopedRecordingConnector connector;
  connector.record().shape = [](const std::string&, const std::string&) { return MakeRecordset({{"x", DataType::kInteger}}, {}); };
  ObjectContext context;
  ScopedObjectContext scope(context);
  Categories categories;
  for (auto [category, vehicles, top, start, command] : cases) {
    connector.record().calls.clear();
    categories.StandardDescriptions(category, 1, vehicles, "sp", "pj", "conn", top, start, 5);
    ASSERT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteShape"});
    EXPECT_EQ(connector.record().calls[0].text, command);
    EXPECT_EQ(connector.record().calls[0].database, "pj");
  }
  EXPECT_EQ(context.complete_count(), 0) << "no vote";
  Variant from_one = Variant::Array({Variant(int32_t{1001})}, 1), not_array(int32_t{1001});
  ExpectLogged([&] { categories.StandardDescriptions("", 1, from_one, "s", "p", "c"); }, 9, "Function StandardDescriptions");
  ExpectLogged([&] { categories.StandardDescriptions("", 1, not_array, "s", "p", "c"); }, 13, "Function StandardDescriptions");
}

TEST(BuildWhereClause, Terms) {
  auto lines = [](std::vector<std::vector<Variant>> rows) {
    return MakeRecordset({{"con_schema_id", DataType::kInteger}, {"location", DataType::kVarWChar, 10}}, rows);
  };
  Categories categories;
  RecordsetRef rows = lines({{Variant(int32_t{5}), Variant("FR")}, {Variant(int32_t{6}), Variant("-")},
                             {Variant(int32_t{0}), Variant("X")}, {Variant(int32_t{-2}), Variant("X")},
                             {Variant(int32_t{8}), Variant::Null()}, {Variant(int32_t{10}), Variant("rEar")}});
  rows->MoveLast();
  EXPECT_EQ(categories.BuildWhereClause(*rows, 7),
            " (eq.vehicle_id=7) AND ( ((eq.Schema_id=5) AND (eq.location='FR')) OR ((eq.Schema_id=6)) OR "
            "((eq.Schema_id=8)) OR ((eq.Schema_id=10) AND (eq.location='rEar')))");
  EXPECT_TRUE(rows->IsEOF());
  EXPECT_EQ(categories.BuildWhereClause(*lines({{Variant(int32_t{0}), Variant("-")}}), 12.5), " (eq.vehicle_id=12.5) AND ()");
  ExpectLogged([&] { categories.BuildWhereClause(*lines({}), 7); }, 3021, "Function BuildWhereClause");
}

TEST(CategoriesLateBinding, MembersByName) {
  ScopedRecordingConnector connector;
  FakeSite site = Sample();
  site.Serve(connector.record());
  RegisterCategoriesClass();
  ObjectRef object = CreateObject("TRELIX_EB.categories");
  std::vector<Variant> none;
  EXPECT_EQ(object->Invoke("Version", InvokeKind::kMethod, none).string(), "2005 2 8");
  // Omitted optional arguments: segmentation 0, no cache, no connection.
  std::vector<Variant> descriptions = {Variant("ENG"), Variant(int32_t{2}), Variant("s"), Variant("p")};
  connector.record().query = [](const std::string&, const std::string&) { return MakeRecordset({{"x", DataType::kInteger}}, {}); };
  EXPECT_TRUE(object->Invoke("getdescriptions", InvokeKind::kMethod, descriptions).As<Recordset>());
  EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteQuery"});
  EXPECT_NE(connector.record().calls[0].text.find("ebt.language_id = 2 WHERE"), std::string::npos);
  std::vector<Variant> too_few = {Variant("ENG")};
  EXPECT_EQ(Raised([&] { object->Invoke("GetSpecs", InvokeKind::kMethod, too_few); }).number(), kErrWrongArgumentCount);
  site.Serve(connector.record());
  const Variant options = Ids({12});
  std::vector<Variant> specs = {Variant("ENG"), Variant("1"), Variant(1001.0), Variant("s"), Variant("p"),
                                Variant("msrp"), options, Variant(int32_t{0}), Variant(int32_t{0}), Variant("c")};
  EXPECT_EQ(object->Invoke("GetSpecs", InvokeKind::kMethod, specs).As<Recordset>()->RecordCount(), 4);
  EXPECT_TRUE(specs[6] == options);
}

}  // namespace
}  // namespace trelix
