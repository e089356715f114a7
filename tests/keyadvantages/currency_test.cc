// Currency texts and conversions from the currency table.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_site.h"
#include "frame/object_context.h"

namespace trelix::testing {
namespace {

using ::testing::HasSubstr;

class CurrencyTest : public ::testing::Test {
 protected:
  CurrencyTest() {
    site_.currencies = {{"EUR", "€", Variant(false), 2, 1.0}, {"GBP", "£", Variant(true), 2, 0.85},
                        {"USD", "$", Variant::Null(), 2, 1.1}, {"JPY", "¥", Variant(true), 0, 130}};
  }
  std::string Format(const std::string& codes, double price, int16_t language) {
    return ka_.Format_Currency(codes, price, "demo_project", "c", language);
  }
  std::string Convert(const std::string& to, double price, const std::string& from) {
    return ka_.Convert_Currency(to, price, from, "demo_project", "c");
  }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
};

TEST_F(CurrencyTest, FormatShowsTheFirstCurrencyThenTheOthersInParentheses) {
  ObjectContext context;
  ScopedObjectContext scope(context);
  for (const auto& [codes, price, language, expected] : std::vector<std::tuple<const char*, double, int16_t, const char*>>{
           {"EUR,GBP,USD,JPY", 1000, 3, "€1.000,00 (850,00 £ $ 1.100,00 130.000 ¥)"},  // null symbolafter: before
           {"EUR,GBP", 1000, 1, "€1,000.00 (850.00 £)"},
           {"GBP", 1000, 3, " 1.000,00 £"},                 // a single currency: leading blank, no parentheses
           {"EUR, GBP", 1000, 3, "€1.000,00 (850,00 £)"},   // later codes are trimmed
           {"eur,GBP", 1000, 3, "€1.000,00 (850,00 £)"},    // the price's own currency in any case
           {"GBP,EUR", 850, 3, "850,00£ (€ 1.000,00)"}}) {  // the 15-digit rate gives 999.99999999999965
    EXPECT_EQ(Format(codes, price, language), expected) << codes;
  }
  EXPECT_EQ(site_.record().calls.back().database + ": " + site_.record().calls.back().text,
            "demo_project: SELECT code, symbol, symbolafter, decimals, conversion, description From currency_symbol");
  EXPECT_EQ(Convert("USD", 10, "GBP"), "12.9411764705882");  // not rounded to the currency's decimals
  EXPECT_EQ(Convert("EUR", 100.5, "eur"), "100.5");
  EXPECT_EQ(context.vote(), ObjectContext::Vote::kNone);
  EXPECT_TRUE(log_.Lines().empty());
}

// Column positions are remembered between calls only for the same field
// names: another order reads the right columns, a missing one still fails.
TEST_F(CurrencyTest, ColumnsFollowTheTableOfEachCall) {
  const std::string expected = "€1.000,00 (850,00 £ $ 1.100,00)";
  EXPECT_EQ(Format("EUR,GBP,USD", 1000, 3), expected);
  site_.currency_columns_reversed = true;
  EXPECT_EQ(Format("EUR,GBP,USD", 1000, 3), expected);
  site_.currency_without_conversion = true;
  EXPECT_EQ(Raised([&] { Format("EUR,GBP", 1000, 3); }).number(), 3265);
  site_.currency_columns_reversed = false;
  site_.currency_without_conversion = false;
  EXPECT_EQ(Format("EUR,GBP,USD", 1000, 3), expected);
}

TEST_F(CurrencyTest, ConvertToTheSameCurrencyReadsNoTable) {
  vb::SetDecimalSeparatorOverride(',');
  EXPECT_EQ(Convert("EUR", 100.5, "eur"), "100,5");
  vb::SetDecimalSeparatorOverride(std::nullopt);
  EXPECT_TRUE(site_.record().calls.empty());
}

TEST_F(CurrencyTest, UnknownCodesFailThroughTheErrorLog) {
  // The first code is looked up untrimmed; Format_Currency then fails on
  // reading the row that was not found.
  for (const char* codes : {" EUR,GBP", "EUR,XYZ"}) {
    const ComError error = Raised([&] { Format(codes, 1, 3); });
    EXPECT_EQ(error.number(), 3021) << codes;
    EXPECT_EQ(error.source(), "1" + log_.component() + "!KeyAdvantages!Function Format_Currency!0!3021");
  }
  for (const auto& [to, from, missing] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"EUR", "XYZ", "XYZ"}, {"XYZ", "EUR", "XYZ"}, {"EUR", "", ""}}) {
    const ComError error = Raised([&] { Convert(to, 1, from); });
    EXPECT_EQ(std::tuple(error.number(), error.source(), error.description()),
              std::tuple(1000, "1" + log_.component() + "!KeyAdvantages!Function Convert_Currency!0!1000",
                         "Currency: " + missing + " not found in KeyAdvantages, Function Convert_Currency at line number 0"));
  }
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_THAT(lines[2], HasSubstr(" program error #1000 (Currency: XYZ not found) occurred in module "
                                  "KeyAdvantages, Function Convert_Currency, line 0."));
}

}  // namespace
}  // namespace trelix::testing
