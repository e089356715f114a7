// Conversions between variants with VB's rules and errors, VB's comparison
// of variants, and the array helpers.

#include "common/vb_runtime.h"

#include <cmath>
#include <limits>

#include "common/com_error.h"
#include "common/vb_internal.h"

namespace trelix::vb {

using internal::ParseStatus;

namespace internal {

Variant DefaultValue(const Variant& object) {
  if (object.IsNothing()) RaiseVbError(kErrObjectVariableNotSet);
  std::vector<Variant> args;
  Variant value;
  try {
    value = object.object()->Invoke("", InvokeKind::kPropertyGet, args);
  } catch (const ComError& error) {
    if (error.number() == kErrNoSuchMember) RaiseVbError(kErrTypeMismatch);
    throw;
  }
  // A default member that yields another object is not followed further.
  if (value.IsObject() || value.IsArray()) RaiseVbError(kErrTypeMismatch);
  return value;
}

}  // namespace internal

namespace {

double ParseOrRaise(std::string_view text) {
  double value = 0;
  switch (internal::ParseNumberText(text, &value)) {
    case ParseStatus::kOk: return value;
    case ParseStatus::kOverflow: RaiseVbError(kErrOverflow);
    case ParseStatus::kMismatch: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

std::string FormatCurrencyValue(Currency value) {
  uint64_t magnitude = value.scaled < 0 ? 0 - static_cast<uint64_t>(value.scaled) : static_cast<uint64_t>(value.scaled);
  std::string out = value.scaled < 0 ? "-" : "";
  out += std::to_string(magnitude / 10000);
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction != 0) {
    char digits[5] = {static_cast<char>('0' + fraction / 1000), static_cast<char>('0' + fraction / 100 % 10),
                      static_cast<char>('0' + fraction / 10 % 10), static_cast<char>('0' + fraction % 10), 0};
    int length = 4;
    while (digits[length - 1] == '0') --length;
    out.push_back(DecimalSeparator());
    out.append(digits, static_cast<size_t>(length));
  }
  return out;
}

// The integer conversions: banker's rounding, then the range of the type.
int64_t ToInteger(const Variant& value, int64_t min, int64_t max) {
  double real;
  switch (value.type()) {
    case VarType::kEmpty: return 0;
    case VarType::kNull: RaiseVbError(kErrInvalidUseOfNull);
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: {
      int64_t v = value.integer();
      if (v < min || v > max) RaiseVbError(kErrOverflow);
      return v;
    }
    case VarType::kCurrency: {
      int64_t scaled = value.currency().scaled;
      int64_t whole = scaled / 10000;
      int64_t rest = scaled % 10000;
      if (rest > 5000 || (rest == 5000 && (whole & 1))) ++whole;
      if (rest < -5000 || (rest == -5000 && (whole & 1))) --whole;
      if (whole < min || whole > max) RaiseVbError(kErrOverflow);
      return whole;
    }
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate:
    case VarType::kDecimal: real = value.real(); break;
    case VarType::kString: real = ParseOrRaise(value.string()); break;
    case VarType::kObject: return ToInteger(internal::DefaultValue(value), min, max);
    default: RaiseVbError(kErrTypeMismatch);
  }
  double rounded = internal::RoundHalfEven(real);
  // 2^63 is exactly representable; anything at or beyond it overflows.
  if (!(rounded >= static_cast<double>(min) && rounded <= static_cast<double>(max)) ||
      rounded >= 9223372036854775808.0)
    RaiseVbError(kErrOverflow);
  return static_cast<int64_t>(rounded);
}

bool IsIntegral(VarType type) {
  return type == VarType::kInteger || type == VarType::kLong || type == VarType::kLongLong ||
         type == VarType::kByte || type == VarType::kBoolean;
}

bool IsNumberLike(VarType type) {
  switch (type) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kBoolean:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
    case VarType::kDecimal: return true;
    default: return false;
  }
}

int CompareNumbers(const Variant& a, const Variant& b) {
  if (IsIntegral(a.type()) && IsIntegral(b.type())) {
    int64_t x = a.integer(), y = b.integer();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a.type() == VarType::kCurrency && b.type() == VarType::kCurrency) {
    int64_t x = a.currency().scaled, y = b.currency().scaled;
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  double x = CDbl(a), y = CDbl(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

std::string CStr(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return std::string();
    case VarType::kNull: RaiseVbError(kErrInvalidUseOfNull);
    case VarType::kBoolean: return value.boolean() ? "True" : "False";
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: return std::to_string(value.integer());
    case VarType::kSingle: return internal::FormatReal(value.real(), 7);
    case VarType::kDouble:
    case VarType::kDecimal: return internal::FormatReal(value.real(), 15);
    case VarType::kCurrency: return FormatCurrencyValue(value.currency());
    case VarType::kDate: return FormatGeneralDate(value.real());
    case VarType::kString: return value.string();
    case VarType::kError: return "Error " + std::to_string(value.integer());
    case VarType::kObject: return CStr(internal::DefaultValue(value));
    case VarType::kArray: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

std::string ToText(const Variant& value) { return value.IsNull() ? std::string() : CStr(value); }

double CDbl(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return 0;
    case VarType::kNull: RaiseVbError(kErrInvalidUseOfNull);
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: return static_cast<double>(value.integer());
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate:
    case VarType::kDecimal: return value.real();
    case VarType::kCurrency: return value.currency().ToDouble();
    case VarType::kString: return ParseOrRaise(value.string());
    case VarType::kObject: return CDbl(internal::DefaultValue(value));
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

double CDblOfText(std::string_view text) { return ParseOrRaise(text); }

bool IsNumeric(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kBoolean: return true;
    case VarType::kString: return ParseNumber(value.string()).has_value();
    case VarType::kDate: return false;  // dates are not numeric although they convert
    case VarType::kObject:
      if (value.IsNothing()) return false;
      try {
        return IsNumeric(internal::DefaultValue(value));
      } catch (const ComError&) {
        return false;
      }
    default: return value.IsNumericType();
  }
}

int16_t CInt(const Variant& value) { return static_cast<int16_t>(ToInteger(value, INT16_MIN, INT16_MAX)); }
int32_t CLng(const Variant& value) { return static_cast<int32_t>(ToInteger(value, INT32_MIN, INT32_MAX)); }
int64_t CLngLng(const Variant& value) { return ToInteger(value, INT64_MIN, INT64_MAX); }
uint8_t CByte(const Variant& value) { return static_cast<uint8_t>(ToInteger(value, 0, 255)); }

float CSng(const Variant& value) {
  double real = CDbl(value);
  if (std::fabs(real) > static_cast<double>(std::numeric_limits<float>::max())) RaiseVbError(kErrOverflow);
  return static_cast<float>(real);
}

bool CBool(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return false;
    case VarType::kNull: RaiseVbError(kErrInvalidUseOfNull);
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: return value.integer() != 0;
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate:
    case VarType::kDecimal: return value.real() != 0;
    case VarType::kCurrency: return value.currency().scaled != 0;
    case VarType::kString: {
      const std::string& text = value.string();
      // The words exactly (any case, no blanks around), or a number.
      if (TextEquals(text, "True") || TextEquals(text, "#TRUE#")) return true;
      if (TextEquals(text, "False") || TextEquals(text, "#FALSE#")) return false;
      return ParseOrRaise(text) != 0;
    }
    case VarType::kObject: return CBool(internal::DefaultValue(value));
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

Currency CCur(const Variant& value) {
  switch (value.type()) {
    case VarType::kCurrency: return value.currency();
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kByte: return Currency{value.integer() * 10000};
    default: return Currency::FromDouble(CDbl(value));
  }
}

double CDate(const Variant& value) {
  double result;
  switch (value.type()) {
    case VarType::kNull: RaiseVbError(kErrInvalidUseOfNull);
    case VarType::kDate: return value.real();
    case VarType::kString:
      if (!internal::ParseDateText(value.string(), &result)) RaiseVbError(kErrTypeMismatch);
      return result;
    case VarType::kObject: return CDate(internal::DefaultValue(value));
    case VarType::kError:
    case VarType::kArray: RaiseVbError(kErrTypeMismatch);
    default: result = CDbl(value); break;
  }
  if (!internal::IsValidOleDate(result)) RaiseVbError(kErrOverflow);
  return result;
}

double Int(double value) { return std::floor(value); }

namespace {

// Int and Fix keep the numeric type; `round` is floor or trunc.
Variant RoundTowards(const Variant& value, double (*round)(double)) {
  switch (value.type()) {
    case VarType::kNull: return value;
    case VarType::kEmpty: return Variant(int16_t{0});
    case VarType::kBoolean: return Variant(static_cast<int16_t>(value.integer()));
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: return value;
    case VarType::kSingle: return Variant(static_cast<float>(round(value.real())));
    case VarType::kDouble: return Variant(round(value.real()));
    case VarType::kDate: return Variant::Date(round(value.real()));
    case VarType::kDecimal: return Variant::Decimal(round(value.real()));
    case VarType::kCurrency: {
      int64_t scaled = value.currency().scaled;
      int64_t whole = scaled / 10000;
      if (round == static_cast<double (*)(double)>(std::floor) && scaled % 10000 < 0) --whole;
      return Variant(Currency{whole * 10000});
    }
    case VarType::kString: return Variant(round(ParseOrRaise(value.string())));
    case VarType::kObject: return RoundTowards(internal::DefaultValue(value), round);
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

}  // namespace

Variant Int(const Variant& value) { return RoundTowards(value, std::floor); }
Variant Fix(const Variant& value) { return RoundTowards(value, std::trunc); }

double Round(double value, int32_t decimals) {
  if (decimals < 0) RaiseVbError(kErrInvalidProcedureCall);
  if (decimals == 0) return internal::RoundHalfEven(value);
  if (decimals > 22 || !std::isfinite(value)) return value;
  double scale = std::pow(10.0, decimals);
  double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  return internal::RoundHalfEven(scaled) / scale;
}

std::optional<int> Compare(const Variant& a_in, const Variant& b_in, CompareMode compare) {
  Variant a_default, b_default;
  if (a_in.IsObject()) a_default = internal::DefaultValue(a_in);
  if (b_in.IsObject()) b_default = internal::DefaultValue(b_in);
  const Variant& a = a_in.IsObject() ? a_default : a_in;
  const Variant& b = b_in.IsObject() ? b_default : b_in;
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  auto checked = [](const Variant& v) {
    if (v.IsArray() || v.type() == VarType::kError) RaiseVbError(kErrTypeMismatch);
  };
  checked(a);
  checked(b);
  if (a.IsEmpty() && b.IsEmpty()) return 0;
  if (a.IsEmpty()) {
    return b.IsString() ? StrComp("", b.string(), compare) : CompareNumbers(Variant(int16_t{0}), b);
  }
  if (b.IsEmpty()) {
    return a.IsString() ? StrComp(a.string(), "", compare) : CompareNumbers(a, Variant(int16_t{0}));
  }
  if (a.IsString() && b.IsString()) return StrComp(a.string(), b.string(), compare);
  if (IsNumberLike(a.type()) && IsNumberLike(b.type())) return CompareNumbers(a, b);
  // A number against a text: numerically when the text is a number,
  // otherwise the number sorts first.
  const bool a_is_text = a.IsString();
  const std::string& text = a_is_text ? a.string() : b.string();
  std::optional<double> parsed = ParseNumber(text);
  if (!parsed) return a_is_text ? 1 : -1;
  return a_is_text ? CompareNumbers(Variant(*parsed), b) : CompareNumbers(a, Variant(*parsed));
}

bool IsArray(const Variant& value) { return value.IsArray(); }

int32_t LBound(const Variant& value) {
  if (!value.IsArray()) RaiseVbError(kErrTypeMismatch);
  return value.array()->lower_bound;
}

int32_t UBound(const Variant& value) {
  if (!value.IsArray()) RaiseVbError(kErrTypeMismatch);
  return value.array()->UBound();
}

}  // namespace trelix::vb
