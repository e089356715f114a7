// What the Categories methods send to the connector: exact statements in
// order, cache keys, cache hits and stores, completion votes, and errors
// through the procedure error log.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"
#include "frame/object_context.h"

namespace trelix {
namespace {

using testing::ConnectorCall;
using testing::FakeSite;
using testing::ScopedRecordingConnector;
using testing::SheetLine;
using testing::Standard;

Variant Ids(std::vector<int32_t> ids) {
  std::vector<Variant> items;
  for (int32_t id : ids) items.emplace_back(id);
  return Variant::Array(std::move(items));
}

// The lines of the sample sheet: schemas 100, 101 at F, 102, 103.
FakeSite SampleSite() {
  FakeSite site;
  site.lines = {{1, 100, "A"}, {2, 101, "A", Variant::Null(), Variant("F")}, {3, 102, "T"}, {4, 103, "#"}};
  site.equipment = {Standard(100, Variant("Yes"), 1), Standard(103, Variant("4"), 2)};
  site.unlimited = Variant("unlimited");
  return site;
}

const char* const kUnlimitedSql = "SELECT application_text FROM application_texts WHERE text_id='unlimited' and language_id=1";

const char* const kEquipmentSql =
    "SELECT eq.option_id, eq.record_id, eq.schema_id, eq.location, \r\n\teq.data_value, \r\n\teq.condition, "
    "scht.full_text, \r\n\tol.msrp, st.content from schema_text scht RIGHT OUTER JOIN  schema_info LEFT OUTER JOIN  "
    "equipment eq ON schema_info.schema_id = eq.schema_id LEFT OUTER JOIN   option_list ol ON eq.vehicle_id = "
    "ol.vehicle_id AND eq.option_id = ol.option_id ON scht.schema_id = eq.schema_id AND  scht.data_value = "
    "eq.data_value And scht.language_id = 1 left outer join standard_text st on st.vehicle_id = eq.vehicle_id and "
    "schema_info.parent_schema_id = st.schema_id And st.language_id = 1 where  (eq.vehicle_id=1001) AND ( "
    "((eq.Schema_id=100)) OR ((eq.Schema_id=101) AND (eq.location='F')) OR ((eq.Schema_id=102)) OR "
    "((eq.Schema_id=103))) order by eq.schema_id, msrp ASC";

const char* const kParentSql =
    "SELECT DISTINCT eq.schema_id AS parent, schema_info.schema_id, eq.data_value, eq.location, "
    "demo_project..e_brochure.con_schema_id FROM schema_info INNER JOIN  equipment eq ON "
    "schema_info.parent_schema_id = eq.schema_id INNER JOIN demo_project..e_brochure ON schema_info.schema_id = "
    "demo_project..e_brochure.con_schema_id  Where (eq.vehicle_id = 1001) And (eq.option_id = 0)  ORDER BY "
    "demo_project..e_brochure.con_schema_id";

TEST(GetSpecsStatements, SheetQueryVariantsAndCallOrder) {
  struct Case {
    const char* category;
    int16_t segmentation;
    std::string sheet_sql;
  };
  const std::string select =
      "SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, "
      "eb.location,   eb.con_format, ct.application_text as con_customtext ";
  const std::vector<Case> cases = {
      {"ENG", 2,
       select +
           "FROM e_brochure eb INNER JOIN  segmentation ON eb.row_id = segmentation.e_brochure_row_id LEFT OUTER "
           "JOIN  application_texts ct ON eb.con_customtextid = ct.text_id AND ct.language_id = 1 WHERE     "
           "(eb.category = 'ENG') AND (eb.con_schema_id > 0)  AND (segmentation.segmentation_id =2) ORDER BY "
           "segmentation.segment_order_id, segmentation.e_brochure_row_id, eb.order_id "},
      {"", 2,
       select +
           "FROM e_brochure eb INNER JOIN  segmentation ON eb.row_id = segmentation.e_brochure_row_id LEFT OUTER "
           "JOIN  application_texts ct ON eb.con_customtextid = ct.text_id AND ct.language_id = 1 INNER JOIN  "
           "categories on category = category_name  WHERE (eb.con_schema_id > 0)  AND "
           "(segmentation.segmentation_id =2) ORDER BY segmentation.segment_order_id, "
           "segmentation.e_brochure_row_id, eb.order_id "},
      {"ENG", 0,
       select +
           " FROM e_brochure eb LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id   AND "
           "ct.language_id = 1 where  Category='ENG' AND  eb.con_schema_id > 0 ORDER BY eb.row_id, eb.order_id"},
      {"", 0,
       select +
           " FROM e_brochure eb LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id   AND "
           "ct.language_id = 1 INNER JOIN  categories on category = category_name where eb.con_schema_id > 0 ORDER "
           "BY eb_order_id, eb.row_id, eb.order_id"},
  };
  for (const Case& c : cases) {
    FakeSite site = SampleSite();
    ScopedRecordingConnector connector;
    site.Serve(connector.record());
    Categories categories;
    Variant options;
    categories.GetSpecs(c.category, 1, 1001, "demo_specs", "demo_project", "msrp", options, c.segmentation, 0,
                        "sqlite:/data");
    const std::vector<ConnectorCall>& calls = connector.record().calls;
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].text, kUnlimitedSql);
    EXPECT_EQ(calls[0].database, "demo_project");
    EXPECT_EQ(calls[1].text, c.sheet_sql);
    EXPECT_EQ(calls[1].database, "demo_project");
    EXPECT_EQ(calls[2].text, kEquipmentSql);
    EXPECT_EQ(calls[2].database, "demo_specs");
    EXPECT_EQ(calls[3].text, kParentSql);
    EXPECT_EQ(calls[3].database, "demo_specs");
    for (const ConnectorCall& call : calls) {
      EXPECT_EQ(call.op, "ExecuteQuery");
      EXPECT_EQ(call.connection, "sqlite:/data");
    }
  }
}

