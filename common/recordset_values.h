#pragma once
// Value handling shared by the recordset engine, its criteria, its XML form
// and its JSON form: how a field type stores values, how a variant is
// converted to a field's type, case-insensitive text comparison, and the
// locale-independent text forms of numbers and dates.
//
// Internal to the recordset implementation; callers use common/recordset.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/recordset.h"
#include "common/variant.h"

namespace trelix::recordset_internal {

// How values of a field type are stored and compared.
enum class FieldClass : uint8_t {
  kText,      // 8, 72, 129, 200, 201, 202, 203: String
  kInteger,   // 2, 3, 16, 17, 20: Integer, Long, Byte, LongLong
  kReal,      // 4, 5, 14, 131: Single, Double, Decimal
  kCurrency,  // 6
  kDate,      // 7, 135
  kBoolean,   // 11
  kBinary,    // 128: the bytes held in a String
  kChapter,   // 136: a child Recordset (or Nothing)
  kVariant,   // 12: any value as given
};

bool IsSupportedType(DataType type);
FieldClass ClassOf(DataType type);
// The storage size ADO reports for fixed-size types (0 for variable ones).
int32_t FixedSizeOf(DataType type);

// ADO's errors, with its numbers and texts. Source "ADODB.Recordset" or
// "ADODB.Field".
inline constexpr int32_t kErrArguments = 3001;
inline constexpr int32_t kErrNoCurrentRecord = 3021;
inline constexpr int32_t kErrNotSupported = 3251;
inline constexpr int32_t kErrItemNotFound = 3265;
inline constexpr int32_t kErrCannotAppend = 3367;
inline constexpr int32_t kErrObjectClosed = 3704;
inline constexpr int32_t kErrObjectOpen = 3705;
inline constexpr int32_t kErrMultipleStep = -2147217887;  // 0x80040E21
[[noreturn]] void RaiseAdo(int32_t number, const char* source = "ADODB.Recordset");
[[noreturn]] void RaiseAdo(int32_t number, const char* source, std::string description);

// --- Text ------------------------------------------------------------------

// Full Unicode case folding (ICU) of UTF-8 text.
void FoldCase(std::string_view text, std::string& out);
std::string FoldCase(std::string_view text);
// Compares raw text with text that is already folded, in code point order
// of the folded forms. ASCII text is compared without allocating.
// (Code point order of folded text rather than a locale collation: the same
// on every host, and one order for Filter, Find and Sort.)
int CompareWithFolded(std::string_view raw, std::string_view folded);
// Case-insensitive comparison of two raw texts (folded code point order).
int CompareIgnoreCase(std::string_view a, std::string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Length as ADO and VB count characters: UTF-16 code units.
int32_t Utf16Length(std::string_view text);

// --- Numbers and dates (locale-independent) --------------------------------

// Decimal text: blanks around, sign, optional '$', digits with '.',
// exponent. nullopt when it is not a number.
std::optional<double> ParseDecimal(std::string_view text);
// Exact decimal text to Currency (scaled by 10,000, rounded half to even
// beyond 4 decimals); nullopt when not a number or out of range.
std::optional<Currency> ParseCurrency(std::string_view text);
// Shortest text that reads back to the same double ("0.1", "1e+300").
std::string FormatRoundTrip(double value);
std::string FormatRoundTrip(float value);
// Currency as plain decimal text with '.', no trailing zeros ("2635.23").
std::string FormatCurrency(Currency value);
// The general number form (15 significant digits, '.'), used where a number
// becomes the text of a text field or a comparison literal.
std::string FormatGeneral(double value);

// OLE date <-> calendar text.
// Accepts "yyyy-mm-dd[Thh:mm[:ss[.fffffffff]]][Z]" and "m/d/yyyy [h:mm[:ss]
// [AM|PM]]" (two-digit years as OLE automation reads them) and a bare time.
std::optional<double> ParseDate(std::string_view text);
// "yyyy-mm-ddThh:mm:ss" with ".fff" when the milliseconds are not zero.
std::string FormatIsoDate(double ole_date);
// "m/d/yyyy h:mm:ss AM": the date or time alone when the other part is 0.
std::string FormatGeneralDate(double ole_date);

// --- Conversion ---------------------------------------------------------------

// The value converted to what `field` stores: Null for Empty and Null (error
// -2147217887 when the field does not accept Null), 13 when the value cannot
// be converted, -2147217887 when it does not fit (too long text, overflow).
Variant CoerceToField(const FieldInfo& field, const Variant& value);
// Whether CoerceToField would hand `value` back unchanged, checked without
// copying it: the common case of a row written with values of the field types.
bool StoredAsIs(const FieldInfo& field, const Variant& value);

// True when the field accepts Null.
bool IsNullable(const FieldInfo& field);

// The text form of a stored value, as it appears in a table or a text
// comparison ("" for Null and Empty).
std::string DisplayText(const Variant& value);

// A stored numeric value as a double (Boolean -1/0, Date its serial);
// nullopt for text, Null and objects.
std::optional<double> NumericOf(const Variant& value);

}  // namespace trelix::recordset_internal
