#pragma once
// Variant: the VB / OLE automation VARIANT.
//
// A Variant holds one value of the automation types the component meets:
// Empty, Null, Integer (16-bit), Long (32-bit), LongLong (64-bit), Byte,
// Single, Double, Currency (64-bit fixed point, 4 decimals), Decimal (held as
// a double), Date (OLE date: days since 1899-12-30 as a double), String
// (UTF-8), Boolean (true is -1), Error, an object reference or a one-
// dimensional array of variants.
//
// This header gives storage, construction and exact access only. The VB
// conversions with their rules and errors (CStr, CDbl, CLng, CBool, ...)
// live in vb_runtime.h.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/object.h"

namespace trelix {

// VarType codes as VB's VarType() returns them.
enum class VarType : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,
  kLong = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kString = 8,
  kObject = 9,
  kError = 10,
  kBoolean = 11,
  kDecimal = 14,
  kByte = 17,
  kLongLong = 20,
  kArray = 0x200C,  // vbArray + vbVariant: the only array kind we hold
};

// Currency as VB stores it: the value times 10,000 in a 64-bit integer.
struct Currency {
  int64_t scaled = 0;
  static Currency FromDouble(double value);  // rounds half to even at 4 decimals
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(int16_t v) : type_(VarType::kInteger), value_(int64_t{v}) {}
  Variant(int32_t v) : type_(VarType::kLong), value_(int64_t{v}) {}
  Variant(int64_t v) : type_(VarType::kLongLong), value_(v) {}
  Variant(uint8_t v) : type_(VarType::kByte), value_(int64_t{v}) {}
  Variant(double v) : type_(VarType::kDouble), value_(v) {}
  Variant(float v) : type_(VarType::kSingle), value_(double{v}) {}
  Variant(bool v) : type_(VarType::kBoolean), value_(int64_t{v ? -1 : 0}) {}
  Variant(Currency v) : type_(VarType::kCurrency), value_(v.scaled) {}
  Variant(std::string v) : type_(VarType::kString), value_(std::move(v)) {}
  Variant(std::string_view v) : type_(VarType::kString), value_(std::string(v)) {}
  Variant(const char* v) : type_(VarType::kString), value_(std::string(v)) {}
  Variant(ObjectRef v) : type_(VarType::kObject), value_(std::move(v)) {}
  Variant(std::shared_ptr<SafeArray> v) : type_(VarType::kArray), value_(std::move(v)) {}
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Variant(std::shared_ptr<T> v) : Variant(ObjectRef(std::move(v))) {}

  static Variant Null() { Variant v; v.type_ = VarType::kNull; return v; }
  static Variant Date(double ole_date) { Variant v(ole_date); v.type_ = VarType::kDate; return v; }
  static Variant Decimal(double value) { Variant v(value); v.type_ = VarType::kDecimal; return v; }
  static Variant Error(int32_t scode) { Variant v(scode); v.type_ = VarType::kError; return v; }
  // An object variable set to Nothing (VarType Object, no reference).
  static Variant Nothing() { return Variant(ObjectRef()); }
  // A zero-based array of the given values (as VB's Array()).
  static Variant Array(std::vector<Variant> items, int32_t lower_bound = 0);

  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::kEmpty; }
  bool IsNull() const { return type_ == VarType::kNull; }
  bool IsString() const { return type_ == VarType::kString; }
  bool IsObject() const { return type_ == VarType::kObject; }
  bool IsNothing() const { return type_ == VarType::kObject && !object(); }
  bool IsArray() const { return type_ == VarType::kArray; }
  // True for Integer, Long, LongLong, Byte, Single, Double, Currency, Decimal.
  bool IsNumericType() const;

  // Exact access. REQUIRES: the matching type (checked; a wrong type is a
  // programming error and raises ComError 13).
  int64_t integer() const;          // Integer, Long, LongLong, Byte, Boolean (-1/0), Error
  double real() const;              // Single, Double, Date, Decimal
  Currency currency() const;        // Currency
  bool boolean() const { return integer() != 0; }  // Boolean
  const std::string& string() const;               // String
  const ObjectRef& object() const;                 // Object (may be null: Nothing)
  const std::shared_ptr<SafeArray>& array() const; // Array
  std::shared_ptr<SafeArray>& mutable_array();

  // Typed object access: the referenced object as T, or nullptr when the
  // variant holds no object or an object of another class.
  template <class T>
  std::shared_ptr<T> As() const {
    if (type_ != VarType::kObject) return nullptr;
    return std::dynamic_pointer_cast<T>(std::get<ObjectRef>(value_));
  }

  // Identity comparison of type and stored value (arrays and objects by
  // reference). Not VB's "=": that is VbCompare in vb_runtime.h.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  VarType type_ = VarType::kEmpty;
  std::variant<std::monostate, int64_t, double, std::string, ObjectRef, std::shared_ptr<SafeArray>> value_;
};

}  // namespace trelix
