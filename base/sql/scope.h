#pragma once
// What the names of a SELECT refer to, and what type of value an expression
// has: enough to tell whether T-SQL's `+` joins texts or adds numbers.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/sql/ast.h"
#include "base/sql/translator.h"
#include "common/status.h"

namespace trelix::sql {

enum class ValueType : uint8_t { kUnknown, kNull, kText, kNumber, kDateTime, kOther };

// Classifies a declared type name of SQL Server, SQLite or PostgreSQL.
ValueType TypeFromDeclared(std::string_view declared);
ValueType TypeOfCastTarget(const TypeName& type);

// A dotted object name with the SQL Server parts resolved: an omitted or
// "dbo" schema is dropped; any other schema, and server names, are refused.
struct ObjectName {
  const Name* database = nullptr;  // NAME of NAME..table
  const Name* table = nullptr;     // absent for a bare column
  const Name* column = nullptr;    // absent for a table or a star qualifier
};
Result<ObjectName> ResolveTableName(const std::vector<Name>& parts);
Result<ObjectName> ResolveColumnName(const std::vector<Name>& parts);

bool IsDefaultSchema(const Name& schema);  // "" or dbo

// The tables a SELECT reads (FROM, joins flattened), inside the scope of
// the statement around it (correlated subqueries).
struct Source {
  const Name* alias = nullptr;  // may be null
  const Name* database = nullptr;
  const Name* table = nullptr;  // null for a derived table
  const Query* derived = nullptr;
};

struct Scope {
  Scope(const Select* select, const Scope* parent);
  const Select* select;
  const Scope* parent;
  std::vector<Source> sources;
};

// The name a select item gives its column: the alias, or the column of a
// bare column reference; empty otherwise.
std::string OutputName(const SelectItem& item);

class TypeInference {
 public:
  explicit TypeInference(const ColumnTypeLookup* lookup) : lookup_(lookup) {}

  // `unknown` receives the name of a column whose type nobody knows when
  // that is what makes the answer kUnknown.
  ValueType TypeOf(const Expr& e, const Scope& scope, std::string* unknown);

  // Whether SQLite compares the value with the collation of a table column:
  // a column (not a derived table's computed one), or a CAST or unary + of
  // one. Everything else (functions, CASE, ||, aggregates) compares BINARY.
  bool KeepsColumnCollation(const Expr& e, const Scope& scope);

  // The left parts of an arithmetic chain (kBinary of + - * / % & | ^):
  // element i is the type of args[0] ops[0] ... args[i], with the first
  // column of unknown type in it.
  struct Known {
    ValueType type;
    std::string unknown;
  };
  const std::vector<Known>& ChainTypes(const Expr& chain, const Scope& scope);

 private:
  ValueType ColumnType(const Expr& e, const Scope& scope, std::string* unknown);
  ValueType DerivedColumnType(const Query& q, std::string_view column, const Scope* outer, std::string* unknown,
                              bool* found);
  ValueType TypeOfUncached(const Expr& e, const Scope& scope, std::string* unknown);
  const ColumnTypeLookup* lookup_;
  int depth_ = 0;
  // An expression's type does not change within one statement; the `+`
  // decisions ask for the same subtrees again and again.
  std::unordered_map<const Expr*, Known> known_;
  std::unordered_map<const Expr*, std::vector<Known>> chains_;
};

}  // namespace trelix::sql
