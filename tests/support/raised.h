#pragma once
// The automation error a call raised, for tests that check number, source
// and description together.

#include <functional>

#include "common/com_error.h"

namespace trelix::testing {

// The error `body` raised, or number 0 (empty source and description) when
// it raised none.
inline ComError Raised(const std::function<void()>& body) {
  try {
    body();
  } catch (const ComError& error) {
    return error;
  }
  return ComError(0, "", "");
}

}  // namespace trelix::testing
