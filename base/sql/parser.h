#pragma once
// Parser of one T-SQL SELECT statement (with an optional trailing ';') into
// the syntax tree of ast.h. Syntax errors are InvalidArgument; T-SQL that is
// recognised but deliberately not handled (other statements, variables,
// window functions, APPLY, ...) is Unsupported, naming the construct.

#include <memory>
#include <vector>

#include "base/sql/ast.h"
#include "base/sql/token.h"
#include "common/status.h"

namespace trelix::sql {

// REQUIRES: tokens end with a kEnd token (as Tokenize returns them).
Result<std::unique_ptr<Query>> Parse(const std::vector<Token>& tokens);

// True for the words that cannot be a bare alias or name in T-SQL
// (SELECT, FROM, JOIN, ON, ...). `word` in any case.
bool IsTsqlReserved(std::string_view word);

}  // namespace trelix::sql
