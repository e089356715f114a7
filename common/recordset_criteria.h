#pragma once
// Filter and Find criteria: parsing the criteria text into an OR of
// AND-groups of terms compiled against a recordset's fields, and testing a
// row's values against a term.
//
// Grammar (the cursor engine's, in full, so that criteria written for it
// keep working): terms `field op value` (op = <> < > <= >= LIKE; field bare or in
// [brackets]); values 'text' ('' is a quote), #date# (or #text#), numbers
// (sign, '$', decimals, exponent), Null, True, False; AND binds tighter than
// OR; parentheses group. Only an OR of AND-groups is accepted: a group that
// joins an OR-group with AND is invalid. Literals are converted to the
// field's type when the criteria are compiled, so testing a row never
// converts a literal again.
//
// Internal to the recordset implementation.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/recordset.h"
#include "common/recordset_values.h"

namespace trelix::recordset_internal {

enum class CompareOp : uint8_t { kEq, kNe, kLt, kGt, kLe, kGe, kLike };

struct Term {
  enum class Kind : uint8_t {
    kIsNull,     // `field = Null`
    kIsNotNull,  // `field <> Null`
    kText,       // text field: `folded` is the folded literal
    kInteger,    // integer or Boolean field: `integer`
    kReal,       // real or date field: `real`
    kCurrency,   // currency field: `integer` holds the scaled value
    kVariant,    // variant field: compared by the stored value's own type
  };
  enum class Like : uint8_t { kNone, kPrefix, kContains };

  int field = -1;
  CompareOp op = CompareOp::kEq;
  Kind kind = Kind::kText;
  Like like = Like::kNone;  // for LIKE: the wildcard form; `folded` holds the core
  std::string folded;
  int64_t integer = 0;
  double real = 0;
  Variant literal;  // the literal as converted (kVariant terms)
  // The normalized key of the literal for an index lookup; set for
  // equality terms only.
  std::optional<std::string> index_key;
};

// A compiled criteria: rows match when every term of at least one group
// matches.
struct Criteria {
  std::vector<std::vector<Term>> groups;
  bool IsSingleTerm() const { return groups.size() == 1 && groups[0].size() == 1; }
};

// Parses and compiles `text` against `fields`. Raises 3001 on bad syntax, an
// invalid grouping or a literal that does not convert to its field's type,
// and 3265 for an unknown field.
std::shared_ptr<const Criteria> CompileCriteria(std::string_view text, const std::vector<FieldInfo>& fields);

// Whether a stored value satisfies a term.
bool TermMatches(const Term& term, const Variant& value);

// The index key of a stored value of a field of class `cls`; nullopt for
// Null and Empty, which are never indexed.
std::optional<std::string> IndexKeyOf(const Variant& value, FieldClass cls);

// Ordering of two stored values of one field for Sort: Null and Empty
// first, texts ignoring case, numbers and dates numerically.
int CompareForSort(const Variant& a, const Variant& b, FieldClass cls);

// Index of a field by name (case-insensitive), or -1.
int LookupField(const std::vector<FieldInfo>& fields, std::string_view name);

}  // namespace trelix::recordset_internal
