// The advantage sentence: placeholders, format codes, unlimited sentinels
// and the quiet failure.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_site.h"
#include "frame/object_context.h"

namespace trelix::testing {
namespace {

struct Sentence {
  const char *description, *format, *winner, *winner_text, *loser, *loser_text;
  int32_t schema;
  int16_t language;
  const char* expected;
};

class FormatAdvantageTest : public ::testing::Test {
 protected:
  FormatAdvantageTest() {
    site_.currencies = {{"EUR", "€", Variant(false), 2, 1.0}, {"GBP", "£", Variant(true), 2, 0.85}};
    CompareCall one_vehicle;  // a first comparison loads the "unlimited" text
    one_vehicle.vehicles = "1001";
    one_vehicle.Run(ka_);
  }
  std::string Format(const Sentence& s) {
    return ka_.FormatAdvantage(s.description, s.format, s.winner, s.winner_text, s.loser, "p", s.loser_text,
                               "EUR,GBP", "c", s.schema, s.language);
  }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
};

TEST_F(FormatAdvantageTest, FillsPlaceholdersByFormatCode) {
  for (const Sentence& s : std::vector<Sentence>{
           {"No placeholders", "#2", "10", "", "7", "", 0, 1, "No placeholders"},
           {"=? vs =!", "T", "10", "Ten", "7", "", 0, 1, "Ten vs -"},  // an empty loser text shows "-"
           {"=? vs =!", "t", "10", "", "7", "Seven", 0, 1, " vs Seven"},
           {"by =#", "#2", "10", "", "7.5", "", 0, 3, "by 2,50"},
           {"=# less", "#1", "7", "", "10", "", 0, 1, "3.0 less"},  // the difference is absolute
           {"=? / =!", "#2", "1234.5", "", "-2", "", 0, 1, "1,234.50 / (2.00)"},
           {"=? / =!", "#d", "10.50", "", "abc", "", 0, 1, "10.50 / abc"},
           {"=? / =!", "#X", "10.6", "", "7.4", "", 0, 1, "11 / 7"},  // another code: no decimals
           {"=?=? and =!", "#0", "3", "", "4", "", 0, 1, "33 and 4"},
           {"=? =! =#", "X2", "10", "", "7.5", "", 0, 1, "=? =! 2.50"},  // neither T nor #: the difference only
           {"only =#", "#0", "n/a", "", "8", "", 0, 1, "only 8"},         // one numeric value is the difference
           {"diff: =#", "#D", "a", "", "b", "", 0, 1, "diff: "},
           {"=? =!", "#C", "1000", "", "500", "", 0, 3, "€1.000,00 (850,00 £) €500,00 (425,00 £)"},
           {"=? over =! (=#)", "#0", "9999", "", "500", "", 23502, 1, "unbegrenzt over 500 (unbegrenzt)"},
           {"=? over =! (=#)", "#0", "999", "", "500", "", 123502, 1, "unbegrenzt over 500 (unbegrenzt)"},
           {"=? over =! (=#)", "#0", "9999", "", "500", "", 23503, 1, "9,999 over 500 (9,499)"},
           {"=? over =! (=#)", "#0", "9999999", "", "999999", "", 124003, 1, "unbegrenzt over unbegrenzt (unbegrenzt)"},
           {"=? over =! (=#)", "#0", "5000", "", "999", "", 23602, 1, "5,000 over unbegrenzt (4,001)"},
           {"=? over =!", "T", "9999", "lots", "5", "five", 23502, 1, "lots over five"}}) {
    EXPECT_EQ(Format(s), s.expected) << s.description << " / " << s.format << " / " << s.winner;
  }
  EXPECT_TRUE(log_.Lines().empty());
  KeyAdvantages fresh;  // before any comparison the "unlimited" text is empty
  EXPECT_EQ(fresh.FormatAdvantage("=? km", "#0", "9999", "", "5", "p", "", "EUR", "c", 23502, 1), " km");
}

TEST_F(FormatAdvantageTest, FailsQuietlyWithAnEmptyTextAndAnAbortVote) {
  for (const Sentence& s : std::vector<Sentence>{{"=? wins", "#2", "abc", "", "7", "", 0, 1, ""},
                                                 {"by =#", "#0", "a", "", "b", "", 0, 1, ""},
                                                 {"=? costs", "#C", "10", "", "5", "", 0, 1, ""}}) {
    ObjectContext context;
    ScopedObjectContext scope(context);
    if (std::string(s.format) == "#C") site_.currencies.clear();
    EXPECT_EQ(Format(s), "") << s.description;
    EXPECT_EQ(context.vote(), ObjectContext::Vote::kAbort);
  }
  // Only the failing currency formatter wrote to the log, not FormatAdvantage.
  ASSERT_EQ(log_.Lines().size(), 1u);
  EXPECT_THAT(log_.Lines()[0], ::testing::HasSubstr("Function Format_Currency, line 0"));
}

TEST_F(FormatAdvantageTest, LateBoundCallDefaultsSchemaAndLanguageToZero) {
  std::vector<Variant> args = {Variant("=? and =!"), Variant("#D"), Variant("9999"), Variant(""), Variant("999"),
                               Variant("p"),         Variant(""),   Variant("EUR"),  Variant("c")};
  EXPECT_EQ(vb::ToText(ka_.Invoke("FormatAdvantage", InvokeKind::kMethod, args)), "9999 and 999");
  args.emplace_back(int32_t{23502});
  EXPECT_EQ(vb::ToText(ka_.Invoke("formatadvantage", InvokeKind::kMethod, args)), "unbegrenzt and unbegrenzt");
}

}  // namespace
}  // namespace trelix::testing
