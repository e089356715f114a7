#include "common/recordset_criteria.h"

#include <cmath>
#include <cstring>

#include "common/com_error.h"

namespace trelix::recordset_internal {
namespace {

// --- Lexer ----------------------------------------------------------------------

enum class Tok : uint8_t { kEnd, kLParen, kRParen, kWord, kName, kOp, kText, kHash };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;
  CompareOp op = CompareOp::kEq;
};

[[noreturn]] void BadCriteria() { RaiseAdo(kErrArguments); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDelimiter(char c) {
  return IsBlank(c) || c == '(' || c == ')' || c == '[' || c == ']' || c == '\'' || c == '#' || c == '<' ||
         c == '>' || c == '=';
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  const Token& Peek() {
    if (!peeked_) {
      current_ = Read();
      peeked_ = true;
    }
    return current_;
  }
  Token Next() {
    Peek();
    peeked_ = false;
    return std::move(current_);
  }
  bool PeekKeyword(std::string_view keyword) {
    const Token& t = Peek();
    return t.kind == Tok::kWord && EqualsIgnoreCase(t.text, keyword);
  }

 private:
  Token Read() {
    while (i_ < text_.size() && IsBlank(text_[i_])) ++i_;
    Token t;
    if (i_ >= text_.size()) return t;
    char c = text_[i_];
    switch (c) {
      case '(':
        ++i_;
        t.kind = Tok::kLParen;
        return t;
      case ')':
        ++i_;
        t.kind = Tok::kRParen;
        return t;
      case '[': {
        size_t close = text_.find(']', i_ + 1);
        if (close == std::string_view::npos) BadCriteria();
        t.kind = Tok::kName;
        t.text = std::string(text_.substr(i_ + 1, close - i_ - 1));
        i_ = close + 1;
        return t;
      }
      case '\'': {
        t.kind = Tok::kText;
        ++i_;
        for (;;) {
          if (i_ >= text_.size()) BadCriteria();
          if (text_[i_] == '\'') {
            if (i_ + 1 < text_.size() && text_[i_ + 1] == '\'') {
              t.text.push_back('\'');
              i_ += 2;
              continue;
            }
            ++i_;
            break;
          }
          t.text.push_back(text_[i_++]);
        }
        return t;
      }
      case '#': {
        size_t close = text_.find('#', i_ + 1);
        if (close == std::string_view::npos) BadCriteria();
        t.kind = Tok::kHash;
        t.text = std::string(text_.substr(i_ + 1, close - i_ - 1));
        i_ = close + 1;
        return t;
      }
      case '<':
        t.kind = Tok::kOp;
        ++i_;
        if (i_ < text_.size() && text_[i_] == '=') {
          t.op = CompareOp::kLe;
          ++i_;
        } else if (i_ < text_.size() && text_[i_] == '>') {
          t.op = CompareOp::kNe;
          ++i_;
        } else {
          t.op = CompareOp::kLt;
        }
        return t;
      case '>':
        t.kind = Tok::kOp;
        ++i_;
        if (i_ < text_.size() && text_[i_] == '=') {
          t.op = CompareOp::kGe;
          ++i_;
        } else {
          t.op = CompareOp::kGt;
        }
        return t;
      case '=':
        t.kind = Tok::kOp;
        t.op = CompareOp::kEq;
        ++i_;
        return t;
      case ']':
        BadCriteria();
      default:
        break;
    }
    size_t start = i_;
    while (i_ < text_.size() && !IsDelimiter(text_[i_])) ++i_;
    t.kind = Tok::kWord;
    t.text = std::string(text_.substr(start, i_ - start));
    return t;
  }

  std::string_view text_;
  size_t i_ = 0;
  Token current_;
  bool peeked_ = false;
};

// --- Parser: straight to an OR of AND-groups -------------------------------------

struct RawTerm {
  std::string field;
  CompareOp op;
  Token value;
};
using RawGroups = std::vector<std::vector<RawTerm>>;

// Nesting deeper than this is not a criteria anyone writes; refusing it keeps
// hostile input from exhausting the stack.
constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) {}

