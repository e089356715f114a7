#include "common/vbscript_lexer.h"

#include <charconv>
#include <cmath>
#include <string>

#include "common/com_error.h"
#include "common/vb_internal.h"

namespace trelix::vbscript {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

struct Keyword {
  const char* word;
  TokenKind kind;
};

// Words with a meaning in expressions, and the statement words that can
// never appear in one.
constexpr Keyword kKeywords[] = {
    {"and", TokenKind::kAnd},         {"or", TokenKind::kOr},           {"xor", TokenKind::kXor},
    {"eqv", TokenKind::kEqv},         {"imp", TokenKind::kImp},         {"not", TokenKind::kNot},
    {"mod", TokenKind::kMod},         {"is", TokenKind::kIs},           {"true", TokenKind::kTrue},
    {"false", TokenKind::kFalse},     {"empty", TokenKind::kEmpty},     {"null", TokenKind::kNull},
    {"nothing", TokenKind::kNothing}, {"call", TokenKind::kReserved},   {"case", TokenKind::kReserved},
    {"class", TokenKind::kReserved},  {"const", TokenKind::kReserved},  {"dim", TokenKind::kReserved},
    {"do", TokenKind::kReserved},     {"each", TokenKind::kReserved},   {"else", TokenKind::kReserved},
    {"elseif", TokenKind::kReserved}, {"end", TokenKind::kReserved},    {"erase", TokenKind::kReserved},
    {"exit", TokenKind::kReserved},   {"for", TokenKind::kReserved},    {"function", TokenKind::kReserved},
    {"goto", TokenKind::kReserved},   {"if", TokenKind::kReserved},     {"in", TokenKind::kReserved},
    {"let", TokenKind::kReserved},    {"loop", TokenKind::kReserved},   {"me", TokenKind::kReserved},
    {"new", TokenKind::kReserved},    {"next", TokenKind::kReserved},   {"on", TokenKind::kReserved},
    {"option", TokenKind::kReserved}, {"private", TokenKind::kReserved}, {"public", TokenKind::kReserved},
    {"redim", TokenKind::kReserved},  {"select", TokenKind::kReserved}, {"set", TokenKind::kReserved},
    {"stop", TokenKind::kReserved},   {"sub", TokenKind::kReserved},    {"then", TokenKind::kReserved},
    {"to", TokenKind::kReserved},     {"until", TokenKind::kReserved},  {"wend", TokenKind::kReserved},
    {"while", TokenKind::kReserved},  {"with", TokenKind::kReserved},
};

bool EqualsLower(std::string_view word, const char* lower) {
  size_t i = 0;
  for (; lower[i] != '\0'; ++i) {
    if (i >= word.size() || (word[i] | 0x20) != lower[i]) return false;
  }
  return i == word.size();
}

}  // namespace

std::string VbScriptErrorDescription(int32_t number) {
  switch (number) {
    case kErrSyntax: return "Syntax error";
    case kErrExpectedLParen: return "Expected '('";
    case kErrExpectedRParen: return "Expected ')'";
    case kErrExpectedIdentifier: return "Expected identifier";
    case kErrExpectedExpression: return "Expected expression";
    case kErrExpectedEndOfStatement: return "Expected end of statement";
    case kErrIdentifierTooLong: return "Identifier too long";
    case kErrInvalidNumber: return "Invalid number";
    case kErrInvalidCharacter: return "Invalid character";
    case kErrUnterminatedString: return "Unterminated string constant";
    case kErrOutOfStackSpace: return "Out of stack space";
    case kErrObjectVariableNotSet: return "Object variable not set";
    case 500: return "Variable is undefined";
    default: return VbErrorDescription(number);
  }
}

