#include "base/sql/parser.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace trelix::sql {
namespace {

// Recursion bound: deeper statements are refused instead of exhausting the
// stack (a few hundred bytes per level; fuzzed input nests without end).
constexpr int kMaxNesting = 150;
// Height bound of the tree, which the analysis, the printer and the
// destructors walk recursively. Operator chains are flat nodes, so only
// nesting (parentheses, subqueries, joins inside joins, long join lists)
// makes it grow.
constexpr int kMaxHeight = 400;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// T-SQL reserved words that matter where a name or alias may stand, plus a
// few non-reserved words that start clauses (APPLY, OPTION is reserved).
constexpr std::array<std::string_view, 68> kReserved = {
    "ALL",     "AND",       "ANY",     "AS",        "ASC",      "BETWEEN", "BY",        "CASE",
    "CAST",    "COLLATE",   "COMPUTE", "CONVERT",   "CROSS",    "DELETE",  "DESC",      "DISTINCT",
    "ELSE",    "END",       "ESCAPE",  "EXCEPT",    "EXEC",     "EXECUTE", "EXISTS",    "FETCH",
    "FOR",     "FROM",      "FULL",    "GROUP",     "HAVING",   "IN",      "INNER",     "INSERT",
    "INTERSECT", "INTO",    "IS",      "JOIN",      "LEFT",     "LIKE",    "NOT",       "NULL",
    "OFFSET",  "ON",        "OPTION",  "OR",        "ORDER",    "OUTER",   "OVER",      "PERCENT",
    "PIVOT",   "RIGHT",     "SELECT",  "SET",       "SOME",     "TABLE",   "THEN",      "TOP",
    "UNION",   "UNPIVOT",   "UPDATE",  "VALUES",    "WHEN",     "WHERE",   "WITH",      "APPLY",
    "MERGE",   "DECLARE",   "CREATE",  "DROP",
};

int Height(const std::vector<std::unique_ptr<Expr>>& args) {
  int h = 0;
  for (const auto& a : args) h = std::max(h, a ? a->depth : 0);
  return h + 1;
}

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : t_(tokens) {}

  Result<std::unique_ptr<Query>> Run() {
    if (t_.empty() || t_.back().kind != TokenKind::kEnd) return Status::InvalidArgument("empty statement");
    if (Peek().kind == TokenKind::kEnd) return Status::InvalidArgument("empty statement");
    if (Peek().kind == TokenKind::kIdentifier && !IsWord(Peek(), "SELECT")) {
      static constexpr std::array<std::string_view, 17> kStatements = {
          "INSERT", "UPDATE", "DELETE", "MERGE", "EXEC", "EXECUTE", "CREATE", "DROP", "ALTER",
          "WITH", "DECLARE", "SET", "TRUNCATE", "BEGIN", "USE", "GRANT", "SHAPE"};
      for (std::string_view w : kStatements) {
        if (IsWord(Peek(), w)) {
          if (w == "WITH") return Status::Unsupported("common table expression (WITH)");
          if (w == "SHAPE") return Status::Unsupported("nested SHAPE command");
          return Status::Unsupported(std::string(w) + " statement");
        }
      }
    }
    auto q = ParseQuery();
    if (!q) return error_;
    if (IsPunct(Peek(), ';')) ++pos_;
    if (Peek().kind != TokenKind::kEnd) {
      if (IsWord(Peek(), "FOR")) return Status::Unsupported("FOR clause (FOR XML / FOR BROWSE)");
      if (IsWord(Peek(), "OPTION")) return Status::Unsupported("OPTION clause");
      if (IsWord(Peek(), "COMPUTE")) return Status::Unsupported("COMPUTE clause");
      if (IsWord(Peek(), "OFFSET")) return Status::Unsupported("OFFSET ... FETCH");
      if (pos_ > 0 && IsPunct(t_[pos_ - 1], ';')) return Status::Unsupported("more than one statement");
      return SyntaxStatus(Peek());
    }
    return q;
  }

