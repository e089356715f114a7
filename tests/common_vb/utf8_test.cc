// Strict UTF-8 checking and repair, including where an invalid byte falls
// against the eight-byte steps of the ASCII scan.

#include "common/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace trelix {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Utf8, SequencesAcceptedAndRefused) {
  struct Case {
    const char* label;
    std::string text;
    const char* repaired;  // nullptr: valid, left as it is
  };
  const Case cases[] = {
      {"empty", "", nullptr},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x97", nullptr},
      {"the last code point", "\xF4\x8F\xBF\xBF", nullptr},
      {"just below the surrogates", "\xED\x9F\xBF", nullptr},
      {"overlong two bytes", "a\xC0\xAF" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
      {"overlong three bytes", "\xE0\x80\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"a surrogate", "\xED\xA0\x80z", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"no lead byte", "\xF5\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"a stray continuation byte", "ab\x80" "cd", "ab\xEF\xBF\xBD" "cd"},
      {"truncated at the end", "abc\xE2\x82", "abc\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"a lead byte before ASCII", "\xC3" "abcdefghij", "\xEF\xBF\xBD" "abcdefghij"},
      {"a NUL byte is valid", std::string("a\0b", 3), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(IsValidUtf8(c.text), c.repaired == nullptr);
    EXPECT_EQ(SanitizeUtf8(c.text), c.repaired ? std::string(c.repaired) : c.text);
  }
}

TEST(Utf8, AnInvalidByteIsFoundWhereverItFalls) {
  const std::string ascii = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (size_t length = 1; length <= ascii.size(); ++length) {
    for (size_t at = 0; at < length; ++at) {
      SCOPED_TRACE("length " + std::to_string(length) + ", at " + std::to_string(at));
      std::string text = ascii.substr(0, length);
      text[at] = '\xFF';
      EXPECT_FALSE(IsValidUtf8(text));
      EXPECT_EQ(SanitizeUtf8(text), ascii.substr(0, at) + kReplacement + ascii.substr(at + 1, length - at - 1));
      EXPECT_EQ(AsciiRunEnd(text, 0), at);
      // A valid sequence in the same place is kept.
      text.replace(at, 1, "\xC3\xA9");
      EXPECT_TRUE(IsValidUtf8(text));
      EXPECT_EQ(SanitizeUtf8(text), text);
    }
  }
  EXPECT_EQ(AsciiRunEnd(ascii, 30), ascii.size());
}

}  // namespace
}  // namespace trelix
