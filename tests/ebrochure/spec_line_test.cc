// The per-line resolution of the spec sheet: availability codes, formats,
// options and their conditions, the parent fallback and the printed texts.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"

namespace trelix {
namespace {

using testing::EquipmentRow;
using testing::FakeSite;
using testing::Option;
using testing::ParentRow;
using testing::ScopedRecordingConnector;
using testing::SheetLine;
using testing::SheetRow;
using testing::Standard;

Variant Ids(std::vector<int32_t> ids) {
  std::vector<Variant> items;
  for (int32_t id : ids) items.emplace_back(id);
  return Variant::Array(std::move(items));
}

std::vector<SheetRow> RunSheet(const FakeSite& site, Variant options = Variant(), int16_t language = 1) {
  ScopedRecordingConnector connector;
  site.Serve(connector.record());
  Categories categories;
  RecordsetRef result =
      categories.GetSpecs("ENG", language, 1001, "demo_specs", "demo_project", "msrp", options, 0, 0, "conn");
  return testing::Rows(*result);
}

struct LineCase {
  const char* name;
  std::vector<SheetLine> lines;
  std::vector<EquipmentRow> equipment;
  std::vector<ParentRow> parents;
  Variant options;
  std::vector<SheetRow> expected;
};

void RunCases(const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    FakeSite site;
    site.lines = c.lines;
    site.equipment = c.equipment;
    site.parents = c.parents;
    site.unlimited = Variant("unbegrenzt");
    EXPECT_EQ(RunSheet(site, c.options), c.expected) << c.name;
  }
}

EquipmentRow WithContent(EquipmentRow row, Variant full_text, Variant content) {
  row.full_text = std::move(full_text);
  row.content = std::move(content);
  return row;
}

EquipmentRow WithCondition(EquipmentRow row, const char* condition) {
  row.condition = Variant(condition);
  return row;
}

TEST(SpecLine, AvailabilityCodes) {
  RunCases({
      {"standard row answers",
       {{1, 100, "A", Variant::Null(), Variant("-"), Variant(" ext"), Variant(" note")}},
       {Standard(100, Variant("Yes"), 11)},
       {},
       Variant(),
       {{1, "@S ext note", 0, 11, "Yes", ""}}},
      {"sought value only on an unchosen option: the cheapest one",
       {{1, 101, "A", Variant("Leather")}},
       {Standard(101, Variant("Cloth"), 21), Option(30, 101, Variant("Leather"), 22, 500),
        Option(31, 101, Variant("Leather"), 23, 200)},
       {},
       Variant(),
       {{1, "@O", 31, 23, "Leather", ""}}},
      {"chosen option lacks the standard value: @D on the option's row",
       {{1, 102, "A", Variant("Yes")}},
       {Standard(102, Variant("Yes"), 31), Option(12, 102, Variant("No"), 32, 100)},
       {},
       Ids({12}),
       {{1, "@D", 12, 32, "No", ""}}},
      {"chosen option with the standard value counts as standard",
       {{1, 103, "a", Variant("yes")}},
       {Standard(103, Variant("Yes"), 41), Option(12, 103, Variant("YES"), 42, 100)},
       {},
       Ids({12}),
       {{1, "@S", 12, 42, "YES", ""}}},
      {"no rows, no parent", {{1, 104, "A"}}, {}, {}, Variant(), {{1, "@X", 0, 0, "", ""}}},
      {"no rows, parent has a value",
       {{1, 105, "T", Variant::Null(), Variant("-"), Variant("   big"), Variant("  one")}},
       {},
       {{105, Variant("Yes")}},
       Variant(),
       {{1, "@U big one", 0, 0, "", ""}}},
      {"no rows, parent value '-'", {{1, 106, "#"}}, {}, {{106, Variant("-")}}, Variant(), {{1, "@X", 0, 0, "", ""}}},
      {"parent of another location does not answer",
       {{1, 107, "A", Variant::Null(), Variant("FR")}},
       {},
       {{107, Variant("Yes"), Variant("RR")}},
       Variant(),
       {{1, "@X", 0, 0, "", ""}}},
      {"only the line's location",
       {{1, 108, "A", Variant::Null(), Variant("RR")}},
       {[] {
          EquipmentRow front = Standard(108, Variant("-"), 51);
          front.location = Variant("FR");
          return front;
        }(),
        [] {
          EquipmentRow rear = Standard(108, Variant("Yes"), 52);
          rear.location = Variant("RR");
          return rear;
        }()},
       {},
       Variant(),
       {{1, "@S", 0, 52, "Yes", ""}}},
  });
}

TEST(SpecLine, Formats) {
  RunCases({
      {"T prints the value text and keeps the standard text",
       {{1, 200, "T", Variant::Null(), Variant("-"), Variant(" pack"), Variant::Null()}},
       {WithContent(Standard(200, Variant("ABS"), 61), Variant("anti-lock brakes"), Variant("Safety"))},
       {},
       Variant(),
       {{1, "Anti-lock brakes pack", 0, 61, "ABS", "Safety"}}},
      {"T matches the sought value without regard to case",
       {{1, 201, "T", Variant("yes")}},
       {WithContent(Standard(201, Variant("YES"), 62), Variant("available"), Variant::Null())},
       {},
       Variant(),
       {{1, "Available", 0, 62, "YES", ""}}},
      {"T with another value prints nothing",
       {{1, 202, "T", Variant("Yes")}},
       {WithContent(Standard(202, Variant("No"), 63), Variant("not available"), Variant::Null())},
       {},
       Variant(),
       {{1, "", 0, 63, "No", ""}}},
      {"S prints the standard text in place of @S",
       {{1, 203, "S", Variant::Null(), Variant("-"), Variant(" incl."), Variant::Null()}},
       {WithContent(Standard(203, Variant("Yes"), 64), Variant::Null(), Variant("comfort package"))},
       {},
       Variant(),
       {{1, "Comfort package incl.", 0, 64, "Yes", "comfort package"}}},
      {"S with a Null standard text drops @S",
       {{1, 204, "S", Variant::Null(), Variant("-"), Variant("x"), Variant::Null()}},
       {Standard(204, Variant("Yes"), 65)},
       {},
       Variant(),
       {{1, "X", 0, 65, "Yes", ""}}},
      {"S keeps an option code",
       {{1, 205, "S", Variant("Yes")}},
       {WithContent(Standard(205, Variant("No"), 66), Variant::Null(), Variant("pack")),
        WithContent(Option(40, 205, Variant("Yes"), 67, 90), Variant::Null(), Variant("pack"))},
       {},
       Variant(),
       {{1, "@O", 40, 67, "Yes", "pack"}}},
      {"#2", {{1, 206, "#2"}}, {Standard(206, Variant("1.5"), 71)}, {}, Variant(), {{1, "1.50", 0, 71, "1.5", ""}}},
      {"# alone: 0 decimals with grouping",
       {{1, 207, "#", Variant::Null(), Variant("-"), Variant(" kg"), Variant::Null()}},
       {Standard(207, Variant("1234.4"), 72)},
       {},
       Variant(),
       {{1, "1,234 kg", 0, 72, "1234.4", ""}}},
      {"#D", {{1, 208, "#D"}}, {Standard(208, Variant("20050315"), 73)}, {}, Variant(), {{1, "2005-03-15", 0, 73, "20050315", ""}}},
      {"#D open end", {{1, 209, "#d"}}, {Standard(209, Variant("99991231"), 74)}, {}, Variant(), {{1, "99991231", 0, 74, "99991231", ""}}},
      {"#C", {{1, 210, "#C"}}, {Standard(210, Variant("1234.5"), 75)}, {}, Variant(), {{1, "CUR|1234.5", 0, 75, "1234.5", ""}}},
      {"formula", {{1, 211, "#1=?*1.609"}}, {Standard(211, Variant("100"), 76)}, {}, Variant(), {{1, "160.9", 0, 76, "100", ""}}},
      {"formula skipped for 0", {{1, 212, "#1=?*1.609"}}, {Standard(212, Variant("0"), 77)}, {}, Variant(), {{1, "0.0", 0, 77, "0", ""}}},
      {"unlimited sentinel", {{1, 23503, "#"}}, {Standard(23503, Variant("999999"), 78)}, {}, Variant(), {{1, "Unbegrenzt", 0, 78, "999999", ""}}},
      {"sentinel of the other list is a number",
       {{1, 23502, "#"}},
       {Standard(23502, Variant("999999"), 79)},
       {},
       Variant(),
       {{1, "999,999", 0, 79, "999999", ""}}},
      {"thousand sentinel", {{1, 124002, "#"}}, {Standard(124002, Variant("9999"), 80)}, {}, Variant(), {{1, "Unbegrenzt", 0, 80, "9999", ""}}},
      {"other formats print the raw value",
       {{1, 213, "V", Variant::Null(), Variant("-"), Variant(" l"), Variant::Null()}},
       {Standard(213, Variant("petrol"), 81)},
       {},
       Variant(),
       {{1, "Petrol l", 0, 81, "petrol", ""}}},
      {"blank pairs collapse once",
       {{1, 214, "V", Variant::Null(), Variant("-"), Variant("  two"), Variant("   three")}},
       {Standard(214, Variant("one"), 82)},
       {},
       Variant(),
       {{1, "One two  three", 0, 82, "one", ""}}},
  });
}

TEST(SpecLine, OptionsAndConditions) {
  RunCases({
      {"highest chosen option supplies the value",
       {{1, 300, "#"}},
       {Standard(300, Variant("50"), 1), Option(5, 300, Variant("100"), 2, 10), Option(9, 300, Variant("200"), 3, 20)},
       {},
       Ids({5, 9}),
       {{1, "200", 9, 3, "200", ""}}},
      {"chosen options without rows leave the standard value",
       {{1, 301, "#"}},
       {Standard(301, Variant("50"), 4), Option(7, 301, Variant("70"), 5, 10)},
       {},
       Ids({5, 9}),
       {{1, "50", 0, 4, "50", ""}}},
      {"empty option array is no options",
       {{1, 302, "#"}},
       {Standard(302, Variant("50"), 6), Option(5, 302, Variant("100"), 7, 10)},
       {},
       Variant::Array({}),
       {{1, "50", 0, 6, "50", ""}}},
      {"an option whose condition fails loses every row",
       {{1, 303, "#"}, {2, 304, "#"}},
       {Standard(303, Variant("50"), 8), WithCondition(Option(12, 303, Variant("60"), 9, 10), "{7}"),
        Standard(304, Variant("1"), 10), Option(12, 304, Variant("2"), 11, 10)},
       {},
       Ids({12}),
       {{1, "50", 0, 8, "50", ""}, {2, "1", 0, 10, "1", ""}}},
      {"a condition that holds keeps the option",
       {{1, 305, "#"}},
       {Standard(305, Variant("50"), 12), WithCondition(Option(12, 305, Variant("60"), 13, 10), "{12} and not {7}")},
       {},
       Ids({12, 15}),
       {{1, "60", 12, 13, "60", ""}}},
      // Rows in query order: 12 fails first; the exclusion makes 15's row
      // the first visible one, which the walk then passes over.
      {"the first visible row after an exclusion is passed over",
       {{1, 400, "#"}, {2, 401, "#"}},
       {WithCondition(Option(12, 400, Variant("1"), 14, 10), "{99}"),
        WithCondition(Option(15, 401, Variant("2"), 15, 10), "{98}"), Standard(402, Variant("3"), 16)},
       {},
       Ids({12, 15}),
       {{1, "@X", 0, 0, "", ""}, {2, "2", 15, 15, "2", ""}}},
      {"rows examined again keep their verdict",
       {{1, 400, "#"}, {2, 401, "#"}},
       {Standard(399, Variant("0"), 13), WithCondition(Option(12, 400, Variant("1"), 14, 10), "{99}"),
        WithCondition(Option(15, 401, Variant("2"), 15, 10), "{98}"), Standard(402, Variant("3"), 16)},
       {},
       Ids({12, 15}),
       {{1, "@X", 0, 0, "", ""}, {2, "@X", 0, 0, "", ""}}},
  });
}

TEST(SpecLine, ParentFallbackWithOptions) {
  RunCases({
      // An availability line whose schema has no standard row takes the
      // parent's answer even when a chosen option has a row; the next
      // (non-availability) line decides for itself.
      {"chosen option without standard row",
       {{1, 500, "A"}, {2, 501, "#"}},
       {Option(12, 500, Variant("Yes"), 1, 10), Option(12, 501, Variant("5"), 2, 10)},
       {{500, Variant("Yes")}, {501, Variant("7")}},
       Ids({12}),
       {{1, "@U", 0, 0, "", ""}, {2, "5", 12, 2, "5", ""}}},
  });
}

TEST(SpecLine, CommaDecimalSeparator) {
  vb::SetDecimalSeparatorOverride(',');
  FakeSite site;
  site.lines = {{1, 600, "#2"}, {2, 601, "#1=?*1.609"}, {3, 602, "#1"}};
  site.equipment = {Standard(600, Variant("1.5"), 1), Standard(601, Variant("100"), 2),
                    Standard(602, Variant("1234.5"), 3)};
  const std::vector<SheetRow> german = RunSheet(site, Variant(), 3);
  const std::vector<SheetRow> english = RunSheet(site, Variant(), 1);
  vb::SetDecimalSeparatorOverride(std::nullopt);
  EXPECT_EQ(german, (std::vector<SheetRow>{{1, "1,50", 0, 1, "1.5", ""},
                                            {2, "160,9", 0, 2, "100", ""},
                                            {3, "1.234,5", 0, 3, "1234.5", ""}}));
  EXPECT_EQ(english[2].description, "1,234.5");
}

void ExpectSheetError(const FakeSite& site, int32_t number) {
  ScopedRecordingConnector connector;
  site.Serve(connector.record());
  Categories categories;
  Variant options;
  try {
    categories.GetSpecs("ENG", 1, 1001, "demo_specs", "demo_project", "msrp", options, 0, 7, "conn");
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), number) << error.description();
    EXPECT_NE(error.description().find(" in Categories, Function GetSpecs at line number "), std::string::npos)
        << error.description();
  }
  EXPECT_TRUE(connector.record().OfOp("CacheRecordset").empty());
}