 private:
  // ---- token helpers ----
  const Token& Peek(size_t k = 0) const { return t_[std::min(pos_ + k, t_.size() - 1)]; }
  static bool IsWord(const Token& t, std::string_view w) {
    return t.kind == TokenKind::kIdentifier && EqualsIgnoreCase(t.text, w);
  }
  static bool IsPunct(const Token& t, char c) {
    return t.kind == TokenKind::kPunct && t.text.size() == 1 && t.text[0] == c;
  }
  static bool IsOp(const Token& t, std::string_view op) { return t.kind == TokenKind::kOperator && t.text == op; }
  bool AcceptWord(std::string_view w) {
    if (!IsWord(Peek(), w)) return false;
    ++pos_;
    return true;
  }
  bool AcceptPunct(char c) {
    if (!IsPunct(Peek(), c)) return false;
    ++pos_;
    return true;
  }
  bool ExpectWord(std::string_view w) {
    if (AcceptWord(w)) return true;
    return Fail(Status::InvalidArgument("expected " + std::string(w) + Near(Peek())));
  }
  bool ExpectPunct(char c) {
    if (AcceptPunct(c)) return true;
    return Fail(Status::InvalidArgument("expected '" + std::string(1, c) + "'" + Near(Peek())));
  }
  static std::string Near(const Token& t) {
    if (t.kind == TokenKind::kEnd) return " at the end of the statement";
    std::string shown = t.kind == TokenKind::kString ? "'" + t.text + "'" : t.text;
    if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
    return " near '" + shown + "' at offset " + std::to_string(t.offset);
  }
  static Status SyntaxStatus(const Token& t) { return Status::InvalidArgument("syntax error" + Near(t)); }
  bool Fail(Status s) {
    if (error_.ok()) error_ = std::move(s);
    return false;
  }
  bool Syntax() { return Fail(SyntaxStatus(Peek())); }
  // A bare word that may be a name or alias here.
  static bool IsNameToken(const Token& t) {
    return t.kind == TokenKind::kQuotedIdentifier || (t.kind == TokenKind::kIdentifier && !IsTsqlReserved(t.text));
  }

  struct Nest {
    explicit Nest(Parser* p) : p_(p) { ++p_->nesting_; }
    ~Nest() { --p_->nesting_; }
    bool ok() const {
      if (p_->nesting_ <= kMaxNesting) return true;
      return p_->Fail(Status::Unsupported("statement nested too deeply"));
    }
    Parser* p_;
  };

  bool CheckHeight(int h) {
    if (h <= kMaxHeight) return true;
    return Fail(Status::Unsupported("expression or join chain too long"));
  }

