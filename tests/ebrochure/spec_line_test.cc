// The resolution of spec sheet lines: availability codes, formats, options
// and their conditions, the parent fallback, printed texts and failures.

#include <gtest/gtest.h>

#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"
#include "ebrochure/spec_line.h"
#include "support/raised.h"

namespace trelix {
namespace {

using namespace testing;  // NOLINT: the site vocabulary
const Variant kNull = Variant::Null();

EquipmentRow With(EquipmentRow row, Variant full_text, Variant content, Variant condition = Variant::Null()) {
  row.full_text = std::move(full_text);
  row.content = std::move(content);
  row.condition = std::move(condition);
  return row;
}
EquipmentRow At(EquipmentRow row, const char* location) {
  row.location = Variant(location);
  return row;
}

std::vector<SheetRow> Sheet(const FakeSite& site, Variant options = Variant(), int16_t language = 1) {
  ServedSite served(site);
  return Rows(*served.categories.GetSpecs("ENG", language, 1001, "s", "p", "msrp", options, 0, 0, "c"));
}

struct Case {
  const char* name;
  std::vector<SheetLine> lines;
  std::vector<EquipmentRow> equipment;
  std::vector<std::pair<int32_t, Variant>> parents;
  Variant options;
  std::vector<SheetRow> expected;
};
void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    FakeSite site{c.lines, c.equipment, c.parents};
    EXPECT_EQ(Sheet(site, c.options), c.expected) << c.name;
  }
}

TEST(SpecLine, AvailabilityCodes) {
  RunCases({
      {"standard row", {{1, 100, "A", kNull, Variant("-"), Variant(" ext"), Variant(" note")}},
       {Standard(100, Variant("Yes"), 11)}, {}, Variant(), {{1, "@S ext note", 0, 11, "Yes", ""}}},
      {"only unchosen options: the cheapest", {{1, 101, "A", Variant("Leather")}},
       {Standard(101, Variant("Cloth"), 21), Option(30, 101, Variant("Leather"), 22, 500),
        Option(31, 101, Variant("Leather"), 23, 200)}, {}, Variant(), {{1, "@O", 31, 23, "Leather", ""}}},
      {"chosen option lacks the standard value", {{1, 102, "A", Variant("Yes")}},
       {Standard(102, Variant("Yes"), 31), Option(12, 102, Variant("No"), 32, 100)}, {}, Ids({12}),
       {{1, "@D", 12, 32, "No", ""}}},
      {"chosen option with the standard value", {{1, 103, "a", Variant("yes")}},
       {Standard(103, Variant("Yes"), 41), Option(12, 103, Variant("YES"), 42, 100)}, {}, Ids({12}),
       {{1, "@S", 12, 42, "YES", ""}}},
      {"nothing at all", {{1, 104, "A"}}, {}, {}, Variant(), {{1, "@X", 0, 0, "", ""}}},
      {"parent value; @U texts collapse twice", {{1, 105, "T", kNull, Variant("-"), Variant("   big"), Variant("  one")}},
       {}, {{105, Variant("Yes")}}, Variant(), {{1, "@U big one", 0, 0, "", ""}}},
      {"parent value '-'", {{1, 106, "#"}}, {}, {{106, Variant("-")}}, Variant(), {{1, "@X", 0, 0, "", ""}}},
      {"the line's location only", {{1, 108, "A", kNull, Variant("RR")}},
       {At(Standard(108, Variant("-"), 51), "FR"), At(Standard(108, Variant("Yes"), 52), "RR")}, {}, Variant(),
       {{1, "@S", 0, 52, "Yes", ""}}},
  });
}

