// Conversions of the VB runtime: the general number format, the locale
// parser behind CDbl and IsNumeric, CBool, the integer conversions with
// banker's rounding and overflow, Int/Fix, CStr of every type, dates.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"
#include "support/raised.h"

namespace trelix::vb {
namespace {

class ScopedSeparator {
 public:
  explicit ScopedSeparator(char separator) { SetDecimalSeparatorOverride(separator); }
  ~ScopedSeparator() { SetDecimalSeparatorOverride(std::nullopt); }
};

// The VB error number `body` raised, 0 when none.
int32_t ErrorOf(const std::function<void()>& body) { return testing::Raised(body).number(); }

struct FormatCase { double value; char separator; const char* expected; };

// Fifteen significant digits; the small and large cases sit on the edges
// between plain and exponent notation.
TEST(GeneralNumberFormat, MatchesTheAutomationRuntime) {
  const FormatCase cases[] = {
      {0.56789, '.', "0.56789"}, {5.6789e-11, '.', "0.000000000056789"}, {5.6789e-12, '.', "5.6789E-12"},
      {1.0e14, '.', "100000000000000"}, {1.0e15, '.', "1E+15"}, {1.234e16, '.', "1.234E+16"},
      {1.2e15, '.', "1.2E+15"}, {999999999999999.0, '.', "999999999999999"},
      {3.141592653589793, '.', "3.14159265358979"}, {123.456789012345678, '.', "123.456789012346"},
      {1.5e-5, '.', "0.000015"}, {1e-14, '.', "0.00000000000001"}, {1e-15, '.', "1E-15"}, {1e100, '.', "1E+100"},
      {1.23456789012345e-5, '.', "1.23456789012345E-05"}, {0.1 + 0.2, '.', "0.3"},
      {2.0 / 3.0, '.', "0.666666666666667"}, {1.0 / 3.0, '.', "0.333333333333333"}, {-3.0, '.', "-3"},
      {-0.0, '.', "0"}, {2.5, '.', "2.5"}, {-1234.5, '.', "-1234.5"},
      {9.99999999999999999e14, '.', "1E+15"},  // rounding carries into a new digit
      {1000000000000005.0, '.', "1.00000000000001E+15"},  // exact tie rounds away from zero
      {0.5, ',', "0,5"}, {0.000005, ',', "0,000005"}, {999999999999999.0, ',', "999999999999999"},
      {1.234e16, ',', "1,234E+16"}, {12.345678901234567, ',', "12,3456789012346"}, {1.5, ',', "1,5"},
  };
  for (const FormatCase& c : cases) {
    ScopedSeparator separator(c.separator);
    EXPECT_EQ(FormatGeneralNumber(c.value), c.expected) << c.value;
  }
  // Infinity and NaN are refused.
  EXPECT_EQ(ErrorOf([] { FormatGeneralNumber(INFINITY); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { FormatGeneralNumber(NAN); }), kErrOverflow);
}

struct ParseCase { const char* text; char separator; std::optional<double> expected; };  // nullopt: refused

TEST(ParseNumber, AcceptsWhatCDblAccepts) {
  constexpr std::nullopt_t kNo = std::nullopt;
  const ParseCase cases[] = {
      {"-1.5", '.', -1.5}, {"0.4", '.', 0.4}, {" .4 ", '.', 0.4}, {" - .4 ", '.', -0.4}, {" + 0", '.', 0.0},
      {"1e-94938484", '.', 0.0}, {"1,000", '.', 1000.0}, {"1,,000", '.', 1000.0}, {"1,001.0", '.', 1001.0},
      {"1,", '.', 1.0}, {"1,5", '.', 15.0}, {"$5", '.', 5.0}, {"5$", '.', 5.0}, {"$ 5", '.', 5.0},
      {"-$11", '.', -11.0}, {"$11$$", '.', 11.0}, {"(5)", '.', -5.0}, {"(0)", '.', 0.0}, {"5-", '.', -5.0},
      {"5+", '.', 5.0}, {"1e3", '.', 1000.0}, {"1e-1", '.', 0.1}, {"1.5e20", '.', 1.5e20}, {"1.", '.', 1.0},
      {".2", '.', 0.2}, {"\t5\n", '.', 5.0}, {"\xC2\xA0" "7", '.', 7.0}, {"&HF800", '.', 63488.0},
      {"&hffffffff", '.', -1.0}, {"&O300", '.', 192.0}, {"1,5", ',', 1.5}, {"1.000,5", ',', 1000.5},
      {"1.5", ',', 15.0}, {"5 \xE2\x82\xAC", ',', 5.0},
      // Refused.
      {"", '.', kNo}, {" ", '.', kNo}, {"-", '.', kNo}, {"+", '.', kNo}, {".", '.', kNo}, {"$", '.', kNo},
      {"()", '.', kNo}, {"(5", '.', kNo}, {"-0-", '.', kNo}, {"+ +0", '.', kNo}, {"$$11", '.', kNo},
      {",1,000", '.', kNo}, {"1..1", '.', kNo}, {"1.2.3", '.', kNo}, {"1 1", '.', kNo}, {"1. 1", '.', kNo},
      {"1e", '.', kNo}, {"1 e1", '.', kNo}, {"1d2", '.', kNo}, {"abc", '.', kNo}, {"FE", '.', kNo},
      {"&ha.2", '.', kNo}, {"&o128", '.', kNo}, {"#TRue#", '.', kNo}, {"True", '.', kNo}, {"1/1/2015", '.', kNo},
      {"0x10", '.', kNo}, {"$5", ',', kNo},
  };
  for (const ParseCase& c : cases) {
    ScopedSeparator separator(c.separator);
    std::optional<double> parsed = ParseNumber(c.text);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << "'" << c.text << "' with " << c.separator;
    if (parsed) {
      EXPECT_DOUBLE_EQ(*parsed, *c.expected) << c.text;
    }
    EXPECT_EQ(IsNumeric(Variant(c.text)), c.expected.has_value()) << c.text;
  }
}

TEST(ParseNumber, LongAndOutOfRangeTexts) {
  ScopedSeparator separator('.');
  std::string many(400, '1');
  EXPECT_DOUBLE_EQ(CDbl(Variant(std::string(300, '1'))), 1.1111111111111111e299);
  EXPECT_EQ(ErrorOf([&] { CDbl(Variant(many)); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant("1e400")); }), kErrOverflow);
  EXPECT_EQ(CDbl(Variant("0." + std::string(400, '0') + "1")), 0.0);
  EXPECT_DOUBLE_EQ(CDbl(Variant("0.000" + std::string(200, '1'))), 0.000111111111111111111);
  EXPECT_EQ(ErrorOf([] { CDbl(Variant("&H100000000")); }), kErrOverflow);
  EXPECT_FALSE(IsNumeric(Variant("1e400")));
}

// CDbl of every type (the value, or the error it raises) and IsNumeric of
// the values that are no text.
TEST(CDbl, ConvertsEveryVariantType) {
  const std::pair<Variant, double> values[] = {{Variant(), 0.0}, {Variant(true), -1.0}, {Variant(int16_t{7}), 7.0},
                                               {Variant(Currency{12345}), 1.2345}, {Variant::Date(2.5), 2.5}};
  for (const auto& [value, expected] : values) EXPECT_EQ(CDbl(value), expected) << ToText(value);
  const std::pair<Variant, int32_t> errors[] = {{Variant::Null(), kErrInvalidUseOfNull}, {Variant(""), kErrTypeMismatch},
                                                {Variant::Array({}), kErrTypeMismatch},
                                                {Variant::Nothing(), kErrObjectVariableNotSet}};
  for (const auto& [value, number] : errors) EXPECT_EQ(ErrorOf([&] { CDbl(value); }), number);
  for (const Variant& yes : {Variant(), Variant(true), Variant(1.5)}) EXPECT_TRUE(IsNumeric(yes)) << ToText(yes);
  for (const Variant& no : {Variant::Null(), Variant::Nothing(), Variant::Date(1.0), Variant::Array({Variant(1.0)})}) {
    EXPECT_FALSE(IsNumeric(no)) << static_cast<int>(no.type());
  }
}

TEST(CBool, WordsNumbersAndErrors) {
  const std::pair<Variant, int> cases[] = {  // 1 true, 0 false, else the error number
      {Variant(int16_t{0}), 0}, {Variant(), 0}, {Variant(-0.56), 1}, {Variant(int16_t{2}), 1}, {Variant(int16_t{-2}), 1},
      {Variant("true"), 1}, {Variant("TRUE"), 1}, {Variant("#TRUE#"), 1}, {Variant("False"), 0}, {Variant("#false#"), 0},
      {Variant("-1"), 1}, {Variant("+1"), 1}, {Variant("0"), 0}, {Variant("0.1"), 1}, {Variant(""), kErrTypeMismatch},
      {Variant(" "), kErrTypeMismatch}, {Variant("abc"), kErrTypeMismatch}, {Variant("FALSE "), kErrTypeMismatch},
      {Variant::Null(), kErrInvalidUseOfNull}, {Variant(Currency{1}), 1},
  };
  for (const auto& [value, expected] : cases) {
    int got = 0;
    if (int error = ErrorOf([&] { got = CBool(value) ? 1 : 0; })) got = error;
    EXPECT_EQ(got, expected) << ToText(value);
  }
}

TEST(IntegerConversions, BankersRoundingAndOverflow) {
  // The converted value as text, or "error N".
  auto outcome = [](const std::function<int64_t(const Variant&)>& convert, const Variant& value) {
    std::string result;
    if (int32_t error = ErrorOf([&] { result = std::to_string(convert(value)); })) result = "error " + std::to_string(error);
    return result;
  };
  const std::pair<double, const char*> cint[] = {
      {0.5, "0"}, {1.5, "2"}, {2.5, "2"}, {3.5, "4"}, {-36.5, "-36"}, {-36.75, "-37"}, {36.75, "37"}, {0.51, "1"},
      {32767.49, "32767"}, {-32768.5, "-32768"}, {-0.5, "0"}, {32767.5, "error 6"}, {-32768.51, "error 6"},
      {1e10, "error 6"},
  };
  for (const auto& [value, expected] : cint) EXPECT_EQ(outcome(CInt, Variant(value)), expected) << value;
  const std::tuple<const char*, std::function<int64_t(const Variant&)>, Variant, const char*> others[] = {
      {"CLng", CLng, Variant(1.5), "2"}, {"CLng", CLng, Variant(2147483647.4), "2147483647"},
      {"CLng", CLng, Variant(2147483647.5), "error 6"}, {"CLng", CLng, Variant(NAN), "error 6"},
      {"CLngLng", CLngLng, Variant(1e19), "error 6"}, {"CInt", CInt, Variant("-0.5"), "0"},
      {"CInt", CInt, Variant(" 12 "), "12"}, {"CInt", CInt, Variant(""), "error 13"},
      {"CInt", CInt, Variant(int32_t{40000}), "error 6"}, {"CInt", CInt, Variant(true), "-1"},
      {"CLng", CLng, Variant(Currency{25000}), "2"},    // 2.5 -> 2
      {"CLng", CLng, Variant(Currency{-35000}), "-4"},  // -3.5 -> -4
      {"CByte", CByte, Variant(255.4), "255"}, {"CByte", CByte, Variant(int16_t{-1}), "error 6"},
  };
  for (const auto& [name, convert, value, expected] : others) {
    EXPECT_EQ(outcome(convert, value), expected) << name << "(" << ToText(value) << ")";
  }
  for (auto [value, expected] : {std::pair(2.5, 2.0), std::pair(3.5, 4.0), std::pair(-3.5, -4.0)}) {
    EXPECT_EQ(Round(value), expected) << value;
  }
  EXPECT_DOUBLE_EQ(Round(1.2345, 2), 1.23);
}

TEST(IntAndFix, KeepTheNumericType) {
  const std::tuple<Variant (*)(const Variant&), Variant, Variant> cases[] = {  // == compares the type too
      {Int, Variant(1.99), Variant(1.0)}, {Int, Variant(-1.99), Variant(-2.0)}, {Fix, Variant(-1.99), Variant(-1.0)},
      {Int, Variant(true), Variant(int16_t{-1})}, {Int, Variant(), Variant(int16_t{0})},
      {Int, Variant("2.7"), Variant(2.0)}, {Int, Variant::Null(), Variant::Null()},
      {Int, Variant(Currency{-15000}), Variant(Currency{-20000})},
      {Fix, Variant(Currency{-15000}), Variant(Currency{-10000})}, {Int, Variant::Date(3.75), Variant::Date(3.0)},
  };
  for (const auto& [function, value, expected] : cases) {
    EXPECT_EQ(function(value), expected) << ToText(value) << " -> " << ToText(expected);
  }
}

TEST(CStr, EveryVariantType) {
  ScopedSeparator separator('.');
  const std::pair<Variant, const char*> cases[] = {
      {Variant(), ""}, {Variant(true), "True"}, {Variant(false), "False"}, {Variant(int16_t{3}), "3"},
      {Variant(int32_t{-70000}), "-70000"}, {Variant(654322.23456f), "654322.3"}, {Variant(1e8f), "1E+08"},
      {Variant(Currency{15000}), "1.5"}, {Variant(Currency{-123456789}), "-12345.6789"},
      {Variant::Error(5), "Error 5"}, {Variant::Date(0), "12:00:00 AM"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(CStr(value), expected) << expected;
  EXPECT_EQ(ErrorOf([] { CStr(Variant::Null()); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { CStr(Variant::Array({})); }), kErrTypeMismatch);
  EXPECT_EQ(ToText(Variant::Null()), "");
  ScopedSeparator comma(',');
  EXPECT_EQ(CStr(Variant(Currency{15000})), "1,5");
  EXPECT_EQ(CStr(Variant(2.25)), "2,25");
}

TEST(Dates, GeneralDateFormatAndParsing) {
  const std::pair<const char*, const char*> cases[] = {  // the text, its general date (nullptr: not a date)
      {"5/28/2015 6:54:36 PM", "5/28/2015 6:54:36 PM"}, {"2015-05-28 18:54:36", "5/28/2015 6:54:36 PM"},
      {"May 28, 2015", "5/28/2015"}, {"28 May 2015 12:00 AM", "5/28/2015"}, {"12:30 PM", "12:30:00 PM"},
      {"00:00:01", "12:00:01 AM"}, {"1/1/30", "1/1/1930"}, {"1/1/29", "1/1/2029"}, {"13/5/2020", "5/13/2020"},
      {"12/31/1899", "12/31/1899"}, {"1/1/100", "1/1/0100"}, {"2/29/2024", "2/29/2024"}, {"2/29/2023", nullptr},
      {"1/1/10000", nullptr}, {"25:00", nullptr}, {"13 PM", nullptr}, {"hello", nullptr}, {"5", nullptr},
      {"", nullptr},
  };
  for (const auto& [text, formatted] : cases) {
    double value;
    const bool ok = internal::ParseDateText(text, &value);
    ASSERT_EQ(ok, formatted != nullptr) << text;
    if (ok) {
      EXPECT_EQ(FormatGeneralDate(value), formatted) << text;
    }
  }
  // Before 1899-12-30 the time is stored away from zero.
  EXPECT_EQ(FormatGeneralDate(-1.25), "12/29/1899 6:00:00 AM");
  EXPECT_EQ(internal::SplitOleDate(1.0).weekday, 1);  // 1899-12-31 was a Sunday
  EXPECT_DOUBLE_EQ(CDate(Variant("1/2/1900")), 3.0);
  EXPECT_EQ(ErrorOf([] { CDate(Variant("x")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CDate(Variant(1e9)); }), kErrOverflow);
  EXPECT_DOUBLE_EQ(internal::OleDateFromParts(2000, 14, 1), internal::OleDateFromParts(2001, 2, 1));
  EXPECT_DOUBLE_EQ(internal::OleDateFromParts(2000, 0, 1), internal::OleDateFromParts(1999, 12, 1));
  EXPECT_DOUBLE_EQ(internal::OleDateFromParts(2000, 3, 0), internal::OleDateFromParts(2000, 2, 29));
}

// The override, and locale names that need not be installed.
TEST(DecimalSeparator, OverrideThousandsAndLocaleNames) {
  {
    ScopedSeparator comma(',');
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(ThousandsSeparator(), '.');
  }
  ScopedSeparator point('.');
  EXPECT_EQ(ThousandsSeparator(), ',');
  const std::pair<const char*, char> locales[] = {{"de_DE.UTF-8", ','}, {"fr_FR", ','}, {"pt_BR@euro", ','},
                                                  {"de_CH.UTF-8", '.'}, {"en_US.UTF-8", '.'}, {"C.UTF-8", '.'}};
  for (const auto& [name, separator] : locales) {
    EXPECT_EQ(internal::DecimalSeparatorOfLocaleName(name), separator) << name;
  }
}

// The process separator is read once, from the environment of the
// process; each case runs this test binary again in that environment.
TEST(DecimalSeparator, ReadFromTheProcessEnvironment) {
  if (const char* expected = std::getenv("TRELIX_TEST_EXPECTED_SEPARATOR")) {
    EXPECT_EQ(DecimalSeparator(), expected[0]);
    return;
  }
  const std::pair<std::vector<std::string>, char> cases[] = {
      {{}, '.'}, {{"TRELIX_DECIMAL_SEPARATOR=,"}, ','}, {{"TRELIX_DECIMAL_SEPARATOR=,", "LANG=en_US.UTF-8"}, ','},
      {{"TRELIX_DECIMAL_SEPARATOR=ab", "LANG=it_IT.UTF-8"}, ','},  // not one character: ignored
      {{"LC_NUMERIC=de_DE.UTF-8"}, ','}, {{"LANG=de_CH.UTF-8"}, '.'},
      {{"LC_ALL=fr_FR.UTF-8", "LC_NUMERIC=en_US.UTF-8"}, ','}, {{"LC_NUMERIC=C.UTF-8", "LANG=de_DE.UTF-8"}, '.'},
  };
  for (const auto& [settings, expected] : cases) {
    std::vector<std::string> environment = settings;
    environment.push_back(std::string("TRELIX_TEST_EXPECTED_SEPARATOR=") + expected);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::string filter = "--gtest_filter=DecimalSeparator.ReadFromTheProcessEnvironment";
    char* argv[] = {program.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "expected '" << expected << "' with " << environment.front();
  }
}

}  // namespace
}  // namespace trelix::vb
