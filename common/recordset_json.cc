#include "common/recordset_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "common/recordset_internal.h"
#include "common/recordset_values.h"
#include "common/utf8.h"

namespace trelix {

using namespace recordset_internal;

namespace {

// Nesting of chapters deeper than this is not followed (a recordset could
// hold itself); the deeper chapter prints as null.
constexpr int kMaxDepth = 32;

double NumberFromFloat(double value) {
  // A Single printed through its own shortest form: 0.1f is 0.1, not
  // 0.10000000149011612.
  std::string text = FormatRoundTrip(static_cast<float>(value));
  double out = value;
  std::from_chars(text.data(), text.data() + text.size(), out);
  return out;
}

// Whether any of the eight bytes of `word`, all ASCII, would need escaping:
// a control character, a quote or a backslash.
bool NeedsEscape(uint64_t word) {
  using utf8_internal::kEveryByte;
  using utf8_internal::kHighBits;
  const auto zero_byte = [&](uint64_t v) { return (v - kEveryByte) & ~v & kHighBits; };
  const uint64_t below_space = (word - 0x20 * kEveryByte) & ~word & kHighBits;
  return (below_space | zero_byte(word ^ ('"' * kEveryByte)) | zero_byte(word ^ ('\\' * kEveryByte))) != 0;
}

// Valid UTF-8 without controls, quotes or backslashes: such text goes out
// as it is. Plain ASCII is checked eight bytes at a time.
bool IsPlainJsonText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    if (i + 8 <= text.size()) {
      uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & utf8_internal::kHighBits) == 0 && !NeedsEscape(word)) {
        i += 8;
        continue;
      }
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == '"' || c == '\\') return false;
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// The text as a JSON string. Plain text is copied as it is; anything else
// goes through the JSON library, whose escaping and replacement of invalid
// UTF-8 (U+FFFD) the output has always had.
void AppendString(std::string& out, std::string_view text) {
  if (IsPlainJsonText(text)) {
    out += '"';
    out += text;
    out += '"';
    return;
  }
  out += nlohmann::ordered_json(std::string(text)).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void AppendInteger(std::string& out, int64_t value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

// Doubles through the JSON library: its shortest round-trip form ("1.0",
// "1e+20", null for NaN and infinities) is the one clients have seen.
void AppendDouble(std::string& out, double value) { out += nlohmann::ordered_json(value).dump(); }

void AppendRecordset(std::string& out, Recordset& rs, int depth);

void AppendValue(std::string& out, const Variant& v, const FieldInfo& field, int depth) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      out += "null";
      return;
    case VarType::kBoolean:
      out += v.boolean() ? "true" : "false";
      return;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
      AppendInteger(out, v.integer());
      return;
    case VarType::kSingle:
      AppendDouble(out, NumberFromFloat(v.real()));
      return;
    case VarType::kDouble:
    case VarType::kDecimal:
      AppendDouble(out, v.real());
      return;
    case VarType::kCurrency:
      AppendDouble(out, v.currency().ToDouble());
      return;
    case VarType::kDate:
      AppendString(out, FormatIsoDate(v.real()));
      return;
    case VarType::kString:
      if (field.type == DataType::kBinary) {
        static const char kHex[] = "0123456789abcdef";
        out += '"';
        for (unsigned char c : v.string()) {
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
        out += '"';
        return;
      }
      AppendString(out, v.string());
      return;
    case VarType::kObject:
      if (auto child = v.As<Recordset>(); child && child->IsOpen() && depth < kMaxDepth) {
        AppendRecordset(out, *child, depth + 1);
      } else {
        out += "null";
      }
      return;
    default:
      AppendString(out, DisplayText(v));
  }
}

// Written straight into one string: building a JSON document first cost
// an allocation per cell and dominated a cached answer's time.
void AppendRecordset(std::string& out, Recordset& rs, int depth) {
  const int count = rs.FieldCount();
  out += "{\"fields\":[";
  for (int f = 0; f < count; ++f) {
    const FieldInfo& info = rs.Field(f);
    if (f > 0) out += ',';
    out += "{\"name\":";
    AppendString(out, info.name);
    out += ",\"type\":";
    AppendInteger(out, static_cast<int>(info.type));
    out += ",\"size\":";
    AppendInteger(out, info.defined_size);
    out += '}';
  }
  out += "],\"rows\":[";
  // Field names are unique (the recordset refuses a second field of a
  // name), so each row is an object with one member per field.
  const int32_t n = rs.RecordCount();
  for (int32_t r = 0; r < n; ++r) {
    if (r > 0) out += ',';
    out += '{';
    for (int f = 0; f < count; ++f) {
      if (f > 0) out += ',';
      const FieldInfo& info = rs.Field(f);
      AppendString(out, info.name);
      out += ':';
      AppendValue(out, rs.ValueAt(r, f), info, depth);
    }
    out += '}';
  }
  out += "]}";
}

// Display width: code points (each counted as one column).
size_t Width(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

constexpr size_t kMaxCell = 40;

std::string Cell(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return "Null";
  if (auto child = v.As<Recordset>()) {
    return child->IsOpen() ? "(" + std::to_string(child->RecordCount()) + " rows)" : "(closed)";
  }
  std::string text = DisplayText(v);
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  if (Width(text) > kMaxCell) {
    // Cut at a code point boundary and mark the cut.
    size_t kept = 0, i = 0;
    while (i < text.size() && kept < kMaxCell - 3) {
      ++i;
      while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
      ++kept;
    }
    text = text.substr(0, i) + "...";
  }
  return text;
}

void Pad(std::string& out, const std::string& text, size_t width) {
  out += text;
  out.append(width - std::min(width, Width(text)), ' ');
}

}  // namespace

namespace {

// The key under which texts made from a cached result are kept with its
// cells, or nullopt when the recordset is not such a result. A cached result
// is handed out again and again as a copy sharing the same unchangeable
// cells; that holds when every row is visible in insertion order, unchanged,
// and no value can be a (changeable) recordset: no chapter or variant field.
// The fields, which the texts also depend on, are the key.
std::optional<std::string> KeptTextKey(const RecordsetCore& core) {
  const bool reusable = core.open && core.cells.IsShared() && core.view.size() == core.row_count() &&
                        std::none_of(core.classes.begin(), core.classes.end(),
                                     [](FieldClass c) { return c == FieldClass::kChapter || c == FieldClass::kVariant; }) &&
                        std::all_of(core.states.begin(), core.states.end(),
                                    [](RowState s) { return s == RowState::kUnchanged; });
  if (!reusable) return std::nullopt;
  for (uint32_t i = 0; i < core.view.size(); ++i) {
    if (core.view[i] != i) return std::nullopt;
  }
  std::string key;
  key.reserve(core.fields.size() * 32);
  char digits[16];
  auto number = [&](int64_t n) { key.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr); };
  for (const FieldInfo& field : core.fields) {
    number(static_cast<int64_t>(field.name.size()));
    key += ':';
    key += field.name;
    key += ':';
    number(static_cast<int>(field.type));
    key += ':';
    number(field.defined_size);
    key += ';';
  }
  return key;
}

}  // namespace

