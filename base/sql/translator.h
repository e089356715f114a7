#pragma once
// Translation of the component's T-SQL statements into the dialects of the
// engines behind the connector, keeping their meaning: N'...' literals,
// TOP n, text concatenation with +, `alias = expression` select items,
// NAME..table cross-database names, casts, nested join syntax, !=, CASE,
// bracketed identifiers, trailing ';', and SQL Server's case-insensitive
// comparison, LIKE and ordering of text.
//
// A statement that cannot be translated is an InvalidArgument / Unsupported
// Status naming the construct, never a silently different query.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace trelix::sql {

enum class Dialect : uint8_t { kSqlServer, kSqlite, kPostgres };

struct Translation {
  std::string text;  // the statement in the target dialect
  // Database names the statement reaches as NAME..table, in first-appearance
  // order (case as written). The connector makes them reachable as NAME.table
  // (SQLite: attached files; PostgreSQL: schemas).
  std::vector<std::string> databases;
};

// Declared type of a column ("nvarchar(50)", "int"; SQLite and PostgreSQL
// type names are understood too), or nullopt when unknown. `database` is
// empty for the database the statement runs in; names as written.
using ColumnTypeLookup =
    std::function<std::optional<std::string>(std::string_view database, std::string_view table, std::string_view column)>;

struct TranslateOptions {
  // Consulted only where a `+` has no operand whose type the statement
  // shows (a literal, a CAST, a string CASE); without it such a `+` is
  // refused as Unsupported rather than guessed.
  ColumnTypeLookup column_types;
  // Part of the translation cache key: translations made with different
  // catalogues must use different scopes (e.g. the connection string).
  std::string cache_scope;
};

// Translates one statement. kSqlServer returns the text unchanged, except
// for the one repair every engine gets: a grouped SELECT ordered by a column
// it neither groups nor aggregates is ordered by MIN(column) (SQL Server
// itself refuses the original). A SHAPE command keeps its wrapper and has
// each provider command between braces translated.
Result<Translation> Translate(std::string_view tsql, Dialect dialect);
Result<Translation> Translate(std::string_view tsql, Dialect dialect, const TranslateOptions& options);

// Translate with a process-wide, thread-safe cache keyed by dialect and text:
// a repeated statement costs one hash lookup.
Result<std::shared_ptr<const Translation>> TranslateCached(std::string_view tsql, Dialect dialect);
Result<std::shared_ptr<const Translation>> TranslateCached(std::string_view tsql, Dialect dialect,
                                                           const TranslateOptions& options);

// Turns the translation cache off or on (the naive benchmark reference runs
// without it). Turning it off also empties it.
void SetTranslationCacheEnabled(bool enabled);

// Fuzzing entry: translates arbitrary bytes to every dialect; must neither
// crash nor hang on any input.
void FuzzTranslate(const uint8_t* data, size_t size);

}  // namespace trelix::sql
