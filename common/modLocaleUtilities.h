#pragma once
// Number formatting in the conventions of a page's language: the language
// id selects a Windows locale identifier, whose separators and grouping come
// from our own locale data (the values Windows XP..7 reported), and the
// number formatting of the system is reproduced with an explicit format
// record.

#include <cstdint>
#include <string>

namespace trelix {

// Locale information types read by GetLocaleText.
inline constexpr int32_t kLocaleDecimalSeparator = 14;   // LOCALE_SDECIMAL
inline constexpr int32_t kLocaleThousandSeparator = 15;  // LOCALE_STHOUSAND
inline constexpr int32_t kLocaleGrouping = 16;           // LOCALE_SGROUPING

// The locale identifier of an application language id (1..40); 0 for id 22
// and every id outside the table.
int32_t LanguageIdToLcid(int16_t language_id);

// The locale information text of `info_type` for `lcid`, or "" when the
// locale or the type is unknown.
std::string GetLocaleText(int32_t lcid, int32_t info_type);

// The value rounded half up at `decimals` (when > 0) and formatted for the
// language's locale: its separators and grouping, a leading zero, negative
// numbers in parentheses. Raises 13 for a locale without grouping data and
// 5 when the system formatting would fail (negative decimals, a value whose
// text has an exponent).
std::string FormatLocaleNumber(double value, int32_t decimals, int16_t language_id);

}  // namespace trelix