std::shared_ptr<const std::string> RecordsetToJsonText(Recordset& recordset) {
  const RecordsetCore& core = Access::Core(recordset);
  std::optional<std::string> key = KeptTextKey(core);
  if (key) {
    if (auto kept = core.cells.Derived(*key)) return kept;
  }
  auto text = std::make_shared<std::string>();
  AppendRecordset(*text, recordset, 0);
  if (key) core.cells.KeepDerived(std::move(*key), text);
  return text;
}

std::string RecordsetToJson(Recordset& recordset) { return *RecordsetToJsonText(recordset); }

bool KeepsDerivedTexts(Recordset& recordset) { return KeptTextKey(Access::Core(recordset)).has_value(); }

std::shared_ptr<const std::string> RecordsetDerivedText(
    Recordset& recordset, std::string_view name,
    const std::function<std::string(const std::string& json)>& derive) {
  std::shared_ptr<const std::string> json = RecordsetToJsonText(recordset);
  const RecordsetCore& core = Access::Core(recordset);
  std::optional<std::string> key = KeptTextKey(core);
  if (!key) return std::make_shared<const std::string>(derive(*json));
  key->append("|").append(name);
  if (auto kept = core.cells.Derived(*key)) return kept;
  auto text = std::make_shared<const std::string>(derive(*json));
  core.cells.KeepDerived(std::move(*key), text);
  return text;
}

std::string RecordsetToTable(Recordset& recordset) {
  const int count = recordset.FieldCount();
  const int32_t n = recordset.RecordCount();
  std::vector<std::vector<std::string>> cells(static_cast<size_t>(n));
  std::vector<size_t> widths(static_cast<size_t>(count));
  for (int f = 0; f < count; ++f) widths[static_cast<size_t>(f)] = Width(recordset.Field(f).name);
  for (int32_t r = 0; r < n; ++r) {
    auto& line = cells[static_cast<size_t>(r)];
    for (int f = 0; f < count; ++f) {
      line.push_back(Cell(recordset.ValueAt(r, f)));
      widths[static_cast<size_t>(f)] = std::max(widths[static_cast<size_t>(f)], Width(line.back()));
    }
  }
  std::string out;
  auto emit = [&](auto text_of) {
    std::string line;
    for (int f = 0; f < count; ++f) {
      if (f > 0) line += "  ";
      Pad(line, text_of(f), widths[static_cast<size_t>(f)]);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  };
  emit([&](int f) { return recordset.Field(f).name; });
  emit([&](int f) { return std::string(widths[static_cast<size_t>(f)], '-'); });
  for (int32_t r = 0; r < n; ++r) emit([&](int f) { return cells[static_cast<size_t>(r)][static_cast<size_t>(f)]; });
  out += "(" + std::to_string(n) + (n == 1 ? " row)\n" : " rows)\n");
  return out;
}

}  // namespace trelix
