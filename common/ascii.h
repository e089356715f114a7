#pragma once
// Case-insensitive equality for names the system itself defines: SQL and
// SHAPE keywords, member names, ProgIDs, HTTP header tokens. Those are ASCII
// by construction, so folding A-Z is exact; text that comes from users or
// databases compares through the Unicode-aware vb::TextEquals instead.

#include <cstddef>
#include <string_view>

namespace trelix {

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace trelix
