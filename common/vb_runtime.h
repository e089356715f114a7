#pragma once
// The VB runtime the ported logic relies on: conversions between variants
// with VB's rules and errors, the text functions with VB's semantics, and the
// regional settings of the process.
//
// Lengths and positions are counted as VB counts them: in UTF-16 code units,
// 1-based. Text comparison (vbTextCompare) ignores case Unicode-aware (ICU
// case folding); binary comparison compares code units.
//
// Errors are ComErrors with VB's numbers: 13 type mismatch, 94 invalid use
// of Null, 6 overflow, 11 division by zero, 5 invalid procedure call.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/variant.h"

namespace trelix::vb {

// --- Regional settings of the process --------------------------------------

// The decimal separator of the process: from LC_NUMERIC, overridden by the
// environment variable TRELIX_DECIMAL_SEPARATOR (one character), overridden
// by SetDecimalSeparatorOverride. Default '.'.
char DecimalSeparator();
// The thousands separator that goes with it (',' when the decimal separator
// is '.', otherwise '.').
char ThousandsSeparator();
// Programmatic override (tests, hosts); std::nullopt restores the default.
// Applies to the whole process.
void SetDecimalSeparatorOverride(std::optional<char> separator);

// --- Conversions -----------------------------------------------------------

// CStr: Empty -> "", Null -> error 94, Boolean -> "True"/"False", numbers in
// the general number format, Date in the general date format, Error ->
// "Error N", objects and arrays -> error 13.
std::string CStr(const Variant& value);
// The general number format of a double: shortest form with at most 15
// significant digits, the process decimal separator, exponent form
// ("1E+16", "1.5E-16") outside VB's range (small values stay fixed while
// their digits fit: 0.000015).
std::string FormatGeneralNumber(double value);
// The same text written into `out` (room for kGeneralNumberChars) with
// `separator` as its decimal separator, without allocating; returns the
// length.
inline constexpr size_t kGeneralNumberChars = 48;
size_t FormatGeneralNumberTo(double value, char separator, char* out);
// The general date format ("5/12/2026 2:03:04 PM", date or time part alone
// when the other is zero), as the en-US regional setting writes it.
std::string FormatGeneralDate(double ole_date);
// The current local time as an OLE date (Now).
double Now();

// CDbl: numbers as they are; Boolean -1/0; text parsed locale-aware
// (blanks around, sign, the process decimal and thousands separators,
// exponent, &H/&O literals); "" or non-numeric text -> 13; Null -> 94.
double CDbl(const Variant& value);
// CDbl of a text without wrapping it in a Variant: the same value and the
// same errors as CDbl(Variant(text)).
double CDblOfText(std::string_view text);
// Text to double with the CDbl rules; nullopt where CDbl raises 13.
std::optional<double> ParseNumber(std::string_view text);
// IsNumeric: true for numbers, Boolean and text that CDbl accepts; Empty is
// numeric (0), Null is not.
bool IsNumeric(const Variant& value);

// CInt / CLng / CLngLng: banker's rounding, overflow -> 6.
int16_t CInt(const Variant& value);
int32_t CLng(const Variant& value);
int64_t CLngLng(const Variant& value);
// CByte (0..255) and CSng, with the same rounding and overflow rules.
uint8_t CByte(const Variant& value);
float CSng(const Variant& value);
// CBool: numbers (0 false), "True"/"False" (any case) and numeric text.
bool CBool(const Variant& value);
// CCur: Currency with banker's rounding at 4 decimals.
Currency CCur(const Variant& value);
// CDate: Date from a number or a date text.
double CDate(const Variant& value);
// Int (floor) and Fix (truncate) keep the variant's numeric type; Null stays Null.
Variant Int(const Variant& value);
Variant Fix(const Variant& value);
double Int(double value);
// Round(value, decimals): half to even at `decimals` places; negative
// decimals raise 5.
double Round(double value, int32_t decimals = 0);

// The text form used when a variant is concatenated or put into SQL:
// CStr, except that Null gives "" (as "&" treats it).
std::string ToText(const Variant& value);

// --- Text functions ---------------------------------------------------------

enum class CompareMode { kBinary = 0, kText = 1 };

int32_t Len(std::string_view text);  // UTF-16 code units
std::string Left(std::string_view text, int32_t length);
std::string Right(std::string_view text, int32_t length);
// Mid(text, start) and Mid(text, start, length); start is 1-based (5 when < 1).
std::string Mid(std::string_view text, int32_t start, int32_t length = -1);
std::string Trim(std::string_view text);   // blanks (U+0020) only
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
std::string UCase(std::string_view text);  // full Unicode upper-casing (ICU)
std::string LCase(std::string_view text);

// InStr([start,] haystack, needle, compare): 1-based position of needle at
// or after start, 0 when absent; start when needle is empty.
int32_t InStr(int32_t start, std::string_view haystack, std::string_view needle,
              CompareMode compare = CompareMode::kBinary);
inline int32_t InStr(std::string_view haystack, std::string_view needle,
                     CompareMode compare = CompareMode::kBinary) {
  return InStr(1, haystack, needle, compare);
}
// Replace(expression, find, replacement, start, count, compare).
std::string Replace(std::string_view expression, std::string_view find, std::string_view replacement,
                    int32_t start = 1, int32_t count = -1, CompareMode compare = CompareMode::kBinary);
// Split(expression, delimiter, limit, compare); "" gives an empty array.
std::vector<std::string> Split(std::string_view expression, std::string_view delimiter = " ",
                               int32_t limit = -1, CompareMode compare = CompareMode::kBinary);
// StrComp: -1, 0 or 1.
int StrComp(std::string_view a, std::string_view b, CompareMode compare = CompareMode::kBinary);
// Case-insensitive equality (text compare).
bool TextEquals(std::string_view a, std::string_view b);

// --- Variant operators --------------------------------------------------------

// VB's comparison of two variants (the = < > of VB with Option Compare as
// given): -1, 0, 1, or nullopt when either side is Null. Mixed number/text
// compares as VB does (numeric text against a number compares numerically).
std::optional<int> Compare(const Variant& a, const Variant& b, CompareMode compare = CompareMode::kBinary);

// Arrays.
bool IsArray(const Variant& value);
int32_t LBound(const Variant& value);  // 13 when not an array
int32_t UBound(const Variant& value);  // 13 when not an array

}  // namespace trelix::vb
