#include "base/shape.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "base/text_fold.h"
#include "common/ascii.h"
#include "common/com_error.h"
#include "common/round_robin_cache.h"

namespace trelix::base {
namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

// Nested SHAPE commands deeper than this are refused (the input is untrusted
// and each level recurses).
constexpr int kMaxDepth = 16;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result<ShapeCommand> ParseCommand(int depth) {
    if (depth > kMaxDepth) return Error("shape commands nested too deeply");
    if (!Keyword("SHAPE")) return Error("expected SHAPE");
    ShapeCommand command;
    SkipBlanks();
    if (Peek() == '{') {
      ++pos_;
      auto provider = ProviderText();
      if (!provider.ok()) return provider.status();
      command.provider_text = std::move(provider.value());
    } else if (Peek() == '(') {
      ++pos_;
      auto nested = ParseCommand(depth + 1);
      if (!nested.ok()) return nested.status();
      command.nested = std::make_unique<ShapeCommand>(std::move(nested.value()));
      SkipBlanks();
      if (Peek() != ')') return Error("expected ')'");
      ++pos_;
    } else {
      return Error("expected '{' or '('");
    }

    // [[AS] alias] COMPUTE
    if (Keyword("AS")) {
      auto alias = Name("an alias");
      if (!alias.ok()) return alias.status();
      command.alias = std::move(alias.value());
    } else if (!AtKeyword("COMPUTE")) {
      auto alias = Name("an alias or COMPUTE");
      if (!alias.ok()) return alias.status();
      command.alias = std::move(alias.value());
    }
    if (AtKeyword("APPEND")) return Status::Unsupported("SHAPE ... APPEND is not supported; use COMPUTE ... BY");
    if (!Keyword("COMPUTE")) return Error("expected COMPUTE");

    // chapter-field ::= alias [[AS] name]
    auto chapter = Name("the child alias after COMPUTE");
    if (!chapter.ok()) return chapter.status();
    SkipBlanks();
    if (Peek() == '(' || Peek() == ',') {
      return Status::Unsupported("aggregate and calculated fields in COMPUTE are not supported");
    }
    if (command.alias.empty()) {
      command.alias = chapter.value();
    } else if (!EqualsIgnoringAsciiCase(chapter.value(), command.alias)) {
      return Error("COMPUTE names '" + chapter.value() + "', not the child alias '" + command.alias + "'");
    }
    command.chapter_name = command.alias;
    if (Keyword("AS")) {
      auto name = Name("a chapter name");
      if (!name.ok()) return name.status();
      command.chapter_name = std::move(name.value());
    } else if (!AtKeyword("BY") && !AtEnd() && Peek() != ')') {
      auto name = Name("BY");
      if (!name.ok()) return name.status();
      command.chapter_name = std::move(name.value());
    }

    if (Keyword("BY")) {
      do {
        auto field = Name("a field name");
        if (!field.ok()) return field.status();
        command.by.push_back(std::move(field.value()));
        SkipBlanks();
      } while (Peek() == ',' && (++pos_, true));
    }
    return command;
  }

  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }

  Status Error(const std::string& what) const {
    return Status::InvalidArgument("Syntax error in the SHAPE command at character " + std::to_string(pos_ + 1) +
                                   ": " + what);
  }

 private:
  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

  void SkipBlanks() {
    while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) && text_[pos_] != '\0') ++pos_;
  }

  bool AtKeyword(std::string_view keyword) {
    SkipBlanks();
    if (text_.size() - pos_ < keyword.size()) return false;
    if (!EqualsIgnoringAsciiCase(text_.substr(pos_, keyword.size()), keyword)) return false;
    return pos_ + keyword.size() == text_.size() || !IsWordChar(text_[pos_ + keyword.size()]);
  }

  bool Keyword(std::string_view keyword) {
    if (!AtKeyword(keyword)) return false;
    pos_ += keyword.size();
    return true;
  }

  // word | [text] | "text" | 'text'
  Result<std::string> Name(const char* expected) {
    SkipBlanks();
    const char open = Peek();
    if (open == '[' || open == '"' || open == '\'') {
      const char close = open == '[' ? ']' : open;
      std::string name;
      for (++pos_; pos_ < text_.size(); ++pos_) {
        if (text_[pos_] == close) {
          // A doubled closing character stands for itself.
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == close) {
            name.push_back(close);
            ++pos_;
            continue;
          }
          ++pos_;
          if (name.empty()) return Error(std::string("expected ") + expected);
          return name;
        }
        name.push_back(text_[pos_]);
      }
      return Error("unclosed quoted name");
    }
    size_t start = pos_;
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    if (pos_ == start) return Error(std::string("expected ") + expected);
    return std::string(text_.substr(start, pos_ - start));
  }

  // Up to the matching '}': braces nest (ODBC escapes) and quoted literals
  // and identifiers are skipped whole.
  Result<std::string> ProviderText() {
    size_t start = pos_;
    int depth = 0;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\'' || c == '"') {
        size_t close = pos_ + 1;
        while (close < text_.size() && text_[close] != c) ++close;
        if (close >= text_.size()) return Error("unclosed quote in the provider command");
        pos_ = close + 1;
        continue;
      }
      if (c == '{') ++depth;
      if (c == '}') {
        if (depth == 0) {
          std::string provider(text_.substr(start, pos_ - start));
          ++pos_;
          return provider;
        }
        --depth;
      }
      ++pos_;
    }
    return Error("no '}' closes the provider command");
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// Appends a payload of `bytes` bytes followed by the kind letter: one
// append per value.
void AppendPart(std::string& key, const void* payload, size_t bytes, char kind) {
  char part[sizeof(int64_t) + 1];
  std::memcpy(part, payload, bytes);
  part[bytes] = kind;
  key.append(part, bytes + 1);
}

