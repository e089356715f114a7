#include "common/vbscript_parser.h"

#include <utility>

#include "common/vbscript_functions.h"
#include "common/vbscript_lexer.h"

namespace trelix::vbscript {
namespace {

// The binary precedence levels, lowest first. Not sits between And and the
// comparisons; the unary operators below the last level.
enum Level : int {
  kImpLevel,
  kEqvLevel,
  kXorLevel,
  kOrLevel,
  kAndLevel,
  kNotLevel,
  kCompareLevel,
  kConcatLevel,
  kAddLevel,
  kModLevel,
  kIntDivLevel,
  kMulLevel,
  kPowLevel,
  kUnaryLevel,
};

bool OperatorAt(int level, TokenKind token, BinaryOp* op) {
  switch (level) {
    case kImpLevel: *op = BinaryOp::kImp; return token == TokenKind::kImp;
    case kEqvLevel: *op = BinaryOp::kEqv; return token == TokenKind::kEqv;
    case kXorLevel: *op = BinaryOp::kXor; return token == TokenKind::kXor;
    case kOrLevel: *op = BinaryOp::kOr; return token == TokenKind::kOr;
    case kAndLevel: *op = BinaryOp::kAnd; return token == TokenKind::kAnd;
    case kCompareLevel:
      switch (token) {
        case TokenKind::kEq: *op = BinaryOp::kEq; return true;
        case TokenKind::kNe: *op = BinaryOp::kNe; return true;
        case TokenKind::kLt: *op = BinaryOp::kLt; return true;
        case TokenKind::kGt: *op = BinaryOp::kGt; return true;
        case TokenKind::kLe: *op = BinaryOp::kLe; return true;
        case TokenKind::kGe: *op = BinaryOp::kGe; return true;
        case TokenKind::kIs: *op = BinaryOp::kIs; return true;
        default: return false;
      }
    case kConcatLevel: *op = BinaryOp::kConcat; return token == TokenKind::kAmpersand;
    case kAddLevel:
      if (token == TokenKind::kPlus) *op = BinaryOp::kAdd;
      else if (token == TokenKind::kMinus) *op = BinaryOp::kSub;
      else return false;
      return true;
    case kModLevel: *op = BinaryOp::kMod; return token == TokenKind::kMod;
    case kIntDivLevel: *op = BinaryOp::kIntDiv; return token == TokenKind::kBackslash;
    case kMulLevel:
      if (token == TokenKind::kStar) *op = BinaryOp::kMul;
      else if (token == TokenKind::kSlash) *op = BinaryOp::kDiv;
      else return false;
      return true;
    case kPowLevel: *op = BinaryOp::kPow; return token == TokenKind::kCaret;
    default: return false;
  }
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
  }
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view source) : lexer_(source) { Advance(); }

  std::unique_ptr<Node> ParseProgram() {
    SkipNewlines();
    if (token_.kind == TokenKind::kEnd) return Literal(Variant(), LiteralKind::kNone);
    std::unique_ptr<Node> root = ParseNested();
    SkipNewlines();
    if (token_.kind != TokenKind::kEnd) throw CompileError{kErrExpectedEndOfStatement};
    return root;
  }

 private:
  void Advance() { token_ = lexer_.Next(); }
  void SkipNewlines() {
    while (token_.kind == TokenKind::kNewline) Advance();
  }

  static std::unique_ptr<Node> Literal(Variant value, LiteralKind kind) {
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::kLiteral;
    node->literal = kind;
    node->value = std::move(value);
    return node;
  }

  // A whole expression inside parentheses or an argument list.
  std::unique_ptr<Node> ParseNested() {
    if (++depth_ > kMaxNesting) throw CompileError{kErrOutOfStackSpace};
    std::unique_ptr<Node> node = ParseLevel(kImpLevel);
    --depth_;
    return node;
  }

  std::unique_ptr<Node> ParseLevel(int level) {
    if (level == kNotLevel) return ParseNot();
    if (level == kUnaryLevel) return ParseUnary();
    std::unique_ptr<Node> first = ParseLevel(level + 1);
    std::unique_ptr<Node> chain;
    BinaryOp op;
    while (OperatorAt(level, token_.kind, &op)) {
      Advance();
      if (!chain) {
        chain = std::make_unique<Node>();
        chain->kind = NodeKind::kChain;
        chain->children.push_back(std::move(first));
      }
      chain->ops.push_back(op);
      chain->children.push_back(ParseLevel(level + 1));
    }
    return chain ? std::move(chain) : std::move(first);
  }

