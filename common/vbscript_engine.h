#pragma once
// The VBScript expression engine: what the script host's Eval does for the
// stored conditions and formulas of the component.
//
//   Variant v = ThreadScriptEngine().Eval("(true or false) and not true");
//
// Eval takes exactly one expression of the language (operators, literals,
// built-in functions and constants; an undeclared name reads as Empty) and
// returns its value, or raises ComError:
//   - compile errors: number 1002 "Syntax error", 1025 "Expected end of
//     statement", 1006 "Expected ')'", 1033 "Unterminated string constant",
//     ... with source kCompileErrorSource;
//   - run-time errors: 13 "Type mismatch", 6 "Overflow", 11 "Division by
//     zero", 94 "Invalid use of Null", ... with source kRuntimeErrorSource.
//
// Each engine keeps the parsed form of the texts it evaluated, so that
// evaluating a stored condition again costs no parsing. An engine belongs to
// one thread; ThreadScriptEngine gives the calling thread's own engine,
// created on first use and kept until the thread ends.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/variant.h"

namespace trelix::vbscript {

struct Node;

inline constexpr const char* kCompileErrorSource = "VBScript compilation error";
inline constexpr const char* kRuntimeErrorSource = "VBScript runtime error";

class ScriptEngine {
 public:
  ScriptEngine();
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // Evaluates one expression (see above). Raises ComError.
  Variant Eval(std::string_view expression);

  // A name the host defines for the expressions (as the script host's
  // AddObject and global variables do); names compare case-insensitively.
  // Undefined names read as Empty.
  void SetVariable(std::string_view name, Variant value);

  // The parsed texts kept; at most kMaxCachedExpressions, each of at most
  // kMaxCachedLength bytes (longer texts are parsed every time).
  size_t cached_expressions() const { return cache_.size(); }
  void ClearCache() { cache_.clear(); }
  static constexpr size_t kMaxCachedExpressions = 4096;
  static constexpr size_t kMaxCachedLength = 4096;

 private:
  struct Compiled;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  std::shared_ptr<const Compiled> Compile(std::string_view expression);
  Variant Evaluate(const Node& node);
  Variant EvaluateVariable(const Node& node);
  Variant EvaluateMember(const Node& node);

  std::unordered_map<std::string, std::shared_ptr<const Compiled>, TextHash, std::equal_to<>> cache_;
  std::unordered_map<std::string, Variant> variables_;
  int eval_depth_ = 0;  // Eval() called from an expression
};

// The calling thread's engine.
ScriptEngine& ThreadScriptEngine();

// VBScript's TypeName of a value: Empty, Null, Integer, Long, Single,
// Double, Currency, Date, String, Boolean, Byte, Decimal, Error, Variant()
// for arrays, Nothing, or the class name of an object.
std::string VbScriptTypeName(const Variant& value);

// For fuzzing: evaluates arbitrary bytes on a fresh engine. Any outcome is
// fine except a crash, a hang or an exception other than ComError.
void FuzzEvalVbScript(const uint8_t* data, size_t size);

}  // namespace trelix::vbscript