TEST(SpecLine, Formats) {
  auto one = [](const char* name, const char* format, Variant value, std::string description, int32_t schema = 200) {
    return Case{name, {{1, schema, format}}, {Standard(schema, value, 7)}, {}, Variant(),
                {{1, description, 0, 7, value.string(), ""}}};
  };
  RunCases({
      {"T: value text, standard text", {{1, 200, "T", kNull, Variant("-"), Variant(" pack")}},
       {With(Standard(200, Variant("ABS"), 61), Variant("anti-lock brakes"), Variant("Safety"))}, {}, Variant(),
       {{1, "Anti-lock brakes pack", 0, 61, "ABS", "Safety"}}},
      {"T: sought value in any case", {{1, 201, "T", Variant("yes")}},
       {With(Standard(201, Variant("YES"), 62), Variant("available"), kNull)}, {}, Variant(),
       {{1, "Available", 0, 62, "YES", ""}}},
      {"T: another value prints nothing", {{1, 202, "T", Variant("Yes")}},
       {With(Standard(202, Variant("No"), 63), Variant("not available"), kNull)}, {}, Variant(),
       {{1, "", 0, 63, "No", ""}}},
      {"S: standard text for @S", {{1, 203, "S", kNull, Variant("-"), Variant(" incl.")}},
       {With(Standard(203, Variant("Yes"), 64), kNull, Variant("comfort package"))}, {}, Variant(),
       {{1, "Comfort package incl.", 0, 64, "Yes", "comfort package"}}},
      {"S: Null standard text", {{1, 204, "S", kNull, Variant("-"), Variant("x")}},
       {Standard(204, Variant("Yes"), 65)}, {}, Variant(), {{1, "X", 0, 65, "Yes", ""}}},
      {"S: option code stays", {{1, 205, "S", Variant("Yes")}},
       {With(Standard(205, Variant("No"), 66), kNull, Variant("pack")),
        With(Option(40, 205, Variant("Yes"), 67, 90), kNull, Variant("pack"))}, {}, Variant(),
       {{1, "@O", 40, 67, "Yes", "pack"}}},
      {"blank pairs collapse once", {{1, 214, "V", kNull, Variant("-"), Variant("  two"), Variant("   three")}},
       {Standard(214, Variant("one"), 82)}, {}, Variant(), {{1, "One two  three", 0, 82, "one", ""}}},
      one("#2", "#2", Variant("1.5"), "1.50"),
      one("# alone", "#", Variant("1234.4"), "1,234"),
      one("#D", "#D", Variant("20050315"), "2005-03-15"),
      one("#d open end", "#d", Variant("99991231"), "99991231"),
      one("#C", "#C", Variant("1234.5"), "CUR|1234.5"),
      one("formula", "#1=?*1.609", Variant("100"), "160.9"),
      one("formula skipped for 0", "#1=?*1.609", Variant("0"), "0.0"),
      one("unlimited sentinel", "#", Variant("999999"), "Unbegrenzt", 23503),
      one("thousands sentinel", "#", Variant("9999"), "Unbegrenzt", 124002),
      one("the other list's sentinel is a number", "#", Variant("999999"), "999,999", 23502),
      one("other formats print the raw value", "V", Variant("petrol"), "Petrol"),
  });
}

TEST(SpecLine, OptionsAndConditions) {
  RunCases({
      {"highest chosen option", {{1, 300, "#"}},
       {Standard(300, Variant("50"), 1), Option(5, 300, Variant("100"), 2, 10), Option(9, 300, Variant("200"), 3, 20)},
       {}, Ids({5, 9}), {{1, "200", 9, 3, "200", ""}}},
      {"chosen options without rows", {{1, 301, "#"}},
       {Standard(301, Variant("50"), 4), Option(7, 301, Variant("70"), 5, 10)}, {}, Ids({5, 9}),
       {{1, "50", 0, 4, "50", ""}}},
      {"empty option array", {{1, 302, "#"}},
       {Standard(302, Variant("50"), 6), Option(5, 302, Variant("100"), 7, 10)}, {}, Variant::Array({}),
       {{1, "50", 0, 6, "50", ""}}},
      {"a failed condition drops every row of the option", {{1, 303, "#"}, {2, 304, "#"}},
       {Standard(303, Variant("50"), 8), With(Option(12, 303, Variant("60"), 9, 10), kNull, kNull, Variant("{7}")),
        Standard(304, Variant("1"), 10), Option(12, 304, Variant("2"), 11, 10)}, {}, Ids({12}),
       {{1, "50", 0, 8, "50", ""}, {2, "1", 0, 10, "1", ""}}},
      {"a condition that holds", {{1, 305, "#"}},
       {Standard(305, Variant("50"), 12),
        With(Option(12, 305, Variant("60"), 13, 10), kNull, kNull, Variant("{12} and not {7}"))}, {}, Ids({12, 15}),
       {{1, "60", 12, 13, "60", ""}}},
      // After an exclusion the first visible row is passed over: here 15's row.
      {"first visible row passed over", {{1, 400, "#"}, {2, 401, "#"}},
       {With(Option(12, 400, Variant("1"), 14, 10), kNull, kNull, Variant("{99}")),
        With(Option(15, 401, Variant("2"), 15, 10), kNull, kNull, Variant("{98}")), Standard(402, Variant("3"), 16)},
       {}, Ids({12, 15}), {{1, "@X", 0, 0, "", ""}, {2, "2", 15, 15, "2", ""}}},
      {"rows examined again", {{1, 400, "#"}, {2, 401, "#"}},
       {Standard(399, Variant("0"), 13), With(Option(12, 400, Variant("1"), 14, 10), kNull, kNull, Variant("{99}")),
        With(Option(15, 401, Variant("2"), 15, 10), kNull, kNull, Variant("{98}")), Standard(402, Variant("3"), 16)},
       {}, Ids({12, 15}), {{1, "@X", 0, 0, "", ""}, {2, "@X", 0, 0, "", ""}}},
      // No standard row on an availability line: the parent answers; the next
      // line (not availability) decides for itself.
      {"parent with a chosen option", {{1, 500, "A"}, {2, 501, "#"}},
       {Option(12, 500, Variant("Yes"), 1, 10), Option(12, 501, Variant("5"), 2, 10)},
       {{500, Variant("Yes")}, {501, Variant("7")}}, Ids({12}), {{1, "@U", 0, 0, "", ""}, {2, "5", 12, 2, "5", ""}}},
  });
}

