// Text functions (UTF-16 positions, Unicode case) and VB's comparison of
// variants.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_runtime.h"

namespace trelix::vb {
namespace {

template <class Body>
int32_t ErrorOf(Body&& body) {
  try {
    body();
  } catch (const ComError& error) {
    return error.number();
  }
  return 0;
}

// U+1F600 is one code point but two UTF-16 units, as VB counts it.
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";

TEST(TextFunctions, LengthsAndSlicesCountUtf16Units) {
  EXPECT_EQ(Len(""), 0);
  EXPECT_EQ(Len("abc"), 3);
  EXPECT_EQ(Len("Stra\xC3\x9F" "e"), 6);
  EXPECT_EQ(Len(std::string("a") + kEmoji + "b"), 4);
  EXPECT_EQ(Left("test", 5), "test");
  EXPECT_EQ(Left("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
  EXPECT_EQ(Right("\xC3\xA9t\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(Right("abc", 10), "abc");
  EXPECT_EQ(Mid("test", 2, 2), "es");
  EXPECT_EQ(Mid("test", 3), "st");
  EXPECT_EQ(Mid("test", 9), "");
  EXPECT_EQ(Mid(std::string("a") + kEmoji + "b", 2, 2), kEmoji);
  // Cutting a surrogate pair leaves a replacement character, never bad UTF-8.
  EXPECT_EQ(Left(std::string("a") + kEmoji, 2), "a\xEF\xBF\xBD");
  EXPECT_EQ(ErrorOf([] { Mid("test", 0, 3); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { Mid("test", 1, -2); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { Right("test", -1); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { Left("test", -1); }), kErrInvalidProcedureCall);
}

TEST(TextFunctions, TrimAndCase) {
  EXPECT_EQ(Trim("   test    "), "test");
  EXPECT_EQ(RTrim("   test    "), "   test");
  EXPECT_EQ(LTrim("   test    "), "test    ");
  EXPECT_EQ(Trim("\ttest\t"), "\ttest\t");  // blanks only
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(LCase("123aBC?"), "123abc?");
  EXPECT_EQ(UCase("stra\xC3\x9F" "e"), "STRASSE");
  EXPECT_EQ(UCase("\xC3\xA4\xC3\xB6\xC3\xBC"), "\xC3\x84\xC3\x96\xC3\x9C");
  EXPECT_EQ(LCase("\xCE\xA3\xCE\x9F\xCE\xA6"), "\xCF\x83\xCE\xBF\xCF\x86");
}

struct InStrCase {
  int32_t start;
  const char* haystack;
  const char* needle;
  CompareMode compare;
  int32_t expected;
};

TEST(TextFunctions, InStr) {
  const InStrCase cases[] = {
      {1, "abcd", "bc", CompareMode::kBinary, 2},
      {3, "abcdefgh", "FG", CompareMode::kText, 6},
      {3, "abcdefgh", "FG", CompareMode::kBinary, 0},
      {2, "abcABC", "aB", CompareMode::kText, 4},
      {4, "abcdef", "", CompareMode::kBinary, 4},
      {7, "abcdef", "", CompareMode::kBinary, 0},
      {2, "", "abcd", CompareMode::kBinary, 0},
      {1, "", "", CompareMode::kBinary, 0},
      {1, "x\xC3\xA9y\xC3\xA9", "\xC3\xA9", CompareMode::kBinary, 2},
      {3, "x\xC3\xA9y\xC3\xA9", "\xC3\xA9", CompareMode::kBinary, 4},
      {1, "\xF0\x9F\x98\x80" "abc", "b", CompareMode::kBinary, 4},
      {1, "GR\xC3\x9C\xC3\x9F" "E", "\xC3\xBC\xC3\x9F", CompareMode::kText, 3},
      {1, " 12 20 ", " 20 ", CompareMode::kText, 4},
  };
  for (const InStrCase& c : cases) {
    EXPECT_EQ(InStr(c.start, c.haystack, c.needle, c.compare), c.expected)
        << c.start << " '" << c.haystack << "' '" << c.needle << "'";
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
  EXPECT_EQ(Split("abc--def", "-"), (Parts{"abc", "", "def"}));
  EXPECT_EQ(Split("abcZdefZghi", "z", 3), (Parts{"abcZdefZghi"}));
  EXPECT_EQ(Split("abcZdefZghi", "z", 3, CompareMode::kText), (Parts{"abc", "def", "ghi"}));
  EXPECT_EQ(Split("abc-def-ghi", "-", 2), (Parts{"abc", "def-ghi"}));
  EXPECT_EQ(Split("a b"), (Parts{"a", "b"}));
  EXPECT_EQ(Split("", ","), Parts{});
  EXPECT_EQ(Split("abc", ""), (Parts{"abc"}));
  EXPECT_EQ(Split("\xC3\xA9,\xC3\xA8", ","), (Parts{"\xC3\xA9", "\xC3\xA8"}));
  EXPECT_EQ(ErrorOf([] { Split("a", ",", -2); }), kErrInvalidProcedureCall);
}

TEST(TextFunctions, StrCompAndTextEquals) {
  EXPECT_EQ(StrComp("abc", "ABC"), 1);
  EXPECT_EQ(StrComp("ABC", "abc"), -1);
  EXPECT_EQ(StrComp("ABC", "abc", CompareMode::kText), 0);
  EXPECT_EQ(StrComp("ABCD", "ABC", CompareMode::kText), 1);
  EXPECT_EQ(StrComp("", "ABC", CompareMode::kText), -1);
  EXPECT_EQ(StrComp("a", "B"), 1);
  EXPECT_EQ(StrComp("a", "B", CompareMode::kText), -1);
  // UTF-16 order: a supplementary character (surrogates) sorts below U+FFFD.
  EXPECT_EQ(StrComp(kEmoji, "\xEF\xBF\xBD"), -1);
  EXPECT_TRUE(TextEquals("Unlimited", "UNLIMITED"));
  EXPECT_TRUE(TextEquals("\xC3\x84pfel", "\xC3\xA4PFEL"));
  EXPECT_FALSE(TextEquals("abc", "abd"));
  EXPECT_FALSE(TextEquals("abc", "ab"));
}

TEST(CompareVariants, NumbersTextsEmptyAndNull) {
  struct Case {
    Variant a, b;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {Variant(int16_t{1}), Variant(1.0), 0},
      {Variant(int32_t{2}), Variant(int16_t{10}), -1},
      {Variant(true), Variant(int16_t{-1}), 0},
      {Variant(Currency{15000}), Variant(1.5), 0},
      {Variant(int64_t{9007199254740993}), Variant(int64_t{9007199254740992}), 1},
      {Variant("b"), Variant("a"), 1},
      {Variant("a"), Variant("B"), 1},
      {Variant(), Variant(int16_t{0}), 0},
      {Variant(), Variant(""), 0},
      {Variant(), Variant("a"), -1},
      {Variant(), Variant(), 0},
      {Variant("10"), Variant(int16_t{9}), 1},   // numeric text against a number: numerically
      {Variant(int16_t{9}), Variant("10"), -1},
      {Variant("abc"), Variant(int16_t{9}), 1},  // other text sorts after numbers
      {Variant(int16_t{9}), Variant("abc"), -1},
      {Variant::Null(), Variant(int16_t{1}), std::nullopt},
      {Variant(""), Variant::Null(), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Compare(c.a, c.b), c.expected) << ToText(c.a) << " vs " << ToText(c.b);
  }
  EXPECT_EQ(Compare(Variant("a"), Variant("B"), CompareMode::kText), -1);
  EXPECT_EQ(ErrorOf([] { Compare(Variant::Array({}), Variant(int16_t{1})); }), kErrTypeMismatch);
}

TEST(Arrays, BoundsAndErrors) {
  Variant array = Variant::Array({Variant(int16_t{1}), Variant(int16_t{2})}, 1);
  EXPECT_TRUE(IsArray(array));
  EXPECT_EQ(LBound(array), 1);
  EXPECT_EQ(UBound(array), 2);
  EXPECT_EQ(UBound(Variant::Array({})), -1);
  EXPECT_EQ(ErrorOf([] { UBound(Variant("x")); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace trelix::vb
