// The three rule families, decided through Compare on sites held in memory:
// who wins, which record gives the winner its value, what the sentence shows
// and which option of the loser would match. Rows: row_id, description,
// winner, option_id, schema_id, option_on_competitor.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_site.h"

namespace trelix::testing {
namespace {

Variant Options(std::vector<int32_t> ids) {
  std::vector<Variant> items(ids.begin(), ids.end());
  return Variant::Array(std::move(items));
}

struct RuleCase {
  const char* name;
  Advantage advantage;
  std::vector<SpecRow> specs;
  std::vector<ResultRow> expected;
  std::vector<int32_t> base_options = {};  // chosen on 1001 (with an empty list for 1002)
  bool display_optional = false;
};

class RulesTest : public ::testing::Test {
 protected:
  void Check(const std::vector<RuleCase>& cases) {
    for (const RuleCase& c : cases) {
      site_.advantages = {c.advantage};
      site_.specs = c.specs;
      call_.base_options = c.base_options.empty() ? Variant() : Options(c.base_options);
      call_.competitor_options = c.base_options.empty() ? Variant() : Options({});
      call_.display_optional = c.display_optional;
      result_ = call_.Run(ka_);
      EXPECT_EQ(Rows(*result_), c.expected) << c.name;
    }
  }

  FakeSite site_;
  KeyAdvantages ka_;
  CompareCall call_;
  RecordsetRef result_;
};

TEST_F(RulesTest, Presence) {
  const Advantage any{1, 10, "@"};
  const Advantage at_f{1, 10, "@", "T", "=? against =!", "", "F"};
  Check({
      {"base has it", any, {Standard(1001, 10, "S", "Yes"), Standard(1002, 10, "-")}, {{"1", "Yes against -", "1001", "0", "10", "0"}}},
      {"competitor has it", any, {Standard(1001, 10, "-"), Standard(1002, 10, "S", "Yes")}, {{"1", "Yes against -", "1002", "0", "10", "0"}}},
      {"both have it", any, {Standard(1001, 10, "S"), Standard(1002, 10, "S")}, {}},
      {"required value, any case", {1, 10, "@", "T", "=? against =!", "Y"}, {Standard(1001, 10, "N"), Standard(1002, 10, "y", "Yes")},
       {{"1", "Yes against -", "1002", "0", "10", "0"}}},
      {"competitor without a record", any, {Standard(1001, 10, "S")}, {}},
      {"its parent recorded as not available", any, {At(Standard(1001, 10, "S"), "-", 5), Standard(1002, 5, "-")},
       {{"1", " against -", "1001", "0", "10", "0"}}},
      {"its parent recorded as available", any, {At(Standard(1001, 10, "S"), "-", 5), Standard(1002, 5, "S")}, {}},
      {"a standard record at another location", at_f, {At(Standard(1001, 10, "S"), "F"), At(Standard(1002, 10, "S"), "R")},
       {{"1", " against -", "1001", "0", "10", "0"}}},
      {"no record at all at a location", at_f, {At(Standard(1001, 10, "S"), "F")}, {}},
      {"the parent at another location", at_f, {At(Standard(1001, 10, "S"), "F", 5), At(Standard(1002, 5, "S"), "R")},
       {{"1", " against -", "1001", "0", "10", "0"}}},
      {"an option not chosen", any, {Standard(1001, 10, "-"), Option(1001, 5, 10, "S", 300), Standard(1002, 10, "-")}, {}},
      {"a chosen option", any, {Standard(1001, 10, "-"), Option(1001, 5, 10, "S", 300), Standard(1002, 10, "-")},
       {{"1", " against -", "1001", "5", "10", "0"}}, {5}},
      {"the loser's cheapest matching option", any,
       {Standard(1001, 10, "S"), Standard(1002, 10, "-"), Option(1002, 7, 10, "S", 500), Option(1002, 8, 10, "S", 300),
        Option(1002, 9, 10, "-", 100)},
       {{"1", " against -", "1001", "0", "10", "8"}}},
  });
}

TEST_F(RulesTest, PresenceOptionalAdvantagesGoToTheCheaperOption) {
  const Advantage any{1, 10, "@"};
  auto offers = [](double base_price, double competitor_price) {
    std::vector<SpecRow> rows = {Standard(1001, 10, "-"), Standard(1002, 10, "-")};
    if (base_price >= 0) rows.push_back(Option(1001, 7, 10, "S", base_price));
    if (competitor_price >= 0) rows.push_back(Option(1002, 8, 10, "S", competitor_price));
    return rows;
  };
  Check({
      {"same price", any, offers(300, 300), {}, {}, true},
      {"competitor cheaper", any, offers(500, 300), {{"1", " against -", "1002", "8", "10", "7"}}, {}, true},
      {"base cheaper", any, offers(300, 500), {{"1", " against -", "1001", "7", "10", "8"}}, {}, true},
      {"only the competitor offers it", any, offers(-1, 900), {{"1", " against -", "1002", "8", "10", "0"}}, {}, true},
      {"not asked for", any, offers(300, 500), {}, {}, false},
  });
  Check({{"cheaper", any, offers(300, 500), {{"1", " against -", "1001", "7", "10", "8"}}, {}, true}});
  result_->MoveFirst();
  EXPECT_TRUE(vb::CBool(result_->Value("optionaladvantage")));
  Check({{"standard", any, {Standard(1001, 10, "S"), Standard(1002, 10, "-")}, {{"1", " against -", "1001", "0", "10", "0"}}, {}, true}});
  result_->MoveFirst();
  EXPECT_FALSE(vb::CBool(result_->Value("optionaladvantage")));
}

TEST_F(RulesTest, Numeric) {
  auto rule = [](const char* text, const char* format = "#1", const char* sentence = "=? vs =! (=#)") {
    return Advantage{1, 10, text, format, sentence};
  };
  auto values = [](const char* base, const char* competitor) {
    return std::vector<SpecRow>{Standard(1001, 10, base), Standard(1002, 10, competitor)};
  };
  Check({
      {"#< lower wins", rule("#<"), values("7.2", "6.9"), {{"1", "6.9 vs 7.2 (0.3)", "1002", "0", "10", "0"}}},
      {"#> higher wins", rule("#>"), values("7.2", "6.9"), {{"1", "7.2 vs 6.9 (0.3)", "1001", "0", "10", "0"}}},
      {"under 5 percent", rule("#<5%"), values("7.2", "6.9"), {}},
      {"over 4 percent", rule("#<4%"), values("7.2", "6.9"), {{"1", "6.9 vs 7.2 (0.3)", "1002", "0", "10", "0"}}},
      {"difference equal to the threshold", rule("#>3"), values("10", "7"), {}},
      {"difference above the threshold", rule("#>2.5"), values("10", "7"), {{"1", "10.0 vs 7.0 (3.0)", "1001", "0", "10", "0"}}},
      {"equal", rule("#>"), values("7", "7"), {}},
      {"not a number", rule("#>"), values("-", "7"), {}},
      // The formula after "=" converts both values; the code before it is not
      // a count of decimals, so they print without decimals.
      {"formula", rule("#>", "#1=?*2.54", "=? vs =!"), values("10", "12"), {{"1", "30 vs 25", "1002", "0", "10", "0"}}},
      {"a chosen option and the loser's better option", rule("#>", "#0", "=? vs =!"),
       {Standard(1001, 10, "8"), Option(1001, 5, 10, "10", 50), Standard(1002, 10, "7"), Option(1002, 7, 10, "12", 900),
        Option(1002, 8, 10, "11", 400), Option(1002, 9, 10, "09", 10)},
       {{"1", "10 vs 7", "1001", "5", "10", "8"}}, {5}},
  });
  // Stored numbers with a point read in a comma locale.
  vb::SetDecimalSeparatorOverride(',');
  Check({{"comma locale", rule("#>", "#D", "=? vs =!"), values("1.5", "1.25"), {{"1", "1,5 vs 1,25", "1001", "0", "10", "0"}}}});
  vb::SetDecimalSeparatorOverride(std::nullopt);
  // The price schema compares the total prices when the price field names it.
  call_.base_total = 20000;
  call_.competitor_total = 25000;
  const Advantage price{1, 90001, "#<", "#0", "=? vs =!"};
  const std::vector<SpecRow> stored = {Standard(1001, 90001, "30000"), Standard(1002, 90001, "10000")};
  call_.price_field = "pf_90001";
  Check({{"total prices", price, stored, {{"1", "20,000 vs 25,000", "1001", "0", "90001", "0"}}}});
  call_.price_field = "";
  Check({{"stored prices", price, stored, {{"1", "10,000 vs 30,000", "1002", "0", "90001", "0"}}}});
}

TEST_F(RulesTest, NumericComputationErrorsFailTheComparison) {
  ScopedErrorLog log;
  for (const auto& [rule, format, number] : std::vector<std::tuple<const char*, const char*, int32_t>>{
           {"#>5%", "#0", kErrDivisionByZero}, {"#>", "#0=?", kErrTypeMismatch}, {"#>x", "#0", kErrTypeMismatch}}) {
    site_.advantages = {{1, 10, rule, format}};
    site_.specs = {Standard(1001, 10, "0"), Standard(1002, 10, "3")};
    const ComError error = Raised([&] { call_.Run(ka_); });
    EXPECT_EQ(error.number(), number) << rule;
    EXPECT_THAT(error.description(), ::testing::EndsWith(" in KeyAdvantages, Function Compare at line number 0"));
  }
}

TEST_F(RulesTest, Ranking) {
  const Advantage ranks{1, 10, "S,O"};
  auto values = [](const char* base, const char* competitor) {
    return std::vector<SpecRow>{Standard(1001, 10, base, std::string("t") + base),
                                Standard(1002, 10, competitor, std::string("t") + competitor)};
  };
  Check({
      {"competitor better", ranks, values("O", "S"), {{"1", "tS against tO", "1002", "0", "10", "0"}}},
      {"base better", ranks, values("S", "O"), {{"1", "tS against tO", "1001", "0", "10", "0"}}},
      {"tie", ranks, values("S", "S"), {}},
      {"no listed value", ranks, values("X", "Y"), {}},
      {"second value", ranks, values("-", "O"), {{"1", "tO against t-", "1002", "0", "10", "0"}}},
      {"base without a record", ranks, {Standard(1002, 10, "S")}, {}},
      {"a chosen option brings the value", ranks, {Standard(1001, 10, "O"), Option(1001, 5, 10, "S", 100), Standard(1002, 10, "O")},
       {{"1", " against -", "1001", "5", "10", "0"}}, {5}},
      // A tie on a better value ends the search before the option's "O".
      {"tie first", ranks, {Standard(1001, 10, "S"), Option(1001, 5, 10, "O", 100), Standard(1002, 10, "S")}, {}, {5}},
  });
}

}  // namespace
}  // namespace trelix::testing
