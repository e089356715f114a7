#pragma once
// Parsing of a request's raw query string into parameters, done here rather
// than by the HTTP library: its parsed form splits "a=b=c" wrongly and
// merges identical repeated pairs, and the service must see exactly what the
// caller sent in order to refuse what is ambiguous.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace trelix::app {

struct QueryString {
  std::map<std::string, std::string> params;
  // The first problem found; params is then incomplete and must not be used.
  std::optional<std::string> error_parameter;
  std::string error_message;

  bool ok() const { return !error_parameter.has_value(); }
};

// Parses the text after "?" (the "?" itself is not part of `raw`): pairs
// separated by "&", each split at its first "="; "+" is a blank and "%XX" a
// byte. A pair without "=" has the empty value, empty pairs ("a=1&&b=2")
// are ignored. Refused, naming the parameter: a malformed escape, a name or
// value that is not UTF-8 or holds a NUL byte, and a name given twice (no
// parameter of the service is a list by repetition: lists are joined by ",").
QueryString ParseQueryString(std::string_view raw);

// The query part of a request target ("/api/specs?a=1" -> "a=1"; "" when
// there is none). A fragment is never sent, but is cut off if present.
std::string_view QueryOfTarget(std::string_view target);

}  // namespace trelix::app
