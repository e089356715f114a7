#include "common/vbscript_operators.h"

#include <cfloat>
#include <cmath>
#include <string>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"

namespace trelix::vbscript {
namespace {

using vb::internal::DefaultValue;
using vb::internal::RoundHalfEven;

// --- Numeric operands ------------------------------------------------------

// Ordered so that the wider integer kinds compare greater.
enum class Kind : uint8_t { kByte, kInteger, kLong, kLongLong, kSingle, kDouble, kCurrency, kDate, kDecimal };

struct Num {
  Kind kind;
  int64_t integer = 0;  // Byte, Integer, Long, LongLong; Currency scaled
  double real = 0;      // Single, Double, Date, Decimal

  bool IsIntegral() const { return kind <= Kind::kLongLong; }
  double AsDouble() const {
    if (IsIntegral()) return static_cast<double>(integer);
    if (kind == Kind::kCurrency) return static_cast<double>(integer) / 10000.0;
    return real;
  }
};

Num IntegerNum(Kind kind, int64_t value) { return Num{kind, value, 0}; }
Num RealNum(Kind kind, double value) { return Num{kind, 0, value}; }

double ParseOrRaise(const std::string& text) {
  double value = 0;
  switch (vb::internal::ParseNumberText(text, &value)) {
    case vb::internal::ParseStatus::kOk: return value;
    case vb::internal::ParseStatus::kOverflow: RaiseVbError(kErrOverflow);
    case vb::internal::ParseStatus::kMismatch: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

// The operand of an arithmetic operator (not Null). Texts are read as
// Double with the locale parser; Empty is an Integer 0.
Num ToNum(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty: return IntegerNum(Kind::kInteger, 0);
    case VarType::kBoolean:
    case VarType::kInteger: return IntegerNum(Kind::kInteger, v.integer());
    case VarType::kByte: return IntegerNum(Kind::kByte, v.integer());
    case VarType::kLong: return IntegerNum(Kind::kLong, v.integer());
    case VarType::kLongLong: return IntegerNum(Kind::kLongLong, v.integer());
    case VarType::kSingle: return RealNum(Kind::kSingle, v.real());
    case VarType::kDouble: return RealNum(Kind::kDouble, v.real());
    case VarType::kDate: return RealNum(Kind::kDate, v.real());
    case VarType::kDecimal: return RealNum(Kind::kDecimal, v.real());
    case VarType::kCurrency: return IntegerNum(Kind::kCurrency, v.currency().scaled);
    case VarType::kString: return RealNum(Kind::kDouble, ParseOrRaise(v.string()));
    case VarType::kObject: return ToNum(DefaultValue(v));
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

// An integer result in the narrowest kind at or above `kind` that holds it:
// Byte -> Integer -> Long -> Double.
Variant FitInteger(Kind kind, int64_t value) {
  if (kind == Kind::kByte && value >= 0 && value <= 255) return Variant(static_cast<uint8_t>(value));
  if (kind <= Kind::kInteger && value >= INT16_MIN && value <= INT16_MAX) return Variant(static_cast<int16_t>(value));
  if (kind <= Kind::kLong && value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  if (kind == Kind::kLongLong) return Variant(value);
  return Variant(static_cast<double>(value));
}

Variant RealResult(Kind kind, double value) {
  if (std::isnan(value)) RaiseVbError(kErrInvalidProcedureCall);
  if (!std::isfinite(value)) RaiseVbError(kErrOverflow);
  switch (kind) {
    case Kind::kSingle:
      if (std::fabs(value) > static_cast<double>(FLT_MAX)) return Variant(value);
      return Variant(static_cast<float>(value));
    case Kind::kDate:
      if (!vb::internal::IsValidOleDate(value)) RaiseVbError(kErrOverflow);
      return Variant::Date(value);
    case Kind::kDecimal: return Variant::Decimal(value);
    default: return Variant(value);
  }
}

Variant CurrencyResult(double value) { return Variant(Currency::FromDouble(value)); }

// + - *: the result kind of two operands.
Kind ArithmeticKind(BinaryOp op, Kind a, Kind b) {
  auto either = [&](Kind k) { return a == k || b == k; };
  if (either(Kind::kDecimal)) return Kind::kDecimal;
  if (either(Kind::kDate)) {
    if (op == BinaryOp::kMul) return Kind::kDouble;
    if (op == BinaryOp::kSub && a == Kind::kDate && b == Kind::kDate) return Kind::kDouble;
    return Kind::kDate;
  }
  if (either(Kind::kCurrency)) return Kind::kCurrency;
  if (either(Kind::kDouble)) return Kind::kDouble;
  if (either(Kind::kSingle)) return (either(Kind::kLong) || either(Kind::kLongLong)) ? Kind::kDouble : Kind::kSingle;
  return a > b ? a : b;
}

Variant Arithmetic(BinaryOp op, const Num& x, const Num& y) {
  const Kind kind = ArithmeticKind(op, x.kind, y.kind);
  if (kind <= Kind::kLongLong) {
    int64_t result;
    bool overflow = op == BinaryOp::kAdd   ? __builtin_add_overflow(x.integer, y.integer, &result)
                    : op == BinaryOp::kSub ? __builtin_sub_overflow(x.integer, y.integer, &result)
                                           : __builtin_mul_overflow(x.integer, y.integer, &result);
    if (overflow) {
      double a = x.AsDouble(), b = y.AsDouble();
      return RealResult(Kind::kDouble, op == BinaryOp::kAdd ? a + b : op == BinaryOp::kSub ? a - b : a * b);
    }
    return FitInteger(kind, result);
  }
  if (kind == Kind::kCurrency && x.kind != Kind::kSingle && x.kind != Kind::kDouble && y.kind != Kind::kSingle &&
      y.kind != Kind::kDouble && op != BinaryOp::kMul) {
    // Exact on the scaled values.
    int64_t a = x.kind == Kind::kCurrency ? x.integer : x.integer * 10000;
    int64_t b = y.kind == Kind::kCurrency ? y.integer : y.integer * 10000;
    int64_t result;
    if (op == BinaryOp::kAdd ? __builtin_add_overflow(a, b, &result) : __builtin_sub_overflow(a, b, &result))
      RaiseVbError(kErrOverflow);
    return Variant(Currency{result});
  }
  double a = x.AsDouble(), b = y.AsDouble();
  double result = op == BinaryOp::kAdd ? a + b : op == BinaryOp::kSub ? a - b : a * b;
  if (kind == Kind::kCurrency) return CurrencyResult(result);
  return RealResult(kind, result);
}

Variant Divide(const Num& x, const Num& y) {
  double a = x.AsDouble(), b = y.AsDouble();
  if (b == 0) RaiseVbError(a == 0 || std::isnan(a) ? kErrOverflow : kErrDivisionByZero);
  Kind kind = Kind::kDouble;
  auto small = [](Kind k) { return k == Kind::kSingle || k == Kind::kByte || k == Kind::kInteger; };
  if (x.kind == Kind::kDecimal || y.kind == Kind::kDecimal) {
    kind = Kind::kDecimal;
  } else if ((x.kind == Kind::kSingle || y.kind == Kind::kSingle) && small(x.kind) && small(y.kind)) {
    kind = Kind::kSingle;
  }
  return RealResult(kind, a / b);
}

// \ and Mod: both operands rounded to integers (banker's rounding) first.
Num ToIntegerOperand(const Num& n) {
  if (n.IsIntegral()) return n;
  double rounded = RoundHalfEven(n.AsDouble());
  if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) RaiseVbError(kErrOverflow);
  return IntegerNum(Kind::kLong, static_cast<int64_t>(rounded));
}

Variant IntegerDivide(BinaryOp op, const Num& x_in, const Num& y_in) {
  Num x = ToIntegerOperand(x_in), y = ToIntegerOperand(y_in);
  if (y.integer == 0) RaiseVbError(kErrDivisionByZero);
  Kind kind = x.kind > y.kind ? x.kind : y.kind;
  if (x.integer == INT64_MIN && y.integer == -1) {
    if (op == BinaryOp::kMod) return FitInteger(kind, 0);
    RaiseVbError(kErrOverflow);
  }
  // C++ truncates toward zero and gives the remainder the dividend's sign,
  // as VB does.
  return FitInteger(kind, op == BinaryOp::kIntDiv ? x.integer / y.integer : x.integer % y.integer);
}

Variant Power(const Num& x, const Num& y) {
  double a = x.AsDouble(), b = y.AsDouble();
  if (a == 0 && b < 0) RaiseVbError(kErrDivisionByZero);
  if (a < 0 && b != std::trunc(b)) RaiseVbError(kErrInvalidProcedureCall);
  return RealResult(Kind::kDouble, std::pow(a, b));
}

// --- Logical (bitwise) operands --------------------------------------------

enum class BitKind : uint8_t { kBoolean, kByte, kInteger, kLong, kLongLong };

struct Bits {
  BitKind kind;
  int64_t value;
};

Bits ToBits(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty: return {BitKind::kInteger, 0};
    case VarType::kBoolean: return {BitKind::kBoolean, v.integer()};
    case VarType::kByte: return {BitKind::kByte, v.integer()};
    case VarType::kInteger: return {BitKind::kInteger, v.integer()};
    case VarType::kLong: return {BitKind::kLong, v.integer()};
    case VarType::kLongLong: return {BitKind::kLongLong, v.integer()};
    case VarType::kString: {
      const std::string& text = v.string();
      double number;
      if (vb::internal::ParseNumberText(text, &number) == vb::internal::ParseStatus::kOk) {
        return {BitKind::kLong, vb::CLng(Variant(number))};
      }
      // Not a number: the Boolean words are accepted as the Boolean values.
      return {BitKind::kBoolean, vb::CBool(v) ? -1 : 0};
    }
    case VarType::kObject: return ToBits(DefaultValue(v));
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate:
    case VarType::kDecimal:
    case VarType::kCurrency: return {BitKind::kLong, vb::CLng(v)};
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

Variant BitsResult(BitKind kind, int64_t value) {
  switch (kind) {
    case BitKind::kBoolean: return Variant(value != 0);
    case BitKind::kByte: return Variant(static_cast<uint8_t>(value & 0xFF));
    case BitKind::kInteger: return Variant(static_cast<int16_t>(value));
    case BitKind::kLong: return Variant(static_cast<int32_t>(value));
    case BitKind::kLongLong: return Variant(value);
  }
  return Variant();
}

BitKind CombinedKind(BitKind a, BitKind b) {
  if (a == b) return a;
  if (a == BitKind::kLongLong || b == BitKind::kLongLong) return BitKind::kLongLong;
  if (a == BitKind::kLong || b == BitKind::kLong) return BitKind::kLong;
  return BitKind::kInteger;  // Boolean, Byte and Integer mixed
}

// All bits set in the kind (True, 255, -1).
int64_t AllOnes(BitKind kind) { return kind == BitKind::kByte ? 0xFF : -1; }

Variant Logical(BinaryOp op, const Variant& a, const Variant& b) {
  const bool a_null = a.IsNull(), b_null = b.IsNull();
  if (a_null && b_null) return Variant::Null();
  if (a_null || b_null) {
    // Three-valued logic, bit by bit: the known side decides where it can.
    Bits known = ToBits(a_null ? b : a);
    switch (op) {
      case BinaryOp::kAnd:
        return known.value == 0 ? BitsResult(known.kind, 0) : Variant::Null();
      case BinaryOp::kOr:
        return known.value == 0 ? Variant::Null() : BitsResult(known.kind, known.value);
      case BinaryOp::kImp:
        if (a_null) {
          return known.value == AllOnes(known.kind) ? BitsResult(known.kind, known.value) : Variant::Null();
        }
        return known.value == 0 ? BitsResult(known.kind, AllOnes(known.kind)) : Variant::Null();
      default:
        return Variant::Null();  // Xor, Eqv
    }
  }
  Bits x = ToBits(a), y = ToBits(b);
  BitKind kind = CombinedKind(x.kind, y.kind);
  int64_t result = 0;
  switch (op) {
    case BinaryOp::kAnd: result = x.value & y.value; break;
    case BinaryOp::kOr: result = x.value | y.value; break;
    case BinaryOp::kXor: result = x.value ^ y.value; break;
    case BinaryOp::kEqv: result = ~(x.value ^ y.value); break;
    case BinaryOp::kImp: result = ~x.value | y.value; break;
    default: break;
  }
  return BitsResult(kind, result);
}

// --- Comparison ---------------------------------------------------------------

bool IsNumberType(VarType type) {
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

int CompareDoubles(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareNumbers(const Variant& a, const Variant& b) { return *vb::Compare(a, b); }

Variant Verdict(BinaryOp op, int order) {
  switch (op) {
    case BinaryOp::kEq: return Variant(order == 0);
    case BinaryOp::kNe: return Variant(order != 0);
    case BinaryOp::kLt: return Variant(order < 0);
    case BinaryOp::kGt: return Variant(order > 0);
    case BinaryOp::kLe: return Variant(order <= 0);
    case BinaryOp::kGe: return Variant(order >= 0);
    default: return Variant();
  }
}

}  // namespace

Variant BinaryOperation(BinaryOp op, const Variant& a, const Variant& b) {
  switch (op) {
    case BinaryOp::kImp:
    case BinaryOp::kEqv:
    case BinaryOp::kXor:
    case BinaryOp::kOr:
    case BinaryOp::kAnd: return Logical(op, a, b);
    case BinaryOp::kConcat:
      if (a.IsNull() && b.IsNull()) return Variant::Null();
      return Variant(vb::ToText(a) + vb::ToText(b));
    default: break;
  }
  if (a.IsNull() || b.IsNull()) {
    // Null wins over every other failure, division by zero included.
    return Variant::Null();
  }
  if (op == BinaryOp::kAdd) {
    // Texts concatenate; a text with Empty is the text unchanged.
    if (a.IsString() && (b.IsString() || b.IsEmpty())) return Variant(a.string() + (b.IsString() ? b.string() : ""));
    if (b.IsString() && a.IsEmpty()) return b;
  }
  Num x = ToNum(a), y = ToNum(b);
  switch (op) {
    case BinaryOp::kAdd:
    case BinaryOp::kSub:
    case BinaryOp::kMul: return Arithmetic(op, x, y);
    case BinaryOp::kDiv: return Divide(x, y);
    case BinaryOp::kIntDiv:
    case BinaryOp::kMod: return IntegerDivide(op, x, y);
    case BinaryOp::kPow: return Power(x, y);
    default: break;
  }
  RaiseVbError(kErrTypeMismatch);
}

Variant Negate(const Variant& value) {
  if (value.IsNull()) return value;
  Num n = ToNum(value);
  switch (n.kind) {
    case Kind::kByte:
    case Kind::kInteger:
    case Kind::kLong:
    case Kind::kLongLong:
      if (n.integer == INT64_MIN) return Variant(-static_cast<double>(n.integer));
      return FitInteger(n.kind == Kind::kByte ? Kind::kInteger : n.kind, -n.integer);
    case Kind::kCurrency:
      if (n.integer == INT64_MIN) RaiseVbError(kErrOverflow);
      return Variant(Currency{-n.integer});
    default: return RealResult(n.kind, -n.real);
  }
}

Variant LogicalNot(const Variant& value) {
  if (value.IsNull()) return value;
  Bits bits = ToBits(value);
  return BitsResult(bits.kind, ~bits.value);
}

Variant Comparison(BinaryOp op, const Variant& a_in, LiteralKind a_kind, const Variant& b_in, LiteralKind b_kind) {
  if (op == BinaryOp::kIs) {
    if (!a_in.IsObject() || !b_in.IsObject()) RaiseVbError(kErrObjectRequired);
    return Variant(a_in.object() == b_in.object());
  }
  Variant a_default, b_default;
  if (a_in.IsObject()) a_default = DefaultValue(a_in);
  if (b_in.IsObject()) b_default = DefaultValue(b_in);
  const Variant& a = a_in.IsObject() ? a_default : a_in;
  const Variant& b = b_in.IsObject() ? b_default : b_in;
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.IsArray() || b.IsArray() || a.type() == VarType::kError || b.type() == VarType::kError)
    RaiseVbError(kErrTypeMismatch);

  // A literal on one side decides the conversion of the other side.
  const bool a_number = a_kind == LiteralKind::kNumber, b_number = b_kind == LiteralKind::kNumber;
  if (a_number != b_number) {
    double x = vb::CDbl(a), y = vb::CDbl(b);
    if (IsNumberType(a.type()) && IsNumberType(b.type())) return Verdict(op, CompareNumbers(a, b));
    return Verdict(op, CompareDoubles(x, y));
  }
  const bool a_date = a_kind == LiteralKind::kDate, b_date = b_kind == LiteralKind::kDate;
  if (!a_number && a_date != b_date) {
    return Verdict(op, CompareDoubles(vb::CDate(a), vb::CDate(b)));
  }
  const bool a_string = a_kind == LiteralKind::kString, b_string = b_kind == LiteralKind::kString;
  if (a_string != b_string) {
    return Verdict(op, vb::StrComp(vb::CStr(a), vb::CStr(b)));
  }

  // Values computed at run time: numbers sort before texts, Empty takes
  // the other side's kind.
  if (a.IsEmpty() && b.IsEmpty()) return Verdict(op, 0);
  if (a.IsString() && b.IsString()) return Verdict(op, vb::StrComp(a.string(), b.string()));
  if (a.IsEmpty()) return Verdict(op, b.IsString() ? vb::StrComp("", b.string()) : CompareNumbers(Variant(int16_t{0}), b));
  if (b.IsEmpty()) return Verdict(op, a.IsString() ? vb::StrComp(a.string(), "") : CompareNumbers(a, Variant(int16_t{0})));
  if (a.IsString()) return Verdict(op, 1);
  if (b.IsString()) return Verdict(op, -1);
  return Verdict(op, CompareNumbers(a, b));
}

}  // namespace trelix::vbscript
