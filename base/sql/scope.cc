#include "base/sql/scope.h"

#include <algorithm>

#include "base/sql/token.h"

namespace trelix::sql {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void AddSources(const TableRef& t, std::vector<Source>* out) {
  switch (t.kind) {
    case TableKind::kJoin:
      AddSources(*t.left, out);
      AddSources(*t.right, out);
      return;
    case TableKind::kDerived:
      out->push_back(Source{&t.alias, nullptr, nullptr, t.query.get()});
      return;
    case TableKind::kNamed: {
      auto name = ResolveTableName(t.parts);
      if (!name.ok()) return;
      out->push_back(Source{t.alias.text.empty() ? nullptr : &t.alias, name->database, name->table, nullptr});
      return;
    }
  }
}

// Combines the types of values of which the result takes the highest in
// SQL Server's data type precedence (CASE branches, COALESCE arguments).
ValueType Unify(const std::vector<ValueType>& types) {
  bool text = false, number = false, date = false, unknown = false, other = false;
  for (ValueType t : types) {
    switch (t) {
      case ValueType::kText: text = true; break;
      case ValueType::kNumber: number = true; break;
      case ValueType::kDateTime: date = true; break;
      case ValueType::kUnknown: unknown = true; break;
      case ValueType::kOther: other = true; break;
      case ValueType::kNull: break;
    }
  }
  if (date) return ValueType::kDateTime;
  if (number) return ValueType::kNumber;
  if (unknown) return ValueType::kUnknown;
  if (text) return ValueType::kText;
  if (other) return ValueType::kOther;
  return ValueType::kNull;
}

bool IsArithmetic(std::string_view op) {
  return op == "+" || op == "-" || op == "*" || op == "/" || op == "%" || op == "&" || op == "|" || op == "^";
}

// The type of `a op b`: T-SQL's `+` joins two texts and adds otherwise.
ValueType Combine(std::string_view op, ValueType a, ValueType b) {
  if (op != "+") return ValueType::kNumber;
  if (a == ValueType::kDateTime || b == ValueType::kDateTime) return ValueType::kDateTime;
  if (a == ValueType::kNumber || b == ValueType::kNumber) return ValueType::kNumber;
  if (a == ValueType::kUnknown || b == ValueType::kUnknown) return ValueType::kUnknown;
  if (a == ValueType::kText || b == ValueType::kText) return ValueType::kText;
  return a == ValueType::kNull && b == ValueType::kNull ? ValueType::kNull : ValueType::kOther;
}

}  // namespace

ValueType TypeFromDeclared(std::string_view declared) {
  std::string d = Lower(declared);
  // Drop a schema qualification and quotes ("pg_catalog"."varchar").
  d.erase(std::remove(d.begin(), d.end(), '"'), d.end());
  if (auto dot = d.rfind('.'); dot != std::string::npos && d.find('(') == std::string::npos) d = d.substr(dot + 1);
  while (!d.empty() && d.front() == ' ') d.erase(d.begin());
  for (std::string_view p : {"nvarchar", "varchar", "nchar", "char", "ntext", "text", "character", "citext",
                             "sysname", "uniqueidentifier", "clob", "string"}) {
    if (StartsWith(d, p)) return ValueType::kText;
  }
  for (std::string_view p : {"datetime", "smalldatetime", "date", "time", "timestamp"}) {
    if (StartsWith(d, p)) return ValueType::kDateTime;
  }
  for (std::string_view p : {"int", "bigint", "smallint", "tinyint", "bit", "decimal", "numeric", "money",
                             "smallmoney", "float", "real", "double", "integer", "boolean", "bool"}) {
    if (StartsWith(d, p)) return ValueType::kNumber;
  }
  return ValueType::kOther;
}

ValueType TypeOfCastTarget(const TypeName& type) { return TypeFromDeclared(type.name); }

bool IsDefaultSchema(const Name& schema) { return schema.text.empty() || EqualsIgnoreCase(schema.text, "dbo"); }

Result<ObjectName> ResolveTableName(const std::vector<Name>& parts) {
  ObjectName out;
  switch (parts.size()) {
    case 1:
      out.table = &parts[0];
      return out;
    case 2:
      if (!IsDefaultSchema(parts[0])) return Status::Unsupported("schema-qualified name " + parts[0].text + "." + parts[1].text);
      out.table = &parts[1];
      return out;
    case 3:
      if (parts[0].text.empty()) return Status::InvalidArgument("name without a database before '..'");
      if (!IsDefaultSchema(parts[1])) {
        return Status::Unsupported("schema-qualified name " + parts[0].text + "." + parts[1].text + "." + parts[2].text);
      }
      out.database = &parts[0];
      out.table = &parts[2];
      return out;
    default:
      return Status::Unsupported("linked-server name (four parts)");
  }
}

