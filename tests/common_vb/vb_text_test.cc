// Text functions (UTF-16 positions, Unicode case) and VB's comparison of
// variants.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "support/raised.h"

namespace trelix::vb {
namespace {

// The VB error number `body` raised, 0 when none.
int32_t ErrorOf(const std::function<void()>& body) { return testing::Raised(body).number(); }

// U+1F600 is one code point but two UTF-16 units, as VB counts it.
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";

TEST(TextFunctions, LengthsAndSlicesCountUtf16Units) {
  const std::string emoji_between = std::string("a") + kEmoji + "b";
  for (const auto& [text, length] : std::initializer_list<std::pair<std::string, int32_t>>{
           {"", 0}, {"abc", 3}, {"Stra\xC3\x9F" "e", 6}, {emoji_between, 4}}) {
    EXPECT_EQ(Len(text), length) << text;
  }
  const std::pair<std::string, std::string> slices[] = {
      {Left("test", 5), "test"}, {Left("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t"}, {Right("\xC3\xA9t\xC3\xA9", 1), "\xC3\xA9"},
      {Right("abc", 10), "abc"}, {Mid("test", 2, 2), "es"}, {Mid("test", 3), "st"}, {Mid("test", 9), ""},
      {Mid(emoji_between, 2, 2), kEmoji},
      // Cutting a surrogate pair leaves a replacement character, never bad UTF-8.
      {Left(std::string("a") + kEmoji, 2), "a\xEF\xBF\xBD"},
  };
  for (const auto& [got, expected] : slices) EXPECT_EQ(got, expected);
  for (const auto& call : std::initializer_list<std::function<void()>>{
           [] { Mid("test", 0, 3); }, [] { Mid("test", 1, -2); }, [] { Right("test", -1); }, [] { Left("test", -1); }}) {
    EXPECT_EQ(ErrorOf(call), kErrInvalidProcedureCall);
  }
}

TEST(TextFunctions, TrimAndCase) {
  const std::pair<std::string, std::string> cases[] = {
      {Trim("   test    "), "test"}, {RTrim("   test    "), "   test"}, {LTrim("   test    "), "test    "},
      {Trim("\ttest\t"), "\ttest\t"},  // blanks only
      {Trim("    "), ""}, {LCase("123aBC?"), "123abc?"}, {UCase("stra\xC3\x9F" "e"), "STRASSE"},
      {UCase("\xC3\xA4\xC3\xB6\xC3\xBC"), "\xC3\x84\xC3\x96\xC3\x9C"},
      {LCase("\xCE\xA3\xCE\x9F\xCE\xA6"), "\xCF\x83\xCE\xBF\xCF\x86"},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(TextFunctions, InStr) {
  constexpr CompareMode kBinary = CompareMode::kBinary, kText = CompareMode::kText;
  const std::tuple<int32_t, const char*, const char*, CompareMode, int32_t> cases[] = {
      {1, "abcd", "bc", kBinary, 2}, {3, "abcdefgh", "FG", kText, 6}, {3, "abcdefgh", "FG", kBinary, 0},
      {2, "abcABC", "aB", kText, 4}, {4, "abcdef", "", kBinary, 4}, {7, "abcdef", "", kBinary, 0},
      {2, "", "abcd", kBinary, 0}, {1, "", "", kBinary, 0}, {1, "x\xC3\xA9y\xC3\xA9", "\xC3\xA9", kBinary, 2},
      {3, "x\xC3\xA9y\xC3\xA9", "\xC3\xA9", kBinary, 4}, {1, "\xF0\x9F\x98\x80" "abc", "b", kBinary, 4},
      {1, "GR\xC3\x9C\xC3\x9F" "E", "\xC3\xBC\xC3\x9F", kText, 3}, {1, " 12 20 ", " 20 ", kText, 4},
  };
  for (const auto& [start, haystack, needle, compare, expected] : cases) {
    EXPECT_EQ(InStr(start, haystack, needle, compare), expected) << start << " '" << haystack << "' '" << needle << "'";
  }
  EXPECT_EQ(ErrorOf([] { InStr(0, "a", "a"); }), kErrInvalidProcedureCall);
}

TEST(TextFunctions, Replace) {
  EXPECT_EQ(Replace("xxx", "", "y"), "xxx");
  EXPECT_EQ(Replace("xx testxx(xx)", "xx", "!", 2), "x test!(!)");
  EXPECT_EQ(Replace("xx testxx(xx)", "xx", "!", 1, 1), "! testxx(xx)");
  EXPECT_EQ(Replace("aa testaa(aa)", "A", "!", 1, -1, CompareMode::kText), "!! test!!(!!)");
  EXPECT_EQ(Replace("aa", "A", "!"), "aa");
  EXPECT_EQ(Replace("abc", "b", "x", 9), "");
  EXPECT_EQ(Replace("abc", "b", "x", 1, 0), "abc");
  EXPECT_EQ(Replace("1.5", ".", ","), "1,5");
  EXPECT_EQ(Replace("\xC3\x84pfel \xC3\xA4pfel", "\xC3\xA4", "a", 1, -1, CompareMode::kText), "apfel apfel");
  EXPECT_EQ(Replace("\xC3\xA9t\xC3\xA9", "t", "T", 2), "T\xC3\xA9");
  // Non-ASCII text with an ASCII pattern: the byte path must give what the
  // UTF-16 path gives, including folding to letters and repaired bytes.
  EXPECT_EQ(Replace("Gr\xC3\xB6\xC3\x9F""e =? und =?", "=?", "\xC3\xBC", 1, -1, CompareMode::kText),
            "Gr\xC3\xB6\xC3\x9F""e \xC3\xBC und \xC3\xBC");
  EXPECT_EQ(Replace("=?\xF0\x9F\x98\x80=?", "=?", "!", 1, 1, CompareMode::kText), "!\xF0\x9F\x98\x80=?");
  EXPECT_EQ(Replace("\xE2\x84\xAA k \xC3\xA9", "K", "x", 1, -1, CompareMode::kText), "x x \xC3\xA9");
  EXPECT_EQ(Replace("\xE2\x84\xAA k \xC3\xA9", "k", "x"), "\xE2\x84\xAA x \xC3\xA9");
  EXPECT_EQ(Replace("\xFF=? \xC3\xA9", "=?", "1", 1, -1, CompareMode::kText), "\xEF\xBF\xBD""1 \xC3\xA9");
  EXPECT_EQ(Replace("=? \xC3\xA9", "=?", "\xC3", 1, -1, CompareMode::kText), "\xEF\xBF\xBD \xC3\xA9");
  EXPECT_EQ(ErrorOf([] { Replace("a", "a", "b", 0); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { Replace("a", "a", "b", 1, -2); }), kErrInvalidProcedureCall);
}

TEST(TextFunctions, Split) {
  using Parts = std::vector<std::string>;
  const std::pair<Parts, Parts> cases[] = {
      {Split("abc--def", "-"), {"abc", "", "def"}}, {Split("abcZdefZghi", "z", 3), {"abcZdefZghi"}},
      {Split("abcZdefZghi", "z", 3, CompareMode::kText), {"abc", "def", "ghi"}},
      {Split("abc-def-ghi", "-", 2), {"abc", "def-ghi"}}, {Split("a b"), {"a", "b"}}, {Split("", ","), {}},
      {Split("abc", ""), {"abc"}}, {Split("\xC3\xA9,\xC3\xA8", ","), {"\xC3\xA9", "\xC3\xA8"}},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  EXPECT_EQ(ErrorOf([] { Split("a", ",", -2); }), kErrInvalidProcedureCall);
}

TEST(TextFunctions, StrCompAndTextEquals) {
  constexpr CompareMode kText = CompareMode::kText;
  const std::pair<int32_t, int32_t> cases[] = {
      {StrComp("abc", "ABC"), 1}, {StrComp("ABC", "abc"), -1}, {StrComp("ABC", "abc", kText), 0},
      {StrComp("ABCD", "ABC", kText), 1}, {StrComp("", "ABC", kText), -1}, {StrComp("a", "B"), 1},
      {StrComp("a", "B", kText), -1},
      // UTF-16 order: a supplementary character (surrogates) sorts below U+FFFD.
      {StrComp(kEmoji, "\xEF\xBF\xBD"), -1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  EXPECT_TRUE(TextEquals("Unlimited", "UNLIMITED") && TextEquals("\xC3\x84pfel", "\xC3\xA4PFEL"));
  EXPECT_FALSE(TextEquals("abc", "abd") || TextEquals("abc", "ab"));
}

TEST(CompareVariants, NumbersTextsEmptyAndNull) {
  const std::tuple<Variant, Variant, std::optional<int>> cases[] = {
      {Variant(int16_t{1}), Variant(1.0), 0}, {Variant(int32_t{2}), Variant(int16_t{10}), -1},
      {Variant(true), Variant(int16_t{-1}), 0}, {Variant(Currency{15000}), Variant(1.5), 0},
      {Variant(int64_t{9007199254740993}), Variant(int64_t{9007199254740992}), 1}, {Variant("b"), Variant("a"), 1},
      {Variant("a"), Variant("B"), 1}, {Variant(), Variant(int16_t{0}), 0}, {Variant(), Variant(""), 0},
      {Variant(), Variant("a"), -1}, {Variant(), Variant(), 0},
      {Variant("10"), Variant(int16_t{9}), 1},  // numeric text against a number: numerically
      {Variant(int16_t{9}), Variant("10"), -1},
      {Variant("abc"), Variant(int16_t{9}), 1},  // other text sorts after numbers
      {Variant(int16_t{9}), Variant("abc"), -1}, {Variant::Null(), Variant(int16_t{1}), std::nullopt},
      {Variant(""), Variant::Null(), std::nullopt},
  };
  for (const auto& [a, b, expected] : cases) EXPECT_EQ(Compare(a, b), expected) << ToText(a) << " vs " << ToText(b);
  EXPECT_EQ(Compare(Variant("a"), Variant("B"), CompareMode::kText), -1);
  EXPECT_EQ(ErrorOf([] { Compare(Variant::Array({}), Variant(int16_t{1})); }), kErrTypeMismatch);
}

TEST(Arrays, BoundsAndErrors) {
  Variant array = Variant::Array({Variant(int16_t{1}), Variant(int16_t{2})}, 1);
  EXPECT_TRUE(IsArray(array));
  EXPECT_EQ(std::pair(LBound(array), UBound(array)), std::pair(1, 2));
  EXPECT_EQ(UBound(Variant::Array({})), -1);
  EXPECT_EQ(ErrorOf([] { UBound(Variant("x")); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace trelix::vb
