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

#include <memory>
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

// Translates one statement. kSqlServer returns the text unchanged.
Result<Translation> Translate(std::string_view tsql, Dialect dialect);

// Translate with a process-wide, thread-safe cache keyed by dialect and text:
// a repeated statement costs one hash lookup.
Result<std::shared_ptr<const Translation>> TranslateCached(std::string_view tsql, Dialect dialect);

// Turns the translation cache off or on (the naive benchmark reference runs
// without it).
void SetTranslationCacheEnabled(bool enabled);

}  // namespace trelix::sql