TEST(GetSpecsStatements, UnlimitedTextIsReadOncePerObject) {
  struct Case {
    std::optional<Variant> stored;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{{Variant("illimité"), "illimité"},
                                         {Variant(""), "unlimited"},
                                         {Variant::Null(), "unlimited"},
                                         {std::nullopt, "unlimited"}}) {
    FakeSite site = SampleSite();
    site.unlimited = c.stored;
    ScopedRecordingConnector connector;
    site.Serve(connector.record());
    Categories categories;
    Variant options;
    categories.GetSpecs("ENG", 5, 1001, "demo_specs", "demo_project", "msrp", options, 0, 0, "c");
    categories.GetSpecs("ENG", 1, 1001, "demo_specs", "demo_project", "msrp", options, 0, 0, "c");
    int text_queries = 0;
    for (const ConnectorCall* call : connector.record().OfOp("ExecuteQuery")) {
      text_queries += call->text.rfind("SELECT application_text", 0) == 0;
    }
    EXPECT_EQ(text_queries, 1);
    EXPECT_EQ(categories.UnlimitedText(), c.expected);
  }
}

TEST(GetSpecsStatements, CacheMissStoresAndHitAnswers) {
  FakeSite site = SampleSite();
  ScopedRecordingConnector connector;
  site.Serve(connector.record());
  const std::string key = "GetSpecsENG11001demo_specsdemo_projectoptions12152";

  ObjectContext context;
  RecordsetRef first;
  {
    ScopedObjectContext scope(context);
    Categories categories;
    Variant options = Ids({12, 15});
    first = categories.GetSpecs("ENG", 1, 1001, "demo_specs", "demo_project", "msrp", options, 2, 9, "conn");
  }
  EXPECT_EQ(context.complete_count(), 1);
  const testing::ConnectorRecord& record = connector.record();
  ASSERT_EQ(record.Ops(), (std::vector<std::string>{"GetCachedRecordset", "ExecuteQuery", "ExecuteQuery",
                                                     "ExecuteQuery", "ExecuteQuery", "CacheRecordset"}));
  EXPECT_EQ(record.connectors_created, 3);  // lookup, queries, store
  for (const ConnectorCall& call : {record.calls.front(), record.calls.back()}) {
    EXPECT_EQ(call.text, key);
    EXPECT_EQ(call.handle, 9);
    EXPECT_EQ(call.database, "demo_project");
    EXPECT_EQ(call.connection, "conn");
  }
  EXPECT_EQ(record.calls.back().xml, first->SaveXml());

  // Another object, same inputs: one lookup, no query, still a vote.
  connector.record().calls.clear();
  {
    ScopedObjectContext scope(context);
    Categories categories;
    Variant options = Ids({12, 15});
    RecordsetRef cached =
        categories.GetSpecs("ENG", 1, 1001, "demo_specs", "demo_project", "msrp", options, 2, 9, "conn");
    EXPECT_EQ(testing::Rows(*cached), testing::Rows(*first));
  }
  EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"GetCachedRecordset"});
  EXPECT_EQ(context.complete_count(), 2);
}

