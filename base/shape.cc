#include "base/shape.h"

#include <cstring>
#include <unordered_map>

#include "base/text_fold.h"
#include "common/com_error.h"

namespace trelix::base {
namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
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

// The grouping key of one value: equal keys exactly when the values group
// together (text ignoring case; NULLs together).
void AppendKey(std::string& key, const Variant& value) {
  std::string part;
  if (value.IsNull() || value.IsEmpty()) {
    part = "N";
  } else if (value.IsString()) {
    part = "S" + FoldCase(value.string());
  } else if (value.IsObject() || value.IsArray()) {
    part = "O";  // refused before grouping; never reached
  } else {
    switch (value.type()) {
      case VarType::kSingle:
      case VarType::kDouble:
      case VarType::kDate:
      case VarType::kDecimal: {
        double real = value.real();
        if (real == 0) real = 0;  // -0 groups with 0
        part = "R";
        part.append(reinterpret_cast<const char*>(&real), sizeof real);
        break;
      }
      case VarType::kCurrency: {
        int64_t scaled = value.currency().scaled;
        part = "C";
        part.append(reinterpret_cast<const char*>(&scaled), sizeof scaled);
        break;
      }
      default: {
        int64_t integer = value.integer();
        part = "I";
        part.append(reinterpret_cast<const char*>(&integer), sizeof integer);
      }
    }
  }
  key += std::to_string(part.size());
  key += ':';
  key += part;
}

// Groups `child` (moving its cursor: the rowset is the shape's own).
Result<RecordsetRef> Group(Recordset& child, const ShapeCommand& command) {
  const int width = child.FieldCount();
  std::vector<int> by_index;
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

  struct GroupRows {
    std::vector<Variant> by_values;
    std::vector<std::vector<Variant>> rows;
  };
  std::vector<GroupRows> groups;
  std::unordered_map<std::string, size_t> group_of_key;
  if (by_index.empty()) groups.emplace_back();  // without BY: one parent row, even for no child rows

  Recordset* rows = &child;
  if (rows->RecordCount() > 0) rows->MoveFirst();
  std::string key;
  while (!rows->IsEOF()) {
    std::vector<Variant> values;
    values.reserve(static_cast<size_t>(width));
    for (int f = 0; f < width; ++f) values.push_back(rows->Value(f));
    size_t group = 0;
    if (!by_index.empty()) {
      key.clear();
      for (int index : by_index) AppendKey(key, values[static_cast<size_t>(index)]);
      auto [found, inserted] = group_of_key.try_emplace(key, groups.size());
      if (inserted) {
        GroupRows fresh;
        for (int index : by_index) fresh.by_values.push_back(values[static_cast<size_t>(index)]);
        groups.push_back(std::move(fresh));
      }
      group = found->second;
    }
    groups[group].rows.push_back(std::move(values));
    rows->MoveNext();
  }

  auto parent = std::make_shared<Recordset>();
  FieldInfo chapter;
  chapter.name = command.chapter_name;
  chapter.type = DataType::kChapter;
  parent->AppendField(chapter);
  for (int index : by_index) parent->AppendField(child.Field(index));
  parent->Open();
  std::vector<FieldInfo> child_fields;
  child_fields.reserve(static_cast<size_t>(width));
  for (int f = 0; f < width; ++f) child_fields.push_back(child.Field(f));
  for (GroupRows& group : groups) {
    auto chapter_rows = std::make_shared<Recordset>();
    chapter_rows->AppendFields(child_fields);
    chapter_rows->Open();
    for (auto& row : group.rows) chapter_rows->AppendRow(std::move(row));
    std::vector<Variant> parent_row;
    parent_row.reserve(1 + group.by_values.size());
    parent_row.emplace_back(std::move(chapter_rows));
    for (Variant& value : group.by_values) parent_row.push_back(std::move(value));
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

Result<RecordsetRef> ExecuteShape(const ShapeCommand& command, const ProviderRunner& run) {
  auto child = command.nested ? ExecuteShape(*command.nested, run) : run(command.provider_text);
  if (!child.ok()) return child.status();
  if (!child.value() || !child.value()->IsOpen()) {
    return Status::InvalidArgument("The provider command of '" + command.alias + "' returns no rows");
  }
  try {
    return Group(*child.value(), command);
  } catch (const ComError& error) {
    return Status::InvalidArgument("The shaped recordset cannot be built: " + error.description());
  }
}

}  // namespace trelix::base
