// The stored-condition scanner: {n} placeholders over a list of chosen
// items, then the expression. Input: the condition, optionally followed by
// a line feed and the list (default " 1 2 3 "). A rejected condition is a
// ComError; anything else escaping is a defect.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Utilitys.h"
#include "common/com_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string list = " 1 2 3 ";
  if (size_t newline = input.find('\n'); newline != std::string::npos) {
    list = input.substr(newline + 1);
    input.resize(newline);
  }
  try {
    (void)trelix::ConditionMet(input, list);
  } catch (const trelix::ComError&) {
  }
  return 0;
}