TEST(GetSpecsStatements, CacheKeys) {
  struct Case {
    Variant options;
    double vehicle;
    std::string key;
  };
  const std::vector<Case> cases = {
      {Ids({12, 15}), 1001, "GetSpecsENG11001demo_specsdemo_projectoptions12150"},
      {Ids({15, 12}), 1001, "GetSpecsENG11001demo_specsdemo_projectoptions15120"},
      {Variant(), 1001, "GetSpecsENG11001demo_specsdemo_project0"},
      {Variant(int32_t{12}), 1001, "GetSpecsENG11001demo_specsdemo_project0"},
      {Variant::Array({}), 1001, "GetSpecsENG11001demo_specsdemo_project0"},
      {Variant(), 1001.5, "GetSpecsENG11001.5demo_specsdemo_project0"},
  };
  for (const Case& c : cases) {
    FakeSite site = SampleSite();
    ScopedRecordingConnector connector;
    site.Serve(connector.record());
    Categories categories;
    Variant options = c.options;
    categories.GetSpecs("ENG", 1, c.vehicle, "demo_specs", "demo_project", "msrp", options, 0, 3, "conn");
    EXPECT_EQ(connector.record().calls.front().text, c.key);
    EXPECT_TRUE(options == c.options) << "the options are not changed";
  }
}

// Runs `call`, expecting an error logged under `label` and raised again.
void ExpectLogged(const std::function<void()>& call, int32_t number, const std::string& label) {
  try {
    call();
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), number);
    EXPECT_NE(error.description().find(" in Categories, " + label + " at line number "), std::string::npos)
        << error.description();
  }
}

TEST(GetSpecsStatements, FailuresLeaveThroughTheErrorLog) {
  for (const char* failing : {"GetCachedRecordset", "ExecuteQuery", "CacheRecordset"}) {
    FakeSite site = SampleSite();
    ScopedRecordingConnector connector;
    site.Serve(connector.record());
    connector.record().fail_op = failing;
    ObjectContext context;
    ScopedObjectContext scope(context);
    Categories categories;
    Variant options;
    ExpectLogged([&] { categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", options, 0, 4, "c"); },
                 connector.record().fail_number, "Function GetSpecs");
    EXPECT_EQ(context.complete_count(), 0) << failing;
    if (std::string(failing) != "CacheRecordset") {
      EXPECT_TRUE(connector.record().OfOp("CacheRecordset").empty()) << failing;
    }
  }

  // A sheet without lines has no first row for the where clause.
  FakeSite empty;
  ScopedRecordingConnector connector;
  empty.Serve(connector.record());
  Categories categories;
  Variant options;
  try {
    categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", options, 0, 0, "c");
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), 3021);
    EXPECT_NE(error.description().find("Function BuildWhereClause"), std::string::npos) << error.description();
    EXPECT_NE(error.description().find("Function GetSpecs"), std::string::npos) << error.description();
  }
}