  RawGroups Parse() {
    RawGroups groups = ParseOr(0);
    if (lexer_.Peek().kind != Tok::kEnd) BadCriteria();
    return groups;
  }

 private:
  RawGroups ParseOr(int depth) {
    RawGroups groups = ParseAnd(depth);
    while (lexer_.PeekKeyword("OR")) {
      lexer_.Next();
      RawGroups more = ParseAnd(depth);
      for (auto& g : more) groups.push_back(std::move(g));
    }
    return groups;
  }

  RawGroups ParseAnd(int depth) {
    RawGroups groups = ParsePrimary(depth);
    while (lexer_.PeekKeyword("AND")) {
      lexer_.Next();
      RawGroups right = ParsePrimary(depth);
      // (A OR B) AND C is not an OR of AND-groups: refused, as the cursor
      // engine refuses it.
      if (groups.size() != 1 || right.size() != 1) BadCriteria();
      for (auto& t : right[0]) groups[0].push_back(std::move(t));
    }
    return groups;
  }

  RawGroups ParsePrimary(int depth) {
    if (lexer_.Peek().kind == Tok::kLParen) {
      if (depth >= kMaxDepth) BadCriteria();
      lexer_.Next();
      RawGroups inner = ParseOr(depth + 1);
      if (lexer_.Next().kind != Tok::kRParen) BadCriteria();
      return inner;
    }
    RawGroups groups(1);
    groups[0].push_back(ParseTerm());
    return groups;
  }

  RawTerm ParseTerm() {
    Token name = lexer_.Next();
    if (name.kind != Tok::kWord && name.kind != Tok::kName) BadCriteria();
    if (name.kind == Tok::kWord &&
        (EqualsIgnoreCase(name.text, "AND") || EqualsIgnoreCase(name.text, "OR") || name.text.empty())) {
      BadCriteria();
    }
    RawTerm term;
    term.field = std::move(name.text);
    Token op = lexer_.Next();
    if (op.kind == Tok::kOp) {
      term.op = op.op;
    } else if (op.kind == Tok::kWord && EqualsIgnoreCase(op.text, "LIKE")) {
      term.op = CompareOp::kLike;
    } else {
      BadCriteria();
    }
    Token value = lexer_.Next();
    if (value.kind != Tok::kText && value.kind != Tok::kHash && value.kind != Tok::kWord) BadCriteria();
    term.value = std::move(value);
    return term;
  }

  Lexer lexer_;
};

// --- Compilation ---------------------------------------------------------------------

// The literal as the parser found it, before it meets its field.
struct Literal {
  enum class Kind : uint8_t { kNull, kText, kNumber, kDate, kBoolean } kind;
  std::string text;  // kText
  double number = 0;  // kNumber, kDate (OLE date), kBoolean (-1/0)
};

Literal ReadLiteral(const Token& token) {
  Literal lit{Literal::Kind::kText, {}, 0};
  switch (token.kind) {
    case Tok::kText:
      lit.text = token.text;
      return lit;
    case Tok::kHash:
      // #...# is a date, or a text when it is not one (#'1'#, #WA#).
      if (auto date = ParseDate(token.text)) {
        lit.kind = Literal::Kind::kDate;
        lit.number = *date;
      } else {
        lit.text = token.text;
      }
      return lit;
    default:
      break;
  }
  if (EqualsIgnoreCase(token.text, "NULL")) {
    lit.kind = Literal::Kind::kNull;
  } else if (EqualsIgnoreCase(token.text, "TRUE") || EqualsIgnoreCase(token.text, "FALSE")) {
    lit.kind = Literal::Kind::kBoolean;
    lit.number = EqualsIgnoreCase(token.text, "TRUE") ? -1 : 0;
  } else if (auto number = ParseDecimal(token.text)) {
    lit.kind = Literal::Kind::kNumber;
    lit.number = *number;
  } else {
    BadCriteria();  // an unquoted word that is no value
  }
  return lit;
}

