#pragma once
// The tokens of VBScript expressions. The lexer works on demand (the
// parser pulls one token at a time), so the first error in reading order is
// the one reported, as the script compiler reports it.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/variant.h"

namespace trelix::vbscript {

// Compile-time error numbers and texts of the script compiler.
inline constexpr int32_t kErrSyntax = 1002;
inline constexpr int32_t kErrExpectedLParen = 1005;
inline constexpr int32_t kErrExpectedRParen = 1006;
inline constexpr int32_t kErrExpectedIdentifier = 1010;
inline constexpr int32_t kErrExpectedExpression = 1023;
inline constexpr int32_t kErrExpectedEndOfStatement = 1025;
inline constexpr int32_t kErrIdentifierTooLong = 1030;
inline constexpr int32_t kErrInvalidNumber = 1031;
inline constexpr int32_t kErrInvalidCharacter = 1032;
inline constexpr int32_t kErrUnterminatedString = 1033;
inline constexpr int32_t kErrOutOfStackSpace = 28;

// The description the script host gives an error number (compile-time and
// run-time numbers).
std::string VbScriptErrorDescription(int32_t number);

// A compile error: thrown by the lexer and the parser, caught where the
// expression is compiled.
struct CompileError {
  int32_t number;
};

enum class TokenKind : uint8_t {
  kEnd,
  kNewline,
  kNumber,      // value: Integer, Long or Double
  kString,      // value: String
  kDate,        // value: Date
  kIdentifier,  // text
  kTrue,
  kFalse,
  kEmpty,
  kNull,
  kNothing,
  kAnd,
  kOr,
  kXor,
  kEqv,
  kImp,
  kNot,
  kMod,
  kIs,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kBackslash,
  kCaret,
  kAmpersand,
  kEq,
  kNe,
  kLt,
  kGt,
  kLe,
  kGe,
  kLParen,
  kRParen,
  kComma,
  kDot,
  kColon,
  kReserved,  // a statement keyword (Dim, If, ...): never valid in an expression
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view text;  // the source text of the token
  Variant value;          // literals
};

class Lexer {
 public:
  explicit Lexer(std::string_view source) : source_(source) {}
  // The next token; throws CompileError for text that forms no token.
  Token Next();

 private:
  Token LexNumber();
  Token LexRadix();
  Token LexString();
  Token LexDate();
  Token LexWord();

  std::string_view source_;
  size_t pos_ = 0;
};

}  // namespace trelix::vbscript