TEST(SpecLine, CommaDecimalSeparator) {
  FakeSite site{{{1, 600, "#2"}, {2, 601, "#1=?*1.609"}, {3, 602, "#1"}},
                {Standard(600, Variant("1.5"), 1), Standard(601, Variant("100"), 2), Standard(602, Variant("1234.5"), 3)}};
  vb::SetDecimalSeparatorOverride(',');
  const std::vector<SheetRow> german = Sheet(site, Variant(), 3), english = Sheet(site, Variant(), 1);
  vb::SetDecimalSeparatorOverride(std::nullopt);
  EXPECT_EQ(german, (std::vector<SheetRow>{{1, "1,50", 0, 1, "1.5", ""}, {2, "160,9", 0, 2, "100", ""},
                                            {3, "1.234,5", 0, 3, "1234.5", ""}}));
  EXPECT_EQ(english[2].description, "1,234.5");
}

// The number of a "#" line straight from its value, with the separators a
// comma process uses; texts that are not plain ASCII take the runtime's
// Replace and fail or pass as it makes them.
TEST(SpecLine, FormatSpecNumberTexts) {
  struct Row {
    const char *value, *format, *separator;
    const char* expected;  // nullptr: type mismatch
  };
  const Row rows[] = {
      {"1.5", "#2", ",", "1,50"}, {"1234.25", "#", ",", "1.234"}, {"0.125", "#2", ",", "0,13"},
      {"-7.5", "#1", ",", "(7,5)"}, {"100", "#1=?*1.5", ",", "150,0"}, {"2.5", "#1=?*1.5", ",", "3,8"},
      {"12345678901234567.5", "#0=?/1000000000000", ",", "12.346"},  // a value too long for the byte route
      {"1.5", "#2", "\xD9\xAB", nullptr},  // a separator that is no number's
      {"1\xC2\xA0" "5", "#2", ",", nullptr},
  };
  vb::SetDecimalSeparatorOverride(',');
  for (const Row& row : rows) {
    std::string text;
    try {
      text = ebrochure::FormatSpecNumber(Variant(row.value), 200, row.format, 3, row.separator, "unlimited");
    } catch (const ComError& error) {
      text = "error " + std::to_string(error.number());
    }
    EXPECT_EQ(text, row.expected ? row.expected : "error 13") << row.value << " " << row.format;
  }
  vb::SetDecimalSeparatorOverride(std::nullopt);
}

TEST(SpecLine, UnresolvableValuesFailTheSheetAndCacheNothing) {
  const std::vector<std::pair<FakeSite, int32_t>> cases = {
      {FakeSite{{{1, 700, "#"}}, {Standard(700, Variant("-"), 1)}}, 13},                // not a number
      {FakeSite{{{1, 701, "A"}}, {Option(40000, 701, Variant("Yes"), 1, 10)}}, 6},     // id above 32767
      {FakeSite{{{1, 702, "A", kNull, Variant("ELEVENCHARS")}}, {}}, -2147217887},    // location too long
  };
  for (const auto& [site, number] : cases) {
    ServedSite served(site);
    const ComError error =
        Raised([&] { served.categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", served.options, 0, 7, "c"); });
    EXPECT_EQ(error.number(), number);
    EXPECT_NE(error.description().find(" in Categories, Function GetSpecs at line number 0"), std::string::npos);
    EXPECT_EQ(served.connector.record().Ops().back(), "ExecuteQuery") << "nothing cached";
  }
}

TEST(SpecLine, ResultFields) {
  ServedSite served(FakeSite{{{1, 800, "A"}}});
  RecordsetRef result = served.categories.GetSpecs("ENG", 1, 1001, "s", "p", "msrp", served.options, 0, 0, "c");
  std::string shape;
  for (int i = 0; i < result->FieldCount(); ++i) {
    const FieldInfo& f = result->Field(i);
    shape += f.name + ":" + std::to_string(static_cast<int>(f.type)) + ":" + std::to_string(f.defined_size) + " ";
  }
  EXPECT_EQ(shape, "row_id:3:0 description:8:0 schema_id:3:0 option_id:3:0 record_id:3:0 location:202:10 "
                   "data_value:202:50 standard_text:8:0 value_sought:202:40 format:202:40 ");
  EXPECT_EQ(result->ValueAt(0, 2).integer(), 800);
  EXPECT_EQ(result->ValueAt(0, 5).string(), "-");
  EXPECT_TRUE(result->ValueAt(0, 8).IsNull());
  EXPECT_EQ(result->ValueAt(0, 9).string(), "A");
}

}  // namespace
}  // namespace trelix
