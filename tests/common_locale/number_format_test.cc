// The number formatting engine against the behaviour of the system service
// it reproduces: explicit format records, the locale defaults of en-US and
// fr-FR, grouping texts, and the input it must refuse.

#include "common/number_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trelix {
namespace {

constexpr std::string_view kNbsp = "\xC2\xA0";

struct FormatCase {
  int32_t lcid;
  const char* input;
  uint32_t digits;
  uint32_t leading_zero;
  uint32_t grouping;
  const char* thousand;
  uint32_t negative_order;
  std::optional<std::string> expected;  // nullopt: the call fails
};

std::optional<std::string> Format(const FormatCase& c, size_t buffer_chars = kNumberBufferChars) {
  NumberFormat format{c.digits, c.leading_zero, c.grouping, ".", c.thousand, c.negative_order};
  std::string out;
  if (!GetNumberFormat(c.lcid, c.input, format, &out, buffer_chars)) return std::nullopt;
  return out;
}

TEST(GetNumberFormat, ExplicitRecords) {
  constexpr std::nullopt_t kFails = std::nullopt;
  const FormatCase cases[] = {
      {1033, "2353", 0, 0, 0, ",", 0, "2353"}, {1033, "2353", 1, 0, 0, ",", 0, "2353.0"},
      {1033, "2353", 1, 0, 2, ",", 0, "23,53.0"}, {1033, "235", 1, 0, 3, ",", 0, "235.0"},
      {1033, "000235", 1, 0, 3, ",", 0, "235.0"}, {1033, "-235", 1, 0, 3, ",", 1, "-235.0"},
      {1033, "-000235", 1, 0, 3, ",", 1, "-235.0"}, {1033, ".5", 1, 1, 3, ",", 1, "0.5"},
      {1033, "0.5", 1, 1, 3, ",", 1, "0.5"}, {1033, "0000.5", 1, 1, 3, ",", 1, "0.5"},
      {1033, ".5", 1, 0, 3, ",", 1, ".5"}, {1033, "0.5", 1, 0, 3, ",", 1, ".5"},
      // Negative orders, with and without a leading zero.
      {1033, "-1", 1, 1, 3, ",", 0, "(1.0)"}, {1033, "-1", 1, 1, 3, ",", 1, "-1.0"},
      {1033, "-1", 1, 1, 3, ",", 2, "- 1.0"}, {1033, "-1", 1, 1, 3, ",", 3, "1.0-"},
      {1033, "-1", 1, 1, 3, ",", 4, "1.0 -"}, {1033, "-1", 1, 0, 3, ",", 0, "(1.0)"},
      {1033, "-1", 1, 0, 4, ",", 4, "1.0 -"}, {1033, "-1", 1, 1, 3, ",", 5, kFails},
      {1033, "1", 1, 1, 3, ",", 5, "1.0"},  // the order only matters for negatives
      // Grouping values: the digits are sizes from the decimal point; a
      // trailing 0 stops the repeat.
      {1033, "123456789", 1, 0, 23, ",", 0, "1,234,567,89.0"}, {1033, "123456789", 1, 0, 230, ",", 0, "1234,567,89.0"},
      {1033, "123456789", 1, 0, 203, ",", 0, "1,234,567,,89.0"},
      {1033, "123456789", 1, 0, 2030, ",", 0, "1234,567,,89.0"},
      {1033, "123456789", 1, 0, 2003, ",", 0, "1,234,567,,,89.0"},
      {1033, "123456789", 1, 0, 1200, ",", 0, "123456,,78,9.0"},
      {1033, "1234567890", 1, 0, 31, ",", 0, "1,2,3,4,5,6,7,890.0"},
      {1033, "1234567890", 1, 0, 312, ",", 0, "12,34,56,7,890.0"},
      {1033, "1234567890", 1, 0, 310, ",", 0, "123456,7,890.0"},
      // Rounding on the decimal text: the first dropped digit decides.
      {1033, "2353.111", 2, 1, 3, ",", 1, "2,353.11"}, {1033, "2353.119", 2, 1, 3, ",", 1, "2,353.12"},
      {1033, "2353.1", 2, 1, 3, ",", 1, "2,353.10"}, {1033, "6.449999", 1, 1, 3, ",", 1, "6.4"},
      {1033, "2.5", 0, 1, 3, ",", 0, "3"}, {1033, "-2.5", 0, 1, 3, ",", 0, "(3)"},
      {1033, "9.96", 1, 1, 3, ",", 0, "10.0"},
      {1033, "999.5", 0, 1, 3, ",", 0, "1,000"},  // the carry is grouped like any digit
      {1033, "999999.999", 2, 1, 3, ",", 0, "1,000,000.00"}, {1033, ".96", 1, 1, 3, ",", 0, "1.0"},
      {1033, ".5", 0, 1, 3, ",", 0, "1"}, {1033, "-0.001", 2, 1, 3, ",", 0, "(0.00)"},  // the sign comes from the text
      {1033, "0", 2, 1, 3, ",", 0, "0.00"}, {1033, "5.", 1, 1, 3, ",", 0, "5.0"},
      // Multi-byte separators stay whole.
      {1036, "-1234567.891", 2, 1, 3, "\xC2\xA0", 0, "(1\xC2\xA0" "234\xC2\xA0" "567.89)"},
      {0, "1234", 0, 1, 3, ",", 0, "1,234"},  // locale 0 is known
      // Refused input and locales.
      {1033, "23,53", 2, 1, 3, ",", 1, kFails}, {1033, "--", 2, 1, 3, ",", 1, kFails},
      {1033, "0-", 2, 1, 3, ",", 1, kFails}, {1033, "0..", 2, 1, 3, ",", 1, kFails},
      {1033, " 0.1", 2, 1, 3, ",", 1, kFails}, {1033, "+1", 2, 1, 3, ",", 1, kFails},
      {1033, "1E+16", 2, 1, 3, ",", 1, kFails}, {1033, "1 000", 2, 1, 3, ",", 1, kFails},
      {1033, "", 2, 1, 3, ",", 1, kFails}, {1033, ".", 2, 1, 3, ",", 1, kFails},
      {1033, "-", 2, 1, 3, ",", 1, kFails}, {9999, "23", 2, 1, 3, ",", 1, kFails},
      {22, "23", 2, 1, 3, ",", 1, kFails},  // a language id is not a locale
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(Format(c), c.expected) << "input \"" << c.input << "\" digits " << c.digits << " grouping " << c.grouping
                                     << " order " << c.negative_order;
  }
}

TEST(GetNumberFormat, LocaleDefaults) {
  // What the service prints with the locale's own record: en-US has 2
  // digits, a leading zero, groups of 3 and a minus sign; fr-FR the same
  // with a decimal comma and a no-break space between groups.
  NumberFormat en_us{2, 1, 3, ".", ",", 1};
  NumberFormat fr_fr{2, 1, 3, ",", kNbsp, 1};
  for (const auto& [lcid, format, input, expected] : std::initializer_list<
           std::tuple<int32_t, const NumberFormat*, const char*, std::string>>{
           {1033, &en_us, "2353", "2,353.00"}, {1033, &en_us, "-2353", "-2,353.00"}, {1033, &en_us, "-353", "-353.00"},
           {1036, &fr_fr, "-12345", "-12\xC2\xA0" "345,00"}}) {
    std::string out;
    ASSERT_TRUE(GetNumberFormat(lcid, input, *format, &out)) << input;
    EXPECT_EQ(out, expected);
  }
}

TEST(GetNumberFormat, BufferTooSmall) {
  const FormatCase c{1033, "1234", 2, 1, 3, ",", 1, std::nullopt};
  EXPECT_EQ(Format(c, 2), std::nullopt);
  EXPECT_EQ(Format(c, 9), "1,234.00");  // eight characters and the NUL
  EXPECT_EQ(Format(c, 8), std::nullopt);
  // A digit count that can never fit fails before padding anything.
  const FormatCase huge{1033, "1", 0xFFFFFFFEu, 1, 3, ",", 1, std::nullopt};
  EXPECT_EQ(Format(huge), std::nullopt);
}

TEST(GetNumberFormat, GroupingTexts) {
  // The locale's grouping text, with 5 digits and no leading zero.
  const std::pair<const char*, const char*> cases[] = {
      {"3;0", "1,234,567,890.54321"},       {"2;3", "12345,678,90.54321"},
      {"1", "123456789,0.54321"},           {"1;0", "1,2,3,4,5,6,7,8,9,0.54321"},
      {"1;0;3", "123456,789,,0.54321"},     {"0", "1234567890.54321"},
      {"0;0", "1234567890.54321"},          {"0;1", "123456789,0.54321"},
      {"0;0;0", "1234567890.54321"},        {"0;1;0", "1,2,3,4,5,6,7,8,9,0.54321"},
      {"2;0;0", "12345678,90.54321"},       {"2;0;0;0", "12345678,,90.54321"},
      {"2;0;0;0;0", "12345678,,,90.54321"}, {"2;0;0;1;0", "1,2,3,4,5,6,7,8,,,90.54321"},
      {"1;3;2", "1234,56,789,0.54321"},     {"1;3;2;0", "12,34,56,789,0.54321"},
      {"3;1;1;2;0", "1,23,45,6,7,890.54321"}, {"6;1", "123,4,567890.54321"},
  };
  NumberFormat format{5, 0, 0, ".", ",", 1};
  for (const auto& [grouping, expected] : cases) {
    std::string out;
    ASSERT_TRUE(GetNumberFormat(1033, "1234567890.54321", format, DigitGrouping::FromLocaleText(grouping), &out))
        << grouping;
    EXPECT_EQ(out, expected) << grouping;
  }
}

}  // namespace
}  // namespace trelix
