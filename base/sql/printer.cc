#include "base/sql/printer.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "base/sql/token.h"
#include "common/ascii.h"

namespace trelix::sql {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Words that SQLite or PostgreSQL do not accept as a bare name (or accept
// only in some places); such names are printed quoted. Quoting is neutral
// in meaning: SQLite compares names without regard to case, quoted or not,
// and for PostgreSQL the quoted name is written in lower case, as it would
// fold the bare one.
const std::unordered_set<std::string>& TargetKeywords() {
  static const auto* words = new std::unordered_set<std::string>{
      "all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization", "between",
      "binary", "both", "by", "case", "cast", "check", "collate", "collation", "column", "commit", "concurrently",
      "constraint", "create", "cross", "current_catalog", "current_date", "current_role", "current_schema",
      "current_time", "current_timestamp", "current_user", "default", "deferrable", "delete", "desc", "distinct",
      "do", "drop", "else", "end", "escape", "except", "exists", "false", "fetch", "for", "foreign", "freeze",
      "from", "full", "glob", "grant", "group", "having", "ilike", "in", "index", "initially", "inner", "insert",
      "intersect", "into", "is", "isnull", "join", "lateral", "leading", "left", "like", "limit", "localtime",
      "localtimestamp", "match", "natural", "not", "nothing", "notnull", "null", "offset", "on", "only", "or",
      "order", "outer", "overlaps", "placing", "primary", "references", "regexp", "returning", "right", "select",
      "session_user", "set", "similar", "some", "symmetric", "table", "tablesample", "then", "to", "trailing",
      "transaction", "true", "union", "unique", "update", "user", "using", "values", "variadic", "verbose", "when",
      "where", "window", "with"};
  return *words;
}

bool IsRegularName(std::string_view s) {
  if (s.empty()) return false;
  if (!((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z') || s[0] == '_')) return false;
  for (char c : s) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

std::string Quote(std::string_view s, char open, char close) {
  std::string out(1, open);
  for (char c : s) {
    out.push_back(c);
    if (c == close) out.push_back(close);
  }
  out.push_back(close);
  return out;
}

std::string StringLiteral(std::string_view s) { return Quote(s, '\'', '\''); }

bool HasLetters(std::string_view s) {
  for (char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

bool IsPositiveInteger(const Expr& e) {
  return e.kind == ExprKind::kNumber && e.text.find_first_not_of("0123456789") == std::string::npos &&
         e.text.find_first_not_of('0') != std::string::npos;
}

// Precedence classes of printed operators; each dialect ranks them.
enum class Op : uint8_t { kOr, kAnd, kNot, kIs, kEq, kRel, kLike, kBit, kConcat, kAdd, kMul, kUnary, kCollate, kPrimary };

int Rank(Dialect d, Op op) {
  switch (d) {
    case Dialect::kSqlServer: {
      static constexpr int r[] = {1, 2, 3, 4, 4, 4, 4, 5, 5, 5, 6, 7, 8, 9};
      return r[static_cast<int>(op)];
    }
    case Dialect::kSqlite: {
      // OR, AND, NOT, IS, = <> IN LIKE BETWEEN, < <= > >=, & |, ||, + -, * / %, unary, COLLATE.
      static constexpr int r[] = {1, 2, 3, 4, 4, 5, 4, 6, 9, 7, 8, 10, 10, 11};
      return r[static_cast<int>(op)];
    }
    case Dialect::kPostgres: {
      // OR, AND, NOT, IS, comparisons, LIKE IN BETWEEN, other operators
      // (|| & | #), + -, * / %, unary minus, COLLATE.
      static constexpr int r[] = {1, 2, 3, 4, 5, 5, 6, 7, 7, 8, 9, 11, 12, 13};
      return r[static_cast<int>(op)];
    }
  }
  return 0;
}

class Printer {
 public:
  Printer(Dialect dialect, const ColumnTypeLookup* lookup) : d_(dialect), types_(lookup) {}

  Result<Printed> Run(const Query& q) {
    std::string text = QueryText(q, nullptr, /*top_level=*/true);
    if (!status_.ok()) return status_;
    return Printed{std::move(text), std::move(databases_)};
  }

 private:
  bool Tsql() const { return d_ == Dialect::kSqlServer; }
  bool Pg() const { return d_ == Dialect::kPostgres; }
  bool Lite() const { return d_ == Dialect::kSqlite; }

  // SQLite compares, sorts, groups and deduplicates with the collation of
  // a table column only where the value is that column (or a CAST of it);
  // a CASE, a function, || or an aggregate compares BINARY, so SQL Server's
  // case-insensitive collation is put back explicitly there. (PostgreSQL
  // carries a column's collation through every expression.)
  bool LosesCase(const Expr& e, const Scope& scope) {
    if (!Lite() || types_.KeepsColumnCollation(e, scope)) return false;
    const ValueType t = types_.TypeOf(e, scope, nullptr);
    return t == ValueType::kText || t == ValueType::kUnknown;
  }
  bool Numeric(const Expr& e, const Scope& scope) {
    const ValueType t = types_.TypeOf(e, scope, nullptr);
    return t == ValueType::kNumber || t == ValueType::kDateTime;
  }
  std::string Nocase(const Expr& e, const Scope& scope) {
    return ExprText(e, scope, Rank(d_, Op::kCollate)) + " COLLATE NOCASE";
  }
  // PostgreSQL: a text built from literals alone has the deterministic
  // default collation; compared with another such text it gets the
  // databases' case-insensitive collation `ci` (every database schema holds
  // it, and statements run with that schema on the search path).
  static bool MentionsColumn(const Expr& e) {
    if (e.kind == ExprKind::kColumn || e.query) return true;
    for (const auto& a : e.args) {
      if (a && MentionsColumn(*a)) return true;
    }
    return false;
  }
  bool LiteralText(const Expr& e, const Scope& scope) {
    if (!Pg() || MentionsColumn(e)) return false;
    const ValueType t = types_.TypeOf(e, scope, nullptr);
    return t == ValueType::kText || t == ValueType::kNull;
  }
  bool LiteralTexts(const Expr& a, const Expr& b, const Scope& scope) {
    return LiteralText(a, scope) && LiteralText(b, scope) &&
           (types_.TypeOf(a, scope, nullptr) == ValueType::kText || types_.TypeOf(b, scope, nullptr) == ValueType::kText);
  }
  std::string WithCi(const Expr& e, const Scope& scope) {
    return ExprText(e, scope, Rank(d_, Op::kCollate)) + " COLLATE ci";
  }

  // `e` printed, with the collation put back where it is lost.
  std::string Compared(const Expr& e, const Scope& scope, int min_rank) {
    return LosesCase(e, scope) ? Nocase(e, scope) : ExprText(e, scope, min_rank);
  }
  void Fail(Status s) {
    if (status_.ok()) status_ = std::move(s);
  }

  // ---- names ----
  std::string Ident(const Name& n) const {
    if (Tsql()) return n.quoted ? Quote(n.text, '[', ']') : n.text;
    if (IsRegularName(n.text) && TargetKeywords().count(Lower(n.text)) == 0) return n.text;
    return Quote(Pg() ? Lower(n.text) : n.text, '"', '"');
  }

  // The name of a result column as SQL Server reports it.
  std::string OutputAlias(const std::string& name) const {
    return Tsql() ? Quote(name, '[', ']') : Quote(name, '"', '"');
  }

  void AddDatabase(const Name& n) {
    for (const std::string& d : databases_) {
      if (EqualsIgnoreCase(d, n.text)) return;
    }
    databases_.push_back(n.text);
  }

  std::string Database(const Name& n) {
    AddDatabase(n);
    return Tsql() ? Ident(n) + ".." : Ident(n) + ".";
  }

  std::string TableName(const std::vector<Name>& parts) {
    if (Tsql()) return RawDotted(parts);
    auto name = ResolveTableName(parts);
    if (!name.ok()) {
      Fail(name.status());
      return "";
    }
    std::string out;
    if (name->database) out = Database(*name->database);
    return out + Ident(*name->table);
  }

  std::string RawDotted(const std::vector<Name>& parts) {
    // T-SQL keeps its spelling; only the databases are noted.
    if (parts.size() >= 3 && !parts[0].text.empty()) {
      if (parts.size() == 3 || parts.size() == 4) AddDatabase(parts[0]);
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) out += ".";
      if (!parts[i].text.empty()) out += Ident(parts[i]);
    }
    return out;
  }

  std::string ColumnName(const std::vector<Name>& parts) {
    if (Tsql()) {
      if (parts.size() == 4) AddDatabase(parts[0]);
      std::string out;
      for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += ".";
        if (!parts[i].text.empty()) out += Ident(parts[i]);
      }
      return out;
    }
    auto name = ResolveColumnName(parts);
    if (!name.ok()) {
      Fail(name.status());
      return "";
    }
    std::string out;
    if (name->database) out = Database(*name->database);
    if (name->table) out += Ident(*name->table) + ".";
    return out + Ident(*name->column);
  }

  // ---- queries ----
  std::string QueryText(const Query& q, const Scope* outer, bool top_level) {
    std::string out;
    bool dedupe = false;  // a set operator that removes duplicate rows
    for (const std::string& op : q.set_ops) dedupe = dedupe || op != "UNION ALL";
    const bool name_unnamed = Pg() && top_level && OrdersByTableColumn(q);
    for (size_t i = 0; i < q.selects.size(); ++i) {
      if (i) out += " " + q.set_ops[i - 1] + " ";
      out += SelectText(q.selects[i], outer, top_level, dedupe, name_unnamed);
    }
    if (!q.order_by.empty()) {
      Scope scope(&q.selects[0], outer);
      out += " ORDER BY ";
      for (size_t i = 0; i < q.order_by.size(); ++i) {
        if (i) out += ", ";
        out += OrderItemText(q.order_by[i], q.selects[0], scope, top_level);
      }
    }
    if (!Tsql() && q.selects.size() == 1 && !q.selects[0].top.empty()) out += " LIMIT " + q.selects[0].top;
    return out;
  }

  // Whether an ORDER BY item is a bare name that names no output column,
  // that is a column of the tables. PostgreSQL names an unnamed expression
  // after a column inside it (CASE ... ELSE location END is "location") and
  // would sort by that expression instead.
  static bool OrdersByTableColumn(const Query& q) {
    for (const OrderItem& item : q.order_by) {
      const Expr& e = *item.expr;
      if (item.position == 0 && e.kind == ExprKind::kColumn && e.parts.size() == 1 && !OrderedItem(item, q.selects[0])) {
        return true;
      }
    }
    return false;
  }

  // The select item an ORDER BY item stands for: by position, or by the
  // bare name of an output column.
  static const Expr* OrderedItem(const OrderItem& item, const Select& first) {
    size_t position = item.position;
    const Expr& e = *item.expr;
    if (!position && e.kind == ExprKind::kNumber && e.text.find_first_not_of("0123456789") == std::string::npos &&
        e.text.size() < 6) {
      position = std::stoul(e.text);
    }
    if (position) return position <= first.items.size() ? first.items[position - 1].expr.get() : nullptr;
    if (e.kind == ExprKind::kColumn && e.parts.size() == 1) {
      for (const SelectItem& si : first.items) {
        if (EqualsIgnoreCase(OutputName(si), e.parts[0].text)) return si.expr.get();
      }
    }
    return nullptr;
  }

  std::string OrderItemText(const OrderItem& item, const Select& first, const Scope& scope, bool top_level) {
    std::string out;
    bool nocase = false;
    if (Lite()) {
      const Expr* target = OrderedItem(item, first);
      if (target) {
        nocase = LosesCase(*target, scope);
      } else if (item.min_repair) {
        // Type and collation of MIN(x) follow x; it is never a column itself.
        const ValueType t = types_.TypeOf(*item.expr, scope, nullptr);
        nocase = t == ValueType::kText || t == ValueType::kUnknown;
      } else {
        nocase = LosesCase(*item.expr, scope);
      }
    }
    if (item.position > 0) {
      out = std::to_string(item.position);
    } else {
      out = OrderExpr(*item.expr, first, scope, top_level, nocase && !item.min_repair ? Rank(d_, Op::kCollate) : 0);
      if (item.min_repair) out = "MIN(" + out + ")";
    }
    if (nocase) out += " COLLATE NOCASE";
    if (item.direction == Direction::kAsc) out += " ASC";
    if (item.direction == Direction::kDesc) out += " DESC";
    // SQL Server sorts NULL as the lowest value, as SQLite does;
    // PostgreSQL sorts it as the highest.
    if (Pg()) out += item.direction == Direction::kDesc ? " NULLS LAST" : " NULLS FIRST";
    return out;
  }

  std::string OrderExpr(const Expr& e, const Select& first, const Scope& scope, bool top_level, int min_rank) {
    // A bare name of an output column of the statement: PostgreSQL matches
    // it only when it folds to the quoted output name.
    if (Pg() && top_level && e.kind == ExprKind::kColumn && e.parts.size() == 1) {
      for (const SelectItem& item : first.items) {
        const std::string name = OutputName(item);
        if (!name.empty() && EqualsIgnoreCase(name, e.parts[0].text) &&
            (name != Lower(name) || !IsRegularName(name))) {
          return OutputAlias(name);
        }
      }
    }
    return ExprText(e, scope, min_rank);
  }

  // `name_unnamed`: expressions without a name get PostgreSQL's own name
  // for an unnamed column, which no ORDER BY of the statement names.
  std::string SelectText(const Select& s, const Scope* outer, bool top_level, bool dedupe, bool name_unnamed) {
    Scope scope(&s, outer);
    std::string out = "SELECT ";
    if (s.distinct) out += "DISTINCT ";
    if (Tsql() && !s.top.empty()) out += "TOP " + s.top + " ";
    for (size_t i = 0; i < s.items.size(); ++i) {
      if (i) out += ", ";
      out += SelectItemText(s.items[i], scope, top_level, dedupe || s.distinct, name_unnamed);
    }
    if (!s.from.empty()) {
      out += " FROM ";
      for (size_t i = 0; i < s.from.size(); ++i) {
        if (i) out += ", ";
        out += TableText(*s.from[i], scope);
      }
    }
    if (s.where) out += " WHERE " + ExprText(*s.where, scope, 0);
    if (!s.group_by.empty()) {
      out += " GROUP BY ";
      for (size_t i = 0; i < s.group_by.size(); ++i) {
        if (i) out += ", ";
        out += Compared(*s.group_by[i], scope, 0);
      }
    }
    if (s.having) out += " HAVING " + ExprText(*s.having, scope, 0);
    return out;
  }

  std::string SelectItemText(const SelectItem& item, const Scope& scope, bool top_level, bool dedupe,
                             bool name_unnamed) {
    std::string out = dedupe ? Compared(*item.expr, scope, 0) : ExprText(*item.expr, scope, 0);
    if (Tsql()) {
      if (!item.alias.text.empty()) out += " AS " + Ident(item.alias);
      return out;
    }
    if (top_level) {
      const std::string name = OutputName(item);
      if (!name.empty()) {
        out += " AS " + OutputAlias(name);
      } else if (name_unnamed && item.expr->kind != ExprKind::kStar) {
        out += " AS \"?column?\"";
      }
    } else if (!item.alias.text.empty()) {
      out += " AS " + Ident(item.alias);
    }
    return out;
  }

  std::string TableText(const TableRef& t, const Scope& scope) {
    switch (t.kind) {
      case TableKind::kNamed: {
        std::string out = TableName(t.parts);
        if (!t.alias.text.empty()) out += " " + Ident(t.alias);
        return out;
      }
      case TableKind::kDerived:
        // A derived table sees only the scope outside the statement.
        return "(" + QueryText(*t.query, scope.parent, false) + ") " + Ident(t.alias);
      case TableKind::kJoin: {
        if (Lite() && t.join == JoinType::kRight && !SelectsBareStar(scope)) return SwappedRightJoin(t, scope);
        std::string out = TableText(*t.left, scope);
        switch (t.join) {
          case JoinType::kInner: out += t.inner_word ? " INNER JOIN " : " JOIN "; break;
          case JoinType::kLeft: out += t.outer_word ? " LEFT OUTER JOIN " : " LEFT JOIN "; break;
          case JoinType::kRight: out += t.outer_word ? " RIGHT OUTER JOIN " : " RIGHT JOIN "; break;
          case JoinType::kFull: out += t.outer_word ? " FULL OUTER JOIN " : " FULL JOIN "; break;
          case JoinType::kCross: out += " CROSS JOIN "; break;
        }
        std::string right = TableText(*t.right, scope);
        // A join as the right operand of a join: SQLite reads joins
        // left-deep only, so the nesting is made explicit everywhere.
        if (t.right->kind == TableKind::kJoin && !t.right->parenthesized) right = "(" + right + ")";
        out += right;
        if (t.on) out += " ON " + ExprText(*t.on, scope, 0);
        return t.parenthesized ? "(" + out + ")" : out;
      }
    }
    return "";
  }

  // `A RIGHT JOIN B ON z` is `B LEFT JOIN A ON z` with the columns in
  // another order, which only a bare `*` shows. SQLite plans a RIGHT JOIN
  // with the right operand read in full and matched afterwards, so the
  // filter of the WHERE clause never reaches the tables inside B (the
  // equipment query scanned every vehicle's rows); as a LEFT JOIN, B is the
  // left-deep start of the join and the filter narrows it through indexes.
  static bool SelectsBareStar(const Scope& scope) {
    if (!scope.select) return false;
    for (const SelectItem& item : scope.select->items) {
      if (item.expr->kind == ExprKind::kStar && item.expr->parts.empty()) return true;
    }
    return false;
  }

  std::string SwappedRightJoin(const TableRef& t, const Scope& scope) {
    std::string out = TableText(*t.right, scope);
    out += t.outer_word ? " LEFT OUTER JOIN " : " LEFT JOIN ";
    std::string left = TableText(*t.left, scope);
    if (t.left->kind == TableKind::kJoin && !t.left->parenthesized) left = "(" + left + ")";
    out += left;
    if (t.on) out += " ON " + ExprText(*t.on, scope, 0);
    return t.parenthesized ? "(" + out + ")" : out;
  }

  // ---- expressions ----
  // Prints `e`, in parentheses when its operator binds less tightly than
  // `min_rank` requires in the target dialect.
  std::string ExprText(const Expr& e, const Scope& scope, int min_rank) {
    if (!status_.ok()) return "";
    Op op = Op::kPrimary;
    std::string text = Bare(e, scope, &op);
    if (Rank(d_, op) < min_rank) return "(" + text + ")";
    return text;
  }

  static bool IsComparison(std::string_view op) {
    return op == "=" || op == "<>" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=" || op == "!<" ||
           op == "!>";
  }

  std::string Bare(const Expr& e, const Scope& scope, Op* op) {
    switch (e.kind) {
      case ExprKind::kString:
        return (Tsql() && e.national ? "N" : "") + StringLiteral(e.text);
      case ExprKind::kNumber:
        return e.text;
      case ExprKind::kNull:
        return "NULL";
      case ExprKind::kColumn:
        return ColumnName(e.parts);
      case ExprKind::kStar:
        if (e.parts.empty()) return "*";
        if (Tsql()) return RawDotted(e.parts) + ".*";
        return TableName(e.parts) + ".*";
      case ExprKind::kParen:
        return "(" + ExprText(*e.args[0], scope, 0) + ")";
      case ExprKind::kUnary: {
        if (e.text == "NOT") {
          *op = Op::kNot;
          return "NOT " + ExprText(*e.args[0], scope, Rank(d_, Op::kNot));
        }
        *op = Op::kUnary;
        std::string operand = ExprText(*e.args[0], scope, Rank(d_, Op::kUnary));
        // "- -1" must not become the comment "--1".
        if (!operand.empty() && operand[0] == e.text[0] && e.text != "~") return e.text + " " + operand;
        return e.text + operand;
      }
      case ExprKind::kBinary:
        return BinaryText(e, scope, op);
      case ExprKind::kFunction:
        return FunctionText(e, scope);
      case ExprKind::kCast:
        return CastText(e, scope);
      case ExprKind::kCase: {
        std::string out = "CASE";
        size_t i = 0;
        if (e.has_operand) out += " " + Compared(*e.args[i++], scope, 0);
        const size_t whens_end = e.args.size() - (e.has_else ? 1 : 0);
        for (; i + 1 < whens_end; i += 2) {
          out += " WHEN " + ExprText(*e.args[i], scope, 0) + " THEN " + ExprText(*e.args[i + 1], scope, 0);
        }
        if (e.has_else) out += " ELSE " + ExprText(*e.args.back(), scope, 0);
        return out + " END";
      }
      case ExprKind::kIsNull:
        *op = Op::kIs;
        return ExprText(*e.args[0], scope, Rank(d_, Op::kIs) + 1) + (e.negated ? " IS NOT NULL" : " IS NULL");
      case ExprKind::kIn: {
        *op = Op::kLike;
        std::string out = Compared(*e.args[0], scope, Rank(d_, Op::kLike) + 1) + (e.negated ? " NOT IN (" : " IN (");
        if (e.query) {
          out += QueryText(*e.query, &scope, false);
        } else {
          for (size_t i = 1; i < e.args.size(); ++i) {
            if (i > 1) out += ", ";
            out += ExprText(*e.args[i], scope, 0);
          }
        }
        return out + ")";
      }
      case ExprKind::kLike:
        *op = Op::kLike;
        return LikeText(e, scope);
      case ExprKind::kBetween: {
        *op = Op::kLike;
        const int r = Rank(d_, Op::kLike) + 1;
        const bool nocase = LosesCase(*e.args[0], scope) && !types_.KeepsColumnCollation(*e.args[1], scope) &&
                            !types_.KeepsColumnCollation(*e.args[2], scope);
        return (nocase ? Nocase(*e.args[0], scope) : ExprText(*e.args[0], scope, r)) +
               (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
               ExprText(*e.args[1], scope, r) + " AND " + ExprText(*e.args[2], scope, r);
      }
      case ExprKind::kExists:
        return "EXISTS (" + QueryText(*e.query, &scope, false) + ")";
      case ExprKind::kSubquery:
        return "(" + QueryText(*e.query, &scope, false) + ")";
    }
    return "";
  }

  // A link of a chain as the target writes it: operator and its class.
  struct Link {
    std::string sym;
    Op op;
  };

  Link LinkOf(const Expr& e, size_t i, const Scope& scope) {
    std::string sym = e.ops[i];
    if (sym == "OR") return {sym, Op::kOr};
    if (sym == "AND") return {sym, Op::kAnd};
    if (IsComparison(sym)) {
      if (!Tsql()) {
        if (sym == "!<") sym = ">=";
        if (sym == "!>") sym = "<=";
      }
      const Op op = (sym == "=" || sym == "<>" || sym == "!=") ? Op::kEq : Op::kRel;
      return {sym, op};
    }
    if (sym == "*" || sym == "/" || sym == "%") return {sym, Op::kMul};
    if (sym == "&" || sym == "|") return {sym, Op::kBit};
    if (sym == "^") {
      if (d_ == Dialect::kSqlite) Fail(Status::Unsupported("bitwise exclusive or (^)"));
      return {Pg() ? "#" : sym, Op::kBit};
    }
    if (sym == "+" && !Tsql() && JoinsTexts(e, i, scope)) return {"||", Op::kConcat};
    return {sym, Op::kAdd};  // + -
  }

  std::string BinaryText(const Expr& e, const Scope& scope, Op* op) {
    if (IsComparison(e.ops[0])) {
      const Link link = LinkOf(e, 0, scope);
      *op = link.op;
      const int r = Rank(d_, link.op);
      const Expr& a = *e.args[0];
      const Expr& b = *e.args[1];
      if (LosesCase(a, scope) && !types_.KeepsColumnCollation(b, scope) && !Numeric(b, scope)) {
        return Nocase(a, scope) + " " + link.sym + " " + ExprText(b, scope, r + 1);
      }
      if (LiteralTexts(a, b, scope)) return WithCi(a, scope) + " " + link.sym + " " + ExprText(b, scope, r + 1);
      return ExprText(a, scope, r) + " " + link.sym + " " + ExprText(b, scope, r + 1);
    }
    // A chain is read left to right; the part left of a link goes in
    // parentheses where its last operator binds less tightly in the target
    // than the link's. Every such part starts at the first operand, so all
    // opening parentheses lead, and the text is built in one pass.
    if (const Expr* column = SameColumnEqualsIntegers(e); column && !Tsql()) {
      *op = Op::kLike;
      std::string out = ExprText(*column, scope, Rank(d_, Op::kLike) + 1) + " IN (";
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i > 0) out += ", ";
        out += Unparenthesized(*e.args[i]).args[1]->text;
      }
      return out + ")";
    }
    std::vector<Link> links;
    links.reserve(e.ops.size());
    for (size_t i = 0; i < e.ops.size(); ++i) links.push_back(LinkOf(e, i, scope));
    if (!status_.ok()) return "";
    if (Lite() && links.size() >= kFlatLinks && Regroupable(links)) {
      *op = links[0].op;
      return GroupedText(e, 0, e.args.size(), links[0], scope);
    }
    std::vector<bool> close(links.size(), false);
    size_t opening = 0;
    for (size_t i = 1; i < links.size(); ++i) {
      close[i] = Rank(d_, links[i - 1].op) < Rank(d_, links[i].op);
      opening += close[i] ? 1 : 0;
    }
    std::string out(opening, '(');
    out += ExprText(*e.args[0], scope, Rank(d_, links[0].op));
    for (size_t i = 0; i < links.size(); ++i) {
      if (close[i]) out += ")";
      out += " " + links[i].sym + " ";
      out += ExprText(*e.args[i + 1], scope, Rank(d_, links[i].op) + 1);
    }
    *op = links.back().op;
    return out;
  }

  static const Expr& Unparenthesized(const Expr& e) {
    const Expr* at = &e;
    while (at->kind == ExprKind::kParen) at = at->args[0].get();
    return *at;
  }
  // The column of a long OR chain of `column = integer` terms on one column
  // (the sheet queries pick one term per line), else null. Written as
  // `column IN (...)` it means the same, Null included, and the engines
  // test it by one look-up in the list instead of a term at a time (SQLite
  // 30%, PostgreSQL 40% less time for a 300-term chain); short chains are
  // written as they are. Integers only: a text literal would bring
  // collation into the comparison.
  static constexpr size_t kInListFrom = 8;
  static const Expr* SameColumnEqualsIntegers(const Expr& chain) {
    if (chain.args.size() < kInListFrom) return nullptr;
    for (const std::string& link : chain.ops) {
      if (link != "OR") return nullptr;
    }
    const Expr* column = nullptr;
    for (const auto& arg : chain.args) {
      const Expr& term = Unparenthesized(*arg);
      if (term.kind != ExprKind::kBinary || term.ops.size() != 1 || term.ops[0] != "=") return nullptr;
      const Expr& left = Unparenthesized(*term.args[0]);
      const Expr& right = *term.args[1];
      if (left.kind != ExprKind::kColumn || right.kind != ExprKind::kNumber || right.text.empty() ||
          right.text.size() > 18 || right.text.find_first_not_of("0123456789") != std::string::npos) {
        return nullptr;
      }
      if (!column) {
        column = &left;
      } else if (!SameName(column->parts, left.parts)) {
        return nullptr;
      }
    }
    return column;
  }
  static bool SameName(const std::vector<Name>& a, const std::vector<Name>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (!EqualsIgnoringAsciiCase(a[i].text, b[i].text)) return false;
    }
    return true;
  }

  // SQLite builds a binary tree of a chain and refuses trees higher than
  // 1000; a sheet query ORs one term per sheet line. A long chain of one
  // associative operator is therefore printed in nested groups of at most
  // kFlatLinks operands, which SQLite flattens again when it plans.
  static constexpr size_t kFlatLinks = 100;
  static bool Regroupable(const std::vector<Link>& links) {
    const Op op = links[0].op;
    if (op != Op::kOr && op != Op::kAnd && op != Op::kConcat) return false;
    for (const Link& l : links) {
      if (l.op != op || l.sym != links[0].sym) return false;
    }
    return true;
  }
  std::string GroupedText(const Expr& e, size_t from, size_t to, const Link& link, const Scope& scope) {
    const int r = Rank(d_, link.op);
    const std::string sep = " " + link.sym + " ";
    std::string out;
    if (to - from <= kFlatLinks) {
      for (size_t i = from; i < to; ++i) {
        if (i > from) out += sep;
        out += ExprText(*e.args[i], scope, i == from ? r : r + 1);
      }
      return out;
    }
    const size_t step = (to - from + kFlatLinks - 1) / kFlatLinks;
    for (size_t i = from; i < to; i += step) {
      if (i > from) out += sep;
      out += "(" + GroupedText(e, i, std::min(to, i + step), link, scope) + ")";
    }
    return out;
  }

  // T-SQL's `+` concatenates when both operands are texts and adds
  // otherwise (converting a text operand to a number). Link `i` of a chain
  // joins the part left of it with args[i + 1].
  bool JoinsTexts(const Expr& e, size_t i, const Scope& scope) {
    auto key = std::make_pair(&e, i);
    auto it = concat_.find(key);
    if (it != concat_.end()) return it->second;
    const auto& left = types_.ChainTypes(e, scope)[i];
    std::string unknown = left.unknown;
    const ValueType a = left.type;
    const ValueType b = types_.TypeOf(*e.args[i + 1], scope, &unknown);
    bool joins = false;
    auto texty = [](ValueType t) { return t == ValueType::kText || t == ValueType::kNull; };
    if (a == ValueType::kDateTime || b == ValueType::kDateTime) {
      Fail(Status::Unsupported("+ on a date/time value"));
    } else if (a == ValueType::kNumber || b == ValueType::kNumber) {
      joins = false;
    } else if (texty(a) && texty(b)) {
      joins = a == ValueType::kText || b == ValueType::kText;
    } else if (a == ValueType::kUnknown || b == ValueType::kUnknown) {
      Fail(Status::Unsupported("cannot tell whether + joins texts or adds numbers: the type of " +
                               (unknown.empty() ? std::string("an operand") : unknown) + " is unknown"));
    }
    concat_.emplace(key, joins);
    return joins;
  }

  std::string LikeText(const Expr& e, const Scope& scope) {
    const int r = Rank(d_, Op::kLike) + 1;
    const Expr& pattern = *e.args[1];
    const Expr* escape = e.args.size() > 2 ? e.args[2].get() : nullptr;
    if (!Tsql() && pattern.kind == ExprKind::kString) {
      // T-SQL patterns have [a-z] classes; the other engines take '[' as
      // itself.
      char esc = 0;
      if (escape && escape->kind == ExprKind::kString && escape->text.size() == 1) esc = escape->text[0];
      for (size_t i = 0; i < pattern.text.size(); ++i) {
        if (esc && pattern.text[i] == esc) {
          ++i;
          continue;
        }
        if (pattern.text[i] == '[') {
          Fail(Status::Unsupported("LIKE pattern with a [ ] character class"));
          break;
        }
      }
    }
    std::string out;
    if (Pg()) {
      // The case-insensitive collation of the columns is nondeterministic,
      // which PostgreSQL refuses for LIKE; ILIKE under a deterministic ICU
      // collation ignores case the same way.
      out = ExprText(*e.args[0], scope, Rank(d_, Op::kCollate)) + " COLLATE \"und-x-icu\"" +
            (e.negated ? " NOT ILIKE " : " ILIKE ") + ExprText(pattern, scope, r);
      if (escape) {
        out += " ESCAPE " + ExprText(*escape, scope, r);
      } else if (pattern.kind != ExprKind::kString || pattern.text.find('\\') != std::string::npos) {
        // PostgreSQL's default escape character is '\'; T-SQL has none.
        out += " ESCAPE ''";
      }
      return out;
    }
    out = ExprText(*e.args[0], scope, r) + (e.negated ? " NOT LIKE " : " LIKE ") + ExprText(pattern, scope, r);
    if (escape) out += " ESCAPE " + ExprText(*escape, scope, r);
    return out;
  }

  std::string Args(const Expr& e, const Scope& scope, size_t from = 0) {
    std::string out;
    for (size_t i = from; i < e.args.size(); ++i) {
      if (i > from) out += ", ";
      out += ExprText(*e.args[i], scope, 0);
    }
    return out;
  }

  bool Arity(const Expr& e, size_t n) {
    if (e.args.size() == n && !e.star_arg && !e.distinct) return true;
    Fail(Status::InvalidArgument("function " + e.text + " takes " + std::to_string(n) + " argument(s)"));
    return false;
  }

  std::string FunctionText(const Expr& e, const Scope& scope) {
    const std::string name = Upper(e.text);
    auto call = [&](std::string_view fn, const std::string& args) { return std::string(fn) + "(" + args + ")"; };
    if (Tsql()) {
      std::string inner = e.star_arg ? "*" : (e.distinct ? "DISTINCT " : "") + Args(e, scope);
      return call(e.text, inner);
    }
    if (name == "MIN" || name == "MAX" || name == "SUM" || name == "COUNT" || name == "COUNT_BIG" || name == "AVG") {
      if (name == "AVG") {
        // SQL Server averages integers as integers (truncating); SQLite and
        // PostgreSQL do not.
        const Expr* a = e.args.size() == 1 ? e.args[0].get() : nullptr;
        const bool fractional = a && a->kind == ExprKind::kCast &&
                                (a->type.name == "float" || a->type.name == "real" || a->type.name == "decimal" ||
                                 a->type.name == "numeric" || a->type.name == "money");
        if (!fractional) {
          Fail(Status::Unsupported("AVG of a value that may be an integer (SQL Server truncates that average)"));
          return "";
        }
      }
      if (e.star_arg && name != "COUNT" && name != "COUNT_BIG") {
        Fail(Status::InvalidArgument("function " + e.text + " does not take *"));
        return "";
      }
      if (!e.star_arg && e.args.size() != 1) {
        Fail(Status::InvalidArgument("function " + e.text + " takes 1 argument"));
        return "";
      }
      const std::string fn = name == "COUNT_BIG" ? "COUNT" : e.text;
      if ((name == "MIN" || name == "MAX" || e.distinct) && !e.star_arg) {
        return call(fn, (e.distinct ? "DISTINCT " : "") + Compared(*e.args[0], scope, 0));
      }
      return call(fn, e.star_arg ? "*" : (e.distinct ? "DISTINCT " : "") + Args(e, scope));
    }
    if (e.star_arg || e.distinct) {
      Fail(Status::InvalidArgument("function " + e.text + " does not take * or DISTINCT"));
      return "";
    }
    if (name == "UPPER" || name == "LOWER" || name == "LTRIM" || name == "RTRIM" || name == "ABS") {
      if (!Arity(e, 1)) return "";
      return call(e.text, Args(e, scope));
    }
    if (name == "COALESCE") {
      if (e.args.size() < 2) {
        Fail(Status::InvalidArgument("COALESCE takes at least 2 arguments"));
        return "";
      }
      return call(e.text, Args(e, scope));
    }
    if (name == "NULLIF") {
      if (!Arity(e, 2)) return "";
      return call(e.text, Args(e, scope));
    }
    if (name == "ISNULL") {
      if (!Arity(e, 2)) return "";
      return call("COALESCE", Args(e, scope));
    }
    if (name == "ROUND") {
      if (!Arity(e, 2)) return "";
      return call(e.text, Args(e, scope));
    }
    if (name == "LEN") {
      // LEN does not count trailing blanks.
      if (!Arity(e, 1)) return "";
      return "length(rtrim(" + Args(e, scope) + "))";
    }
    if (name == "SUBSTRING") {
      if (!Arity(e, 3)) return "";
      // SQLite counts a negative start from the end of the text.
      if (d_ == Dialect::kSqlite && !IsPositiveInteger(*e.args[1])) {
        Fail(Status::Unsupported("SUBSTRING with a start that is not a positive number"));
        return "";
      }
      return call("substr", Args(e, scope));
    }
    if (name == "LEFT" || name == "RIGHT") {
      if (!Arity(e, 2)) return "";
      if (Pg()) return call(Lower(name), Args(e, scope));
      if (!IsPositiveInteger(*e.args[1])) {
        Fail(Status::Unsupported(name + " with a length that is not a positive number"));
        return "";
      }
      const std::string x = ExprText(*e.args[0], scope, 0);
      return name == "LEFT" ? "substr(" + x + ", 1, " + e.args[1]->text + ")" : "substr(" + x + ", -" + e.args[1]->text + ")";
    }
    if (name == "REPLACE" || name == "CHARINDEX") {
      // Both match their search text without regard to case in SQL
      // Server; the engines' functions do not, which is the same only for
      // a search text without letters.
      if (!Arity(e, name == "REPLACE" ? 3 : 2)) return "";
      const Expr& search = *e.args[name == "REPLACE" ? 1 : 0];
      if (search.kind != ExprKind::kString || HasLetters(search.text)) {
        Fail(Status::Unsupported(name + " with a search text that may hold letters (SQL Server ignores their case)"));
        return "";
      }
      if (name == "REPLACE") return call("replace", Args(e, scope));
      const std::string needle = ExprText(*e.args[0], scope, 0);
      const std::string hay = ExprText(*e.args[1], scope, 0);
      return Pg() ? "strpos(" + hay + ", " + needle + ")" : "instr(" + hay + ", " + needle + ")";
    }
    Fail(Status::Unsupported("function " + e.text));
    return "";
  }

  std::string CastText(const Expr& e, const Scope& scope) {
    const TypeName& t = e.type;
    std::string type;
    auto arg = [&](size_t i, const char* dflt) { return i < t.args.size() ? t.args[i] : std::string(dflt); };
    if (Tsql()) {
      type = t.name;
      if (!t.args.empty()) {
        type += "(";
        for (size_t i = 0; i < t.args.size(); ++i) type += (i ? "," : "") + t.args[i];
        type += ")";
      }
      return e.text + "(" + ExprText(*e.args[0], scope, 0) + " AS " + type + ")";
    }
    bool int_target = false;
    const std::string& n = t.name;
    if (n == "varchar" || n == "nvarchar") {
      // SQL Server's CAST gives varchar without a length 30 characters.
      const std::string len = arg(0, "30");
      type = len == "max" ? "text" : "varchar(" + len + ")";
    } else if (n == "char" || n == "nchar") {
      if (!Pg()) {
        Fail(Status::Unsupported("CAST to " + n + "(n) (SQLite does not pad to a fixed length)"));
        return "";
      }
      type = "char(" + arg(0, "30") + ")";
    } else if (n == "text" || n == "ntext") {
      type = "text";
    } else if (n == "int" || n == "integer" || n == "bigint" || n == "smallint" || n == "tinyint") {
      int_target = true;
      type = !Pg() ? "integer" : n == "bigint" ? "bigint" : (n == "smallint" || n == "tinyint") ? "smallint" : "integer";
    } else if (n == "float" || n == "real") {
      const bool single = n == "real" || (!t.args.empty() && t.args[0] != "max" && std::atoi(t.args[0].c_str()) <= 24);
      type = !Pg() ? "real" : single ? "real" : "double precision";
    } else if ((n == "decimal" || n == "numeric" || n == "money" || n == "smallmoney") && Pg()) {
      if (n == "money") {
        type = "numeric(19,4)";
      } else if (n == "smallmoney") {
        type = "numeric(10,4)";
      } else {
        type = "numeric(" + arg(0, "18") + "," + arg(1, "0") + ")";
      }
    } else if (n == "bit" && Pg()) {
      type = "boolean";
    } else {
      Fail(Status::Unsupported("CAST to " + n));
      return "";
    }
    std::string operand = ExprText(*e.args[0], scope, 0);
    if (int_target && Pg()) {
      // SQL Server truncates a number cast to an integer; PostgreSQL rounds.
      const Expr* x = e.args[0].get();
      const bool whole = x->kind == ExprKind::kNumber && x->text.find_first_not_of("0123456789") == std::string::npos;
      if (!whole && types_.TypeOf(*x, scope, nullptr) == ValueType::kNumber) operand = "trunc(" + operand + ")";
    }
    return e.text + "(" + operand + " AS " + type + ")";
  }

  const Dialect d_;
  TypeInference types_;
  std::vector<std::string> databases_;
  struct LinkHash {
    size_t operator()(const std::pair<const Expr*, size_t>& k) const {
      return std::hash<const Expr*>()(k.first) ^ (k.second * 0x9e3779b97f4a7c15ull);
    }
  };
  std::unordered_map<std::pair<const Expr*, size_t>, bool, LinkHash> concat_;
  Status status_;
};

}  // namespace

Result<Printed> PrintQuery(const Query& query, Dialect dialect, const ColumnTypeLookup* column_types) {
  return Printer(dialect, column_types).Run(query);
}

}  // namespace trelix::sql