Token Lexer::Next() {
  for (;;) {
    if (pos_ >= source_.size()) return Token{TokenKind::kEnd, source_.substr(pos_), {}};
    char c = source_[pos_];
    if (c == ' ' || c == '\t') {
      ++pos_;
      continue;
    }
    if (c == '\'') {  // comment to the end of the line
      while (pos_ < source_.size() && source_[pos_] != '\n' && source_[pos_] != '\r') ++pos_;
      continue;
    }
    if (c == '_') {
      // Line continuation: "_", optional blanks, a line break.
      size_t p = pos_ + 1;
      while (p < source_.size() && (source_[p] == ' ' || source_[p] == '\t')) ++p;
      if (p < source_.size() && (source_[p] == '\n' || source_[p] == '\r')) {
        pos_ = p + ((source_[p] == '\r' && p + 1 < source_.size() && source_[p + 1] == '\n') ? 2 : 1);
        continue;
      }
      throw CompileError{kErrInvalidCharacter};
    }
    break;
  }
  const size_t start = pos_;
  const char c = source_[pos_];
  auto single = [&](TokenKind kind, size_t length = 1) {
    pos_ += length;
    return Token{kind, source_.substr(start, length), {}};
  };
  auto next_is = [&](char expected) { return pos_ + 1 < source_.size() && source_[pos_ + 1] == expected; };
  switch (c) {
    case '\n': return single(TokenKind::kNewline);
    case '\r': return single(TokenKind::kNewline, next_is('\n') ? 2 : 1);
    case '+': return single(TokenKind::kPlus);
    case '-': return single(TokenKind::kMinus);
    case '*': return single(TokenKind::kStar);
    case '/': return single(TokenKind::kSlash);
    case '\\': return single(TokenKind::kBackslash);
    case '^': return single(TokenKind::kCaret);
    case '(': return single(TokenKind::kLParen);
    case ')': return single(TokenKind::kRParen);
    case ',': return single(TokenKind::kComma);
    case ':': return single(TokenKind::kColon);
    case '=':
      if (next_is('<')) return single(TokenKind::kLe, 2);
      if (next_is('>')) return single(TokenKind::kGe, 2);
      return single(TokenKind::kEq);
    case '<':
      if (next_is('=')) return single(TokenKind::kLe, 2);
      if (next_is('>')) return single(TokenKind::kNe, 2);
      return single(TokenKind::kLt);
    case '>':
      if (next_is('=')) return single(TokenKind::kGe, 2);
      if (next_is('<')) return single(TokenKind::kNe, 2);
      return single(TokenKind::kGt);
    case '&': {
      // &H1F and &O17 are numbers; any other "&" concatenates.
      char kind = pos_ + 1 < source_.size() ? source_[pos_ + 1] : '\0';
      char digit = pos_ + 2 < source_.size() ? source_[pos_ + 2] : '\0';
      if (((kind == 'h' || kind == 'H') && IsHexDigit(digit)) || ((kind == 'o' || kind == 'O') && IsOctalDigit(digit)))
        return LexRadix();
      return single(TokenKind::kAmpersand);
    }
    case '"': return LexString();
    case '#': return LexDate();
    case '.':
      if (pos_ + 1 < source_.size() && IsDigit(source_[pos_ + 1])) return LexNumber();
      return single(TokenKind::kDot);
    default: break;
  }
  if (IsDigit(c)) return LexNumber();
  if (IsLetter(c)) return LexWord();
  throw CompileError{kErrInvalidCharacter};
}

Token Lexer::LexNumber() {
  const size_t start = pos_;
  bool real = false;
  while (pos_ < source_.size() && IsDigit(source_[pos_])) ++pos_;
  if (pos_ < source_.size() && source_[pos_] == '.') {
    real = true;
    ++pos_;
    while (pos_ < source_.size() && IsDigit(source_[pos_])) ++pos_;
  }
  if (pos_ < source_.size() && (source_[pos_] == 'e' || source_[pos_] == 'E')) {
    real = true;
    ++pos_;
    if (pos_ < source_.size() && (source_[pos_] == '+' || source_[pos_] == '-')) ++pos_;
    if (pos_ >= source_.size() || !IsDigit(source_[pos_])) throw CompileError{kErrInvalidNumber};
    while (pos_ < source_.size() && IsDigit(source_[pos_])) ++pos_;
  }
  std::string_view text = source_.substr(start, pos_ - start);
  if (!real) {
    // Integer literals take the smallest type that holds them.
    size_t first = text.find_first_not_of('0');
    std::string_view digits = first == std::string_view::npos ? "0" : text.substr(first);
    if (digits.size() <= 10) {
      int64_t value = 0;
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (value <= INT16_MAX) return Token{TokenKind::kNumber, text, Variant(static_cast<int16_t>(value))};
      if (value <= INT32_MAX) return Token{TokenKind::kNumber, text, Variant(static_cast<int32_t>(value))};
    }
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) throw CompileError{kErrInvalidNumber};
  if (ec == std::errc::result_out_of_range) {
    // Tiny values underflow to zero; too large ones do not compile.
    size_t e = text.find_first_of("eE");
    if (e == std::string_view::npos || text[e + 1] != '-') throw CompileError{kErrInvalidNumber};
    value = 0;
  }
  if (!std::isfinite(value)) throw CompileError{kErrInvalidNumber};
  return Token{TokenKind::kNumber, text, Variant(value)};
}

