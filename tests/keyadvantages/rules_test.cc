// The three rule families, decided through Compare on sites held in memory:
// who wins, which record gives the winner its value, and what the sentence
// shows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/vb_runtime.h"
#include "fake_site.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RulesTest : public ::testing::Test {
 protected:
  std::vector<ResultRow> Compare() {
    result_ = call_.Run(ka_);
    return Rows(*result_);
  }
  // "optionaladvantage" of the first row.
  bool OptionalAdvantage() {
    result_->MoveFirst();
    return vb::CBool(result_->Value("optionaladvantage"));
  }
  static Variant Options(std::vector<Variant> ids) { return Variant::Array(std::move(ids)); }

  ScopedErrorLog log_;
  FakeSite site_;
  KeyAdvantages ka_;
  CompareCall call_;
  RecordsetRef result_;
};

// --- Presence -----------------------------------------------------------------

TEST_F(RulesTest, PresenceTheVehicleWithTheFeatureWins) {
  site_.advantages = {{1, 10, "@"}};
  site_.specs = {Standard(1001, 10, "S", "Yes"), Standard(1002, 10, "-", "No")};
  call_.display_optional = true;
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "Yes against -", "1001", "0", "10", "0", "ENG"}));
  EXPECT_FALSE(OptionalAdvantage());

  site_.specs = {Standard(1001, 10, "-"), Standard(1002, 10, "S", "Yes")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "Yes against -", "1002", "0", "10", "0", "ENG"}));

  site_.specs = {Standard(1001, 10, "S"), Standard(1002, 10, "S")};
  EXPECT_THAT(Compare(), IsEmpty()) << "both have it";
}

TEST_F(RulesTest, PresenceWithARequiredValue) {
  site_.advantages = {{1, 10, "@", "T", "=? against =!", "Y"}};
  site_.specs = {Standard(1001, 10, "N", "No"), Standard(1002, 10, "y", "Yes")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "Yes against -", "1002", "0", "10", "0", "ENG"}));
}

TEST_F(RulesTest, PresenceMissingDataPreventsAWinnerUnlessTheDataShowsTheLack) {
  site_.advantages = {{1, 10, "@"}};
  site_.specs = {Standard(1001, 10, "S")};
  EXPECT_THAT(Compare(), IsEmpty()) << "no record of the competitor: nothing known";

  // The parent feature recorded as not available shows the competitor lacks it.
  site_.specs = {WithParent(Standard(1001, 10, "S"), 5), Standard(1002, 5, "-")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "0", "ENG"}));
  site_.specs = {WithParent(Standard(1001, 10, "S"), 5), Standard(1002, 5, "S")};
  EXPECT_THAT(Compare(), IsEmpty());
}

TEST_F(RulesTest, PresenceAtALocation) {
  site_.advantages = {{1, 10, "@", "T", "=? against =!", "", "F"}};
  // A standard record at another location shows the competitor lacks it here.
  site_.specs = {At(Standard(1001, 10, "S"), "F"), At(Standard(1002, 10, "S"), "R")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "0", "ENG"}));
  site_.specs = {At(Standard(1001, 10, "S"), "F")};
  EXPECT_THAT(Compare(), IsEmpty());
  // A separate parent recorded at another location.
  site_.specs = {WithParent(At(Standard(1001, 10, "S"), "F"), 5), At(Standard(1002, 5, "S"), "R")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "0", "ENG"}));
}

TEST_F(RulesTest, PresenceCountsChosenOptionsOnly) {
  site_.advantages = {{1, 10, "@"}};
  site_.specs = {Standard(1001, 10, "-"), Option(1001, 5, 10, "S", 300), Standard(1002, 10, "-")};
  EXPECT_THAT(Compare(), IsEmpty()) << "option 5 is not chosen";
  call_.base_options = Options({Variant(int32_t{5})});
  call_.competitor_options = Options({});
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", " against -", "1001", "5", "10", "0", "ENG"}));
}