TEST(GetDescriptionsStatements, VariantsKeysAndCache) {
  struct Case {
    const char* category;
    int16_t segmentation;
    std::string sql;
    std::string key;
  };
  const std::string head = "SELECT eb.row_id , ebt.e_brochure_text as Description, category ";
  const std::string heading = ", Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading ";
  const std::vector<Case> cases = {
      {"ENG", 2,
       head + heading +
           " FROM e_brochure eb INNER JOIN  eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN  "
           "e_brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1 WHERE     (eb.category "
           "= 'ENG') AND (sg.segmentation_id =2) GROUP BY eb.row_id , ebt.e_brochure_text, category ORDER BY "
           "sg.segment_order_id, sg.e_brochure_row_id",
       "GetDescriptionsENG12demo_specsdemo_project"},
      {"", 2,
       head + ", eb_order_id " + heading +
           " FROM e_brochure eb INNER JOIN  eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN  "
           "e_brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1 INNER JOIN  categories "
           "on category = category_name GROUP BY eb.row_id , ebt.e_brochure_text, category, eb_order_id ORDER BY "
           "sg.segment_order_id, sg.e_brochure_row_id",
       "GetDescriptions12demo_specsdemo_project"},
      {"ENG", 0,
       head + heading +
           " FROM e_brochure eb INNER JOIN  e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND "
           "ebt.language_id = 1 WHERE     (eb.category = 'ENG')  GROUP BY eb.row_id , ebt.e_brochure_text, "
           "category ORDER BY row_id",
       "GetDescriptionsENG10demo_specsdemo_project"},
      {"", 0,
       head + ", eb_order_id " + heading +
           " FROM e_brochure eb INNER JOIN  e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND "
           "ebt.language_id = 1INNER JOIN  categories on category = category_name GROUP BY eb.row_id , "
           "ebt.e_brochure_text, category, eb_order_id ORDER BY eb_order_id",
       "GetDescriptions10demo_specsdemo_project"},
  };
  auto answer = [](const std::string&, const std::string&) {
    return testing::MakeRecordset({{"row_id", DataType::kInteger}, {"Description", DataType::kVarWChar, 255}},
                                  {{Variant(int32_t{1}), Variant("Engine")}});
  };
  for (const Case& c : cases) {
    ScopedRecordingConnector connector;
    connector.record().query = answer;
    ObjectContext context;
    ScopedObjectContext scope(context);
    Categories categories;
    categories.GetDescriptions(c.category, 1, "demo_specs", "demo_project", c.segmentation, 6, "conn");
    const testing::ConnectorRecord& record = connector.record();
    ASSERT_EQ(record.Ops(), (std::vector<std::string>{"GetCachedRecordset", "ExecuteQuery", "CacheRecordset"}));
    EXPECT_EQ(record.calls[0].text, c.key);
    EXPECT_EQ(record.calls[1].text, c.sql);
    EXPECT_EQ(record.calls[1].database, "demo_project");
    EXPECT_EQ(record.calls[2].text, c.key);
    EXPECT_EQ(record.calls[2].handle, 6);
    EXPECT_EQ(context.complete_count(), 1);

    // Same arguments again: answered by the cache, still a vote.
    connector.record().calls.clear();
    RecordsetRef hit = categories.GetDescriptions(c.category, 1, "demo_specs", "demo_project", c.segmentation, 6, "conn");
    EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"GetCachedRecordset"});
    EXPECT_EQ(hit->Value("Description").string(), "Engine");
    EXPECT_EQ(context.complete_count(), 2);
  }

  // Handle 0: neither lookup nor store.
  ScopedRecordingConnector connector;
  connector.record().query = answer;
  Categories categories;
  categories.GetDescriptions("ENG", 2, "s", "p");
  EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteQuery"});
  EXPECT_EQ(connector.record().calls[0].connection, "");

  connector.record().fail_op = "ExecuteQuery";
  ExpectLogged([&] { categories.GetDescriptions("ENG", 2, "s", "p"); }, connector.record().fail_number,
               "Function GetDescriptions");
}

TEST(StandardDescriptionsStatements, ShapeCommand) {
  const std::string inner_tail =
      " vehicle_id, standard_content.category, demo_specs..standard_text.content, application_texts.application_text "
      "AS category_name, categories.sc_order_id  FROM standard_content INNER JOIN demo_specs..standard_text ON "
      "standard_content.schema_id = demo_specs..standard_text.schema_id AND demo_specs..standard_text.language_id = "
      "1 INNER JOIN application_texts ON standard_content.category = application_texts.text_id AND "
      "application_texts.language_id = 1 INNER JOIN categories ON standard_content.category = "
      "categories.category_name WHERE (";
  const std::string order = " ORDER BY categories.sc_order_id, standard_content.order_id, vehicle_id";
  const std::string shape_tail =
      "} as StandardContent COMPUTE StandardContent BY vehicle_id, sc_order_id, category, category_name) as vehicles "
      "compute vehicles by sc_order_id, category, category_name";
  struct Case {
    const char* category;
    Variant vehicles;
    int16_t top;
    int16_t start_row;
    std::string command;
  };
  const std::vector<Case> cases = {
      {"", Ids({1001, 1002}), 0, 0,
       "SHAPE (SHAPE {SELECT " + inner_tail + " vehicle_id=1001 OR vehicle_id=1002)" + order + shape_tail},
      {"Comfort", Ids({1001, 1002}), 20, 1,
       "SHAPE (SHAPE {SELECT TOP 20" + inner_tail + " vehicle_id=1001 OR vehicle_id=1002) AND category='Comfort'AND "
       "row_id>1" + order + shape_tail},
      {"", Variant::Array({Variant("7")}), -3, 100,
       "SHAPE (SHAPE {SELECT " + inner_tail + " vehicle_id=7)AND row_id>100" + order + shape_tail},
  };
  for (const Case& c : cases) {
    ScopedRecordingConnector connector;
    connector.record().shape = [](const std::string&, const std::string&) {
      return testing::MakeRecordset({{"sc_order_id", DataType::kInteger}}, {});
    };
    ObjectContext context;
    ScopedObjectContext scope(context);
    Categories categories;
    Variant vehicles = c.vehicles;
    categories.StandardDescriptions(c.category, 1, vehicles, "demo_specs", "demo_project", "conn", c.top,
                                    c.start_row, 5);
    ASSERT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteShape"});
    EXPECT_EQ(connector.record().calls[0].text, c.command);
    EXPECT_EQ(connector.record().calls[0].database, "demo_project");
    EXPECT_EQ(context.complete_count(), 0) << "no vote";
  }

  ScopedRecordingConnector connector;
  Categories categories;
  Variant from_one = Variant::Array({Variant(int32_t{1001})}, 1);
  ExpectLogged([&] { categories.StandardDescriptions("", 1, from_one, "s", "p", "c"); }, kErrSubscriptOutOfRange,
               "Function StandardDescriptions");
  Variant not_array(int32_t{1001});
  ExpectLogged([&] { categories.StandardDescriptions("", 1, not_array, "s", "p", "c"); }, kErrTypeMismatch,
               "Function StandardDescriptions");
}

