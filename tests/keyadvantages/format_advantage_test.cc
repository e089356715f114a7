// The advantage sentence: placeholders, format codes, unlimited sentinels
// and the quiet failure.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/vb_runtime.h"
#include "fake_site.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

class FormatAdvantageTest : public ::testing::Test {
 protected:
  FormatAdvantageTest() {
    site_.currencies = {{"EUR", "€", Variant(false), 2, 1.0}, {"GBP", "£", Variant(true), 2, 0.85}};
    // A one-vehicle comparison loads the object's "unlimited" text.
    CompareCall call;
    call.vehicles = "1001";
    call.Run(ka_);
    site_.record().calls.clear();
  }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
};

struct Sentence {
  const char* description;
  const char* format;
  const char* winner;
  const char* winner_text;
  const char* loser;
  const char* loser_text;
  int32_t schema;
  int16_t language;
  const char* expected;
};

TEST_F(FormatAdvantageTest, FillsPlaceholdersByFormatCode) {
  const Sentence cases[] = {
      {"No placeholders here", "#2", "10", "", "7", "", 0, 1, "No placeholders here"},
      {"=? vs =!", "T", "10", "Ten", "7", "", 0, 1, "Ten vs -"},  // empty loser text shows "-"
      {"=? vs =!", "t", "10", "", "7", "Seven", 0, 1, " vs Seven"},
      {"by =#", "#2", "10", "", "7.5", "", 0, 3, "by 2,50"},
      {"by =#", "#2", "10", "", "7.5", "", 0, 1, "by 2.50"},
      {"=# less", "#1", "7", "", "10", "", 0, 1, "3.0 less"},  // the difference is absolute
      {"=? / =!", "#2", "1234.5", "", "-2", "", 0, 1, "1,234.50 / (2.00)"},
      {"=? / =!", "#D", "10.50", "", "abc", "", 0, 1, "10.50 / abc"},
      {"=? / =!", "#d", "10.50", "", "abc", "", 0, 1, "10.50 / abc"},
      {"=? / =!", "#X", "10.6", "", "7.4", "", 0, 1, "11 / 7"},  // another code: no decimals
      {"=? / =!", "#", "10.6", "", "7.4", "", 0, 1, "11 / 7"},
      {"=?=? and =!", "#0", "3", "", "4", "", 0, 1, "33 and 4"},  // every occurrence
      {"=? =! =#", "X2", "10", "", "7.5", "", 0, 1, "=? =! 2.50"},  // neither T nor #: only the difference
      {"=? =! =#", "T", "10", "Ten", "7.5", "", 0, 1, "Ten - 3"},  // "T" leaves an empty code for the difference
      {"only =#", "#0", "12", "", "-", "", 0, 1, "only 12"},       // one numeric value is the difference
      {"only =#", "#0", "n/a", "", "8", "", 0, 1, "only 8"},
      {"diff: =#", "#D", "a", "", "b", "", 0, 1, "diff: "},        // none numeric, "D": empty difference
      {"=? =!", "#C", "1000", "", "500", "", 0, 3, "€1.000,00 (850,00 £) €500,00 (425,00 £)"},
      // Unlimited sentinels by schema.
      {"=? more than =! (=#)", "#0", "9999", "", "500", "", 23502, 1, "unbegrenzt more than 500 (unbegrenzt)"},
      {"=? more than =! (=#)", "#0", "999", "", "500", "", 123502, 1, "unbegrenzt more than 500 (unbegrenzt)"},
      {"=? more than =! (=#)", "#0", "9999", "", "500", "", 23503, 1, "9,999 more than 500 (9,499)"},
      {"=? more than =! (=#)", "#0", "9999999", "", "999999", "", 124003, 1,
       "unbegrenzt more than unbegrenzt (unbegrenzt)"},
      {"=? more than =! (=#)", "#0", "5000", "", "999", "", 23602, 1, "5,000 more than unbegrenzt (4,001)"},
      {"=? more than =!", "T", "9999", "lots", "5", "five", 23502, 1, "lots more than five"},
  };
  for (const Sentence& c : cases) {
    EXPECT_EQ(ka_.FormatAdvantage(c.description, c.format, c.winner, c.winner_text, c.loser, "demo_project",
                                  c.loser_text, "EUR,GBP", "sqlite:/x", c.schema, c.language),
              c.expected)
        << c.description << " / " << c.format << " / " << c.winner << " / " << c.schema;
  }
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(FormatAdvantageTest, UnlimitedTextIsEmptyBeforeTheFirstComparison) {
  KeyAdvantages fresh;
  EXPECT_EQ(fresh.FormatAdvantage("=? km", "#0", "9999", "", "5", "p", "", "EUR", "c", 23502, 1), " km");
  EXPECT_EQ(ka_.UnlimitedText(), "unbegrenzt");
}

TEST_F(FormatAdvantageTest, FailsQuietlyWithAnEmptyTextAndAnAbortVote) {
  const Sentence cases[] = {
      {"=? wins", "#2", "abc", "", "7", "", 0, 1, ""},
      {"by =#", "#0", "a", "", "b", "", 0, 1, ""},
      {"by =#", "#2", "", "", "", "", 0, 1, ""},
  };
  for (const Sentence& c : cases) {
    ObjectContext context;
    ScopedObjectContext scope(context);
    EXPECT_EQ(ka_.FormatAdvantage(c.description, c.format, c.winner, c.winner_text, c.loser, "p", c.loser_text,
                                  "EUR", "c", c.schema, c.language),
              "")
        << c.description;
    EXPECT_EQ(context.vote(), ObjectContext::Vote::kAbort);
  }
  EXPECT_TRUE(log_.Lines().empty()) << "FormatAdvantage writes nothing to the error log";
  // Without an object context there is simply no vote.
  EXPECT_EQ(ka_.FormatAdvantage("=? wins", "#2", "abc", "", "7", "p", "", "EUR", "c", 0, 1), "");
}

TEST_F(FormatAdvantageTest, AFailingCurrencyTextIsLoggedByTheCurrencyFormatterOnly) {
  ObjectContext context;
  ScopedObjectContext scope(context);
  EXPECT_EQ(ka_.FormatAdvantage("=? costs", "#C", "10", "", "5", "demo_project", "", "XYZ", "sqlite:/x", 0, 1), "");
  EXPECT_EQ(context.vote(), ObjectContext::Vote::kAbort);
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::HasSubstr("Function Format_Currency, line 0"));
}

TEST_F(FormatAdvantageTest, LateBoundCallDefaultsSchemaAndLanguageToZero) {
  std::vector<Variant> args = {Variant("=? and =!"), Variant("#D"), Variant("9999"), Variant(""), Variant("999"),
                               Variant("p"),         Variant(""),   Variant("EUR"),  Variant("c")};
  EXPECT_EQ(vb::ToText(ka_.Invoke("FormatAdvantage", InvokeKind::kMethod, args)), "9999 and 999");
  args.push_back(Variant(int32_t{23502}));
  EXPECT_EQ(vb::ToText(ka_.Invoke("FormatAdvantage", InvokeKind::kMethod, args)), "unbegrenzt and unbegrenzt");
}

}  // namespace
}  // namespace trelix::testing
