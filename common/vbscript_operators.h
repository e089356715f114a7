#pragma once
// The operators of VBScript expressions on variants: arithmetic with the
// automation type promotion (Integer -> Long -> Double on overflow), "&",
// the bitwise three-valued logical operators, and the comparisons with the
// literal ("hard type") rules of the compiler.
//
// Errors are ComErrors with the run-time error numbers (6 overflow, 11
// division by zero, 13 type mismatch, 424 object required, ...).

#include <cstdint>

#include "common/variant.h"

namespace trelix::vbscript {

enum class BinaryOp : uint8_t {
  kImp,
  kEqv,
  kXor,
  kOr,
  kAnd,
  kEq,
  kNe,
  kLt,
  kGt,
  kLe,
  kGe,
  kIs,
  kConcat,
  kAdd,
  kSub,
  kMod,
  kIntDiv,
  kMul,
  kDiv,
  kPow,
};

inline bool IsComparison(BinaryOp op) { return op >= BinaryOp::kEq && op <= BinaryOp::kIs; }

// What an operand of a comparison was in the source: a literal token of
// one of these kinds decides how the other side is converted.
enum class LiteralKind : uint8_t { kNone, kNumber, kString, kDate };

// Every operator except the comparisons.
Variant BinaryOperation(BinaryOp op, const Variant& a, const Variant& b);
// = <> < > <= >= and Is. Null on either side gives Null (except Is).
Variant Comparison(BinaryOp op, const Variant& a, LiteralKind a_kind, const Variant& b, LiteralKind b_kind);
// Unary minus and Not.
Variant Negate(const Variant& value);
Variant LogicalNot(const Variant& value);

}  // namespace trelix::vbscript
