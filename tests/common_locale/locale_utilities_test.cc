// Language ids to locales, the locale texts, and FormatLocaleNumber end to
// end: rounding, the locale's conventions, the process's own separator and
// the errors callers see.

#include "common/modLocaleUtilities.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/com_error.h"
#include "common/number_format.h"
#include "common/vb_runtime.h"

namespace trelix {
namespace {

// Sets the process decimal separator for one test.
class ScopedDecimalSeparator {
 public:
  explicit ScopedDecimalSeparator(char separator) { vb::SetDecimalSeparatorOverride(separator); }
  ~ScopedDecimalSeparator() { vb::SetDecimalSeparatorOverride(std::nullopt); }
};

class LocaleTest : public ::testing::Test {
 protected:
  // Tests assume a point-decimal process unless they say otherwise.
  ScopedDecimalSeparator point_{'.'};
};

TEST_F(LocaleTest, LanguageIdsMapToTheirLocales) {
  const int32_t expected[41] = {0,    2057, 1034, 1031, 1040,  1036, 1043, 1033, 1041, 1042, 1037,
                                1032, 13322, 1035, 1027, 2070, 1053, 1055, 2058, 1033, 3081,
                                1046, 0,    1044, 1030, 1028,  3084, 1038, 6153, 2060, 2067,
                                1029, 1045, 1054, 1051, 2055,  1049, 11274, 1060, 2052, 4108};
  for (int16_t id = 0; id <= 40; ++id) EXPECT_EQ(LanguageIdToLcid(id), expected[id]) << "language " << id;
  EXPECT_EQ(LanguageIdToLcid(41), 0);
  EXPECT_EQ(LanguageIdToLcid(-1), 0);
  EXPECT_EQ(LanguageIdToLcid(32767), 0);
}

TEST_F(LocaleTest, LocaleTexts) {
  const std::tuple<int32_t, const char*, const char*> cases[] = {  // locale, decimal and thousands separators
      {2057, ".", ","}, {1031, ",", "."}, {1036, ",", "\xC2\xA0"}, {2055, ".", "'"}, {4108, ".", "'"},
      {2070, ",", "."}, {1049, ",", "\xC2\xA0"}, {13322, ",", "."}, {2060, ",", "."}, {1054, ".", ","},
  };
  for (const auto& [lcid, decimal, thousand] : cases) {
    EXPECT_EQ(std::tuple(GetLocaleText(lcid, kLocaleDecimalSeparator), GetLocaleText(lcid, kLocaleThousandSeparator),
                         GetLocaleText(lcid, kLocaleGrouping)),
              std::tuple(decimal, thousand, "3;0"))
        << lcid;
  }
  // Every locale a language id selects has data.
  for (int16_t id = 1; id <= 40; ++id) {
    EXPECT_FALSE(GetLocaleText(LanguageIdToLcid(id), kLocaleGrouping).empty()) << "language " << id;
  }
  EXPECT_EQ(GetLocaleText(9999, kLocaleDecimalSeparator) + GetLocaleText(9999, kLocaleGrouping), "");
  EXPECT_EQ(GetLocaleText(1033, 17), "");
}

TEST_F(LocaleTest, LocaleZeroFollowsTheProcess) {
  auto texts = [] {
    return GetLocaleText(0, kLocaleDecimalSeparator) + GetLocaleText(0, kLocaleThousandSeparator) + " " +
           GetLocaleText(0, kLocaleGrouping);
  };
  EXPECT_EQ(texts(), "., 3;0");
  ScopedDecimalSeparator comma(',');
  EXPECT_EQ(texts(), ",. 3;0");
}

TEST_F(LocaleTest, FormatLocaleNumber) {
  const std::tuple<double, int32_t, int16_t, const char*> cases[] = {  // value, decimals, language, text
      {1234.5, 2, 3, "1.234,50"}, {1234.5, 2, 1, "1,234.50"}, {-5, 0, 1, "(5)"},
      {2.5, 0, 1, "3"},  // no rounding of our own: the formatter rounds the text 2.5
      {0.125, 2, 7, "0.13"},  // half up
      {-0.125, 2, 7, "(0.12)"},  // half up is towards +infinity
      {1.005, 2, 7, "1.00"},  // 1.005 is a little below 1.005 in binary
      {-0.001, 2, 7, "0.00"},  // rounds to 0 before it is written: no sign left
      {-0.004, 0, 7, "(0)"},  // not rounded here, so the text keeps its sign
      {0.5, 1, 1, "0.5"}, {1234567.891, 2, 5, "1\xC2\xA0" "234\xC2\xA0" "567,89"}, {1234.5, 2, 35, "1'234.50"},
      {1234.5, 2, 12, "1.234,50"}, {1234.5, 2, 22, "1,234.50"},  // language 22: locale 0, the process's own
      {123456789012345, 0, 1, "123,456,789,012,345"}, {0.000001, 6, 1, "0.000001"},
      {0.1, 25, 1, "0.1000000000000000000000000"},
  };
  for (const auto& [value, decimals, language, expected] : cases) {
    EXPECT_EQ(FormatLocaleNumber(value, decimals, language), expected)
        << value << " at " << decimals << " for language " << language;
  }
}

TEST_F(LocaleTest, CommaDecimalProcess) {
  // The process writes 1234,5; the formatter still reads it as 1234.5.
  ScopedDecimalSeparator comma(',');
  EXPECT_EQ(FormatLocaleNumber(1234.5, 1, 1), "1,234.5");
  EXPECT_EQ(FormatLocaleNumber(1234.5, 2, 3), "1.234,50");
  EXPECT_EQ(FormatLocaleNumber(-0.25, 0, 1), "(0)");
  // Locale 0 is the process's own convention.
  EXPECT_EQ(FormatLocaleNumber(1234.5, 2, 22), "1.234,50");
}

// FormatLocaleNumber writes the value with a point straight away and skips
// the second locale lookup; composed from the public pieces the long way
// (the process's text, its separator made a point, the formatting service)
// it must give the same text for every process separator.
TEST_F(LocaleTest, SameTextAsTheLongWay) {
  auto long_way = [](double value, int32_t decimals, int16_t language) {
    const int32_t lcid = LanguageIdToLcid(language);
    const std::string decimal = GetLocaleText(lcid, kLocaleDecimalSeparator);  // the format holds views of these
    const std::string thousand = GetLocaleText(lcid, kLocaleThousandSeparator);
    const uint32_t grouping = static_cast<uint32_t>(GetLocaleText(lcid, kLocaleGrouping)[0] - '0');
    const NumberFormat format{static_cast<uint32_t>(decimals), 1, grouping, decimal, thousand, 0};
    std::string text = vb::FormatGeneralNumber(value);
    for (char& c : text) {
      if (c == vb::DecimalSeparator()) c = '.';
    }
    std::string result;
    return GetNumberFormat(lcid, text, format, &result) ? result : std::string("fails");
  };
  const double values[] = {0.0, -0.0, 7, -7, 25000, 1234567.5, -0.25, 0.1 + 0.2, 1.0 / 3, 999999999999999,
                           1e15, 123456.789012345678, 5e-7, -1e-20};
  for (char separator : {'.', ',', '-'}) {
    ScopedDecimalSeparator process(separator);
    for (double value : values) {
      for (int16_t language : {1, 3, 5, 22, 35}) {
        std::string text;
        try {
          text = FormatLocaleNumber(value, 0, language);
        } catch (const ComError& error) {
          text = error.number() == kErrInvalidProcedureCall ? "fails" : "other error";
        }
        EXPECT_EQ(text, long_way(value, 0, language)) << value << " with " << separator << " for " << language;
      }
    }
  }
}

int32_t ErrorNumberOf(double value, int32_t decimals, int16_t language) {
  try {
    FormatLocaleNumber(value, decimals, language);
  } catch (const ComError& error) {
    return error.number();
  }
  return 0;
}

TEST_F(LocaleTest, Failures) {
  EXPECT_EQ(ErrorNumberOf(1.5, -1, 1), kErrInvalidProcedureCall);   // negative decimals
  EXPECT_EQ(ErrorNumberOf(1e16, 0, 1), kErrInvalidProcedureCall);   // written as 1E+16
  EXPECT_EQ(ErrorNumberOf(1e-20, 0, 1), kErrInvalidProcedureCall);  // written as 1E-20
  EXPECT_EQ(ErrorNumberOf(1.5, 300, 1), kErrInvalidProcedureCall);  // longer than the output buffer
  EXPECT_EQ(ErrorNumberOf(1.5, 400, 1), kErrOverflow);              // 10^400
  EXPECT_EQ(ErrorNumberOf(1e300, 10, 1), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf(1.5, 2, 1), 0);
}

}  // namespace
}  // namespace trelix
