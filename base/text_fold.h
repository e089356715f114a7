#pragma once
// Case-insensitive text as the connector compares it: Unicode full case
// folding (ICU), then code point order. Letter case is ignored, accents are
// not, as under SQL Server's default collation; on ASCII it equals SQLite's
// NOCASE.

#include <string>
#include <string_view>

namespace trelix::base {

// The case-folded form of UTF-8 text (invalid sequences become U+FFFD):
// two texts are equal ignoring case exactly when their folded forms are.
std::string FoldCase(std::string_view utf8);

// FoldCase(utf8) appended to `out` (`utf8` must not point into `out`); ASCII
// text is folded in place there, without a temporary, for loops that build
// keys.
void AppendFoldCase(std::string& out, std::string_view utf8);

// <0, 0, >0: `a` against `b` ignoring case, in code point order.
int CompareFolded(std::string_view a, std::string_view b);

}  // namespace trelix::base
