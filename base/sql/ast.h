#pragma once
// Syntax tree of the T-SQL SELECT statements the translator understands.
// Names keep their spelling as written; keywords are normalised.

#include <memory>
#include <string>
#include <vector>

namespace trelix::sql {

struct Query;

// One part of a dotted name. An empty text is an omitted part, as the
// schema in NAME..table.
struct Name {
  std::string text;
  bool quoted = false;  // written as [x] or "x"
};

// A type in CAST/CONVERT: lower-case name and its arguments ("max" allowed).
struct TypeName {
  std::string name;
  std::vector<std::string> args;
};

enum class ExprKind : uint8_t {
  kString,    // text, national
  kNumber,    // text
  kNull,
  kColumn,    // parts
  kStar,      // parts = qualifier (empty for *)
  kUnary,     // op ("-", "+", "~", "NOT"), args[0]
  kBinary,    // args[0] ops[0] args[1] ops[1] args[2] ...: one precedence
              // level read left to right, ((a op b) op c) ...; text = ops[0]
  kFunction,  // name, args; distinct; star_arg for COUNT(*)
  kCast,      // args[0], type
  kCase,      // args: [operand] (when, then)* [else]; has_operand, has_else
  kIsNull,    // args[0]; negated
  kIn,        // args[0], then the list; or query; negated
  kLike,      // args[0] LIKE args[1] [ESCAPE args[2]]; negated
  kBetween,   // args[0] BETWEEN args[1] AND args[2]; negated
  kExists,    // query
  kSubquery,  // query (scalar)
  kParen,     // args[0], written in parentheses
};

struct Expr {
  ExprKind kind = ExprKind::kNull;
  std::string text;        // literal value, operator or function name as written
  bool national = false;   // N'...'
  bool negated = false;
  bool distinct = false;   // COUNT(DISTINCT x)
  bool star_arg = false;   // COUNT(*)
  bool has_operand = false;
  bool has_else = false;
  std::vector<Name> parts;
  std::vector<std::unique_ptr<Expr>> args;
  // kBinary: the operator after each argument but the last. A chain is one
  // node, so its length does not add to the height of the tree (the sheet
  // queries OR together one term per line, thousands of them).
  std::vector<std::string> ops;
  TypeName type;
  std::unique_ptr<Query> query;
  int depth = 1;  // height of this subtree, bounded by the parser
};

enum class JoinType : uint8_t { kInner, kLeft, kRight, kFull, kCross };

enum class TableKind : uint8_t { kNamed, kDerived, kJoin };

struct TableRef {
  TableKind kind = TableKind::kNamed;
  // kNamed: the dotted name as written: [table], [schema, table] or
  // [database, schema, table] (schema may be empty: NAME..table).
  std::vector<Name> parts;
  Name alias;  // empty text: none
  std::unique_ptr<Query> query;  // kDerived
  // kJoin
  JoinType join = JoinType::kInner;
  bool inner_word = false;  // INNER written
  bool outer_word = false;  // OUTER written
  bool parenthesized = false;  // written as ( join )
  std::unique_ptr<TableRef> left, right;
  std::unique_ptr<Expr> on;
  int depth = 1;
};

struct SelectItem {
  std::unique_ptr<Expr> expr;
  Name alias;  // empty text: none
};

enum class Direction : uint8_t { kNone, kAsc, kDesc };

struct OrderItem {
  std::unique_ptr<Expr> expr;
  Direction direction = Direction::kNone;
  // Set by the analysis: order by MIN(expr) (a grouped query ordered by a
  // column it neither groups nor aggregates), or by this select-list
  // position (ORDER BY of a set operation naming a column of its first
  // SELECT by expression).
  bool min_repair = false;
  int position = 0;
};

struct Select {
  bool distinct = false;
  std::string top;  // digits of TOP n; empty: none
  std::vector<SelectItem> items;
  std::vector<std::unique_ptr<TableRef>> from;
  std::unique_ptr<Expr> where;
  std::vector<std::unique_ptr<Expr>> group_by;
  std::unique_ptr<Expr> having;
};

// One SELECT or several joined by set operators, with the ORDER BY that
// applies to the whole.
struct Query {
  std::vector<Select> selects;
  std::vector<std::string> set_ops;  // "UNION", "UNION ALL", "EXCEPT", "INTERSECT"; one between each pair
  std::vector<OrderItem> order_by;
};

}  // namespace trelix::sql
