// Currency texts and conversions from the currency table.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/vb_runtime.h"
#include "fake_site.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

using ::testing::HasSubstr;

class CurrencyTest : public ::testing::Test {
 protected:
  CurrencyTest() {
    site_.currencies = {{"EUR", "€", Variant(false), 2, 1.0},
                        {"GBP", "£", Variant(true), 2, 0.85},
                        {"USD", "$", Variant::Null(), 2, 1.1},
                        {"JPY", "¥", Variant(true), 0, 130}};
  }
  std::string Format(const std::string& codes, double price, int16_t language) {
    return ka_.Format_Currency(codes, price, "demo_project", "sqlite:/x", language);
  }
  std::string Convert(const std::string& to, double price, const std::string& from) {
    return ka_.Convert_Currency(to, price, from, "demo_project", "sqlite:/x");
  }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
};

TEST_F(CurrencyTest, FormatShowsTheFirstCurrencyThenTheOthersInParentheses) {
  struct Case {
    const char* codes;
    double price;
    int16_t language;
    const char* expected;
  };
  const Case cases[] = {
      {"EUR,GBP,USD", 1000, 3, "€1.000,00 (850,00 £ $ 1.100,00)"},  // null symbolafter: symbol first
      {"EUR,GBP,USD,JPY", 1000, 3, "€1.000,00 (850,00 £ $ 1.100,00 130.000 ¥)"},
      {"EUR,GBP", 1000, 1, "€1,000.00 (850.00 £)"},
      {"GBP", 1000, 3, " 1.000,00 £"},           // a single currency: leading blank, no parentheses
      {"EUR, GBP", 1000, 3, "€1.000,00 (850,00 £)"},  // later codes are trimmed
      {"eur,GBP", 1000, 3, "€1.000,00 (850,00 £)"},   // the price's own currency in any case
      // The rate 1/0.85 is kept to 15 digits: 850 back in euros is 999.99999999999965.
      {"GBP,EUR", 850, 3, "850,00£ (€ 1.000,00)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.codes, c.price, c.language), c.expected) << c.codes;
  EXPECT_EQ(site_.Statements().back(),
            "SELECT code, symbol, symbolafter, decimals, conversion, description From currency_symbol");
  EXPECT_EQ(site_.record().calls.back().database, "demo_project");
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(CurrencyTest, FormatFailsOnACodeMissingFromTheTable) {
  // The first code is looked up untrimmed; a missing code fails on reading
  // the row that was not found.
  for (const char* codes : {" EUR,GBP", "EUR,XYZ"}) {
    try {
      Format(codes, 1, 3);
      FAIL() << codes;
    } catch (const ComError& error) {
      EXPECT_EQ(error.number(), 3021) << codes;
      EXPECT_THAT(error.description(), HasSubstr(" in KeyAdvantages, Function Format_Currency at line number 0"));
      EXPECT_EQ(error.source(), "1" + log_.component() + "!KeyAdvantages!Function Format_Currency!0!3021");
    }
  }
  EXPECT_EQ(log_.Lines().size(), 2u);
}

TEST_F(CurrencyTest, ConvertGivesThePlainNumber) {
  EXPECT_EQ(Convert("GBP", 100, "EUR"), "85");
  EXPECT_EQ(Convert("EUR", 85, "GBP"), "100");
  EXPECT_EQ(Convert("USD", 10, "GBP"), "12.9411764705882");  // not rounded to the currency's decimals
  vb::SetDecimalSeparatorOverride(',');
  EXPECT_EQ(Convert("USD", 10, "GBP"), "12,9411764705882");
  vb::SetDecimalSeparatorOverride(std::nullopt);
}

TEST_F(CurrencyTest, CurrencyMethodsCastNoVote) {
  ObjectContext context;
  ScopedObjectContext scope(context);
  Format("EUR,GBP", 1, 1);
  Convert("GBP", 1, "EUR");
  EXPECT_EQ(context.vote(), ObjectContext::Vote::kNone);
}

TEST_F(CurrencyTest, ConvertToTheSameCurrencyReadsNoTable) {
  EXPECT_EQ(Convert("EUR", 100.5, "eur"), "100.5");
  EXPECT_TRUE(site_.record().calls.empty());
}

TEST_F(CurrencyTest, ConvertRaisesConversionErrorForUnknownCodes) {
  struct Case {
    const char* to;
    const char* from;
    const char* missing;
  };
  for (const Case& c : {Case{"EUR", "XYZ", "XYZ"}, Case{"XYZ", "EUR", "XYZ"}, Case{"EUR", "", ""}}) {
    try {
      Convert(c.to, 1, c.from);
      FAIL() << c.to << " from " << c.from;
    } catch (const ComError& error) {
      EXPECT_EQ(error.number(), 1000);
      EXPECT_EQ(error.source(), "1" + log_.component() + "!KeyAdvantages!Function Convert_Currency!0!1000");
      EXPECT_EQ(error.description(), std::string("Currency: ") + c.missing +
                                         " not found in KeyAdvantages, Function Convert_Currency at line number 0");
    }
  }
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_THAT(lines[0], HasSubstr(" program error #1000 (Currency: XYZ not found) occurred in module "
                                  "KeyAdvantages, Function Convert_Currency, line 0."));
}

TEST_F(CurrencyTest, LateBoundCallsCoerceTheirArguments) {
  std::vector<Variant> args = {Variant("GBP"), Variant("100"), Variant("EUR"), Variant("demo_project"),
                               Variant("sqlite:/x")};
  EXPECT_EQ(vb::ToText(ka_.Invoke("convert_currency", InvokeKind::kMethod, args)), "85");
  std::vector<Variant> format_args = {Variant("EUR,GBP"), Variant(1000.0), Variant("demo_project"),
                                      Variant("sqlite:/x"), Variant(int16_t{3})};
  EXPECT_EQ(vb::ToText(ka_.Invoke("Format_Currency", InvokeKind::kMethod, format_args)), "€1.000,00 (850,00 £)");
  std::vector<Variant> too_few = {Variant("EUR")};
  EXPECT_THROW(ka_.Invoke("Format_Currency", InvokeKind::kMethod, too_few), ComError);
}

}  // namespace
}  // namespace trelix::testing
