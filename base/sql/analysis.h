#pragma once
// Checks of a parsed statement that need a whole SELECT, with the one
// deliberate repair:
// - a grouped (or aggregating) SELECT names only grouped columns outside
//   aggregates in its select list and HAVING, as SQL Server demands (SQLite
//   would silently pick a row's value);
// - ORDER BY of a grouped SELECT by a column it neither groups nor
//   aggregates becomes ORDER BY MIN(column): SQL Server refuses the original
//   (Msg 8127), and the component's segmented description statements are
//   written that way; MIN gives them their evident order on every engine;
// - with SELECT DISTINCT every ORDER BY item is in the select list
//   (Msg 145); SQLite would accept it with an arbitrary order;
// - set operations: no TOP in a member, INTERSECT not mixed with others
//   (SQLite gives all set operators the same precedence), ORDER BY items
//   named or positioned in the select list.

#include "base/sql/ast.h"
#include "common/status.h"

namespace trelix::sql {

// `repairs` (optional) receives the number of ORDER BY items repaired.
Status Analyze(Query* query, int* repairs = nullptr);

// Structural equality of two expressions as SQL Server would match a
// select or ORDER BY item to a GROUP BY item: names compared without
// regard to case, a bare column matching a qualified one of that name.
bool SameExpr(const Expr& a, const Expr& b);

}  // namespace trelix::sql
