#pragma once
// Small value rules shared by the Categories methods: how a field value is
// tested and written the way the sheet logic reads it.

#include <string>

#include "common/com_error.h"
#include "common/variant.h"
#include "common/vb_runtime.h"

namespace trelix::ebrochure {

// Module name the Categories methods report to the procedure error log.
inline constexpr const char* kCategoriesModule = "Categories";

// `value > ""`: Null is never above the empty text; any other value is
// compared as its text, so only an empty text is not above it.
inline bool IsAboveEmptyText(const Variant& value) { return !value.IsNull() && !vb::ToText(value).empty(); }

// `value > 0`: Null is not; anything else is read as a number (a text that
// is not a number is a type mismatch).
inline bool IsAboveZero(const Variant& value) { return !value.IsNull() && vb::CDbl(value) > 0; }

// `value = 0` in the same reading.
inline bool IsZero(const Variant& value) { return !value.IsNull() && vb::CDbl(value) == 0; }

// The default text form of a number: an integral id prints without
// decimals or separators.
inline std::string NumberText(double value) { return vb::CStr(Variant(value)); }

// arr(index) with VB's bounds check: error 9 outside the bounds, whatever
// the array's lower bound.
inline const Variant& ArrayElement(const SafeArray& array, int32_t index) {
  if (index < array.lower_bound || index > array.UBound()) RaiseVbError(kErrSubscriptOutOfRange);
  return array.items[static_cast<size_t>(index - array.lower_bound)];
}

}  // namespace trelix::ebrochure
