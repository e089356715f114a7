// addFilter, GetAvailAbility, FormatDescByLanguageID and Save_Cache.

#include <gtest/gtest.h>

#include "common/Utilitys.h"
#include "support/recording_connector.h"

namespace trelix {
namespace {

using testing::MakeRecordset;

RecordsetRef Line(const Variant& location, const Variant& sought = Variant::Null()) {
  return MakeRecordset({{"Con_schema_id", DataType::kInteger},
                        {"Location", DataType::kVarWChar, 10},
                        {"Con_schema_id_Val", DataType::kVarWChar, 40}},
                       {{Variant(int32_t{5}), location, sought}});
}
Variant Array(std::vector<Variant> items, int32_t lower_bound = 0) { return Variant::Array(std::move(items), lower_bound); }

// The error comes back with its number and the procedure's location.
void ExpectLogged(const std::function<void()>& call, int32_t number, const std::string& label) {
  try {
    call();
    ADD_FAILURE() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), number);
    EXPECT_NE(error.description().find(" in Utilitys, " + label + " at line number 0"), std::string::npos);
  }
}

TEST(AddFilter, Criteria) {
  const Variant two = Array({Variant(int32_t{12}), Variant("15")});
  const std::vector<std::tuple<Variant, Variant, std::string>> cases = {
      {Variant("X"), Variant(), "schema_id=5 AND Location='X'"},
      {Variant("-"), Variant(), "schema_id=5"},
      {Variant(""), Variant(), "schema_id=5"},
      {Variant::Null(), Variant(), "schema_id=5"},
      {Variant("rEar"), Variant(int32_t{12}), "schema_id=5 AND Location='rEar'"},
      {Variant("-"), Array({Variant(int32_t{12})}), "(schema_id=5 AND option_id=12)"},
      {Variant("X"), two, "(schema_id=5 AND Location='X' AND option_id=12) OR (schema_id=5 AND Location='X' AND option_id=15)"},
      {Variant("X"), Array({}), ""},
  };
  for (const auto& [location, options, expected] : cases) EXPECT_EQ(addFilter(Variant(Line(location)), options), expected);
  // Elements are read from index 0 whatever the lower bound; nested arrays have no text.
  ExpectLogged([&] { addFilter(Variant(Line("X")), Array({Variant(int32_t{12})}, 1)); }, 9, "Function addFilter");
  ExpectLogged([&] { addFilter(Variant(Line("X")), Array({Array({})})); }, 13, "Function addFilter");
}

TEST(GetAvailAbility, Codes) {
  // By price: the standard rows (Null price) first, then option 12, then 20.
  const std::vector<std::vector<Variant>> rows = {{Variant(int32_t{0}), Variant("-"), Variant::Null()},
                                                  {Variant(int32_t{20}), Variant("Yes"), Variant(Currency{5000000})},
                                                  {Variant(int32_t{12}), Variant("Yes"), Variant(Currency{1000000})},
                                                  {Variant(int32_t{0}), Variant("Leather"), Variant::Null()}};
  const std::vector<std::tuple<Variant, bool, std::string, int64_t>> cases = {
      {Variant("yes"), false, "@O", 12},     // cheapest option with the value, any case
      {Variant("LEATHER"), false, "@S", 0},  // a standard row with the value
      {Variant("Yes"), true, "@S", 12},      // an option row counts as standard
      {Variant::Null(), false, "@S", 0},     // no sought value: the first row not "-"
      {Variant("Cloth"), true, "@D", 0},     // not found, standard exists: first row current
      {Variant("Cloth"), false, "@X", -1},   // not found: no current row
  };
  for (const auto& [sought, standard_found, code, current] : cases) {
    RecordsetRef equipment = MakeRecordset(
        {{"option_id", DataType::kInteger}, {"data_value", DataType::kVarWChar, 50}, {"msrp", DataType::kCurrency}}, rows);
    EXPECT_EQ(GetAvailAbility(*Line("-", sought), *equipment, standard_found, "msrp"), code);
    EXPECT_EQ(equipment->Sort(), "msrp ASC");
    EXPECT_EQ(equipment->IsEOF() ? -1 : equipment->Value("option_id").integer(), current) << code;
  }
}

TEST(FormatDescByLanguageID, FirstCharacter) {
  const std::vector<std::tuple<int16_t, std::string, std::string>> cases = {
      {1, "power steering", "Power steering"}, {9, "power", "power"}, {8, "abc", "abc"},  {10, "abc", "abc"},
      {25, "abc", "abc"},   {34, "abc", "abc"},  {3, "", ""},          {5, "éclairage", "Éclairage"},
      {36, "ёлка", "Ёлка"}, {3, "ßa", "SSa"},   {1, "@S x", "@S x"},
      {1, "\xF0\x90\x90\xA8x", "\xF0\x90\x90\x80x"},  // outside the basic plane: a whole character
  };
  for (const auto& [language, in, out] : cases) EXPECT_EQ(FormatDescByLanguageID(language, in), out) << in;
}

TEST(SaveCache, StoresTheXmlTextUnderTheKey) {
  testing::ScopedRecordingConnector connector;
  auto rows = [](bool empty) {
    return MakeRecordset({{"option_id", DataType::kInteger}},
                         empty ? std::vector<std::vector<Variant>>{} : std::vector<std::vector<Variant>>{{Variant(int32_t{7})}});
  };
  Save_Cache(*rows(false), 0, "key", "p", "c");
  EXPECT_EQ(connector.record().connectors_created, 0) << "handle 0 does nothing";
  for (bool empty : {false, true}) {
    RecordsetRef stored = rows(empty);
    Save_Cache(*stored, 42, "GetDescriptionsENG10sp", "demo_project", "sqlite:/tmp");
    const testing::ConnectorCall& call = connector.record().calls.back();
    EXPECT_EQ(std::tie(call.op, call.text, call.handle, call.connection, call.database),
              std::make_tuple(std::string("CacheRecordset"), std::string("GetDescriptionsENG10sp"), 42,
                              std::string("sqlite:/tmp"), std::string("demo_project")));
    EXPECT_EQ(call.xml, stored->SaveXml());
    EXPECT_EQ(Recordset::LoadXml(call.xml)->RecordCount(), empty ? 0 : 1);
  }
  connector.record().fail_op = "CacheRecordset";
  ExpectLogged([&] { Save_Cache(*rows(true), 1, "k", "p", "c"); }, connector.record().fail_number, "Sub Save_Cache");
}

}  // namespace
}  // namespace trelix
