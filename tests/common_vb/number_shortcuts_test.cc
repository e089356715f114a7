// The cheap routes of the number <-> text conversions held to the general
// ones: same text, same value, bit for bit, on the values where a shortcut
// could go wrong.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"

namespace trelix::vb::internal {
namespace {

std::string Format(double value, int digits, char separator, RealPath path) {
  char text[kRealTextChars];
  return std::string(text, FormatRealTo(value, digits, separator, text, path));
}

TEST(NumberShortcuts, FormatMatchesTheGeneralRounding) {
  std::vector<double> values = {
      -0.0, 1.0, -1.0, 7.0, 1e14, 999999999999999.0, 1e15, -1e15, 1e15 + 2, 9007199254740993.0,
      1e15 - 0.5, 999999999999999.4, 999999999999999.5, 0.1 + 0.2, 0.1 * 3, 1.0 / 3, 2.0 / 3, 0.1, 0.7,
      1.005, 2.675, 123.456789012345678, 1000000000000005.0, 1e-4, 1.5e-5, 1.23456789012345e-5,
      5.6789e-11, 1e-15, 1e100, 1e22, 1e23, 1.7976931348623157e308, 2.2250738585072014e-308,
      4.9406564584124654e-324, 2.225073858507201e-308, -123456.78901234567, 654322.25, 654322.23456,
      1.5e-20, 1.5e-23, 1.23456789012345e-8, 12345678901234.5, 1234567890123.45, 0.1234567890123456,
      // Close to a short decimal without being one.
      1.0000001, 100.0004, 0.30000001, 2.000000000000001, 1.00000000000001, 99.99999999999999, 0.0050000001,
  };
  // Neighbours of powers of ten, where the digit count changes.
  for (int exponent = -20; exponent <= 25; ++exponent) {
    const double power = std::pow(10.0, exponent);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, INFINITY)});
  }
  // Prices and rates as the pages compute them.
  for (int cents = -1000; cents <= 100000; cents += 7) values.push_back(cents / 100.0);
  for (int i = 1; i <= 200; ++i) values.push_back(1.0 / i);
  for (double value : values) {
    for (int digits : {15, 7}) {
      const double shown = digits == 7 ? static_cast<double>(static_cast<float>(value)) : value;
      if (!std::isfinite(shown)) continue;
      for (char separator : {'.', ','}) {
        EXPECT_EQ(Format(shown, digits, separator, RealPath::kShortcuts),
                  Format(shown, digits, separator, RealPath::kGeneral))
            << shown << " at " << digits << " digits";
      }
    }
  }
  EXPECT_EQ(FormatReal(-123456789012345.0, 15), "-123456789012345");  // the whole-number route
  EXPECT_EQ(FormatReal(4.9406564584124654e-324, 15), "4.94065645841247E-324");  // a subnormal rounds exactly
}

TEST(NumberShortcuts, ParseMatchesTheGeneralParser) {
  struct Case {
    const char* text;
    bool plain_with_point;  // taken by the shortcut when '.' is the separator
    bool plain_with_comma;
  };
  const Case cases[] = {
      {"0", true, true}, {"-0", true, true},  // a negative zero
      {"007", true, true}, {"12.5", true, false},  // with ',' the point groups thousands
      {"12,5", false, true}, {"1,000", false, true}, {"-.5", true, false}, {"5.", true, false},
      {"0.30000000000000004", false, false},  // 17 digits above 2^53
      {"2.675", true, false}, {"9007199254740992", true, true},  // 2^53: exact
      {"9007199254740993", false, false},  // above 2^53: rounds, left to the general parser
      {"1234567890.123456789", false, false}, {"0.000000000000000001", true, false},  // 19 digits
      {"0.0000000000000000001", false, false}, {"12345678901234567890", false, false},  // 20 digits
      {"1e5", false, false}, {" 5", false, false}, {"5\t", false, false}, {"+5", false, false}, {"5-", false, false},
      {"1.2.3", false, false}, {"&H10", false, false}, {"$5", false, false}, {"(5)", false, false},
      {"-", false, false}, {".", false, false}, {"", false, false}, {"--5", false, false},
  };
  for (char separator : {'.', ','}) {
    SetDecimalSeparatorOverride(separator);
    for (const Case& c : cases) {
      double general = 0, plain = 0, public_value = 0;
      const ParseStatus status = ParseNumberTextGeneral(c.text, &general);
      EXPECT_EQ(ParsePlainNumber(c.text, separator, &plain), separator == '.' ? c.plain_with_point : c.plain_with_comma)
          << "'" << c.text << "' with " << separator;
      EXPECT_EQ(ParseNumberText(c.text, &public_value), status) << c.text;
      if (status != ParseStatus::kOk) continue;
      EXPECT_EQ(std::memcmp(&public_value, &general, sizeof general), 0)
          << "'" << c.text << "': " << public_value << " vs " << general;
    }
  }
  SetDecimalSeparatorOverride(std::nullopt);
}

TEST(NumberShortcuts, CDblOfTextIsCDblOfAVariantText) {
  auto outcome = [](auto convert) {
    try {
      return std::to_string(convert());
    } catch (const ComError& error) {
      return "error " + std::to_string(error.number());
    }
  };
  for (const char* text : {"12.5", "-0", " 5 ", "1,000", "&HFF", "1e400", "abc", "", "(3)"}) {
    EXPECT_EQ(outcome([&] { return CDblOfText(text); }), outcome([&] { return CDbl(Variant(text)); })) << text;
  }
}

}  // namespace
}  // namespace trelix::vb::internal