std::string LiteralAsText(const Literal& lit) {
  switch (lit.kind) {
    case Literal::Kind::kText:
      return lit.text;
    case Literal::Kind::kNumber:
      return FormatGeneral(lit.number);
    case Literal::Kind::kDate:
      return FormatGeneralDate(lit.number);
    case Literal::Kind::kBoolean:
      return lit.number != 0 ? "True" : "False";
    default:
      BadCriteria();
  }
}

double LiteralAsNumber(const Literal& lit) {
  switch (lit.kind) {
    case Literal::Kind::kNumber:
    case Literal::Kind::kBoolean:
      return lit.number;
    case Literal::Kind::kText:
      if (auto d = ParseDecimal(lit.text)) return *d;
      BadCriteria();
    default:
      BadCriteria();
  }
}

double LiteralAsDate(const Literal& lit) {
  switch (lit.kind) {
    case Literal::Kind::kDate:
    case Literal::Kind::kNumber:
      return lit.number;
    case Literal::Kind::kText:
      if (auto d = ParseDate(lit.text)) return *d;
      BadCriteria();
    default:
      BadCriteria();
  }
}

Term CompileTerm(const RawTerm& raw, const std::vector<FieldInfo>& fields) {
  Term term;
  term.field = LookupField(fields, raw.field);
  if (term.field < 0) RaiseAdo(kErrItemNotFound);
  const FieldInfo& field = fields[static_cast<size_t>(term.field)];
  const FieldClass cls = ClassOf(field.type);
  term.op = raw.op;
  Literal lit = ReadLiteral(raw.value);

  if (lit.kind == Literal::Kind::kNull) {
    if (raw.op == CompareOp::kEq) {
      term.kind = Term::Kind::kIsNull;
    } else if (raw.op == CompareOp::kNe) {
      term.kind = Term::Kind::kIsNotNull;
    } else {
      BadCriteria();
    }
    return term;
  }
  if (cls == FieldClass::kChapter || cls == FieldClass::kBinary) BadCriteria();

  if (raw.op == CompareOp::kLike) {
    if (lit.kind != Literal::Kind::kText || (cls != FieldClass::kText && cls != FieldClass::kVariant)) BadCriteria();
    std::string_view pattern = lit.text;
    auto is_wild = [](char c) { return c == '*' || c == '%'; };
    bool leading = !pattern.empty() && is_wild(pattern.front());
    if (leading) pattern.remove_prefix(1);
    bool trailing = !pattern.empty() && is_wild(pattern.back());
    if (trailing) pattern.remove_suffix(1);
    if (pattern.find_first_of("*%") != std::string_view::npos) BadCriteria();  // 's*r' is not supported
    if (leading && !trailing && !pattern.empty()) BadCriteria();                // nor '*str'
    term.folded = FoldCase(pattern);
    if (leading || trailing) {
      term.like = leading ? Term::Like::kContains : Term::Like::kPrefix;
    } else {
      term.op = CompareOp::kEq;  // no wildcard: plain equality
    }
    if (cls == FieldClass::kVariant) {
      term.kind = Term::Kind::kVariant;
      term.literal = Variant(lit.text);
    } else {
      term.kind = Term::Kind::kText;
      if (term.op == CompareOp::kEq) term.index_key = term.folded;
    }
    return term;
  }

  Variant stored;  // the literal as the field would store it
  switch (cls) {
    case FieldClass::kText:
      term.kind = Term::Kind::kText;
      term.folded = FoldCase(LiteralAsText(lit));
      stored = Variant(LiteralAsText(lit));
      break;
    case FieldClass::kInteger:
    case FieldClass::kBoolean: {
      if (lit.kind == Literal::Kind::kDate) BadCriteria();
      double d = LiteralAsNumber(lit);
      if (cls == FieldClass::kBoolean) d = d != 0 ? -1 : 0;
      if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
        term.kind = Term::Kind::kInteger;
        term.integer = static_cast<int64_t>(d);
        stored = Variant(term.integer);
      } else {
        term.kind = Term::Kind::kReal;
        term.real = d;
      }
      break;
    }
    case FieldClass::kReal: {
      if (lit.kind == Literal::Kind::kDate) BadCriteria();
      double d = LiteralAsNumber(lit);
      // A Single field holds floats: compare with the literal as a float.
      if (field.type == DataType::kSingle) d = static_cast<double>(static_cast<float>(d));
      term.kind = Term::Kind::kReal;
      term.real = d;
      stored = Variant(d);
      break;
    }
    case FieldClass::kCurrency: {
      std::optional<Currency> c;
      if (lit.kind == Literal::Kind::kText) {
        c = ParseCurrency(lit.text);
      } else if (lit.kind != Literal::Kind::kDate && std::fabs(lit.number) < 922337203685477.0) {
        c = Currency::FromDouble(lit.number);
      }
      if (!c) BadCriteria();
      term.kind = Term::Kind::kCurrency;
      term.integer = c->scaled;
      stored = Variant(*c);
      break;
    }
    case FieldClass::kDate:
      term.kind = Term::Kind::kReal;
      term.real = LiteralAsDate(lit);
      stored = Variant::Date(term.real);
      break;
    case FieldClass::kVariant:
      term.kind = Term::Kind::kVariant;
      switch (lit.kind) {
        case Literal::Kind::kText:
          term.literal = Variant(lit.text);
          term.folded = FoldCase(lit.text);
          break;
        case Literal::Kind::kDate:
          term.literal = Variant::Date(lit.number);
          break;
        case Literal::Kind::kBoolean:
          term.literal = Variant(lit.number != 0);
          break;
        default:
          term.literal = Variant(lit.number);
          break;
      }
      stored = term.literal;
      break;
    default:
      BadCriteria();
  }
  if (term.op == CompareOp::kEq && !stored.IsEmpty()) term.index_key = IndexKeyOf(stored, cls);
  return term;
}