// The grouping key of one value, appended to `key`: equal keys exactly when
// the values group together (text ignoring case; NULLs together). Each value
// ends in its kind letter, after a fixed-size payload or after the folded
// text and its length, so that a key reads back unambiguously from its end
// and the keys of several values never run into each other.
void AppendKey(std::string& key, const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    key += 'N';
  } else if (value.IsString()) {
    const size_t start = key.size();
    AppendFoldCase(key, value.string());
    const size_t length = key.size() - start;
    AppendPart(key, &length, sizeof length, 'S');
  } else if (value.IsObject() || value.IsArray()) {
    key += 'O';  // refused before grouping; never reached
  } else {
    switch (value.type()) {
      case VarType::kSingle:
      case VarType::kDouble:
      case VarType::kDate:
      case VarType::kDecimal: {
        double real = value.real();
        if (real == 0) real = 0;  // -0 groups with 0
        AppendPart(key, &real, sizeof real, 'R');
        break;
      }
      case VarType::kCurrency: {
        const int64_t scaled = value.currency().scaled;
        AppendPart(key, &scaled, sizeof scaled, 'C');
        break;
      }
      default: {
        const int64_t integer = value.integer();
        AppendPart(key, &integer, sizeof integer, 'I');
      }
    }
  }
}

// Whether `a` and `b` are the same value of the same type (and so have the
// same grouping key); false for the kinds not worth comparing here.
bool Identical(const Variant& a, const Variant& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return true;
    case VarType::kString:
      return a.string() == b.string();
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kBoolean:
      return a.integer() == b.integer();
    default:
      return false;
  }
}

bool SameByValues(const Variant* a, const Variant* b, const std::vector<int>& by_index) {
  for (int index : by_index) {
    if (!Identical(a[index], b[index])) return false;
  }
  return true;
}

