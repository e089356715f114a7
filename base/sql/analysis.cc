#include "base/sql/analysis.h"

#include <algorithm>
#include <string>

#include "base/sql/scope.h"
#include "base/sql/token.h"

namespace trelix::sql {
namespace {

const Expr& Unparen(const Expr& e) {
  const Expr* p = &e;
  while (p->kind == ExprKind::kParen) p = p->args[0].get();
  return *p;
}

bool IsAggregate(const Expr& e) {
  if (e.kind != ExprKind::kFunction) return false;
  for (std::string_view name : {"MIN", "MAX", "SUM", "AVG", "COUNT", "COUNT_BIG", "STDEV", "STDEVP", "VAR", "VARP",
                                "GROUPING", "CHECKSUM_AGG", "STRING_AGG"}) {
    if (EqualsIgnoreCase(e.text, name)) return true;
  }
  return false;
}

bool ContainsAggregate(const Expr& e) {
  if (IsAggregate(e)) return true;
  for (const auto& a : e.args) {
    if (a && ContainsAggregate(*a)) return true;
  }
  return false;  // subqueries aggregate on their own
}

std::string Dotted(const std::vector<Name>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += ".";
    out += parts[i].text;
  }
  return out;
}

bool SameColumn(const Expr& a, const Expr& b) {
  auto x = ResolveColumnName(a.parts);
  auto y = ResolveColumnName(b.parts);
  if (!x.ok() || !y.ok()) return false;
  if (!EqualsIgnoreCase(x->column->text, y->column->text)) return false;
  if (!x->table || !y->table) return true;
  if (!EqualsIgnoreCase(x->table->text, y->table->text)) return false;
  if (!x->database || !y->database) return !x->database && !y->database;
  return EqualsIgnoreCase(x->database->text, y->database->text);
}

// Whether the chain `grouped` is the left part of the chain `e`.
bool CoveredPrefix(const Expr& e, const Expr& grouped) {
  if (grouped.kind != ExprKind::kBinary || grouped.args.size() >= e.args.size()) return false;
  for (size_t i = 0; i < grouped.ops.size(); ++i) {
    if (!EqualsIgnoreCase(grouped.ops[i], e.ops[i])) return false;
  }
  for (size_t i = 0; i < grouped.args.size(); ++i) {
    if (!SameExpr(*grouped.args[i], *e.args[i])) return false;
  }
  return true;
}

// Every column outside an aggregate is one of `group_by` (or inside an
// expression that is); `offending` receives the first that is not.
bool Covered(const Expr& e, const std::vector<std::unique_ptr<Expr>>& group_by, std::string* offending) {
  for (const auto& g : group_by) {
    if (SameExpr(e, *g)) return true;
  }
  switch (e.kind) {
    case ExprKind::kColumn:
      *offending = Dotted(e.parts);
      return false;
    case ExprKind::kStar:
      offending->assign(1, '*');
      return false;
    case ExprKind::kFunction:
      if (IsAggregate(e)) return true;
      break;
    default:
      break;
  }
  // A chain `a + b + c` is `(a + b) + c`: a grouped `a + b` covers its
  // first two operands.
  size_t from = 0;
  if (e.kind == ExprKind::kBinary) {
    for (const auto& g : group_by) {
      if (g && CoveredPrefix(e, Unparen(*g))) from = std::max(from, Unparen(*g).args.size());
    }
  }
  for (size_t i = from; i < e.args.size(); ++i) {
    if (e.args[i] && !Covered(*e.args[i], group_by, offending)) return false;
  }
  return true;
}

bool IsOrdinal(const Expr& e) {
  return e.kind == ExprKind::kNumber && e.text.find_first_not_of("0123456789") == std::string::npos;
}

// An ORDER BY item that names a column of the select list by its output
// name (alias, or the column of a bare column reference).
bool NamesOutputColumn(const Expr& e, const Select& s) {
  if (e.kind != ExprKind::kColumn || e.parts.size() != 1) return false;
  for (const SelectItem& item : s.items) {
    if (EqualsIgnoreCase(OutputName(item), e.parts[0].text)) return true;
  }
  return false;
}

class Analyzer {
 public:
  Status Run(Query* q, int* repairs) {
    WalkQuery(q);
    if (repairs) *repairs = repairs_;
    return status_;
  }

 private:
  void Fail(Status s) {
    if (status_.ok()) status_ = std::move(s);
  }

  void WalkQuery(Query* q) {
    if (!status_.ok()) return;
    if (q->selects.size() > 1) {
      bool intersect = false, other = false;
      for (const std::string& op : q->set_ops) (op == "INTERSECT" ? intersect : other) = true;
      if (intersect && other) Fail(Status::Unsupported("INTERSECT mixed with UNION or EXCEPT"));
      for (const Select& s : q->selects) {
        if (!s.top.empty()) Fail(Status::Unsupported("TOP in a member of a set operation"));
      }
    }
    for (Select& s : q->selects) WalkSelect(&s);
    if (q->selects.size() == 1) {
      CheckOrderBy(q->selects[0], &q->order_by);
    } else {
      CheckSetOrderBy(q->selects[0], &q->order_by);
    }
    for (OrderItem& item : q->order_by) WalkExpr(item.expr.get());
  }