bool ApplyOp(CompareOp op, int c) {
  switch (op) {
    case CompareOp::kEq:
    case CompareOp::kLike:
      return c == 0;
    case CompareOp::kNe:
      return c != 0;
    case CompareOp::kLt:
      return c < 0;
    case CompareOp::kGt:
      return c > 0;
    case CompareOp::kLe:
      return c <= 0;
    case CompareOp::kGe:
      return c >= 0;
  }
  return false;
}

template <class T>
int Three(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool IsIntegerType(VarType t) {
  return t == VarType::kInteger || t == VarType::kLong || t == VarType::kLongLong || t == VarType::kByte ||
         t == VarType::kBoolean;
}

bool LikeMatches(const Term& term, std::string_view raw) {
  thread_local std::string folded;
  FoldCase(raw, folded);
  if (term.like == Term::Like::kPrefix) return std::string_view(folded).substr(0, term.folded.size()) == term.folded;
  return folded.find(term.folded) != std::string::npos;
}

void AppendBytes(std::string& key, const void* data, size_t size) {
  key.append(static_cast<const char*>(data), size);
}

}  // namespace

int LookupField(const std::vector<FieldInfo>& fields, std::string_view name) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::shared_ptr<const Criteria> CompileCriteria(std::string_view text, const std::vector<FieldInfo>& fields) {
  RawGroups raw = Parser(text).Parse();
  auto criteria = std::make_shared<Criteria>();
  criteria->groups.reserve(raw.size());
  for (const auto& group : raw) {
    std::vector<Term> terms;
    terms.reserve(group.size());
    for (const auto& t : group) terms.push_back(CompileTerm(t, fields));
    criteria->groups.push_back(std::move(terms));
  }
  return criteria;
}

