#include "common/vbscript_engine.h"

#include <utility>
#include <vector>

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "common/vbscript_functions.h"
#include "common/vbscript_lexer.h"
#include "common/vbscript_operators.h"
#include "common/vbscript_parser.h"

namespace trelix::vbscript {

// A parsed text, or the compile error it gives (kept too, so that a bad
// stored condition is not parsed again on every row).
struct ScriptEngine::Compiled {
  std::unique_ptr<Node> root;
  int32_t error = 0;
};

namespace {

// Eval may call Eval; this bounds the recursion of texts that build texts.
constexpr int kMaxEvalDepth = 16;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
  }
  return out;
}

[[noreturn]] void RaiseScriptError(int32_t number, const std::string& name = {}) {
  std::string description = VbScriptErrorDescription(number);
  // The host names the offending identifier where it knows it.
  if (!name.empty()) description += ": '" + name + "'";
  throw ComError(number, kRuntimeErrorSource, description);
}

}  // namespace

ScriptEngine::ScriptEngine() = default;
ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::SetVariable(std::string_view name, Variant value) {
  variables_[Lower(name)] = std::move(value);
}

std::shared_ptr<const ScriptEngine::Compiled> ScriptEngine::Compile(std::string_view expression) {
  if (auto it = cache_.find(expression); it != cache_.end()) return it->second;
  auto compiled = std::make_shared<Compiled>();
  try {
    compiled->root = ParseExpression(expression);
  } catch (const CompileError& error) {
    compiled->error = error.number;
  }
  if (expression.size() <= kMaxCachedLength) {
    // Stored conditions are a bounded set; a full cache is simply restarted.
    if (cache_.size() >= kMaxCachedExpressions) cache_.clear();
    cache_.emplace(std::string(expression), compiled);
  }
  return compiled;
}

Variant ScriptEngine::Eval(std::string_view expression) {
  if (eval_depth_ >= kMaxEvalDepth) RaiseScriptError(kErrOutOfStackSpace);
  std::shared_ptr<const Compiled> compiled = Compile(expression);
  if (compiled->error != 0) {
    throw ComError(compiled->error, kCompileErrorSource, VbScriptErrorDescription(compiled->error));
  }
  ++eval_depth_;
  struct DepthGuard {
    int& depth;
    ~DepthGuard() { --depth; }
  } guard{eval_depth_};
  try {
    return Evaluate(*compiled->root);
  } catch (const ComError& error) {
    // Errors of the runtime library surface as the script's run-time
    // errors; those of host objects pass as the objects raised them.
    if (error.source() != kComponentName) throw;
    throw ComError(error.number(), kRuntimeErrorSource, VbScriptErrorDescription(error.number()));
  }
}

Variant ScriptEngine::Evaluate(const Node& node) {
  switch (node.kind) {
    case NodeKind::kLiteral: return node.value;
    case NodeKind::kChain: {
      // Both operands are always evaluated (no short circuit), left first.
      Variant acc = Evaluate(*node.children[0]);
      LiteralKind acc_kind = node.children[0]->literal;
      for (size_t i = 0; i < node.ops.size(); ++i) {
        const Node& right = *node.children[i + 1];
        Variant rhs = Evaluate(right);
        const BinaryOp op = node.ops[i];
        acc = IsComparison(op) ? Comparison(op, acc, acc_kind, rhs, right.literal) : BinaryOperation(op, acc, rhs);
        acc_kind = LiteralKind::kNone;
      }
      return acc;
    }
    case NodeKind::kNot: {
      Variant value = Evaluate(*node.children[0]);
      for (uint32_t i = 0; i < node.count; ++i) value = LogicalNot(value);
      return value;
    }
    case NodeKind::kNegate: {
      Variant value = Evaluate(*node.children[0]);
      for (uint32_t i = 0; i < node.count; ++i) value = Negate(value);
      return value;
    }
    case NodeKind::kBuiltin: {
      const Builtin& builtin = *node.builtin;
      const int count = static_cast<int>(node.children.size());
      // A constant called with arguments is no function.
      if (builtin.max_args == 0 && count > 0) RaiseScriptError(kErrTypeMismatch, std::string(builtin.name));
      if (count < builtin.min_args || (builtin.max_args >= 0 && count > builtin.max_args)) {
        RaiseScriptError(kErrWrongArgumentCount, std::string(builtin.name));
      }
      std::vector<Variant> args;
      args.reserve(node.children.size());
      for (const auto& child : node.children) args.push_back(Evaluate(*child));
      return builtin.call(args, *this);
    }
    case NodeKind::kVariable: return EvaluateVariable(node);
    case NodeKind::kMember: return EvaluateMember(node);
  }
  return Variant();
}

Variant ScriptEngine::EvaluateVariable(const Node& node) {
  auto it = variables_.find(node.name);
  if (it == variables_.end()) {
    // An undeclared name is an empty variable; calling it is a mismatch.
    if (node.has_args) RaiseScriptError(kErrTypeMismatch, node.name);
    return Variant();
  }
  const Variant& value = it->second;
  if (!node.has_args) return value;
  std::vector<Variant> args;
  for (const auto& child : node.children) args.push_back(Evaluate(*child));
  if (value.IsArray()) {
    if (args.size() != 1) RaiseScriptError(kErrSubscriptOutOfRange);
    const SafeArray& array = *value.array();
    int64_t index = vb::CLng(args[0]) - static_cast<int64_t>(array.lower_bound);
    if (index < 0 || index >= static_cast<int64_t>(array.items.size())) RaiseScriptError(kErrSubscriptOutOfRange);
    return array.items[static_cast<size_t>(index)];
  }
  if (value.IsObject()) {
    if (value.IsNothing()) RaiseScriptError(kErrObjectVariableNotSet);
    return value.object()->Invoke("", InvokeKind::kPropertyGet, args);
  }
  RaiseScriptError(kErrTypeMismatch, node.name);
}

Variant ScriptEngine::EvaluateMember(const Node& node) {
  Variant object = Evaluate(*node.children[0]);
  if (!object.IsObject()) RaiseScriptError(kErrObjectRequired);
  if (object.IsNothing()) RaiseScriptError(kErrObjectVariableNotSet);
  std::vector<Variant> args;
  for (size_t i = 1; i < node.children.size(); ++i) args.push_back(Evaluate(*node.children[i]));
  return object.object()->Invoke(node.name, InvokeKind::kPropertyGet, args);
}

ScriptEngine& ThreadScriptEngine() {
  thread_local ScriptEngine engine;
  return engine;
}

std::string VbScriptTypeName(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kInteger: return "Integer";
    case VarType::kLong: return "Long";
    case VarType::kSingle: return "Single";
    case VarType::kDouble: return "Double";
    case VarType::kCurrency: return "Currency";
    case VarType::kDate: return "Date";
    case VarType::kString: return "String";
    case VarType::kObject: return value.IsNothing() ? "Nothing" : value.object()->TypeName();
    case VarType::kError: return "Error";
    case VarType::kBoolean: return "Boolean";
    case VarType::kDecimal: return "Decimal";
    case VarType::kByte: return "Byte";
    case VarType::kLongLong: return "LongLong";
    case VarType::kArray: return "Variant()";
  }
  return "Unknown";
}

void FuzzEvalVbScript(const uint8_t* data, size_t size) {
  ScriptEngine engine;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    Variant result = engine.Eval(text);
    vb::ToText(result);
    engine.Eval(text);  // the cached form must give the same outcome
  } catch (const ComError&) {
  }
}

}  // namespace trelix::vbscript