TEST(BuildWhereClause, Terms) {
  Categories categories;
  RecordsetRef rows = testing::MakeRecordset(
      {{"con_schema_id", DataType::kInteger}, {"location", DataType::kVarWChar, 10}},
      {{Variant(int32_t{5}), Variant("FR")},
       {Variant(int32_t{6}), Variant("-")},
       {Variant(int32_t{0}), Variant("X")},
       {Variant(int32_t{-2}), Variant("X")},
       {Variant(int32_t{8}), Variant("")},
       {Variant(int32_t{9}), Variant::Null()},
       {Variant(int32_t{10}), Variant("rEar")}});
  rows->MoveLast();
  EXPECT_EQ(categories.BuildWhereClause(*rows, 7),
            " (eq.vehicle_id=7) AND ( ((eq.Schema_id=5) AND (eq.location='FR')) OR ((eq.Schema_id=6)) OR "
            "((eq.Schema_id=8)) OR ((eq.Schema_id=9)) OR ((eq.Schema_id=10) AND (eq.location='rEar')))");
  EXPECT_TRUE(rows->IsEOF());

  RecordsetRef none = testing::MakeRecordset({{"con_schema_id", DataType::kInteger}, {"location", DataType::kVarWChar, 10}},
                                             {{Variant(int32_t{0}), Variant("-")}});
  EXPECT_EQ(categories.BuildWhereClause(*none, 12.5), " (eq.vehicle_id=12.5) AND ()");

  RecordsetRef empty = testing::MakeRecordset({{"con_schema_id", DataType::kInteger}, {"location", DataType::kVarWChar, 10}}, {});
  ExpectLogged([&] { categories.BuildWhereClause(*empty, 7); }, 3021, "Function BuildWhereClause");
}

TEST(CategoriesLateBinding, MembersByName) {
  ScopedRecordingConnector connector;
  connector.record().query = [](const std::string&, const std::string&) {
    return testing::MakeRecordset({{"row_id", DataType::kInteger}}, {});
  };
  RegisterCategoriesClass();
  ObjectRef object = CreateObject("TRELIX_EB.categories");
  ASSERT_EQ(object->TypeName(), "Categories");

  std::vector<Variant> none;
  EXPECT_EQ(object->Invoke("Version", InvokeKind::kMethod, none).string(), "2005 2 8");

  // Omitted optional arguments: segmentation 0, no cache, no connection.
  std::vector<Variant> args = {Variant("ENG"), Variant(int32_t{2}), Variant("s"), Variant("p")};
  Variant result = object->Invoke("getdescriptions", InvokeKind::kMethod, args);
  EXPECT_TRUE(result.As<Recordset>());
  EXPECT_EQ(connector.record().Ops(), std::vector<std::string>{"ExecuteQuery"});
  EXPECT_NE(connector.record().calls[0].text.find("ebt.language_id = 2 WHERE"), std::string::npos);

  std::vector<Variant> too_few = {Variant("ENG")};
  try {
    object->Invoke("GetSpecs", InvokeKind::kMethod, too_few);
    FAIL();
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrWrongArgumentCount);
  }

  FakeSite site = SampleSite();
  site.Serve(connector.record());
  const Variant options = Ids({12});
  std::vector<Variant> specs = {Variant("ENG"), Variant("1"),  Variant(1001.0), Variant("demo_specs"),
                                Variant("demo_project"), Variant("msrp"), options, Variant(int32_t{0}),
                                Variant(int32_t{0}), Variant("conn")};
  RecordsetRef sheet = object->Invoke("GetSpecs", InvokeKind::kMethod, specs).As<Recordset>();
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->RecordCount(), 4);
  EXPECT_TRUE(specs[6] == options);
}

}  // namespace
}  // namespace trelix
