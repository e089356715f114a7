// addFilter, GetAvailAbility, FormatDescByLanguageID and Save_Cache.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Utilitys.h"
#include "common/com_error.h"
#include "common/stream.h"
#include "support/recording_connector.h"

namespace trelix {
namespace {

using testing::MakeRecordset;
using testing::ScopedRecordingConnector;

RecordsetRef BrochureLine(const Variant& schema_id, const Variant& location, const Variant& sought = Variant()) {
  return MakeRecordset({{"Con_schema_id", DataType::kInteger},
                        {"Location", DataType::kVarWChar, 10},
                        {"Con_schema_id_Val", DataType::kVarWChar, 40}},
                       {{schema_id, location, sought.IsEmpty() ? Variant::Null() : sought}});
}

Variant Options(std::vector<Variant> ids, int32_t lower_bound = 0) { return Variant::Array(std::move(ids), lower_bound); }

// The error a procedure of the module raises after logging: same number,
// the description extended by its location.
void ExpectLoggedError(const std::function<void()>& call, int32_t number, const std::string& label) {
  try {
    call();
    FAIL() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), number);
    EXPECT_NE(error.description().find(" in Utilitys, " + label + " at line number "), std::string::npos)
        << error.description();
  }
}

TEST(AddFilter, Criteria) {
  struct Case {
    const char* name;
    Variant location;
    Variant options;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no options", Variant("X"), Variant(), "schema_id=5 AND Location='X'"},
      {"dash location", Variant("-"), Variant(), "schema_id=5"},
      {"empty location", Variant(""), Variant(), "schema_id=5"},
      {"null location", Variant::Null(), Variant(), "schema_id=5"},
      {"number is not an array", Variant("FR"), Variant(int32_t{12}), "schema_id=5 AND Location='FR'"},
      {"one option", Variant("-"), Options({Variant(int32_t{12})}), "(schema_id=5 AND option_id=12)"},
      {"two options", Variant("X"), Options({Variant(int32_t{12}), Variant("15")}),
       "(schema_id=5 AND Location='X' AND option_id=12) OR (schema_id=5 AND Location='X' AND option_id=15)"},
      {"empty array", Variant("X"), Options({}), ""},
      {"location keeps its case", Variant("rEar"), Variant(), "schema_id=5 AND Location='rEar'"},
  };
  for (const Case& c : cases) {
    RecordsetRef line = BrochureLine(Variant(int32_t{5}), c.location);
    EXPECT_EQ(addFilter(Variant(line), c.options), c.expected) << c.name;
  }
}

TEST(AddFilter, BadOptionArraysFailThroughTheLog) {
  RecordsetRef line = BrochureLine(Variant(int32_t{5}), Variant("X"));
  // Elements are read from index 0 whatever the lower bound.
  ExpectLoggedError([&] { addFilter(Variant(line), Options({Variant(int32_t{12})}, 1)); }, kErrSubscriptOutOfRange,
                    "Function addFilter");
  ExpectLoggedError([&] { addFilter(Variant(line), Options({Options({Variant(int32_t{1})})})); },
                    kErrTypeMismatch, "Function addFilter");
}

// Equipment rows: option id, data value, price (Null for standard rows).
RecordsetRef Equipment(const std::vector<std::vector<Variant>>& rows) {
  return MakeRecordset({{"option_id", DataType::kInteger},
                        {"data_value", DataType::kVarWChar, 50},
                        {"msrp", DataType::kCurrency}},
                       rows);
}

TEST(GetAvailAbility, Codes) {
  const Variant kNull = Variant::Null();
  const std::vector<std::vector<Variant>> rows = {
      {Variant(int32_t{0}), Variant("-"), kNull},
      {Variant(int32_t{20}), Variant("Yes"), Variant(Currency{5000000})},
      {Variant(int32_t{12}), Variant("Yes"), Variant(Currency{1000000})},
      {Variant(int32_t{0}), Variant("Leather"), kNull},
  };
  struct Case {
    const char* name;
    Variant sought;
    bool standard_found;
    std::string code;
    int32_t current_option;  // -1: no current row
  };
  const std::vector<Case> cases = {
      // Sorted by price: standard rows (Null price) first, then 12, then 20.
      {"cheapest option with the value", Variant("yes"), false, "@O", 12},
      {"standard row with the value", Variant("LEATHER"), false, "@S", 0},
      {"option row counts as standard", Variant("Yes"), true, "@S", 12},
      {"no sought value: first row not '-'", Variant(), false, "@S", 0},
      {"not found, standard exists", Variant("Cloth"), true, "@D", 0},
      {"not found", Variant("Cloth"), false, "@X", -1},
  };
  for (const Case& c : cases) {
    RecordsetRef line = BrochureLine(Variant(int32_t{5}), Variant("-"), c.sought);
    RecordsetRef equipment = Equipment(rows);
    EXPECT_EQ(GetAvailAbility(*line, *equipment, c.standard_found, "msrp"), c.code) << c.name;
    EXPECT_EQ(equipment->Sort(), "msrp ASC") << c.name;
    if (c.current_option < 0) {
      EXPECT_TRUE(equipment->IsEOF()) << c.name;
    } else {
      ASSERT_FALSE(equipment->IsEOF()) << c.name;
      EXPECT_EQ(equipment->Value("option_id").integer(), c.current_option) << c.name;
    }
  }
}

