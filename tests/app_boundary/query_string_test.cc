// The service's query-string parser: what a caller sends is what the
// operations see, and anything ambiguous or malformed is refused by name.

#include "app/query_string.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace trelix::app {
namespace {

TEST(QueryStringTest, DecodesPairsAsSent) {
  const std::pair<const char*, std::map<std::string, std::string>> cases[] = {
      {"", {}}, {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=b=c", {{"a", "b=c"}}},  // split at the first "=" only
      {"a=%3D%26&b=x+y%2B", {{"a", "=&"}, {"b", "x y+"}}},
      {"flag&x=", {{"flag", ""}, {"x", ""}}},  // no "=" and an empty value
      {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},  // empty pairs ignored
      {"caf%C3%A9=%E2%82%AC", {{"caf\xC3\xA9", "\xE2\x82\xAC"}}}, {"list=12,15", {{"list", "12,15"}}},
      {"x=%27%20OR%201%3D1", {{"x", "' OR 1=1"}}},  // decoded faithfully; the operations judge it
  };
  for (const auto& [raw, params] : cases) {
    SCOPED_TRACE(raw);
    QueryString query = ParseQueryString(raw);
    ASSERT_TRUE(query.ok()) << *query.error_parameter << " " << query.error_message;
    EXPECT_EQ(query.params, params);
  }
}

TEST(QueryStringTest, RefusesMalformedAndAmbiguousInputNamingTheParameter) {
  const std::pair<const char*, const char*> cases[] = {
      {"a=1&a=1", "a"},             // identical repeat: not merged
      {"a=1&b=2&a=3", "a"},
      {"a=%2", "a"},                // short escape
      {"a=%G1", "a"},               // not hex
      {"a=50%", "a"},
      {"a=%C3%28", "a"},            // bad UTF-8 continuation
      {"a=%ED%A0%80", "a"},         // surrogate
      {"a=%C0%AF", "a"},            // overlong "/"
      {"a=%F4%90%80%80", "a"},      // beyond U+10FFFF
      {"a=%FF", "a"},
      {"a=x%00y", "a"},             // NUL
      {"b%ZZ=1", "b%ZZ"},           // a broken name is reported as sent
      {"%FF=1", "%FF"},
      {"a+b=1&a%20b=2", "a b"},     // the same name spelt two ways
  };
  for (const auto& [raw, parameter] : cases) {
    SCOPED_TRACE(raw);
    QueryString query = ParseQueryString(raw);
    ASSERT_FALSE(query.ok());
    EXPECT_EQ(*query.error_parameter, parameter);
    EXPECT_FALSE(query.error_message.empty());
  }
}

TEST(QueryStringTest, QueryOfTargetCutsPathAndFragment) {
  EXPECT_EQ(QueryOfTarget("/api/specs?a=1&b=2"), "a=1&b=2");
  EXPECT_EQ(QueryOfTarget("/api/specs"), "");
  EXPECT_EQ(QueryOfTarget("/api/specs?"), "");
  EXPECT_EQ(QueryOfTarget("/api/specs?a=1?b#frag"), "a=1?b");
}

}  // namespace
}  // namespace trelix::app
