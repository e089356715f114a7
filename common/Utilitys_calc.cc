// The two evaluators of the module Utilitys: Calculate (a one-operator
// formula) and ConditionMet (a stored condition over chosen items).

#include <algorithm>
#include <cmath>
#include <string>

#include "common/Utilitys.h"
#include "common/com_error.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "common/vbscript_engine.h"

namespace trelix {
namespace {

// The source of every error ConditionMet raises: the application name and
// the procedure. The application name of the component is its project name,
// which is what the component file and its error log are named after.
const std::string& ConditionMetSource() {
  static const std::string source = std::string(kComponentName) + ":ConditionMet";
  return source;
}

[[noreturn]] void RaiseConditionFormatError() {
  throw ComError(kErrConditionFormat, ConditionMetSource(), "Condition or Rule has unexpected format");
}

// " 12 " occurs in the list of chosen items.
bool ItemChosen(int32_t item, const std::string& list) {
  char needle[16];
  int length = std::snprintf(needle, sizeof needle, " %d ", item);
  return list.find(std::string_view(needle, static_cast<size_t>(length))) != std::string::npos;
}

// The number between braces as CLng reads it: blanks around are fine,
// anything else not a number is a type mismatch. Plain digits, the usual
// case, skip the general conversion.
int32_t ItemNumber(std::string_view text) {
  if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string_view::npos) {
    int32_t value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
  }
  return vb::CLng(Variant(text));
}

// The text to evaluate: every {n} replaced by true or false.
std::string ExpandBraces(const std::string& condition, const std::string& list) {
  std::string output;
  output.reserve(condition.size() + 16);
  size_t close = 0;  // just past the last "}" (the text before it is consumed)
  size_t open = condition.find('{');
  while (open != std::string::npos) {
    output.append(condition, close, open - close);
    if (open + 1 == condition.size()) RaiseConditionFormatError();
    size_t end = condition.find('}', open + 1);
    if (end == std::string::npos) RaiseConditionFormatError();
    if (end == open + 1) RaiseConditionFormatError();
    int32_t item = ItemNumber(std::string_view(condition).substr(open + 1, end - open - 1));
    output += ItemChosen(item, list) ? "true" : "false";
    close = end + 1;
    if (close == condition.size()) break;
    open = condition.find('{', close);
  }
  output.append(condition, close, std::string::npos);
  return output;
}

}  // namespace

std::string Calculate(const Variant& expression) {
  return Instrumented(kUtilitysModule, "Function Calculate", [&]() -> std::string {
    // A Null formula has no operator to find (InStr of Null is Null, never
    // a position), so it gives the empty text like any formula without one.
    if (expression.IsNull()) return std::string();
    const std::string text = vb::CStr(expression);
    // The operator by priority, not by position.
    char op = 0;
    for (char candidate : {'/', '*', '+', '-'}) {
      if (text.find(candidate) != std::string::npos) {
        op = candidate;
        break;
      }
    }
    if (op == 0) return std::string();
    const size_t at = text.find(op);
    const double left = vb::CDbl(Variant(std::string_view(text).substr(0, at)));
    const double right = vb::CDbl(Variant(std::string_view(text).substr(at + 1)));
    double result = 0;
    switch (op) {
      case '/':
        if (right == 0) RaiseVbError(left == 0 ? kErrOverflow : kErrDivisionByZero);
        result = left / right;
        break;
      case '*': result = left * right; break;
      case '+': result = left + right; break;
      default: result = left - right; break;
    }
    // A result beyond the range of a Double is an overflow, never a text
    // standing for infinity.
    if (!std::isfinite(result)) RaiseVbError(kErrOverflow);
    return vb::FormatGeneralNumber(result);
  });
}

bool ConditionMet(std::string& condition, const std::string& list) {
  try {
    // Trimmed in place: blanks only, as VB's Trim.
    condition.erase(0, std::min(condition.size(), condition.find_first_not_of(' ')));
    condition.erase(condition.find_last_not_of(' ') + 1);
    if (condition.empty()) return true;
    const std::string expression = ExpandBraces(condition, list);
    if (expression.empty()) RaiseConditionFormatError();
    // The whole expression language, not only the Boolean words: stored
    // conditions are data, and any of them must evaluate as it always has.
    return vb::CBool(vbscript::ThreadScriptEngine().Eval(expression));
  } catch (const ComError& error) {
    // Same number and description; the source names this procedure.
    throw ComError(error.number(), ConditionMetSource(), error.description());
  }
}

}  // namespace trelix