Result<ObjectName> ResolveColumnName(const std::vector<Name>& parts) {
  if (parts.empty() || parts.back().text.empty()) return Status::InvalidArgument("empty column name");
  if (parts.size() == 1) {
    ObjectName out;
    out.column = &parts[0];
    return out;
  }
  std::vector<Name> qualifier(parts.begin(), parts.end() - 1);
  if (qualifier.back().text.empty()) return Status::InvalidArgument("column name with an empty table part");
  auto table = ResolveTableName(qualifier);
  if (!table.ok()) return table.status();
  // Re-point into `parts`, which outlives the result.
  ObjectName out;
  out.column = &parts.back();
  out.table = &parts[parts.size() - 2];
  if (table->database) out.database = &parts[0];
  return out;
}

Scope::Scope(const Select* select, const Scope* parent) : select(select), parent(parent) {
  if (!select) return;
  for (const auto& t : select->from) AddSources(*t, &sources);
}

std::string OutputName(const SelectItem& item) {
  if (!item.alias.text.empty()) return item.alias.text;
  if (item.expr && item.expr->kind == ExprKind::kColumn && !item.expr->parts.empty()) return item.expr->parts.back().text;
  return "";
}

ValueType TypeInference::TypeOf(const Expr& e, const Scope& scope, std::string* unknown) {
  if (auto it = known_.find(&e); it != known_.end()) {
    if (unknown && unknown->empty()) *unknown = it->second.unknown;
    return it->second.type;
  }
  std::string mine;
  const ValueType t = TypeOfUncached(e, scope, &mine);
  if (unknown && unknown->empty()) *unknown = mine;
  known_.emplace(&e, Known{t, std::move(mine)});
  return t;
}

ValueType TypeInference::TypeOfUncached(const Expr& e, const Scope& scope, std::string* unknown) {
  switch (e.kind) {
    case ExprKind::kString:
      return ValueType::kText;
    case ExprKind::kNumber:
      return ValueType::kNumber;
    case ExprKind::kNull:
      return ValueType::kNull;
    case ExprKind::kColumn:
      return ColumnType(e, scope, unknown);
    case ExprKind::kUnary:
      return e.text == "NOT" ? ValueType::kOther : ValueType::kNumber;
    case ExprKind::kBinary: {
      if (!IsArithmetic(e.ops[0])) return ValueType::kOther;  // comparisons and logic
      const Known& whole = ChainTypes(e, scope).back();
      if (unknown && unknown->empty()) *unknown = whole.unknown;
      return whole.type;
    }
    case ExprKind::kFunction: {
      const std::string name = Lower(e.text);
      if (name == "count" || name == "count_big" || name == "len" || name == "charindex" || name == "sum" ||
          name == "avg" || name == "abs" || name == "round") {
        return ValueType::kNumber;
      }
      if (name == "upper" || name == "lower" || name == "ltrim" || name == "rtrim" || name == "left" ||
          name == "right" || name == "substring" || name == "replace") {
        return ValueType::kText;
      }
      if ((name == "min" || name == "max" || name == "isnull" || name == "nullif") && !e.args.empty()) {
        ValueType first = TypeOf(*e.args[0], scope, unknown);
        if (name == "isnull" && first == ValueType::kNull && e.args.size() > 1) return TypeOf(*e.args[1], scope, unknown);
        return first;
      }
      if (name == "coalesce") {
        std::vector<ValueType> types;
        for (const auto& a : e.args) types.push_back(TypeOf(*a, scope, unknown));
        return Unify(types);
      }
      return ValueType::kUnknown;
    }
    case ExprKind::kCast:
      return TypeOfCastTarget(e.type);
    case ExprKind::kCase: {
      std::vector<ValueType> types;
      const size_t first = e.has_operand ? 1 : 0;
      const size_t whens_end = e.args.size() - (e.has_else ? 1 : 0);
      for (size_t i = first + 1; i < whens_end; i += 2) types.push_back(TypeOf(*e.args[i], scope, unknown));
      if (e.has_else) types.push_back(TypeOf(*e.args.back(), scope, unknown));
      return Unify(types);
    }
    case ExprKind::kSubquery: {
      if (!e.query || e.query->selects.empty() || e.query->selects[0].items.empty()) return ValueType::kUnknown;
      if (++depth_ > 64) {
        --depth_;
        return ValueType::kUnknown;
      }
      Scope inner(&e.query->selects[0], &scope);
      ValueType t = TypeOf(*e.query->selects[0].items[0].expr, inner, unknown);
      --depth_;
      return t;
    }
    case ExprKind::kParen:
      return TypeOf(*e.args[0], scope, unknown);
    case ExprKind::kStar:
    case ExprKind::kIsNull:
    case ExprKind::kIn:
    case ExprKind::kLike:
    case ExprKind::kBetween:
    case ExprKind::kExists:
      return ValueType::kOther;
  }
  return ValueType::kUnknown;
}