  std::unique_ptr<Expr> Make(ExprKind kind) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    return e;
  }

  // ---- queries ----
  std::unique_ptr<Query> ParseQuery() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    auto q = std::make_unique<Query>();
    for (;;) {
      if (IsPunct(Peek(), '(')) {
        // A parenthesised member of a set operation: only a plain SELECT
        // can lose its parentheses without changing the meaning.
        ++pos_;
        auto inner = ParseQuery();
        if (!inner || !ExpectPunct(')')) return nullptr;
        if (inner->selects.size() != 1 || !inner->order_by.empty() || !inner->selects[0].top.empty()) {
          if (q->selects.empty() && !IsSetOp()) {
            // The whole query in parentheses: keep it as it is.
            if (!IsWord(Peek(), "ORDER")) return inner;
          }
          Fail(Status::Unsupported("parenthesized query with ORDER BY, TOP or a set operation inside a set operation"));
          return nullptr;
        }
        q->selects.push_back(std::move(inner->selects[0]));
      } else {
        Select s;
        if (!ParseSelect(&s)) return nullptr;
        q->selects.push_back(std::move(s));
      }
      if (!IsSetOp()) break;
      std::string op = Upper(Peek().text);
      ++pos_;
      if (op == "UNION" && AcceptWord("ALL")) op = "UNION ALL";
      q->set_ops.push_back(op);
    }
    if (IsWord(Peek(), "ORDER")) {
      ++pos_;
      if (!ExpectWord("BY")) return nullptr;
      do {
        OrderItem item;
        item.expr = ParseExpr();
        if (!item.expr) return nullptr;
        if (AcceptWord("ASC")) {
          item.direction = Direction::kAsc;
        } else if (AcceptWord("DESC")) {
          item.direction = Direction::kDesc;
        }
        q->order_by.push_back(std::move(item));
      } while (AcceptPunct(','));
      if (IsWord(Peek(), "OFFSET")) {
        Fail(Status::Unsupported("OFFSET ... FETCH"));
        return nullptr;
      }
    }
    return q;
  }

  bool IsSetOp() const {
    return IsWord(Peek(), "UNION") || IsWord(Peek(), "EXCEPT") || IsWord(Peek(), "INTERSECT");
  }

  bool ParseSelect(Select* s) {
    if (!ExpectWord("SELECT")) return false;
    if (AcceptWord("DISTINCT")) {
      s->distinct = true;
    } else {
      AcceptWord("ALL");
    }
    if (AcceptWord("TOP")) {
      const bool paren = AcceptPunct('(');
      if (Peek().kind != TokenKind::kNumber ||
          Peek().text.find_first_not_of("0123456789") != std::string::npos) {
        return Fail(Status::Unsupported("TOP with anything but a whole number"));
      }
      s->top = Peek().text;
      ++pos_;
      if (paren && !ExpectPunct(')')) return false;
      if (IsWord(Peek(), "PERCENT")) return Fail(Status::Unsupported("TOP ... PERCENT"));
      if (IsWord(Peek(), "WITH") && IsWord(Peek(1), "TIES")) return Fail(Status::Unsupported("TOP ... WITH TIES"));
    }
    do {
      SelectItem item;
      if (!ParseSelectItem(&item)) return false;
      s->items.push_back(std::move(item));
    } while (AcceptPunct(','));
    if (IsWord(Peek(), "INTO")) return Fail(Status::Unsupported("SELECT ... INTO"));
    if (AcceptWord("FROM")) {
      do {
        auto t = ParseTableRef();
        if (!t) return false;
        s->from.push_back(std::move(t));
      } while (AcceptPunct(','));
    }
    if (AcceptWord("WHERE")) {
      s->where = ParseExpr();
      if (!s->where) return false;
    }
    if (IsWord(Peek(), "GROUP")) {
      ++pos_;
      if (!ExpectWord("BY")) return false;
      if (IsWord(Peek(), "ALL")) return Fail(Status::Unsupported("GROUP BY ALL"));
      do {
        auto e = ParseExpr();
        if (!e) return false;
        s->group_by.push_back(std::move(e));
      } while (AcceptPunct(','));
      if (IsWord(Peek(), "WITH")) return Fail(Status::Unsupported("GROUP BY ... WITH ROLLUP/CUBE"));
    }
    if (AcceptWord("HAVING")) {
      s->having = ParseExpr();
      if (!s->having) return false;
    }
    return true;
  }

  bool ParseSelectItem(SelectItem* item) {
    // `*` and `qualifier.*` stand only as whole select items.
    if (IsOp(Peek(), "*")) {
      ++pos_;
      item->expr = Make(ExprKind::kStar);
      return true;
    }
    if (IsNameToken(Peek())) {
      size_t k = 1;
      while (IsPunct(Peek(k), '.') &&
             (Peek(k + 1).kind == TokenKind::kIdentifier || Peek(k + 1).kind == TokenKind::kQuotedIdentifier ||
              IsPunct(Peek(k + 1), '.'))) {
        k += IsPunct(Peek(k + 1), '.') ? 1 : 2;
      }
      if (IsPunct(Peek(k), '.') && IsOp(Peek(k + 1), "*")) {
        auto e = Make(ExprKind::kStar);
        bool star = false;
        if (!ParseDottedName(&e->parts, &star)) return false;
        if (!star) return Syntax();
        item->expr = std::move(e);
        return true;
      }
    }
    const Token& t = Peek();
    // `alias = expression`: a select item is never a comparison in T-SQL.
    if ((IsNameToken(t) || t.kind == TokenKind::kString) && IsOp(Peek(1), "=")) {
      if (t.kind == TokenKind::kIdentifier && t.text[0] == '@') {
        return Fail(Status::Unsupported("variable assignment in the select list (" + t.text + ")"));
      }
      item->alias = Name{t.text, t.kind != TokenKind::kIdentifier};
      pos_ += 2;
      item->expr = ParseExpr();
      return item->expr != nullptr;
    }
    item->expr = ParseExpr();
    if (!item->expr) return false;
    if (AcceptWord("AS")) {
      const Token& a = Peek();
      if (a.kind != TokenKind::kIdentifier && a.kind != TokenKind::kQuotedIdentifier && a.kind != TokenKind::kString) {
        return Syntax();
      }
      item->alias = Name{a.text, a.kind != TokenKind::kIdentifier};
      ++pos_;
    } else if (IsNameToken(Peek()) || Peek().kind == TokenKind::kString) {
      item->alias = Name{Peek().text, Peek().kind != TokenKind::kIdentifier};
      ++pos_;
    }
    if (!item->alias.text.empty() && item->alias.text[0] == '@' && !item->alias.quoted) {
      return Fail(Status::Unsupported("variable " + item->alias.text));
    }
    return true;
  }

  // ---- FROM ----
  // A table source with its joins. A JOIN's right operand is itself a table
  // source with joins, read greedily; the next ON then closes the innermost
  // join still waiting for one. So `A RIGHT JOIN B LEFT JOIN C ON x ON y`
  // is `A RIGHT JOIN (B LEFT JOIN C ON x) ON y`, as SQL Server reads it.
  std::unique_ptr<TableRef> ParseTableRef() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    auto left = ParseTablePrimary();
    if (!left) return nullptr;
    for (;;) {
      JoinType type;
      bool inner_word = false, outer_word = false;
      if (IsWord(Peek(), "CROSS") || IsWord(Peek(), "OUTER")) {
        if (IsWord(Peek(1), "APPLY")) {
          Fail(Status::Unsupported(Upper(Peek().text) + " APPLY"));
          return nullptr;
        }
      }
      if (AcceptWord("CROSS")) {
        if (!ExpectWord("JOIN")) return nullptr;
        type = JoinType::kCross;
      } else if (IsWord(Peek(), "INNER") || IsWord(Peek(), "JOIN")) {
        inner_word = AcceptWord("INNER");
        if (!ExpectJoinWord()) return nullptr;
        type = JoinType::kInner;
      } else if (IsWord(Peek(), "LEFT") || IsWord(Peek(), "RIGHT") || IsWord(Peek(), "FULL")) {
        type = IsWord(Peek(), "LEFT") ? JoinType::kLeft : IsWord(Peek(), "RIGHT") ? JoinType::kRight : JoinType::kFull;
        ++pos_;
        outer_word = AcceptWord("OUTER");
        if (!ExpectJoinWord()) return nullptr;
      } else {
        break;
      }
      auto join = std::make_unique<TableRef>();
      join->kind = TableKind::kJoin;
      join->join = type;
      join->inner_word = inner_word;
      join->outer_word = outer_word;
      join->right = type == JoinType::kCross ? ParseTablePrimary() : ParseTableRef();
      if (!join->right) return nullptr;
      if (type != JoinType::kCross) {
        if (!ExpectWord("ON")) return nullptr;
        join->on = ParseExpr();
        if (!join->on) return nullptr;
      }
      join->depth = std::max(left->depth, join->right->depth) + 1;
      if (!CheckHeight(join->depth)) return nullptr;
      join->left = std::move(left);
      left = std::move(join);
    }
    return left;
  }

  bool ExpectJoinWord() {
    for (std::string_view hint : {"HASH", "MERGE", "LOOP", "REMOTE"}) {
      if (IsWord(Peek(), hint)) return Fail(Status::Unsupported("join hint " + Upper(hint)));
    }
    return ExpectWord("JOIN");
  }

  bool StartsQuery() const {
    size_t k = 0;
    while (IsPunct(Peek(k), '(')) ++k;
    return IsWord(Peek(k), "SELECT");
  }

  std::unique_ptr<TableRef> ParseTablePrimary() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    auto t = std::make_unique<TableRef>();
    if (IsPunct(Peek(), '(')) {
      if (StartsQuery()) {
        ++pos_;
        t->kind = TableKind::kDerived;
        t->query = ParseQuery();
        if (!t->query || !ExpectPunct(')')) return nullptr;
        AcceptWord("AS");
        if (!IsNameToken(Peek())) {
          Fail(Status::InvalidArgument("a derived table needs an alias" + Near(Peek())));
          return nullptr;
        }
        t->alias = Name{Peek().text, Peek().kind == TokenKind::kQuotedIdentifier};
        ++pos_;
        if (IsPunct(Peek(), '(')) {
          Fail(Status::Unsupported("column list of a derived table"));
          return nullptr;
        }
        return t;
      }
      ++pos_;
      auto inner = ParseTableRef();
      if (!inner || !ExpectPunct(')')) return nullptr;
      if (inner->kind == TableKind::kJoin) {
        inner->parenthesized = true;
        return inner;
      }
      if (IsNameToken(Peek()) || IsWord(Peek(), "AS")) {
        Fail(Status::Unsupported("alias after a parenthesized table"));
        return nullptr;
      }
      return inner;
    }
    if (IsWord(Peek(), "OPENQUERY") || IsWord(Peek(), "OPENROWSET") || IsWord(Peek(), "OPENXML") ||
        IsWord(Peek(), "OPENDATASOURCE")) {
      Fail(Status::Unsupported(Upper(Peek().text)));
      return nullptr;
    }
    if (!IsNameToken(Peek())) {
      Syntax();
      return nullptr;
    }
    if (Peek().kind == TokenKind::kIdentifier && (Peek().text[0] == '@' || Peek().text[0] == '#')) {
      Fail(Status::Unsupported((Peek().text[0] == '@' ? "table variable " : "temporary table ") + Peek().text));
      return nullptr;
    }
    t->kind = TableKind::kNamed;
    bool star = false;
    if (!ParseDottedName(&t->parts, &star)) return nullptr;
    if (star) {
      Syntax();
      return nullptr;
    }
    if (IsPunct(Peek(), '(')) {
      Fail(Status::Unsupported("table-valued function " + t->parts.back().text));
      return nullptr;
    }
    if (t->parts.size() > 3) {
      Fail(Status::Unsupported("linked-server name (four parts)"));
      return nullptr;
    }
    if (AcceptWord("AS")) {
      if (!IsNameToken(Peek())) {
        Syntax();
        return nullptr;
      }
    }
    if (IsNameToken(Peek())) {
      t->alias = Name{Peek().text, Peek().kind == TokenKind::kQuotedIdentifier};
      ++pos_;
    }
    if (IsWord(Peek(), "WITH") && IsPunct(Peek(1), '(')) {
      // Locking hints change how rows are read, not which rows the statement
      // means; the engines behind the connector have no such hints.
      pos_ += 2;
      do {
        if (!IsWord(Peek(), "NOLOCK") && !IsWord(Peek(), "READUNCOMMITTED")) {
          Fail(Status::Unsupported("table hint " + Peek().text));
          return nullptr;
        }
        ++pos_;
      } while (AcceptPunct(','));
      if (!ExpectPunct(')')) return nullptr;
    }
    if (IsWord(Peek(), "TABLESAMPLE")) {
      Fail(Status::Unsupported("TABLESAMPLE"));
      return nullptr;
    }
    return t;
  }

  // name ('.' (name | '' | '*'))*; an empty part stands for `..`.
  bool ParseDottedName(std::vector<Name>* parts, bool* star) {
    parts->push_back(Name{Peek().text, Peek().kind == TokenKind::kQuotedIdentifier});
    ++pos_;
    while (IsPunct(Peek(), '.')) {
      ++pos_;
      if (IsPunct(Peek(), '.')) {
        parts->push_back(Name{});
        continue;
      }
      if (Peek().kind == TokenKind::kIdentifier || Peek().kind == TokenKind::kQuotedIdentifier) {
        parts->push_back(Name{Peek().text, Peek().kind == TokenKind::kQuotedIdentifier});
        ++pos_;
        continue;
      }
      if (IsOp(Peek(), "*")) {
        ++pos_;
        *star = true;
        break;
      }
      return Syntax();
    }
    if (parts->back().text.empty()) return Syntax();
    if (parts->size() > 5) return Fail(Status::InvalidArgument("name with too many parts" + Near(Peek())));
    return true;
  }

  // ---- expressions ----
  std::unique_ptr<Expr> ParseExpr() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    return ParseChain(kOrLevel);
  }

  // Chains of one precedence level, loosest first; below them NOT and
  // the predicates (level 1's operands), and the unary operators (level 3's).
  enum Level { kOrLevel, kAndLevel, kAddLevel, kMulLevel };

  // The operator of `level` at the current token, or null.
  const char* ChainOp(Level level) const {
    const Token& t = Peek();
    switch (level) {
      case kOrLevel: return IsWord(t, "OR") ? "OR" : nullptr;
      case kAndLevel: return IsWord(t, "AND") ? "AND" : nullptr;
      case kAddLevel:
        for (const char* op : {"+", "-", "&", "|", "^"}) {
          if (IsOp(t, op)) return op;
        }
        return nullptr;
      case kMulLevel:
        for (const char* op : {"*", "/", "%"}) {
          if (IsOp(t, op)) return op;
        }
        return nullptr;
    }
    return nullptr;
  }

  std::unique_ptr<Expr> ChainOperand(Level level) {
    switch (level) {
      case kOrLevel: return ParseChain(kAndLevel);
      case kAndLevel: return ParseNot();
      case kAddLevel: return ParseChain(kMulLevel);
      case kMulLevel: return ParseUnary();
    }
    return nullptr;
  }

  // `a op b op c ...` of one level as one node, read in a loop: a chain of
  // any length costs no recursion here nor in the walks over the tree.
  std::unique_ptr<Expr> ParseChain(Level level) {
    auto first = ChainOperand(level);
    if (!first) return nullptr;
    std::unique_ptr<Expr> chain;
    while (const char* op = ChainOp(level)) {
      ++pos_;
      auto next = ChainOperand(level);
      if (!next) return nullptr;
      if (!chain) {
        chain = Make(ExprKind::kBinary);
        chain->text = op;
        chain->args.push_back(std::move(first));
      }
      chain->ops.emplace_back(op);
      chain->args.push_back(std::move(next));
    }
    if (!chain) return first;
    chain->depth = Height(chain->args);
    if (!CheckHeight(chain->depth)) return nullptr;
    return chain;
  }

  std::unique_ptr<Expr> Binary(std::string op, std::unique_ptr<Expr> a, std::unique_ptr<Expr> b) {
    auto e = Make(ExprKind::kBinary);
    e->text = op;
    e->ops.push_back(std::move(op));
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    e->depth = Height(e->args);
    if (!CheckHeight(e->depth)) return nullptr;
    return e;
  }

  std::unique_ptr<Expr> ParseNot() {
    if (IsWord(Peek(), "NOT")) {
      Nest nest(this);
      if (!nest.ok()) return nullptr;
      ++pos_;
      auto operand = ParseNot();
      if (!operand) return nullptr;
      auto e = Make(ExprKind::kUnary);
      e->text = "NOT";
      e->args.push_back(std::move(operand));
      e->depth = Height(e->args);
      return e;
    }
    return ParsePredicate();
  }

  std::unique_ptr<Expr> ParsePredicate() {
    auto left = ParseAdditive();
    if (!left) return nullptr;
    const Token& t = Peek();
    if (t.kind == TokenKind::kOperator &&
        (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == ">" || t.text == "<=" ||
         t.text == ">=" || t.text == "!<" || t.text == "!>")) {
      std::string op = t.text;
      ++pos_;
      if (IsWord(Peek(), "ALL") || IsWord(Peek(), "ANY") || IsWord(Peek(), "SOME")) {
        Fail(Status::Unsupported("comparison with " + Upper(Peek().text) + " (subquery)"));
        return nullptr;
      }
      auto right = ParseAdditive();
      if (!right) return nullptr;
      return Binary(op, std::move(left), std::move(right));
    }
    if (AcceptWord("IS")) {
      auto e = Make(ExprKind::kIsNull);
      e->negated = AcceptWord("NOT");
      if (!ExpectWord("NULL")) return nullptr;
      e->args.push_back(std::move(left));
      e->depth = Height(e->args);
      return e;
    }
    bool negated = false;
    if (IsWord(Peek(), "NOT") &&
        (IsWord(Peek(1), "IN") || IsWord(Peek(1), "LIKE") || IsWord(Peek(1), "BETWEEN"))) {
      negated = true;
      ++pos_;
    }
    if (AcceptWord("IN")) {
      auto e = Make(ExprKind::kIn);
      e->negated = negated;
      e->args.push_back(std::move(left));
      if (!ExpectPunct('(')) return nullptr;
      if (IsWord(Peek(), "SELECT")) {
        e->query = ParseQuery();
        if (!e->query) return nullptr;
      } else {
        do {
          auto item = ParseExpr();
          if (!item) return nullptr;
          e->args.push_back(std::move(item));
        } while (AcceptPunct(','));
      }
      if (!ExpectPunct(')')) return nullptr;
      e->depth = Height(e->args);
      return e;
    }
    if (AcceptWord("LIKE")) {
      auto e = Make(ExprKind::kLike);
      e->negated = negated;
      e->args.push_back(std::move(left));
      auto pattern = ParseAdditive();
      if (!pattern) return nullptr;
      e->args.push_back(std::move(pattern));
      if (AcceptWord("ESCAPE")) {
        auto esc = ParseAdditive();
        if (!esc) return nullptr;
        e->args.push_back(std::move(esc));
      }
      e->depth = Height(e->args);
      return e;
    }
    if (AcceptWord("BETWEEN")) {
      auto e = Make(ExprKind::kBetween);
      e->negated = negated;
      e->args.push_back(std::move(left));
      auto low = ParseAdditive();
      if (!low || !ExpectWord("AND")) return nullptr;
      auto high = ParseAdditive();
      if (!high) return nullptr;
      e->args.push_back(std::move(low));
      e->args.push_back(std::move(high));
      e->depth = Height(e->args);
      return e;
    }
    if (negated) {
      Syntax();
      return nullptr;
    }
    return left;
  }

  std::unique_ptr<Expr> ParseAdditive() { return ParseChain(kAddLevel); }

  std::unique_ptr<Expr> ParseUnary() {
    const Token& t = Peek();
    if (IsOp(t, "-") || IsOp(t, "+") || IsOp(t, "~")) {
      Nest nest(this);
      if (!nest.ok()) return nullptr;
      std::string op = t.text;
      ++pos_;
      auto operand = ParseUnary();
      if (!operand) return nullptr;
      auto e = Make(ExprKind::kUnary);
      e->text = op;
      e->args.push_back(std::move(operand));
      e->depth = Height(e->args);
      return e;
    }
    auto e = ParsePrimary();
    if (e && IsWord(Peek(), "COLLATE")) {
      Fail(Status::Unsupported("COLLATE clause"));
      return nullptr;
    }
    return e;
  }

  std::unique_ptr<Expr> ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::kString: {
        auto e = Make(ExprKind::kString);
        e->text = t.text;
        e->national = t.national;
        ++pos_;
        return e;
      }
      case TokenKind::kNumber: {
        auto e = Make(ExprKind::kNumber);
        e->text = t.text;
        ++pos_;
        return e;
      }
      case TokenKind::kQuotedIdentifier:
        return ParseNameExpr();
      case TokenKind::kOperator:
        break;
      case TokenKind::kPunct:
        if (t.text == "(") {
          Nest nest(this);
          if (!nest.ok()) return nullptr;
          if (StartsQuery()) {
            ++pos_;
            auto e = Make(ExprKind::kSubquery);
            e->query = ParseQuery();
            if (!e->query || !ExpectPunct(')')) return nullptr;
            return e;
          }
          ++pos_;
          auto inner = ParseExpr();
          if (!inner || !ExpectPunct(')')) return nullptr;
          auto e = Make(ExprKind::kParen);
          e->args.push_back(std::move(inner));
          e->depth = Height(e->args);
          return e;
        }
        if (t.text == "{") {
          Fail(Status::Unsupported("ODBC escape sequence { }"));
          return nullptr;
        }
        break;
      case TokenKind::kIdentifier:
        return ParseWordExpr();
      case TokenKind::kEnd:
        break;
    }
    Syntax();
    return nullptr;
  }

  std::unique_ptr<Expr> ParseWordExpr() {
    const Token& t = Peek();
    if (t.text[0] == '@') {
      Fail(Status::Unsupported("variable " + t.text));
      return nullptr;
    }
    if (IsWord(t, "NULL")) {
      ++pos_;
      return Make(ExprKind::kNull);
    }
    if (IsWord(t, "CASE")) return ParseCase();
    if (IsWord(t, "CAST") && IsPunct(Peek(1), '(')) {
      pos_ += 2;
      auto e = Make(ExprKind::kCast);
      e->text = t.text;
      auto operand = ParseExpr();
      if (!operand || !ExpectWord("AS") || !ParseType(&e->type) || !ExpectPunct(')')) return nullptr;
      e->args.push_back(std::move(operand));
      e->depth = Height(e->args);
      return e;
    }
    if (IsWord(t, "CONVERT") && IsPunct(Peek(1), '(')) {
      pos_ += 2;
      auto e = Make(ExprKind::kCast);
      e->text = "CAST";
      if (!ParseType(&e->type) || !ExpectPunct(',')) return nullptr;
      auto operand = ParseExpr();
      if (!operand) return nullptr;
      if (IsPunct(Peek(), ',')) {
        Fail(Status::Unsupported("CONVERT with a style argument"));
        return nullptr;
      }
      if (!ExpectPunct(')')) return nullptr;
      e->args.push_back(std::move(operand));
      e->depth = Height(e->args);
      return e;
    }
    if (IsWord(t, "EXISTS")) {
      ++pos_;
      if (!ExpectPunct('(')) return nullptr;
      auto e = Make(ExprKind::kExists);
      e->query = ParseQuery();
      if (!e->query || !ExpectPunct(')')) return nullptr;
      return e;
    }
    if (IsPunct(Peek(1), '(') && !IsTsqlReserved(t.text)) return ParseFunction();
    if (IsPunct(Peek(1), '(') && (IsWord(t, "LEFT") || IsWord(t, "RIGHT"))) return ParseFunction();
    if (IsTsqlReserved(t.text)) {
      Syntax();
      return nullptr;
    }
    return ParseNameExpr();
  }

  std::unique_ptr<Expr> ParseNameExpr() {
    auto e = Make(ExprKind::kColumn);
    bool star = false;
    if (!ParseDottedName(&e->parts, &star)) return nullptr;
    if (star) {
      Fail(Status::InvalidArgument("qualifier.* outside the select list" + Near(Peek())));
      return nullptr;
    }
    if (IsPunct(Peek(), '(')) {
      Fail(Status::Unsupported("user-defined function " + e->parts.back().text));
      return nullptr;
    }
    return e;
  }

  std::unique_ptr<Expr> ParseFunction() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    auto e = Make(ExprKind::kFunction);
    e->text = Peek().text;
    pos_ += 2;
    if (IsOp(Peek(), "*")) {
      ++pos_;
      e->star_arg = true;
    } else if (!IsPunct(Peek(), ')')) {
      if (AcceptWord("DISTINCT")) {
        e->distinct = true;
      } else {
        AcceptWord("ALL");
      }
      do {
        auto a = ParseExpr();
        if (!a) return nullptr;
        e->args.push_back(std::move(a));
      } while (AcceptPunct(','));
    }
    if (!ExpectPunct(')')) return nullptr;
    if (IsWord(Peek(), "OVER")) {
      Fail(Status::Unsupported("window function (OVER)"));
      return nullptr;
    }
    if (IsWord(Peek(), "WITHIN")) {
      Fail(Status::Unsupported("WITHIN GROUP"));
      return nullptr;
    }
    e->depth = Height(e->args);
    return e;
  }

  std::unique_ptr<Expr> ParseCase() {
    Nest nest(this);
    if (!nest.ok()) return nullptr;
    ++pos_;
    auto e = Make(ExprKind::kCase);
    if (!IsWord(Peek(), "WHEN")) {
      auto operand = ParseExpr();
      if (!operand) return nullptr;
      e->has_operand = true;
      e->args.push_back(std::move(operand));
    }
    if (!IsWord(Peek(), "WHEN")) {
      Syntax();
      return nullptr;
    }
    while (AcceptWord("WHEN")) {
      auto when = ParseExpr();
      if (!when || !ExpectWord("THEN")) return nullptr;
      auto then = ParseExpr();
      if (!then) return nullptr;
      e->args.push_back(std::move(when));
      e->args.push_back(std::move(then));
    }
    if (AcceptWord("ELSE")) {
      auto other = ParseExpr();
      if (!other) return nullptr;
      e->has_else = true;
      e->args.push_back(std::move(other));
    }
    if (!ExpectWord("END")) return nullptr;
    e->depth = Height(e->args);
    return e;
  }

  bool ParseType(TypeName* type) {
    if (Peek().kind != TokenKind::kIdentifier && Peek().kind != TokenKind::kQuotedIdentifier) return Syntax();
    std::string name = Peek().text;
    for (char& c : name) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    ++pos_;
    if (name == "double" && AcceptWord("PRECISION")) name = "float";
    type->name = name;
    if (AcceptPunct('(')) {
      do {
        if (Peek().kind == TokenKind::kNumber) {
          type->args.push_back(Peek().text);
        } else if (IsWord(Peek(), "MAX")) {
          type->args.push_back("max");
        } else {
          return Syntax();
        }
        ++pos_;
      } while (AcceptPunct(','));
      if (!ExpectPunct(')')) return false;
    }
    return true;
  }

  const std::vector<Token>& t_;
  size_t pos_ = 0;
  int nesting_ = 0;
  Status error_;
};

}  // namespace

bool IsTsqlReserved(std::string_view word) {
  // Called for most tokens: compare an upper-case copy against a sorted
  // table instead of scanning it case-insensitively.
  static const auto* sorted = [] {
    auto* v = new std::vector<std::string_view>(kReserved.begin(), kReserved.end());
    std::sort(v->begin(), v->end());
    return v;
  }();
  char upper[16];
  if (word.empty() || word.size() > sizeof upper) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return std::binary_search(sorted->begin(), sorted->end(), std::string_view(upper, word.size()));
}

Result<std::unique_ptr<Query>> Parse(const std::vector<Token>& tokens) { return Parser(tokens).Run(); }

}  // namespace trelix::sql
