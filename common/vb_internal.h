#pragma once
// Helpers shared by the VB runtime and the VBScript engine; not an API for
// the rest of the component (use vb_runtime.h there).

#include <cstdint>
#include <string>
#include <string_view>

#include "common/variant.h"

namespace trelix::vb::internal {

// --- Numbers ------------------------------------------------------------------

// The decimal separator the conventions of a POSIX locale name use, for
// locales the system has not installed ("de_DE.UTF-8" -> ',').
char DecimalSeparatorOfLocaleName(std::string_view name);

enum class ParseStatus : uint8_t { kOk, kMismatch, kOverflow };

// The automation parser behind CDbl of a text (locale-aware). kMismatch and
// kOverflow are what CDbl reports as errors 13 and 6.
ParseStatus ParseNumberText(std::string_view text, double* out);

// A real in the general number format with `digits` significant digits
// (15 for Double, 7 for Single). Raises 6 for infinities and NaN.
std::string FormatReal(double value, int digits);

// The same text written into `out` (room for kRealTextChars) with
// `separator` as the decimal separator; returns its length. kShortcuts takes
// the cheap routes where they give the same digits (whole numbers below
// 10^digits through integer conversion, otherwise the shortest round-trip
// digits when they are few enough); kGeneral always rounds the exact value,
// which the tests use to hold the shortcuts to it.
enum class RealPath : uint8_t { kShortcuts, kGeneral };
inline constexpr size_t kRealTextChars = 48;  // kGeneralNumberChars of vb_runtime.h
size_t FormatRealTo(double value, int digits, char separator, char* out, RealPath path = RealPath::kShortcuts);

// The parser's shortcut for the common text "[-]digits[<decimal>digits]"
// with at most 19 digits whose value is exact in a double; false (leaving
// `*out` alone) for any other text, which then takes the general parser.
bool ParsePlainNumber(std::string_view text, char decimal, double* out);
// ParseNumberText without the shortcut.
ParseStatus ParseNumberTextGeneral(std::string_view text, double* out);

// Round half to even (the automation rounding of CInt, CLng, \ and Mod).
double RoundHalfEven(double value);

// --- Dates -------------------------------------------------------------------

// OLE dates VB accepts: 1 January 100 to 31 December 9999 (day numbers).
inline constexpr double kMinOleDay = -657434.0;
inline constexpr double kMaxOleDay = 2958465.0;
// Whether VB holds `value` as a date (its day number within the range).
inline bool IsValidOleDate(double value) { return value > kMinOleDay - 1 && value < kMaxOleDay + 1; }

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  int weekday = 7;  // 1 = Sunday .. 7 = Saturday
};
// REQUIRES: the date within the range above (else raises 5).
DateParts SplitOleDate(double ole_date);
// Days since 1899-12-30 of a calendar date; month and day may lie outside
// their ranges and roll over as DateSerial does. Raises 5 outside VB's range.
double OleDateFromParts(int64_t year, int64_t month, int64_t day);
double OleTimeFromParts(int64_t hour, int64_t minute, int64_t second);
// Combines a day number and a time fraction as OLE stores them (the time is
// added away from zero for dates before 1899-12-30).
double CombineDateTime(double day, double time);
// A date text ("5/12/2026", "2026-05-12 14:03", "May 12, 2026 2:03 PM",
// "14:03:04"). False when the text is no date VB would read.
bool ParseDateText(std::string_view text, double* out);

// --- Unicode -----------------------------------------------------------------

bool IsAscii(std::string_view text);
// UTF-8 <-> UTF-16; invalid sequences and lone surrogates become U+FFFD.
std::u16string ToUtf16(std::string_view text);
std::string ToUtf8(std::u16string_view text);
// Simple case folding, one code point to one code point so positions keep.
std::u16string FoldCase(std::u16string_view text);

// --- Variants ----------------------------------------------------------------

// The value of an object's default member (what VB reads when an object
// meets a conversion); Nothing raises 91, an object without one 13.
Variant DefaultValue(const Variant& object);

}  // namespace trelix::vb::internal