const std::vector<TypeInference::Known>& TypeInference::ChainTypes(const Expr& chain, const Scope& scope) {
  if (auto it = chains_.find(&chain); it != chains_.end()) return it->second;
  std::vector<Known> steps;
  steps.reserve(chain.args.size());
  std::string unknown;
  ValueType t = TypeOf(*chain.args[0], scope, &unknown);
  steps.push_back(Known{t, unknown});
  for (size_t i = 1; i < chain.args.size(); ++i) {
    const ValueType b = TypeOf(*chain.args[i], scope, &unknown);
    t = Combine(chain.ops[i - 1], t, b);
    steps.push_back(Known{t, unknown});
  }
  return chains_.emplace(&chain, std::move(steps)).first->second;
}

bool TypeInference::KeepsColumnCollation(const Expr& e, const Scope& scope) {
  switch (e.kind) {
    case ExprKind::kCast:
    case ExprKind::kParen:
      return KeepsColumnCollation(*e.args[0], scope);
    case ExprKind::kUnary:
      return e.text == "+" && KeepsColumnCollation(*e.args[0], scope);
    case ExprKind::kColumn:
      break;
    default:
      return false;
  }
  auto name = ResolveColumnName(e.parts);
  if (!name.ok()) return true;
  // A derived table's column keeps a collation only when its select item
  // does.
  auto derived_item = [&](const Query& q, const Expr** item) {
    if (q.selects.empty()) return false;
    for (const SelectItem& si : q.selects[0].items) {
      if (EqualsIgnoreCase(OutputName(si), name->column->text)) {
        *item = si.expr.get();
        return true;
      }
    }
    return false;
  };
  for (const Scope* sc = &scope; sc; sc = sc->parent) {
    for (const Source& s : sc->sources) {
      if (name->table) {
        const bool match = s.alias ? !name->database && EqualsIgnoreCase(s.alias->text, name->table->text)
                                   : s.table && EqualsIgnoreCase(s.table->text, name->table->text);
        if (!match) continue;
      }
      if (!s.derived) {
        if (name->table) return true;
        continue;
      }
      const Expr* item = nullptr;
      if (!derived_item(*s.derived, &item)) continue;
      if (++depth_ > 64) {
        --depth_;
        return false;
      }
      Scope inner(&s.derived->selects[0], nullptr);
      const bool keeps = KeepsColumnCollation(*item, inner);
      --depth_;
      return keeps;
    }
  }
  return true;
}

ValueType TypeInference::DerivedColumnType(const Query& q, std::string_view column, const Scope* outer,
                                           std::string* unknown, bool* found) {
  *found = false;
  if (q.selects.empty()) return ValueType::kUnknown;
  const Select& first = q.selects[0];
  for (const SelectItem& item : first.items) {
    if (!EqualsIgnoreCase(OutputName(item), column)) continue;
    *found = true;
    if (++depth_ > 64) {
      --depth_;
      return ValueType::kUnknown;
    }
    Scope inner(&first, outer);
    ValueType t = TypeOf(*item.expr, inner, unknown);
    --depth_;
    return t;
  }
  return ValueType::kUnknown;
}

ValueType TypeInference::ColumnType(const Expr& e, const Scope& scope, std::string* unknown) {
  auto name = ResolveColumnName(e.parts);
  if (!name.ok()) return ValueType::kUnknown;
  const std::string column = name->column->text;
  auto ask = [&](const Source& s, bool* found) -> ValueType {
    if (s.derived) return DerivedColumnType(*s.derived, column, nullptr, unknown, found);
    *found = false;
    if (!lookup_ || !*lookup_) return ValueType::kUnknown;
    auto declared = (*lookup_)(s.database ? std::string_view(s.database->text) : std::string_view(),
                               s.table->text, column);
    if (!declared) return ValueType::kUnknown;
    *found = true;
    return TypeFromDeclared(*declared);
  };
  for (const Scope* sc = &scope; sc; sc = sc->parent) {
    for (const Source& s : sc->sources) {
      if (name->table) {
        bool match;
        if (s.alias) {
          match = !name->database && EqualsIgnoreCase(s.alias->text, name->table->text);
        } else {
          match = s.table && EqualsIgnoreCase(s.table->text, name->table->text) &&
                  ((!s.database && !name->database) ||
                   (s.database && name->database && EqualsIgnoreCase(s.database->text, name->database->text)));
        }
        if (!match) continue;
        bool found = false;
        ValueType t = ask(s, &found);
        if (!found && unknown && unknown->empty()) *unknown = name->table->text + "." + column;
        return t;
      }
      bool found = false;
      ValueType t = ask(s, &found);
      if (found) return t;
    }
  }
  if (unknown && unknown->empty()) *unknown = name->table ? name->table->text + "." + column : column;
  return ValueType::kUnknown;
}

}  // namespace trelix::sql