  void WalkTable(TableRef* t) {
    if (!t) return;
    if (t->query) WalkQuery(t->query.get());
    WalkTable(t->left.get());
    WalkTable(t->right.get());
    if (t->on) WalkExpr(t->on.get());
  }

  void WalkExpr(Expr* e) {
    if (!e || !status_.ok()) return;
    if (e->query) WalkQuery(e->query.get());
    for (auto& a : e->args) WalkExpr(a.get());
  }

  void WalkSelect(Select* s) {
    for (auto& item : s->items) WalkExpr(item.expr.get());
    for (auto& t : s->from) WalkTable(t.get());
    WalkExpr(s->where.get());
    for (auto& g : s->group_by) WalkExpr(g.get());
    WalkExpr(s->having.get());
    if (!status_.ok() || !Grouped(*s)) return;
    std::string offending;
    for (const auto& item : s->items) {
      if (!Covered(*item.expr, s->group_by, &offending)) {
        Fail(Status::InvalidArgument("column " + offending +
                                     " is invalid in the select list because it is not contained in either an "
                                     "aggregate function or the GROUP BY clause"));
        return;
      }
    }
    if (s->having && !Covered(*s->having, s->group_by, &offending)) {
      Fail(Status::InvalidArgument("column " + offending +
                                   " is invalid in the HAVING clause because it is not contained in either an "
                                   "aggregate function or the GROUP BY clause"));
    }
  }

  static bool Grouped(const Select& s) {
    if (!s.group_by.empty()) return true;
    for (const auto& item : s.items) {
      if (ContainsAggregate(*item.expr)) return true;
    }
    return s.having != nullptr;
  }

  void CheckOrderBy(const Select& s, std::vector<OrderItem>* order_by) {
    if (!status_.ok()) return;
    const bool grouped = Grouped(s);
    for (OrderItem& item : *order_by) {
      const Expr& e = Unparen(*item.expr);
      if (IsOrdinal(e) || NamesOutputColumn(e, s)) continue;
      if (s.distinct) {
        bool listed = false;
        for (const auto& si : s.items) listed = listed || SameExpr(e, *si.expr);
        if (!listed) {
          Fail(Status::InvalidArgument("ORDER BY items must appear in the select list if SELECT DISTINCT is specified"));
          return;
        }
      }
      if (!grouped) continue;
      std::string offending;
      if (Covered(e, s.group_by, &offending)) continue;
      if (e.kind == ExprKind::kColumn) {
        item.min_repair = true;
        ++repairs_;
        continue;
      }
      Fail(Status::InvalidArgument("column " + offending +
                                   " is invalid in the ORDER BY clause because it is not contained in either an "
                                   "aggregate function or the GROUP BY clause"));
      return;
    }
  }

  void CheckSetOrderBy(const Select& first, std::vector<OrderItem>* order_by) {
    if (!status_.ok()) return;
    for (OrderItem& item : *order_by) {
      const Expr& e = Unparen(*item.expr);
      if (IsOrdinal(e) || NamesOutputColumn(e, first)) continue;
      for (size_t i = 0; i < first.items.size() && item.position == 0; ++i) {
        if (SameExpr(e, *first.items[i].expr)) item.position = static_cast<int>(i + 1);
      }
      if (item.position == 0) {
        Fail(Status::InvalidArgument(
            "ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT or EXCEPT "
            "operator"));
        return;
      }
    }
  }

  Status status_;
  int repairs_ = 0;
};

}  // namespace

bool SameExpr(const Expr& a0, const Expr& b0) {
  const Expr& a = Unparen(a0);
  const Expr& b = Unparen(b0);
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case ExprKind::kColumn:
      return SameColumn(a, b);
    case ExprKind::kString:
    case ExprKind::kNumber:
      return a.text == b.text;
    case ExprKind::kSubquery:
    case ExprKind::kExists:
      return false;  // not compared
    default:
      break;
  }
  if (a.query || b.query) return false;
  if (!EqualsIgnoreCase(a.text, b.text) || a.negated != b.negated || a.distinct != b.distinct ||
      a.star_arg != b.star_arg || a.has_operand != b.has_operand || a.has_else != b.has_else ||
      a.args.size() != b.args.size() || a.parts.size() != b.parts.size() || a.ops.size() != b.ops.size()) {
    return false;
  }
  for (size_t i = 0; i < a.ops.size(); ++i) {
    if (!EqualsIgnoreCase(a.ops[i], b.ops[i])) return false;
  }
  if (a.kind == ExprKind::kCast && (a.type.name != b.type.name || a.type.args != b.type.args)) return false;
  for (size_t i = 0; i < a.parts.size(); ++i) {
    if (!EqualsIgnoreCase(a.parts[i].text, b.parts[i].text)) return false;
  }
  for (size_t i = 0; i < a.args.size(); ++i) {
    if (!SameExpr(*a.args[i], *b.args[i])) return false;
  }
  return true;
}

Status Analyze(Query* query, int* repairs) { return Analyzer().Run(query, repairs); }

}  // namespace trelix::sql
