#pragma once
// The parser of VBScript expressions: exactly one expression, optionally
// followed by line breaks, into the tree the engine evaluates.
//
// Precedence, lowest first: Imp, Eqv, Xor, Or, And, Not (prefix), the
// comparisons = <> < > <= >= Is (one level), &, + -, Mod, \, * /, ^, unary
// - and + (prefix; tighter than ^, so -3^2 is 9). Binary operators associate
// to the left; a comparison chain is read left to right.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/variant.h"
#include "common/vbscript_operators.h"

namespace trelix::vbscript {

struct Builtin;

enum class NodeKind : uint8_t {
  kLiteral,   // value
  kChain,     // children[0] ops[0] children[1] ops[1] children[2] ... at one precedence level
  kNot,       // `count` times Not children[0]
  kNegate,    // `count` times unary minus children[0]
  kBuiltin,   // builtin(children...)
  kVariable,  // name, with the arguments in children when has_args
  kMember,    // children[0].name(children[1..])
};

struct Node {
  NodeKind kind = NodeKind::kLiteral;
  LiteralKind literal = LiteralKind::kNone;  // for literals that the comparison rules care about
  bool has_args = false;
  uint32_t count = 0;
  Variant value;
  std::string name;  // lower case
  const Builtin* builtin = nullptr;
  std::vector<BinaryOp> ops;
  std::vector<std::unique_ptr<Node>> children;
};

// Nesting (parentheses and argument lists) deeper than this does not
// compile: the evaluator recurses once per level.
inline constexpr int kMaxNesting = 100;

// Parses `source`; an empty or blank text is the literal Empty. Throws
// CompileError.
std::unique_ptr<Node> ParseExpression(std::string_view source);

}  // namespace trelix::vbscript
