#pragma once
// The number conventions of the Windows locales the component formats for:
// decimal separator, thousands separator and digit grouping text, as Windows
// XP..7 reported them (the era the site's pages were made for). Texts are
// UTF-8; the no-break space of the French, Nordic and Central European
// locales is U+00A0.

#include <cstdint>
#include <string_view>

namespace trelix {

struct LocaleNumberData {
  int32_t lcid;
  std::string_view decimal_separator;   // LOCALE_SDECIMAL
  std::string_view thousand_separator;  // LOCALE_STHOUSAND
  std::string_view grouping;            // LOCALE_SGROUPING, e.g. "3;0"
};

// The data of `lcid`, or nullptr for a locale outside the table. Locale 0
// is not in the table: it stands for the process's own regional settings,
// which are not fixed data.
const LocaleNumberData* FindLocaleNumberData(int32_t lcid);

}  // namespace trelix