bool TermMatches(const Term& term, const Variant& value) {
  const VarType type = value.type();
  if (type == VarType::kNull || type == VarType::kEmpty) return term.kind == Term::Kind::kIsNull;
  switch (term.kind) {
    case Term::Kind::kIsNull:
      return false;
    case Term::Kind::kIsNotNull:
      return true;
    case Term::Kind::kText:
      if (type != VarType::kString) return false;
      if (term.like != Term::Like::kNone) return LikeMatches(term, value.string());
      return ApplyOp(term.op, CompareWithFolded(value.string(), term.folded));
    case Term::Kind::kInteger:
      if (IsIntegerType(type)) return ApplyOp(term.op, Three(value.integer(), term.integer));
      if (auto d = NumericOf(value)) return ApplyOp(term.op, Three(*d, static_cast<double>(term.integer)));
      return false;
    case Term::Kind::kReal:
      if (auto d = NumericOf(value)) return ApplyOp(term.op, Three(*d, term.real));
      return false;
    case Term::Kind::kCurrency:
      if (type == VarType::kCurrency) return ApplyOp(term.op, Three(value.currency().scaled, term.integer));
      return false;
    case Term::Kind::kVariant: {
      const Variant& lit = term.literal;
      if (type == VarType::kString) {
        if (!lit.IsString()) return false;  // a text never equals a number here
        if (term.like != Term::Like::kNone) return LikeMatches(term, value.string());
        return ApplyOp(term.op, CompareWithFolded(value.string(), term.folded));
      }
      if (term.like != Term::Like::kNone || lit.IsString()) return false;
      auto a = NumericOf(value);
      auto b = NumericOf(lit);
      if (!a || !b) return false;
      return ApplyOp(term.op, Three(*a, *b));
    }
  }
  return false;
}

std::optional<std::string> IndexKeyOf(const Variant& value, FieldClass cls) {
  const VarType type = value.type();
  if (type == VarType::kNull || type == VarType::kEmpty) return std::nullopt;
  std::string key;
  switch (cls) {
    case FieldClass::kText:
      if (type != VarType::kString) return std::nullopt;
      FoldCase(value.string(), key);
      return key;
    case FieldClass::kBinary:
      if (type != VarType::kString) return std::nullopt;
      return value.string();
    case FieldClass::kInteger:
    case FieldClass::kBoolean: {
      if (!IsIntegerType(type)) return std::nullopt;
      int64_t n = value.integer();
      AppendBytes(key, &n, sizeof n);
      return key;
    }
    case FieldClass::kCurrency: {
      if (type != VarType::kCurrency) return std::nullopt;
      int64_t n = value.currency().scaled;
      AppendBytes(key, &n, sizeof n);
      return key;
    }
    case FieldClass::kReal:
    case FieldClass::kDate: {
      auto d = NumericOf(value);
      if (!d) return std::nullopt;
      double v = *d == 0 ? 0.0 : *d;  // -0 and 0 are one key
      AppendBytes(key, &v, sizeof v);
      return key;
    }
    case FieldClass::kVariant: {
      if (type == VarType::kString) {
        key = "s";
        key += FoldCase(value.string());
        return key;
      }
      auto d = NumericOf(value);
      if (!d) return std::nullopt;
      double v = *d == 0 ? 0.0 : *d;
      key = "n";
      AppendBytes(key, &v, sizeof v);
      return key;
    }
    case FieldClass::kChapter:
      return std::nullopt;
  }
  return std::nullopt;
}

int CompareForSort(const Variant& a, const Variant& b, FieldClass cls) {
  const bool a_null = a.IsNull() || a.IsEmpty();
  const bool b_null = b.IsNull() || b.IsEmpty();
  if (a_null || b_null) return a_null == b_null ? 0 : (a_null ? -1 : 1);
  if (cls == FieldClass::kChapter) return 0;
  if (a.IsString() && b.IsString()) {
    if (cls == FieldClass::kBinary) {
      int c = a.string().compare(b.string());
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return CompareIgnoreCase(a.string(), b.string());
  }
  // False sorts before True, as a bit column does (True is -1 here).
  if (a.type() == VarType::kBoolean && b.type() == VarType::kBoolean) return Three(a.boolean(), b.boolean());
  if (IsIntegerType(a.type()) && IsIntegerType(b.type())) return Three(a.integer(), b.integer());
  if (a.type() == VarType::kCurrency && b.type() == VarType::kCurrency) {
    return Three(a.currency().scaled, b.currency().scaled);
  }
  auto x = NumericOf(a);
  auto y = NumericOf(b);
  if (x && y) return Three(*x, *y);
  // Mixed values in a variant field: numbers before texts before the rest.
  auto rank = [](const Variant& v) { return NumericOf(v) ? 0 : (v.IsString() ? 1 : 2); };
  return Three(rank(a), rank(b));
}

}  // namespace trelix::recordset_internal
