#include "base/sql/translator.h"

#include "base/sql/analysis.h"
#include "base/sql/parser.h"
#include "base/sql/printer.h"
#include "base/sql/token.h"

namespace trelix::sql {
namespace {

// Longer texts are refused: the component's statements are a few
// kilobytes, and the bound keeps hostile input cheap.
constexpr size_t kMaxStatementBytes = 1 << 20;

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsShape(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
  return s.size() >= i + 5 && EqualsIgnoreCase(s.substr(i, 5), "SHAPE") && (s.size() == i + 5 || !IsWordChar(s[i + 5]));
}

Result<Translation> TranslateSelect(std::string_view tsql, Dialect dialect, const TranslateOptions& options) {
  const bool tsql_target = dialect == Dialect::kSqlServer;
  auto unchanged = [&] { return Translation{std::string(tsql), {}}; };
  if (tsql.size() > kMaxStatementBytes) {
    if (tsql_target) return unchanged();
    return Status::InvalidArgument("statement longer than " + std::to_string(kMaxStatementBytes) + " bytes");
  }
  // Neither engine's client interface carries a NUL character in a
  // statement (both take C strings).
  if (!tsql_target && tsql.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument("NUL character in the statement");
  }
  // SQL Server judges its own dialect: what this parser does not take goes
  // to it unchanged.
  auto tokens = Tokenize(tsql);
  if (!tokens.ok()) return tsql_target ? Result<Translation>(unchanged()) : tokens.status();
  auto query = Parse(tokens.value());
  if (!query.ok()) return tsql_target ? Result<Translation>(unchanged()) : query.status();
  int repairs = 0;
  if (Status s = Analyze(query.value().get(), &repairs); !s.ok()) {
    return tsql_target ? Result<Translation>(unchanged()) : s;
  }
  const ColumnTypeLookup* lookup = options.column_types ? &options.column_types : nullptr;
  auto printed = PrintQuery(*query.value(), dialect, lookup);
  if (!printed.ok()) return tsql_target ? Result<Translation>(unchanged()) : printed.status();
  Translation out;
  out.databases = std::move(printed->databases);
  out.text = tsql_target && repairs == 0 ? std::string(tsql) : std::move(printed->text);
  return out;
}

// SHAPE is evaluated by the connector, never sent to a server; only the
// provider commands between braces are SQL.
Result<Translation> TranslateShape(std::string_view text, Dialect dialect, const TranslateOptions& options) {
  Translation out;
  size_t i = 0;
  int commands = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      while (j < text.size() && text[j] != close) ++j;
      if (j >= text.size()) return Status::InvalidArgument("SHAPE command with an unterminated quoted name");
      out.text.append(text.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    if (c != '{') {
      out.text.push_back(c);
      ++i;
      continue;
    }
    // The provider command ends at the first '}' outside its literals and
    // quoted names.
    size_t j = i + 1;
    char quote = 0;
    for (; j < text.size(); ++j) {
      const char d = text[j];
      if (quote) {
        if (d == quote) quote = 0;
      } else if (d == '\'' || d == '"') {
        quote = d;
      } else if (d == '[') {
        quote = ']';
      } else if (d == '}') {
        break;
      }
    }
    if (j >= text.size()) return Status::InvalidArgument("SHAPE command with an unterminated { provider command");
    auto inner = TranslateSelect(text.substr(i + 1, j - i - 1), dialect, options);
    if (!inner.ok()) return inner.status();
    out.text += "{" + inner->text + "}";
    for (const std::string& d : inner->databases) {
      bool seen = false;
      for (const std::string& e : out.databases) seen = seen || EqualsIgnoreCase(d, e);
      if (!seen) out.databases.push_back(d);
    }
    ++commands;
    i = j + 1;
  }
  if (commands == 0) return Status::InvalidArgument("SHAPE command without a {provider command}");
  return out;
}

}  // namespace

Result<Translation> Translate(std::string_view tsql, Dialect dialect) {
  return Translate(tsql, dialect, TranslateOptions{});
}

Result<Translation> Translate(std::string_view tsql, Dialect dialect, const TranslateOptions& options) {
  if (IsShape(tsql)) {
    if (tsql.size() > kMaxStatementBytes) return Status::InvalidArgument("statement too long");
    return TranslateShape(tsql, dialect, options);
  }
  return TranslateSelect(tsql, dialect, options);
}

void FuzzTranslate(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (Dialect d : {Dialect::kSqlite, Dialect::kPostgres, Dialect::kSqlServer}) {
    auto r = Translate(text, d);
    // A translation is itself a statement that must survive translating
    // again where the dialect is still T-SQL.
    if (r.ok() && d == Dialect::kSqlServer) (void)Translate(r->text, Dialect::kSqlite);
  }
}

}  // namespace trelix::sql
