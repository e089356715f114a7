#pragma once
// Tokens of a T-SQL statement. String literals, quoted identifiers ([x] or
// "x") and comments are single tokens, so that no later step can mistake
// their contents for syntax.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace trelix::sql {

enum class TokenKind : uint8_t {
  kIdentifier,        // a bare word: keyword or name (case as written)
  kQuotedIdentifier,  // [x] or "x"; text holds the name without the quotes
  kString,            // '...' or N'...'; text holds the value ('' undone)
  kNumber,            // 12, 1.5, .5, 1e5
  kOperator,          // = <> != !< !> <= >= < > + - * / % & | ^ ~
  kPunct,             // ( ) , . ; { }
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  bool national = false;  // N'...'
  size_t offset = 0;      // byte offset in the statement, for messages
};

// Splits a statement into tokens, dropping blanks and comments. A number
// glued to a word ("1INNER") gives two tokens, as SQL Server's lexer does.
// Fails on an unterminated literal, quoted name or comment, and on a
// character that starts no token.
Result<std::vector<Token>> Tokenize(std::string_view text);

// ASCII case-insensitive equality, for keywords and names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace trelix::sql