  std::unique_ptr<Node> ParseNot() {
    uint32_t count = 0;
    while (token_.kind == TokenKind::kNot) {
      ++count;
      Advance();
    }
    std::unique_ptr<Node> operand = ParseLevel(kCompareLevel);
    if (count == 0) return operand;
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::kNot;
    node->count = count;
    node->children.push_back(std::move(operand));
    return node;
  }

  std::unique_ptr<Node> ParseUnary() {
    uint32_t minus = 0;
    // Unary plus changes nothing, not even the type of a text.
    while (token_.kind == TokenKind::kMinus || token_.kind == TokenKind::kPlus) {
      if (token_.kind == TokenKind::kMinus) ++minus;
      Advance();
    }
    std::unique_ptr<Node> operand = ParsePrimary();
    if (minus == 0) return operand;
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::kNegate;
    node->count = minus;
    node->children.push_back(std::move(operand));
    return node;
  }

  std::unique_ptr<Node> ParsePrimary() {
    std::unique_ptr<Node> node;
    switch (token_.kind) {
      case TokenKind::kNumber: node = Literal(token_.value, LiteralKind::kNumber); break;
      case TokenKind::kString: node = Literal(token_.value, LiteralKind::kString); break;
      case TokenKind::kDate: node = Literal(token_.value, LiteralKind::kDate); break;
      case TokenKind::kTrue: node = Literal(Variant(true), LiteralKind::kNone); break;
      case TokenKind::kFalse: node = Literal(Variant(false), LiteralKind::kNone); break;
      case TokenKind::kEmpty: node = Literal(Variant(), LiteralKind::kNone); break;
      case TokenKind::kNull: node = Literal(Variant::Null(), LiteralKind::kNone); break;
      case TokenKind::kNothing: node = Literal(Variant::Nothing(), LiteralKind::kNone); break;
      case TokenKind::kLParen: {
        Advance();
        // Parentheses only group: a literal inside keeps its literal kind.
        node = ParseNested();
        if (token_.kind != TokenKind::kRParen) throw CompileError{kErrExpectedRParen};
        Advance();
        return ParseMembers(std::move(node));
      }
      case TokenKind::kIdentifier: return ParseMembers(ParseName());
      default: throw CompileError{kErrSyntax};
    }
    Advance();
    return node;
  }

  std::unique_ptr<Node> ParseName() {
    auto node = std::make_unique<Node>();
    node->name = Lower(token_.text);
    Advance();
    node->builtin = FindBuiltin(node->name);
    node->kind = node->builtin ? NodeKind::kBuiltin : NodeKind::kVariable;
    if (token_.kind == TokenKind::kLParen) {
      node->has_args = true;
      ParseArguments(node.get());
    }
    return node;
  }

  // obj.member and obj.member(args), any number of times.
  std::unique_ptr<Node> ParseMembers(std::unique_ptr<Node> object) {
    int added = 0;  // each member nests one level deeper
    while (token_.kind == TokenKind::kDot) {
      if (++depth_ > kMaxNesting) throw CompileError{kErrOutOfStackSpace};
      ++added;
      Advance();
      if (token_.kind != TokenKind::kIdentifier) throw CompileError{kErrExpectedIdentifier};
      auto member = std::make_unique<Node>();
      member->kind = NodeKind::kMember;
      member->name = Lower(token_.text);
      member->children.push_back(std::move(object));
      Advance();
      if (token_.kind == TokenKind::kLParen) {
        member->has_args = true;
        ParseArguments(member.get());
      }
      object = std::move(member);
    }
    depth_ -= added;
    return object;
  }

  void ParseArguments(Node* call) {
    Advance();  // (
    if (token_.kind == TokenKind::kRParen) {
      Advance();
      return;
    }
    for (;;) {
      call->children.push_back(ParseNested());
      if (token_.kind == TokenKind::kComma) {
        Advance();
        continue;
      }
      if (token_.kind != TokenKind::kRParen) throw CompileError{kErrExpectedRParen};
      Advance();
      return;
    }
  }

  Lexer lexer_;
  Token token_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<Node> ParseExpression(std::string_view source) { return Parser(source).ParseProgram(); }

}  // namespace trelix::vbscript