TEST(SpecLine, ValuesThatCannotBeResolvedFailTheSheet) {
  FakeSite site;
  site.lines = {{1, 700, "#"}};
  site.equipment = {Standard(700, Variant("-"), 1)};
  ExpectSheetError(site, kErrTypeMismatch);

  site.lines = {{1, 701, "A"}};
  site.equipment = {Option(40000, 701, Variant("Yes"), 1, 10)};
  ExpectSheetError(site, kErrOverflow);

  site.lines = {{1, 702, "A", Variant::Null(), Variant("ELEVENCHARS")}};
  site.equipment = {};
  ExpectSheetError(site, -2147217887);
}

TEST(SpecLine, ResultFieldsAreFixed) {
  FakeSite site;
  site.lines = {{1, 800, "A"}};
  ScopedRecordingConnector connector;
  site.Serve(connector.record());
  Categories categories;
  Variant options;
  RecordsetRef result =
      categories.GetSpecs("ENG", 1, 1001, "demo_specs", "demo_project", "msrp", options, 0, 0, "conn");
  struct Expected {
    const char* name;
    DataType type;
    int32_t size;
  };
  const std::vector<Expected> fields = {
      {"row_id", DataType::kInteger, 0},         {"description", DataType::kBSTR, 0},
      {"schema_id", DataType::kInteger, 0},      {"option_id", DataType::kInteger, 0},
      {"record_id", DataType::kInteger, 0},      {"location", DataType::kVarWChar, 10},
      {"data_value", DataType::kVarWChar, 50},   {"standard_text", DataType::kBSTR, 0},
      {"value_sought", DataType::kVarWChar, 40}, {"format", DataType::kVarWChar, 40}};
  ASSERT_EQ(result->FieldCount(), static_cast<int>(fields.size()));
  for (size_t index = 0; index < fields.size(); ++index) {
    const FieldInfo& field = result->Field(static_cast<int>(index));
    EXPECT_EQ(field.name, fields[index].name);
    EXPECT_EQ(field.type, fields[index].type) << field.name;
    EXPECT_EQ(field.defined_size, fields[index].size) << field.name;
  }
  result->MoveFirst();
  EXPECT_EQ(result->Value("schema_id").integer(), 800);
  EXPECT_EQ(result->Value("location").string(), "-");
  EXPECT_TRUE(result->Value("value_sought").IsNull());
  EXPECT_EQ(result->Value("format").string(), "A");
}

}  // namespace
}  // namespace trelix