TEST_F(RulesTest, PresenceOptionalAdvantagesGoToTheCheaperOption) {
  site_.advantages = {{1, 10, "@"}};
  call_.display_optional = true;
  struct Case {
    double base_price;  // < 0: no option
    double competitor_price;
    const char* winner;
    const char* option;
  };
  for (const Case& c : {Case{300, 300, nullptr, nullptr}, Case{500, 300, "1002", "8"}, Case{300, 500, "1001", "7"},
                        Case{-1, 900, "1002", "8"}, Case{900, -1, "1001", "7"}}) {
    site_.specs = {Standard(1001, 10, "-"), Standard(1002, 10, "-")};
    if (c.base_price >= 0) site_.specs.push_back(Option(1001, 7, 10, "S", c.base_price));
    if (c.competitor_price >= 0) site_.specs.push_back(Option(1002, 8, 10, "S", c.competitor_price));
    const std::vector<ResultRow> rows = Compare();
    if (c.winner == nullptr) {
      EXPECT_THAT(rows, IsEmpty()) << "a tie on price";
      continue;
    }
    ASSERT_EQ(rows.size(), 1u) << c.base_price << " / " << c.competitor_price;
    EXPECT_EQ(rows[0].winner, c.winner);
    EXPECT_EQ(rows[0].option_id, c.option);
    EXPECT_TRUE(OptionalAdvantage());
  }
  call_.display_optional = false;
  EXPECT_THAT(Compare(), IsEmpty()) << "options that are not chosen count only on request";
}

TEST_F(RulesTest, CompetitorOptionIsTheCheapestMatchingOptionOfTheLoser) {
  site_.advantages = {{1, 10, "@"}};
  site_.specs = {Standard(1001, 10, "S"), Standard(1002, 10, "-"), Option(1002, 7, 10, "S", 500),
                 Option(1002, 8, 10, "S", 300), Option(1002, 9, 10, "-", 100)};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", " against -", "1001", "0", "10", "8", "ENG"}));
}

// --- Numeric ------------------------------------------------------------------

TEST_F(RulesTest, NumericRulesWithThresholds) {
  struct Case {
    const char* rule;
    const char* base;
    const char* competitor;
    const char* winner;  // nullptr: no row
  };
  const Case cases[] = {
      {"#<", "7.2", "6.9", "1002"}, {"#>", "7.2", "6.9", "1001"}, {"#<5%", "7.2", "6.9", nullptr},
      {"#<4%", "7.2", "6.9", "1002"}, {"#>3", "10", "7", nullptr},  // a difference equal to the threshold
      {"#>2.5", "10", "7", "1001"},  {"#>", "7", "7", nullptr},      {"#>", "-", "7", nullptr},
      {"#<", "7", "n/a", nullptr},
  };
  for (const Case& c : cases) {
    site_.advantages = {{1, 10, c.rule, "#1", "=? vs =! (=#)"}};
    site_.specs = {Standard(1001, 10, c.base), Standard(1002, 10, c.competitor)};
    const std::vector<ResultRow> rows = Compare();
    if (c.winner == nullptr) {
      EXPECT_THAT(rows, IsEmpty()) << c.rule << " " << c.base << " " << c.competitor;
    } else {
      ASSERT_EQ(rows.size(), 1u) << c.rule << " " << c.base << " " << c.competitor;
      EXPECT_EQ(rows[0].winner, c.winner) << c.rule;
    }
  }
  site_.advantages = {{1, 10, "#<", "#1", "=? vs =! (=#)"}};
  site_.specs = {Standard(1001, 10, "7.2"), Standard(1002, 10, "6.9")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "6.9 vs 7.2 (0.3)", "1002", "0", "10", "0", "ENG"}));
}

TEST_F(RulesTest, NumericValuesWithAPointAreReadInTheRegionalSettings) {
  vb::SetDecimalSeparatorOverride(',');
  site_.advantages = {{1, 10, "#>", "#D", "=? vs =!"}};
  site_.specs = {Standard(1001, 10, "1.5"), Standard(1002, 10, "1.25")};
  const std::vector<ResultRow> rows = Compare();
  vb::SetDecimalSeparatorOverride(std::nullopt);
  EXPECT_THAT(rows, ElementsAre(ResultRow{"1", "1,5 vs 1,25", "1001", "0", "10", "0", "ENG"}));
}

TEST_F(RulesTest, NumericFormulaConvertsBothValues) {
  // The formula follows "=": inches to centimetres. The code before it is not
  // a number of decimals, so the values print without decimals.
  site_.advantages = {{1, 10, "#>", "#1=?*2.54", "=? vs =!"}};
  site_.specs = {Standard(1001, 10, "10"), Standard(1002, 10, "12")};
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "30 vs 25", "1002", "0", "10", "0", "ENG"}));
}

TEST_F(RulesTest, PriceSchemaComparesTheTotalPrices) {
  site_.advantages = {{1, 90001, "#<", "#0", "=? vs =!"}};
  site_.specs = {Standard(1001, 90001, "30000"), Standard(1002, 90001, "10000")};
  call_.price_field = "pf_90001";
  call_.base_total = 20000;
  call_.competitor_total = 25000;
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "20,000 vs 25,000", "1001", "0", "90001", "0", "ENG"}));
  call_.price_field = "";  // the option price field then names no schema
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "10,000 vs 30,000", "1002", "0", "90001", "0", "ENG"}));
}

