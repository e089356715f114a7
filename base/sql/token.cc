#include "base/sql/token.h"

#include "common/ascii.h"

namespace trelix::sql {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  // Bytes of multi-byte UTF-8 sequences count as letters: SQL Server allows
  // Unicode letters in regular names.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordStart(char c) { return IsLetter(c) || c == '_' || c == '@' || c == '#'; }
bool IsWordPart(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

std::string Where(size_t offset) { return " at offset " + std::to_string(offset); }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }

Result<std::vector<Token>> Tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  const size_t n = s.size();
  auto push = [&](TokenKind kind, std::string text, size_t at, bool national = false) {
    out.push_back(Token{kind, std::move(text), national, at});
  };
  // Reads a literal or quoted name closed by `close`, where a doubled
  // `close` stands for one; i points just after the opening character.
  auto read_quoted = [&](char close, std::string* value) -> bool {
    while (i < n) {
      char c = s[i++];
      if (c == close) {
        if (i < n && s[i] == close) {
          value->push_back(close);
          ++i;
          continue;
        }
        return true;
      }
      value->push_back(c);
    }
    return false;
  };

  while (i < n) {
    const char c = s[i];
    const size_t start = i;
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      // Block comments nest in T-SQL.
      int depth = 0;
      while (i < n) {
        if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
          i += 2;
          if (--depth == 0) break;
        } else {
          ++i;
        }
      }
      if (depth != 0) return Status::InvalidArgument("unterminated comment" + Where(start));
      continue;
    }
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
      const bool national = c != '\'';
      i += national ? 2 : 1;
      std::string value;
      if (!read_quoted('\'', &value)) return Status::InvalidArgument("unterminated string literal" + Where(start));
      push(TokenKind::kString, std::move(value), start, national);
      continue;
    }
    if (c == '[' || c == '"') {
      ++i;
      std::string value;
      if (!read_quoted(c == '[' ? ']' : '"', &value)) {
        return Status::InvalidArgument("unterminated quoted name" + Where(start));
      }
      if (value.empty()) return Status::InvalidArgument("empty quoted name" + Where(start));
      push(TokenKind::kQuotedIdentifier, std::move(value), start);
      continue;
    }
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(s[i + 1]))) {
      if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        return Status::Unsupported("binary literal (0x...)" + Where(start));
      }
      while (i < n && IsDigit(s[i])) ++i;
      if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(s[i])) ++i;
      }
      // An exponent only when digits follow; otherwise the letters start the
      // next word, as in "1INNER".
      if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < n && IsDigit(s[j])) {
          i = j;
          while (i < n && IsDigit(s[i])) ++i;
        }
      }
      push(TokenKind::kNumber, std::string(s.substr(start, i - start)), start);
      continue;
    }
    if (IsWordStart(c)) {
      while (i < n && IsWordPart(s[i])) ++i;
      push(TokenKind::kIdentifier, std::string(s.substr(start, i - start)), start);
      continue;
    }
    // Two-character comparison operators first.
    if (i + 1 < n) {
      const std::string_view two = s.substr(i, 2);
      if (two == "<>" || two == "!=" || two == "!<" || two == "!>" || two == "<=" || two == ">=") {
        i += 2;
        push(TokenKind::kOperator, std::string(two), start);
        continue;
      }
    }
    switch (c) {
      case '=': case '<': case '>': case '+': case '-': case '*': case '/':
      case '%': case '&': case '|': case '^': case '~':
        ++i;
        push(TokenKind::kOperator, std::string(1, c), start);
        continue;
      case '(': case ')': case ',': case '.': case ';': case '{': case '}':
        ++i;
        push(TokenKind::kPunct, std::string(1, c), start);
        continue;
      default:
        break;
    }
    std::string shown = (static_cast<unsigned char>(c) < 0x20) ? "\\x" + std::to_string(static_cast<int>(c)) : std::string(1, c);
    return Status::InvalidArgument("unexpected character '" + shown + "'" + Where(start));
  }
  out.push_back(Token{TokenKind::kEnd, "", false, n});
  return out;
}

}  // namespace trelix::sql
