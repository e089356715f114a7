// The JSON and table forms of a recordset.

#include <nlohmann/json.hpp>

#include <limits>

#include "common/recordset_json.h"
#include "test_data.h"

namespace trelix {
namespace {

using testing_rs::Fabricated;
using testing_rs::People;

TEST(Json, FieldsRowsAndValueKinds) {
  auto rs = People();
  rs->SetFilter(Variant("id = 1 OR id = 2"));
  rs->MoveNext();
  auto json = nlohmann::json::parse(RecordsetToJson(*rs));
  ASSERT_EQ(json["fields"].size(), 7u);
  EXPECT_EQ(json["fields"][0], nlohmann::json({{"name", "id"}, {"type", 3}, {"size", 0}}));
  EXPECT_EQ(json["fields"][1], nlohmann::json({{"name", "name"}, {"type", 202}, {"size", 50}}));
  ASSERT_EQ(json["rows"].size(), 2u);  // the visible rows only
  EXPECT_EQ(json["rows"][0], nlohmann::json({{"id", 1}, {"name", "Alpha"}, {"price", 10.5}, {"qty", 1.5},
                                              {"when", "2024-01-15T00:00:00"}, {"flag", true}, {"note", "x"}}));
  EXPECT_TRUE(json["rows"][1]["note"].is_null());
  EXPECT_EQ(json["rows"][1]["flag"], false);
  // Keys keep the field order.
  EXPECT_THAT(RecordsetToJson(*rs), ::testing::HasSubstr("\"rows\":[{\"id\":1,\"name\":\"Alpha\",\"price\":10.5,"));
  // The cursor did not move.
  EXPECT_EQ(rs->Value("id").integer(), 2);
}

TEST(Json, ChapterAsNestedRecordsetAndOddValues) {
  auto child = Fabricated({{"k", DataType::kSingle}}, {{Variant(0.1f)}});
  auto rs = Fabricated({{"kids", DataType::kChapter}, {"bytes", DataType::kBinary, 4}, {"bad", DataType::kBSTR}},
                       {{Variant(child), Variant(std::string("\x01\xab", 2)), Variant(std::string("a\xff"))}});
  auto json = nlohmann::json::parse(RecordsetToJson(*rs));
  EXPECT_EQ(json["rows"][0]["kids"]["fields"][0]["type"], 4);
  EXPECT_EQ(json["rows"][0]["kids"]["rows"][0]["k"], 0.1);  // a Single prints as its own shortest text
  EXPECT_EQ(json["rows"][0]["bytes"], "01ab");
  EXPECT_EQ(json["rows"][0]["bad"], "a\xef\xbf\xbd");  // invalid UTF-8 is replaced, not an exception
}

// The text is written directly, not through a JSON document; it must be
// the document's own text byte for byte, whatever the names and values.
TEST(Json, SameTextAsTheJsonDocument) {
  using Json = nlohmann::ordered_json;
  struct Case {
    const char* label;
    std::vector<std::string> names;
    std::vector<Variant> row;
    Json expected_row;
  };
  const std::string bad_utf8 = "x\xc0\xafy\xed\xa0\x80z\xf4\x90\x80\x80";
  const Case cases[] = {
      {"escapes", {"a\"b", "c"}, {Variant(std::string("q\"\\\n\t\x01\x1f/")), Variant(std::string("\xc3\xa9\xe2\x82\xac\xf0\x9f\x9a\x97"))},
       Json{{"a\"b", "q\"\\\n\t\x01\x1f/"}, {"c", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x9a\x97"}}},
      {"invalid UTF-8 in values and names", {bad_utf8}, {Variant(bad_utf8)}, Json{{bad_utf8, bad_utf8}}},
      // Plain text is checked eight bytes at a time: whatever needs escaping
      // is found at any place in the text.
      {"escapes and invalid bytes past the first eight", {"h", "i", "j", "k"},
       {Variant("abcdefghi\"jklmnop"), Variant("abcdefghij\\klmnopq"), Variant("abcdefghijklmnopqrstuvw\x1f"),
        Variant("abcdefghijklmnop\xe9")},
       Json{{"h", "abcdefghi\"jklmnop"}, {"i", "abcdefghij\\klmnopq"}, {"j", "abcdefghijklmnopqrstuvw\x1f"},
            {"k", "abcdefghijklmnop\xe9"}}},
      {"numbers", {"d", "e", "f", "g"}, {Variant(1.0), Variant(1e20), Variant(-0.0), Variant(0.1)},
       Json{{"d", 1.0}, {"e", 1e20}, {"f", -0.0}, {"g", 0.1}}},
      {"non-finite", {"n"}, {Variant(std::numeric_limits<double>::infinity())}, Json{{"n", nullptr}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Recordset rs;
    Json fields = Json::array();
    for (const std::string& name : c.names) {
      rs.AppendField(name, DataType::kVariant);
      fields.push_back({{"name", name}, {"type", static_cast<int>(DataType::kVariant)}, {"size", 0}});
    }
    rs.Open();
    rs.AppendRow(std::vector<Variant>(c.row));
    rs.AppendRow(std::vector<Variant>(c.row));
    Json document{{"fields", fields}, {"rows", Json::array({c.expected_row, c.expected_row})}};
    EXPECT_EQ(RecordsetToJson(rs), document.dump(-1, ' ', false, Json::error_handler_t::replace));
  }
}

// Copies sharing one set of cells (what cache hits hand out) reuse the text
// written for the first; any copy whose rows or view differ gets its own.
TEST(Json, SharedCellsReuseTheirTextOnlyWhileItStillFits) {
  auto original = People();
  const std::string whole = RecordsetToJson(*original);
  auto first = original->Clone();
  auto second = original->Clone();
  EXPECT_EQ(RecordsetToJson(*first), whole);
  EXPECT_EQ(RecordsetToJson(*second), whole);
  second->SetFilter(Variant("id = 1"));
  EXPECT_EQ(nlohmann::json::parse(RecordsetToJson(*second))["rows"].size(), 1u);
  second->SetFilter(Variant(int32_t{0}));
  second->SetSort("id DESC");
  EXPECT_EQ(nlohmann::json::parse(RecordsetToJson(*second))["rows"][0]["id"], 6);
  first->MoveFirst();
  first->SetValue("name", Variant("Changed"));
  first->Update();
  EXPECT_EQ(nlohmann::json::parse(RecordsetToJson(*first))["rows"][0]["name"], "Changed");
  EXPECT_EQ(RecordsetToJson(*original->Clone()), whole);
}

TEST(Table, FixedWidthColumns) {
  auto rs = People();
  rs->SetFilter(Variant("id <= 2"));
  rs->MoveLast();
  EXPECT_EQ(RecordsetToTable(*rs),
            "id  name   price  qty  when        flag   note\n"
            "--  -----  -----  ---  ----------  -----  ----\n"
            "1   Alpha  10.5   1.5  1/15/2024   True   x\n"
            "2   beta   20     2    12/31/2023  False  Null\n"
            "(2 rows)\n");
  EXPECT_EQ(rs->Value("id").integer(), 2);
}

}  // namespace
}  // namespace trelix
