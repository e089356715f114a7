#include "common/variant.h"

#include <cmath>

#include "common/com_error.h"

namespace trelix {

Currency Currency::FromDouble(double value) {
  double scaled = value * 10000.0;
  // Banker's rounding, as OLE automation rounds to a Currency.
  double rounded = std::nearbyint(scaled);
  if (!(rounded >= -9.2233720368547758e18 && rounded < 9.2233720368547758e18)) RaiseVbError(kErrOverflow);
  return Currency{static_cast<int64_t>(rounded)};
}

int32_t SafeArray::UBound() const { return lower_bound + static_cast<int32_t>(items.size()) - 1; }

Variant Variant::Array(std::vector<Variant> items, int32_t lower_bound) {
  auto array = std::make_shared<SafeArray>();
  array->lower_bound = lower_bound;
  array->items = std::move(items);
  return Variant(std::move(array));
}

bool Variant::IsNumericType() const {
  switch (type_) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDecimal:
      return true;
    default:
      return false;
  }
}

int64_t Variant::integer() const {
  if (auto* v = std::get_if<int64_t>(&value_); v && type_ != VarType::kCurrency) return *v;
  RaiseVbError(kErrTypeMismatch);
}

double Variant::real() const {
  if (auto* v = std::get_if<double>(&value_)) return *v;
  RaiseVbError(kErrTypeMismatch);
}

Currency Variant::currency() const {
  if (type_ == VarType::kCurrency) return Currency{std::get<int64_t>(value_)};
  RaiseVbError(kErrTypeMismatch);
}

const std::string& Variant::string() const {
  if (auto* v = std::get_if<std::string>(&value_)) return *v;
  RaiseVbError(kErrTypeMismatch);
}

const ObjectRef& Variant::object() const {
  if (auto* v = std::get_if<ObjectRef>(&value_)) return *v;
  RaiseVbError(kErrObjectRequired);
}

const std::shared_ptr<SafeArray>& Variant::array() const {
  if (auto* v = std::get_if<std::shared_ptr<SafeArray>>(&value_)) return *v;
  RaiseVbError(kErrTypeMismatch);
}

std::shared_ptr<SafeArray>& Variant::mutable_array() {
  if (auto* v = std::get_if<std::shared_ptr<SafeArray>>(&value_)) return *v;
  RaiseVbError(kErrTypeMismatch);
}

bool operator==(const Variant& a, const Variant& b) { return a.type_ == b.type_ && a.value_ == b.value_; }

}  // namespace trelix