TEST_F(RulesTest, NumericWinnerKeepsTheChosenOptionAndFindsTheLosersBetterOption) {
  site_.advantages = {{1, 10, "#>", "#0", "=? vs =!"}};
  site_.specs = {Standard(1001, 10, "8"),       Option(1001, 5, 10, "10", 50),   Standard(1002, 10, "7"),
                 Option(1002, 7, 10, "12", 900), Option(1002, 8, 10, "11", 400), Option(1002, 9, 10, "09", 10)};
  call_.base_options = Options({Variant(int32_t{5})});
  call_.competitor_options = Options({});
  EXPECT_THAT(Compare(), ElementsAre(ResultRow{"1", "10 vs 7", "1001", "5", "10", "8", "ENG"}));
}

TEST_F(RulesTest, NumericComputationErrorsFailTheComparison) {
  struct Case {
    const char* rule;
    const char* format;
    const char* base;
    int32_t number;
  };
  for (const Case& c : {Case{"#>5%", "#0", "0", kErrDivisionByZero}, Case{"#>", "#0=?", "4", kErrTypeMismatch},
                        Case{"#>x", "#0", "4", kErrTypeMismatch}}) {
    site_.advantages = {{1, 10, c.rule, c.format}};
    site_.specs = {Standard(1001, 10, c.base), Standard(1002, 10, "3")};
    try {
      Compare();
      FAIL() << c.rule;
    } catch (const ComError& error) {
      EXPECT_EQ(error.number(), c.number) << c.rule;
      EXPECT_THAT(error.description(), ::testing::EndsWith(" in KeyAdvantages, Function Compare at line number 0"));
    }
  }
}

// --- Ranking ------------------------------------------------------------------

TEST_F(RulesTest, RankingTheBestListedValueWins) {
  struct Case {
    const char* base;  // nullptr: no record
    const char* competitor;
    const char* winner;
  };
  for (const Case& c : {Case{"O", "S", "1002"}, Case{"S", "O", "1001"}, Case{"S", "S", nullptr},
                        Case{"X", "Y", nullptr}, Case{"-", "O", "1002"}, Case{nullptr, "S", nullptr}}) {
    site_.advantages = {{1, 10, "S,O", "T", "=? against =!"}};
    site_.specs = {Standard(1002, 10, c.competitor, std::string("t") + c.competitor)};
    if (c.base != nullptr) site_.specs.push_back(Standard(1001, 10, c.base, std::string("t") + c.base));
    const std::vector<ResultRow> rows = Compare();
    if (c.winner == nullptr) {
      EXPECT_THAT(rows, IsEmpty()) << (c.base ? c.base : "none") << " / " << c.competitor;
      continue;
    }
    ASSERT_EQ(rows.size(), 1u) << c.base << " / " << c.competitor;
    EXPECT_EQ(rows[0].winner, c.winner);
    const bool base_wins = std::string(c.winner) == "1001";
    EXPECT_EQ(rows[0].description, std::string("t") + (base_wins ? c.base : c.competitor) + " against t" +
                                       (base_wins ? c.competitor : c.base));
  }
}

TEST_F(RulesTest, RankingTakesTheOptionThatBringsTheValue) {
  site_.advantages = {{1, 10, "S,O", "T", "=? against =!"}};
  site_.specs = {Standard(1001, 10, "O"), Option(1001, 5, 10, "S", 100), Standard(1002, 10, "O")};
  call_.base_options = Options({Variant(int32_t{5})});
  call_.competitor_options = Options({});
  const std::vector<ResultRow> rows = Compare();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].winner, "1001");
  EXPECT_EQ(rows[0].option_id, "5");
}

TEST_F(RulesTest, RankingTieOnABetterValueEndsTheSearch) {
  // Both have "S"; the base's chosen option "O" further down the list must
  // not decide it.
  site_.advantages = {{1, 10, "S,O", "T", "=? against =!"}};
  site_.specs = {Standard(1001, 10, "S"), Option(1001, 5, 10, "O", 100), Standard(1002, 10, "S")};
  call_.base_options = Options({Variant(int32_t{5})});
  call_.competitor_options = Options({});
  EXPECT_THAT(Compare(), IsEmpty());
}

}  // namespace
}  // namespace trelix::testing
