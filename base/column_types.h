#pragma once
// Column types as the component sees them: the recordset field type of a
// result column, found from the SQL Server type name its schema declares
// ("nvarchar(50)", "money", "decimal(9,2)"), and the conversion of the text
// or number an engine returns into a Variant of that field type.
//
// Both SQLite and PostgreSQL schemas declare SQL Server type names (SQLite
// directly, PostgreSQL through domains or the nearest native type), so one
// table serves every engine. Columns without a declared type (expressions,
// aggregates) are typed from the values they hold: see ValueTyper.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/recordset.h"
#include "common/status.h"
#include "common/utf8.h"
#include "common/variant.h"

namespace trelix::base {

// Size given to a text field whose length nobody declared (an expression):
// SQL Server's largest non-max nvarchar, so that writes into the result are
// not refused for length; longer values make the field ntext.
inline constexpr int32_t kComputedTextSize = 4000;

// The field of a column declared with an SQL Server type name (any case,
// blanks allowed, optional schema qualification and quotes, "(n)", "(p,s)",
// "(max)"). nullopt for names that are not SQL Server types (for example
// SQLite's own INTEGER/TEXT/REAL), whose columns are typed by value.
std::optional<FieldInfo> FieldFromDeclaredType(std::string_view declared);

// Conversions of engine values into the Variant a field of `type` holds.
// Each returns InvalidArgument naming the problem when the value does not
// fit the type (the caller adds the column name).
Result<Variant> VariantFromInteger(int64_t value, DataType type);
Result<Variant> VariantFromReal(double value, DataType type);
Result<Variant> VariantFromText(std::string_view text, DataType type);

// "YYYY-MM-DD[ T]HH:MM[:SS[.fff]]" (a trailing "Z" or "+00" zone is
// ignored) or "YYYY-MM-DD" to an OLE date (days since 1899-12-30).
std::optional<double> ParseDateTime(std::string_view text);
// Exact decimal text ("-1234.5", "$1,200.50") to Currency; nullopt when not a
// number or out of range. Rounds half to even beyond 4 decimals.
std::optional<Currency> ParseCurrency(std::string_view text);

// Types a column that declares no type from the values it holds, as SQL
// Server would type the expression: integers -> int (bigint when one does
// not fit in 32 bits), any real -> float, any text -> nvarchar(4000) (ntext
// beyond 4000 characters), only NULLs -> int (SQL Server's type of a bare
// NULL).
class ValueTyper {
 public:
  void SeeNull() {}
  void SeeInteger(int64_t value) {
    saw_integer_ = true;
    if (value < INT32_MIN || value > INT32_MAX) wide_integer_ = true;
  }
  void SeeReal() { saw_real_ = true; }
  void SeeText(std::string_view utf8);
  FieldInfo Field(std::string name) const;

 private:
  bool saw_integer_ = false;
  bool wide_integer_ = false;
  bool saw_real_ = false;
  bool saw_text_ = false;
  size_t longest_text_ = 0;  // in UTF-16 code units
};

// Length of UTF-8 text in UTF-16 code units (how text sizes are counted).
size_t Utf16Length(std::string_view utf8);

// Text read from a database is untrusted: it goes through SanitizeUtf8
// (common/utf8.h), which replaces invalid UTF-8 sequences with U+FFFD.

}  // namespace trelix::base
