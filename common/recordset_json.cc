#include "common/recordset_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>

#include "common/recordset_values.h"

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

nlohmann::ordered_json ToJson(Recordset& rs, int depth);

nlohmann::ordered_json ValueToJson(const Variant& v, const FieldInfo& field, int depth) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return nullptr;
    case VarType::kBoolean:
      return v.boolean();
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
      return v.integer();
    case VarType::kSingle:
      return NumberFromFloat(v.real());
    case VarType::kDouble:
    case VarType::kDecimal:
      return v.real();
    case VarType::kCurrency:
      return v.currency().ToDouble();
    case VarType::kDate:
      return FormatIsoDate(v.real());
    case VarType::kString:
      if (field.type == DataType::kBinary) {
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : v.string()) {
          hex += kHex[c >> 4];
          hex += kHex[c & 15];
        }
        return hex;
      }
      return v.string();
    case VarType::kObject:
      if (auto child = v.As<Recordset>(); child && child->IsOpen() && depth < kMaxDepth) {
        return ToJson(*child, depth + 1);
      }
      return nullptr;
    default:
      return DisplayText(v);
  }
}

nlohmann::ordered_json ToJson(Recordset& rs, int depth) {
  nlohmann::ordered_json out;
  auto& fields = out["fields"] = nlohmann::ordered_json::array();
  const int count = rs.FieldCount();
  for (int f = 0; f < count; ++f) {
    const FieldInfo& info = rs.Field(f);
    fields.push_back({{"name", info.name}, {"type", static_cast<int>(info.type)}, {"size", info.defined_size}});
  }
  auto& rows = out["rows"] = nlohmann::ordered_json::array();
  const int32_t n = rs.RecordCount();
  for (int32_t r = 0; r < n; ++r) {
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    for (int f = 0; f < count; ++f) {
      const FieldInfo& info = rs.Field(f);
      row[info.name] = ValueToJson(rs.ValueAt(r, f), info, depth);
    }
    rows.push_back(std::move(row));
  }
  return out;
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

std::string RecordsetToJson(Recordset& recordset) {
  return ToJson(recordset, 0).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
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
