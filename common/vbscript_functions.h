#pragma once
// The built-in functions and constants of VBScript expressions: the
// conversions (CStr, CDbl, CInt, CLng, CBool, CDate, ...), text functions
// (Len, Left, Mid, InStr, Replace, ...), math (Abs, Int, Fix, Sgn, Round,
// ...), inspection (IsNumeric, IsNull, TypeName, VarType, ...), dates,
// arrays, Eval, and the vb... constants.
//
// Arguments arrive evaluated; the functions apply VBScript's Null rules
// (most text functions pass Null through, conversions raise 94).

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/variant.h"

namespace trelix::vbscript {

class ScriptEngine;

using BuiltinFunction = Variant (*)(std::vector<Variant>& args, ScriptEngine& engine);

struct Builtin {
  std::string_view name;  // as the language spells it
  int8_t min_args;
  int8_t max_args;  // -1: any number
  BuiltinFunction call;
};

// The built-in of that name (any case), or nullptr.
const Builtin* FindBuiltin(std::string_view name);

}  // namespace trelix::vbscript