Token Lexer::LexRadix() {
  const size_t start = pos_;
  const bool hex = source_[pos_ + 1] == 'h' || source_[pos_ + 1] == 'H';
  pos_ += 2;
  uint64_t value = 0;
  while (pos_ < source_.size() && (hex ? IsHexDigit(source_[pos_]) : IsDigit(source_[pos_]))) {
    char c = source_[pos_];
    unsigned digit = IsDigit(c) ? static_cast<unsigned>(c - '0') : static_cast<unsigned>((c | 0x20) - 'a' + 10);
    if (!hex && digit > 7) throw CompileError{kErrInvalidNumber};
    value = value * (hex ? 16 : 8) + digit;
    if (value > 0xFFFFFFFFull) throw CompileError{kErrInvalidNumber};
    ++pos_;
  }
  const bool long_suffix = pos_ < source_.size() && source_[pos_] == '&';
  if (long_suffix) ++pos_;
  // Without "&" a value of 16 bits is an Integer bit pattern (&HFFFF = -1);
  // the type is the smallest that holds the resulting value.
  int64_t result = (!long_suffix && value <= 0xFFFF) ? static_cast<int16_t>(static_cast<uint16_t>(value))
                                                      : static_cast<int32_t>(static_cast<uint32_t>(value));
  std::string_view text = source_.substr(start, pos_ - start);
  if (result >= INT16_MIN && result <= INT16_MAX) {
    return Token{TokenKind::kNumber, text, Variant(static_cast<int16_t>(result))};
  }
  return Token{TokenKind::kNumber, text, Variant(static_cast<int32_t>(result))};
}

Token Lexer::LexString() {
  const size_t start = pos_;
  ++pos_;
  std::string value;
  for (;;) {
    size_t quote = source_.find_first_of("\"\r\n", pos_);
    if (quote == std::string_view::npos || source_[quote] != '"') throw CompileError{kErrUnterminatedString};
    value.append(source_.substr(pos_, quote - pos_));
    pos_ = quote + 1;
    if (pos_ < source_.size() && source_[pos_] == '"') {  // "" is one quote
      value.push_back('"');
      ++pos_;
      continue;
    }
    break;
  }
  return Token{TokenKind::kString, source_.substr(start, pos_ - start), Variant(std::move(value))};
}

Token Lexer::LexDate() {
  const size_t start = pos_;
  size_t close = source_.find_first_of("#\r\n", pos_ + 1);
  if (close == std::string_view::npos || source_[close] != '#') throw CompileError{kErrSyntax};
  double date = 0;
  // Date literals are read in the US form whatever the regional settings.
  if (!vb::internal::ParseDateText(source_.substr(start + 1, close - start - 1), &date)) {
    throw CompileError{kErrSyntax};
  }
  pos_ = close + 1;
  return Token{TokenKind::kDate, source_.substr(start, pos_ - start), Variant::Date(date)};
}

Token Lexer::LexWord() {
  const size_t start = pos_;
  while (pos_ < source_.size() && (IsLetter(source_[pos_]) || IsDigit(source_[pos_]) || source_[pos_] == '_')) ++pos_;
  std::string_view word = source_.substr(start, pos_ - start);
  if (word.size() > 255) throw CompileError{kErrIdentifierTooLong};
  if (EqualsLower(word, "rem")) {  // a comment
    while (pos_ < source_.size() && source_[pos_] != '\n' && source_[pos_] != '\r') ++pos_;
    return Next();
  }
  for (const Keyword& keyword : kKeywords) {
    if (EqualsLower(word, keyword.word)) return Token{keyword.kind, word, {}};
  }
  return Token{TokenKind::kIdentifier, word, {}};
}

}  // namespace trelix::vbscript
