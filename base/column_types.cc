#include "base/column_types.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace trelix::base {
namespace {

constexpr int32_t kNtextSize = 1073741823;  // what ADO reports for ntext
constexpr int32_t kTextSize = 2147483647;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Removes a schema qualification and quoting: `"dbo"."nvarchar"` -> nvarchar.
std::string BareTypeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '"' || c == '[' || c == ']') continue;
    if (c == '.') {
      out.clear();
      continue;
    }
    out.push_back(c);
  }
  return std::string(Trim(out));
}

bool ParseInt64(std::string_view text, int64_t& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

bool ParseDouble(std::string_view text, double& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text == "NaN" || text == "Infinity" || text == "-Infinity") return false;  // no OLE counterpart
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size() && !text.empty() && std::isfinite(out);
}

std::string FormatDouble(double value) {
  char buffer[32];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

bool IsIntegerType(DataType type) {
  return type == DataType::kInteger || type == DataType::kSmallInt || type == DataType::kBigInt ||
         type == DataType::kTinyInt || type == DataType::kUnsignedTinyInt;
}

bool IsTextType(DataType type) {
  return type == DataType::kVarWChar || type == DataType::kVarChar || type == DataType::kLongVarWChar ||
         type == DataType::kLongVarChar || type == DataType::kChar || type == DataType::kBSTR;
}

Result<Variant> IntegerOfType(int64_t value, DataType type) {
  switch (type) {
    case DataType::kInteger:
      if (value < INT32_MIN || value > INT32_MAX) break;
      return Variant(static_cast<int32_t>(value));
    case DataType::kSmallInt:
      if (value < INT16_MIN || value > INT16_MAX) break;
      return Variant(static_cast<int16_t>(value));
    case DataType::kUnsignedTinyInt:
    case DataType::kTinyInt:
      if (value < 0 || value > 255) break;
      return Variant(static_cast<uint8_t>(value));
    default:
      return Variant(value);
  }
  return Status::InvalidArgument("the value " + std::to_string(value) + " is out of range for its column type");
}

Result<Variant> Mismatch(std::string_view what, DataType type) {
  std::string shown(what.substr(0, 60));
  return Status::InvalidArgument("the value '" + shown + "' does not convert to the column type (" +
                                 std::to_string(static_cast<int>(type)) + ")");
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kOleEpochFromUnix = -25569;  // 1899-12-30 in days from 1970-01-01

// An OLE date from whole days since its epoch and a time fraction: before
// the epoch the fraction counts forward from the day, with the sign of the
// day (-1.25 is 1899-12-29 06:00).
double OleDate(int64_t days, double fraction) {
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

unsigned DaysInMonth(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

bool TakeDigits(std::string_view& s, size_t count, int64_t& out) {
  if (s.size() < count) return false;
  out = 0;
  for (size_t i = 0; i < count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  s.remove_prefix(count);
  return true;
}

bool TakeChar(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

}  // namespace

size_t Utf16Length(std::string_view utf8) {
  size_t i = AsciiRunEnd(utf8, 0);
  size_t units = i;
  for (; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::optional<FieldInfo> FieldFromDeclaredType(std::string_view declared) {
  std::string lower = AsciiLower(Trim(declared));
  // Split "name(args)"; the name may hold blanks ("double precision").
  std::string_view text = lower;
  std::string_view args;
  size_t open = text.find('(');
  if (open != std::string_view::npos) {
    size_t close = text.find(')', open);
    if (close == std::string_view::npos) return std::nullopt;
    args = Trim(text.substr(open + 1, close - open - 1));
    text = text.substr(0, open);
  }
  std::string name = BareTypeName(text);

  int64_t first = -1, second = -1;
  bool max_length = false;
  if (!args.empty()) {
    size_t comma = args.find(',');
    std::string_view a = Trim(args.substr(0, comma));
    if (a == "max") max_length = true;
    else if (!ParseInt64(a, first)) return std::nullopt;
    if (comma != std::string_view::npos && !ParseInt64(args.substr(comma + 1), second)) return std::nullopt;
  }

  FieldInfo field;
  auto text_field = [&](DataType type) {
    field.type = type;
    if (max_length) {
      field.type = type == DataType::kVarChar ? DataType::kLongVarChar : DataType::kLongVarWChar;
      field.defined_size = type == DataType::kVarChar ? kTextSize : kNtextSize;
    } else if (first > 0 && first <= kNtextSize) {
      field.defined_size = static_cast<int32_t>(first);
    } else {
      // A length nobody wrote (a PostgreSQL domain without one, "nvarchar"):
      // as wide as an unsized expression rather than SQL Server's DDL default of 1.
      field.defined_size = kComputedTextSize;
    }
    return field;
  };

  if (name == "int") field.type = DataType::kInteger;
  else if (name == "bigint") field.type = DataType::kBigInt;
  else if (name == "smallint") field.type = DataType::kSmallInt;
  else if (name == "tinyint") field.type = DataType::kUnsignedTinyInt;  // SQL Server's tinyint is unsigned
  else if (name == "bit") field.type = DataType::kBoolean;
  else if (name == "nvarchar" || name == "nchar" || name == "sysname") return text_field(DataType::kVarWChar);
  else if (name == "varchar") return text_field(DataType::kVarChar);
  else if (name == "char") return text_field(DataType::kChar);
  else if (name == "ntext") {
    field.type = DataType::kLongVarWChar;
    field.defined_size = kNtextSize;
  } else if (name == "float") field.type = DataType::kDouble;
  else if (name == "real") field.type = DataType::kSingle;
  else if (name == "money" || name == "smallmoney") field.type = DataType::kCurrency;
  else if (name == "decimal" || name == "numeric" || name == "dec") {
    field.type = DataType::kNumeric;
    field.precision = static_cast<uint8_t>(first > 0 && first <= 38 ? first : 18);
    field.numeric_scale = static_cast<uint8_t>(second >= 0 && second <= field.precision ? second : 0);
  } else if (name == "datetime" || name == "smalldatetime" || name == "datetime2" || name == "date") {
    field.type = DataType::kDBTimeStamp;
  } else {
    return std::nullopt;
  }
  return field;
}

std::optional<double> ParseDateTime(std::string_view text) {
  std::string_view s = Trim(text);
  int64_t y, mo, d, h = 0, mi = 0, sec = 0;
  if (!TakeDigits(s, 4, y) || !TakeChar(s, '-') || !TakeDigits(s, 2, mo) || !TakeChar(s, '-') ||
      !TakeDigits(s, 2, d))
    return std::nullopt;
  double fraction_of_second = 0;
  if (!s.empty()) {
    if (!TakeChar(s, ' ') && !TakeChar(s, 'T')) return std::nullopt;
    if (!TakeDigits(s, 2, h) || !TakeChar(s, ':') || !TakeDigits(s, 2, mi)) return std::nullopt;
    if (TakeChar(s, ':')) {
      if (!TakeDigits(s, 2, sec)) return std::nullopt;
      if (TakeChar(s, '.')) {
        double scale = 0.1;
        size_t digits = 0;
        while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
          fraction_of_second += (s.front() - '0') * scale;
          scale /= 10;
          s.remove_prefix(1);
          ++digits;
        }
        if (digits == 0) return std::nullopt;
      }
    }
    // A zone suffix says nothing an OLE date can hold.
    if (!s.empty() && s != "Z" && s.front() != '+' && s.front() != '-') return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, static_cast<unsigned>(mo)) || h > 23 || mi > 59 || sec > 59)
    return std::nullopt;
  int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kOleEpochFromUnix;
  double fraction = (static_cast<double>(h * 3600 + mi * 60 + sec) + fraction_of_second) / 86400.0;
  return OleDate(days, fraction);
}

std::optional<Currency> ParseCurrency(std::string_view text) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && s.front() == '(' && s.back() == ')') {
    negative = true;
    s = Trim(s.substr(1, s.size() - 2));
  }
  if (TakeChar(s, '-')) negative = !negative;
  else TakeChar(s, '+');
  TakeChar(s, '$');
  if (TakeChar(s, '-')) negative = !negative;
  if (s.empty()) return std::nullopt;
  __int128 scaled = 0;
  int decimals = -1;  // digits after the point seen so far; -1 before the point
  bool any_digit = false;
  int round_digit = -1;
  bool sticky = false;  // a non-zero digit beyond the rounding digit
  for (char c : s) {
    if (c == ',' && decimals < 0) continue;
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    any_digit = true;
    if (decimals >= 4) {
      if (round_digit < 0) round_digit = c - '0';
      else if (c != '0') sticky = true;
      continue;
    }
    scaled = scaled * 10 + (c - '0');
    if (scaled > static_cast<__int128>(INT64_MAX) * 10) return std::nullopt;
    if (decimals >= 0) ++decimals;
  }
  if (!any_digit) return std::nullopt;
  for (int k = decimals < 0 ? 0 : decimals; k < 4; ++k) scaled *= 10;
  if (round_digit > 5 || (round_digit == 5 && (sticky || (scaled & 1)))) scaled += 1;
  if (negative) scaled = -scaled;
  if (scaled > INT64_MAX || scaled < INT64_MIN) return std::nullopt;
  return Currency{static_cast<int64_t>(scaled)};
}

Result<Variant> VariantFromInteger(int64_t value, DataType type) {
  if (IsIntegerType(type)) return IntegerOfType(value, type);
  switch (type) {
    case DataType::kBoolean: return Variant(value != 0);
    case DataType::kDouble: return Variant(static_cast<double>(value));
    case DataType::kSingle: return Variant(static_cast<float>(value));
    case DataType::kNumeric:
    case DataType::kDecimal: return Variant::Decimal(static_cast<double>(value));
    case DataType::kCurrency:
      if (value > INT64_MAX / 10000 || value < INT64_MIN / 10000) return Mismatch(std::to_string(value), type);
      return Variant(Currency{value * 10000});
    case DataType::kDBTimeStamp:
    case DataType::kDate:
      // An integer date is Unix time, as SQLite's 'unixepoch' modifier reads it.
      return Variant::Date(static_cast<double>(value) / 86400.0 - kOleEpochFromUnix);
    default: return Variant(std::to_string(value));
  }
}

Result<Variant> VariantFromReal(double value, DataType type) {
  if (!std::isfinite(value)) return Mismatch(FormatDouble(value), type);
  if (IsIntegerType(type)) {
    if (value != std::floor(value) || std::fabs(value) > 9.2e18) return Mismatch(FormatDouble(value), type);
    return IntegerOfType(static_cast<int64_t>(value), type);
  }
  switch (type) {
    case DataType::kBoolean: return Variant(value != 0);
    case DataType::kDouble: return Variant(value);
    case DataType::kSingle: return Variant(static_cast<float>(value));
    case DataType::kNumeric:
    case DataType::kDecimal: return Variant::Decimal(value);
    case DataType::kCurrency:
      if (std::fabs(value) >= 9.2e14) return Mismatch(FormatDouble(value), type);
      return Variant(Currency::FromDouble(value));
    case DataType::kDBTimeStamp:
    case DataType::kDate:
      // A real date is a Julian day number, as SQLite's julianday() writes it.
      return Variant::Date(value - 2415018.5);
    default: return Variant(FormatDouble(value));
  }
}

Result<Variant> VariantFromText(std::string_view text, DataType type) {
  if (IsTextType(type) || type == DataType::kVariant || type == DataType::kEmpty) return Variant(SanitizeUtf8(text));
  if (IsIntegerType(type)) {
    int64_t value;
    if (!ParseInt64(text, value)) return Mismatch(text, type);
    return IntegerOfType(value, type);
  }
  switch (type) {
    case DataType::kBoolean: {
      std::string lower = AsciiLower(Trim(text));
      if (lower == "t" || lower == "true" || lower == "1" || lower == "-1") return Variant(true);
      if (lower == "f" || lower == "false" || lower == "0") return Variant(false);
      return Mismatch(text, type);
    }
    case DataType::kDouble:
    case DataType::kSingle:
    case DataType::kNumeric:
    case DataType::kDecimal: {
      double value;
      if (!ParseDouble(text, value)) return Mismatch(text, type);
      return VariantFromReal(value, type);
    }
    case DataType::kCurrency: {
      auto value = ParseCurrency(text);
      if (!value) return Mismatch(text, type);
      return Variant(*value);
    }
    case DataType::kDBTimeStamp:
    case DataType::kDate: {
      auto value = ParseDateTime(text);
      if (!value) return Mismatch(text, type);
      return Variant::Date(*value);
    }
    default: return Variant(SanitizeUtf8(text));
  }
}

void ValueTyper::SeeText(std::string_view utf8) {
  saw_text_ = true;
  longest_text_ = std::max(longest_text_, Utf16Length(utf8));
}

FieldInfo ValueTyper::Field(std::string name) const {
  FieldInfo field;
  field.name = std::move(name);
  if (saw_text_) {
    if (longest_text_ > static_cast<size_t>(kComputedTextSize)) {
      field.type = DataType::kLongVarWChar;
      field.defined_size = kNtextSize;
    } else {
      field.type = DataType::kVarWChar;
      field.defined_size = kComputedTextSize;
    }
  } else if (saw_real_) {
    field.type = DataType::kDouble;
  } else if (wide_integer_) {
    field.type = DataType::kBigInt;
  } else {
    field.type = DataType::kInteger;
  }
  return field;
}

}  // namespace trelix::base
