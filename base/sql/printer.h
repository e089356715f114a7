#pragma once
// Prints an analysed statement in a target dialect with the same meaning:
// - NAME..table -> NAME.table (SQLite: the attached file; PostgreSQL: the
//   schema), collected in `databases`;
// - TOP n -> LIMIT n; N'x' -> 'x'; [x] -> x, or "x" where quoting is needed;
// - `+` of texts -> ||, decided by the operands' types;
// - the select list of the statement names every column as SQL Server
//   would (`expr AS "alias"`, `t.col AS "col"`), since PostgreSQL folds
//   unquoted names to lower case and SQLite reports declared spellings;
// - nested joins parenthesised (SQLite reads joins left-deep only);
// - SQLite: `A RIGHT JOIN B ON z` -> `B LEFT JOIN A ON z` unless a bare `*`
//   would show the swapped column order (SQLite plans the LEFT JOIN with
//   the WHERE filter pushed into B);
// - PostgreSQL: NULLS FIRST/LAST to keep SQL Server's NULL order, and LIKE
//   as ILIKE under a deterministic collation (its nondeterministic
//   case-insensitive collation refuses LIKE).
// - the statement terminator is dropped: the connector runs exactly one
//   statement, and LIMIT must be its last clause.
// Operators are parenthesised by the target's precedence, which differs
// from T-SQL's (`||` binds tighter than `*` in SQLite).
// kSqlServer prints T-SQL again (used when the analysis repaired something).

#include <string>
#include <vector>

#include "base/sql/ast.h"
#include "base/sql/scope.h"
#include "base/sql/translator.h"
#include "common/status.h"

namespace trelix::sql {

struct Printed {
  std::string text;
  std::vector<std::string> databases;
};

Result<Printed> PrintQuery(const Query& query, Dialect dialect, const ColumnTypeLookup* column_types);

}  // namespace trelix::sql