// Groups `child`. A child nobody else holds (`own`) is consumed: its values
// move into the chapters where it holds its cells alone, and it is closed.
// Otherwise its visible rows are copied and it is left as it was.
Result<RecordsetRef> Group(Recordset& child, const ShapeCommand& command, bool own) {
  const int width = child.FieldCount();
  std::vector<int> by_index;
  by_index.reserve(command.by.size());
  for (const std::string& name : command.by) {
    int index = child.FindField(name);
    if (index < 0) {
      return Status::InvalidArgument("Column '" + name + "' of the BY clause is not a field of '" + command.alias +
                                     "'");
    }
    if (child.Field(index).type == DataType::kChapter) {
      return Status::InvalidArgument("Column '" + name + "' of the BY clause is a chapter");
    }
    by_index.push_back(index);
  }

  std::vector<FieldInfo> child_fields;
  child_fields.reserve(static_cast<size_t>(width));
  for (int f = 0; f < width; ++f) child_fields.push_back(child.Field(f));
  std::vector<FieldInfo> by_fields;
  by_fields.reserve(by_index.size());
  for (int index : by_index) by_fields.push_back(child.Field(index));

  // The visible rows in view order (the child's filter and sort hold), as
  // one row-major block.
  const size_t rows = static_cast<size_t>(child.RecordCount());
  const size_t w = static_cast<size_t>(width);
  // A child whose last visible row was deleted while current has no row to
  // group but is not at EOF; reading its values has always raised "no
  // current record" there, and still does.
  if (rows == 0 && width > 0 && !child.IsEOF()) (void)child.Value(0);
  std::vector<Variant> cells;
  if (own) {
    cells = child.TakeVisibleValues();
  } else {
    cells.reserve(rows * w);
    for (size_t r = 0; r < rows; ++r) {
      for (int f = 0; f < width; ++f) cells.push_back(child.ValueAt(static_cast<int32_t>(r), f));
    }
  }

  // Each row's group, groups numbered in order of first appearance.
  std::vector<uint32_t> group_of_row;
  std::vector<uint32_t> first_row;  // per group
  std::vector<uint32_t> group_size;
  if (by_index.empty()) {
    // Without BY: one parent row, even for no child rows.
    first_row.push_back(0);
    group_size.push_back(static_cast<uint32_t>(rows));
  } else {
    std::unordered_map<std::string, uint32_t> group_of_key;
    group_of_key.reserve(std::min<size_t>(rows, 256));
    group_of_row.resize(rows);
    std::string key;
    for (size_t r = 0; r < rows; ++r) {
      const Variant* row = cells.data() + r * w;
      // Provider rows often come ordered by the BY columns: a row whose BY
      // values are those of the row before joins its group without a key.
      if (r > 0 && SameByValues(row - w, row, by_index)) {
        group_of_row[r] = group_of_row[r - 1];
        ++group_size[group_of_row[r]];
        continue;
      }
      key.clear();
      for (int index : by_index) AppendKey(key, row[index]);
      auto [found, inserted] = group_of_key.try_emplace(key, static_cast<uint32_t>(first_row.size()));
      if (inserted) {
        first_row.push_back(static_cast<uint32_t>(r));
        group_size.push_back(0);
      }
      group_of_row[r] = found->second;
      ++group_size[found->second];
    }
  }

  // Each group's rows as one row-major block, taken in child order; the
  // parent rows hold the first row's BY values, copied before it moves.
  std::vector<std::vector<Variant>> blocks(first_row.size());
  std::vector<Variant> by_values;  // by_index.size() a group
  by_values.reserve(first_row.size() * by_index.size());
  for (uint32_t first : first_row) {
    for (int index : by_index) by_values.push_back(cells[first * w + static_cast<size_t>(index)]);
  }
  if (first_row.size() == 1) {
    blocks[0] = std::move(cells);  // every row in one chapter
  } else {
    for (size_t g = 0; g < first_row.size(); ++g) blocks[g].reserve(group_size[g] * w);
    for (size_t r = 0; r < rows; ++r) {
      Variant* row = cells.data() + r * w;
      blocks[group_of_row[r]].insert(blocks[group_of_row[r]].end(), std::make_move_iterator(row),
                                     std::make_move_iterator(row + w));
    }
  }

  auto parent = std::make_shared<Recordset>();
  FieldInfo chapter;
  chapter.name = command.chapter_name;
  chapter.type = DataType::kChapter;
  parent->AppendField(chapter);
  for (const FieldInfo& field : by_fields) parent->AppendField(field);
  parent->Open();
  parent->Reserve(static_cast<int32_t>(first_row.size()));
  std::vector<Variant> parent_row;
  // Every chapter is a copy of one empty recordset of the child's fields (a
  // copy skips the checks of appending them again), made once there is one.
  Recordset empty_chapter;
  if (!first_row.empty()) {
    empty_chapter.AppendFields(std::move(child_fields));
    empty_chapter.Open();
  }
  for (size_t g = 0; g < first_row.size(); ++g) {
    RecordsetRef chapter_rows = empty_chapter.Clone();
    if (w > 0) {
      chapter_rows->AppendRows(std::move(blocks[g]));
    } else {
      // Rows without fields hold no values to count them by.
      for (uint32_t r = 0; r < group_size[g]; ++r) chapter_rows->AppendRow({});
    }
    parent_row.clear();
    parent_row.emplace_back(std::move(chapter_rows));
    for (size_t b = 0; b < by_index.size(); ++b) parent_row.push_back(std::move(by_values[g * by_index.size() + b]));
    parent->AppendRow(std::move(parent_row));
  }
  if (parent->RecordCount() > 0) parent->MoveFirst();
  return parent;
}

}  // namespace

Result<ShapeCommand> ParseShape(std::string_view text) {
  Parser parser(text);
  auto command = parser.ParseCommand(0);
  if (!command.ok()) return command.status();
  if (!parser.AtEnd()) return parser.Error("unexpected text after the command");
  return command;
}

Result<std::shared_ptr<const ShapeCommand>> ParseShapeCached(std::string_view text) {
  thread_local RoundRobinCache<std::shared_ptr<const ShapeCommand>> parsed;
  if (const auto* command = parsed.Find(text)) return *command;
  auto command = ParseShape(text);
  if (!command.ok()) return command.status();
  return parsed.Keep(std::string(text), std::make_shared<const ShapeCommand>(std::move(command.value())));
}

Result<RecordsetRef> ExecuteShape(const ShapeCommand& command, const ProviderRunner& run) {
  auto child = command.nested ? ExecuteShape(*command.nested, run) : run(command.provider_text);
  if (!child.ok()) return child.status();
  if (!child.value() || !child.value()->IsOpen()) {
    return Status::InvalidArgument("The provider command of '" + command.alias + "' returns no rows");
  }
  // The provider's rows are this call's own unless the runner kept a
  // reference to the same recordset: such rows are read, not consumed.
  const bool own = child.value().use_count() == 1;
  try {
    return Group(*child.value(), command, own);
  } catch (const ComError& error) {
    return Status::InvalidArgument("The shaped recordset cannot be built: " + error.description());
  }
}

}  // namespace trelix::base
