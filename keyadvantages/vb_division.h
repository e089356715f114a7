#pragma once
// Floating-point division with VB's errors instead of infinities: x / 0 is
// error 11 (division by zero), 0 / 0 and results beyond the double range are
// error 6 (overflow).

#include <cmath>

#include "common/com_error.h"

namespace trelix::keyadvantages_internal {

inline double VbDivide(double numerator, double denominator) {
  if (denominator == 0) RaiseVbError(numerator == 0 ? kErrOverflow : kErrDivisionByZero);
  const double quotient = numerator / denominator;
  if (!std::isfinite(quotient)) RaiseVbError(kErrOverflow);
  return quotient;
}

}  // namespace trelix::keyadvantages_internal