TEST(GetAvailAbility, NoSoughtValueSkipsDashRowsWithinTheCheapestOrder) {
  RecordsetRef line = BrochureLine(Variant(int32_t{5}), Variant("-"));
  RecordsetRef equipment = Equipment({{Variant(int32_t{0}), Variant("-"), Variant::Null()},
                                      {Variant(int32_t{30}), Variant("Yes"), Variant(Currency{9000000})},
                                      {Variant(int32_t{31}), Variant("Yes"), Variant(Currency{2000000})}});
  EXPECT_EQ(GetAvailAbility(*line, *equipment, false, "msrp"), "@O");
  EXPECT_EQ(equipment->Value("option_id").integer(), 31);
}

TEST(FormatDescByLanguageID, FirstCharacter) {
  struct Case {
    int16_t language;
    std::string in;
    std::string out;
  };
  const std::vector<Case> cases = {
      {1, "power steering", "Power steering"},
      {9, "power steering", "power steering"},
      {8, "abc", "abc"},
      {10, "abc", "abc"},
      {25, "abc", "abc"},
      {34, "abc", "abc"},
      {3, "", ""},
      {5, "éclairage", "Éclairage"},
      {1, "@S standard", "@S standard"},
      {36, "ёлка", "Ёлка"},
      {3, "ßa", "SSa"},
      {1, "\xF0\x90\x90\xA8x", "\xF0\x90\x90\x80x"},  // U+10428 -> U+10400, outside the basic plane
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDescByLanguageID(c.language, c.in), c.out) << c.in;
}

TEST(SaveCache, HandleZeroDoesNothing) {
  ScopedRecordingConnector connector;
  RecordsetRef rows = Equipment({{Variant(int32_t{0}), Variant("x"), Variant::Null()}});
  Save_Cache(*rows, 0, "key", "demo_project", "sqlite:/tmp");
  EXPECT_EQ(connector.record().connectors_created, 0);
  EXPECT_TRUE(connector.record().calls.empty());
}

TEST(SaveCache, StoresTheXmlTextUnderTheKey) {
  ScopedRecordingConnector connector;
  for (const bool empty : {false, true}) {
    connector.record().calls.clear();
    RecordsetRef rows = empty ? Equipment({}) : Equipment({{Variant(int32_t{7}), Variant("Yes"), Variant::Null()}});
    const std::string expected_xml = rows->SaveXml();
    Save_Cache(*rows, 42, "GetDescriptionsENG10sp", "demo_project", "sqlite:/tmp");
    ASSERT_EQ(connector.record().calls.size(), 1u);
    const testing::ConnectorCall& call = connector.record().calls[0];
    EXPECT_EQ(call.op, "CacheRecordset");
    EXPECT_EQ(call.text, "GetDescriptionsENG10sp");
    EXPECT_EQ(call.handle, 42);
    EXPECT_EQ(call.connection, "sqlite:/tmp");
    EXPECT_EQ(call.database, "demo_project");
    EXPECT_EQ(call.xml, expected_xml);
    // The stored text loads back into the same rows.
    RecordsetRef back = Recordset::LoadXml(call.xml);
    EXPECT_EQ(back->RecordCount(), empty ? 0 : 1);
  }
}

TEST(SaveCache, FailedStoreFailsThroughTheLog) {
  ScopedRecordingConnector connector;
  connector.record().fail_op = "CacheRecordset";
  RecordsetRef rows = Equipment({});
  ExpectLoggedError([&] { Save_Cache(*rows, 1, "k", "p", "c"); }, connector.record().fail_number, "Sub Save_Cache");
}

}  // namespace
}  // namespace trelix
