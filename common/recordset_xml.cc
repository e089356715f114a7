// The XML persistence form of a recordset: the rowset schema (s:Schema with
// one s:AttributeType per column and a nested s:ElementType per chapter
// column) and the data (rs:data with one z:row per row, values as
// attributes, Null values omitted, pending changes in rs:insert, rs:update
// and rs:delete).
//
// The writer produces the layout the cursor engine writes (chosen so that
// saved texts and files written elsewhere are one format); the reader binds
// by namespace URI, not by prefix, and does not depend on quoting or
// whitespace, so files that went through another XML writer load too.

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

#include "common/com_error.h"
#include "common/recordset.h"
#include "common/recordset_internal.h"
#include "common/recordset_xml.h"
#include "common/round_robin_cache.h"
#include "common/stream.h"

namespace trelix {

using namespace recordset_internal;

namespace {

constexpr const char* kNsSchema = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr const char* kNsDatatype = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr const char* kNsRowset = "urn:schemas-microsoft-com:rowset";
constexpr const char* kNsRow = "#RowsetSchema";

// What a failed load raises: the cursor engine's number and text, with what
// was wrong appended so that a bad cache entry can be diagnosed.
constexpr int32_t kErrBadXml = -2147467259;  // 0x80004005

// Chapters nested deeper than this are refused, reading (hostile input) and
// writing (a recordset that holds itself).
constexpr int kMaxChapterDepth = 32;

[[noreturn]] void BadXml(const std::string& detail) {
  throw ComError(kErrBadXml, "ADODB.Recordset",
                 "Recordset cannot be created. Source XML is incomplete or invalid. (" + detail + ")");
}

// --- Writer ---------------------------------------------------------------------------

void AppendEscaped(std::string& out, std::string_view text) {
  size_t plain = 0;
  auto flush = [&](size_t i) {
    out.append(text.data() + plain, i - plain);
    plain = i + 1;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '\'' && c != '"') continue;
    flush(i);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default: {
        // Control characters as references: a parser would turn raw tabs and
        // line breaks inside an attribute into blanks.
        static const char kHex[] = "0123456789ABCDEF";
        out += "&#x";
        if (c >= 16) out += kHex[c >> 4];
        out += kHex[c & 15];
        out += ';';
        break;
      }
    }
  }
  out.append(text.data() + plain, text.size() - plain);
}

bool IsPlainXmlName(std::string_view name) {
  if (name.empty()) return false;
  char first = name[0];
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_')) return false;
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  // Names beginning with "xml" are reserved.
  return !(name.size() >= 3 && EqualsIgnoreCase(name.substr(0, 3), "xml"));
}

// The attribute name each column is written under: the field name where it
// is a plain unique XML name, otherwise the alias "c" + ordinal (0-based),
// with the real name kept in rs:name.
std::vector<std::string> ColumnNames(const std::vector<FieldInfo>& fields) {
  std::vector<std::string> names(fields.size());
  std::vector<bool> plain(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    plain[i] = IsPlainXmlName(fields[i].name);
    for (size_t j = 0; j < fields.size() && plain[i]; ++j) {
      if (j != i && EqualsIgnoreCase(fields[i].name, fields[j].name)) plain[i] = false;
    }
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (plain[i]) {
      names[i] = fields[i].name;
      continue;
    }
    std::string alias = "c" + std::to_string(i);
    for (bool clash = true; clash;) {
      clash = false;
      for (size_t j = 0; j < fields.size(); ++j) {
        if (j != i && EqualsIgnoreCase(j < i ? names[j] : fields[j].name, alias) && (j < i || plain[j])) clash = true;
      }
      if (clash) alias += '_';
    }
    names[i] = alias;
  }
  return names;
}

struct TypeText {
  const char* dt_type;
  const char* dbtype;  // nullptr: none
  bool fixed;
  bool is_long;
};

TypeText TypeTextOf(DataType type) {
  switch (type) {
    case DataType::kSmallInt: return {"i2", nullptr, true, false};
    case DataType::kInteger: return {"int", nullptr, true, false};
    case DataType::kSingle: return {"r4", nullptr, true, false};
    case DataType::kDouble: return {"float", nullptr, true, false};
    case DataType::kCurrency: return {"number", "currency", true, false};
    case DataType::kDate: return {"dateTime", "variantdate", true, false};
    case DataType::kBSTR: return {"string", "bstr", false, false};
    case DataType::kBoolean: return {"boolean", nullptr, true, false};
    case DataType::kVariant: return {"string", "variant", false, false};
    case DataType::kDecimal: return {"number", "decimal", true, false};
    case DataType::kTinyInt: return {"i1", nullptr, true, false};
    case DataType::kUnsignedTinyInt: return {"ui1", nullptr, true, false};
    case DataType::kBigInt: return {"i8", nullptr, true, false};
    case DataType::kGUID: return {"uuid", nullptr, true, false};
    case DataType::kBinary: return {"bin.hex", nullptr, true, false};
    case DataType::kChar: return {"string", "str", true, false};
    case DataType::kNumeric: return {"number", "numeric", true, false};
    case DataType::kDBTimeStamp: return {"dateTime", "timestamp", true, false};
    case DataType::kVarChar: return {"string", "str", false, false};
    case DataType::kLongVarChar: return {"string", "str", false, true};
    case DataType::kVarWChar: return {"string", nullptr, false, false};
    case DataType::kLongVarWChar: return {"string", nullptr, false, true};
    default: return {"string", nullptr, false, false};
  }
}

void Indent(std::string& out, int depth) { out.append(static_cast<size_t>(depth), '\t'); }

// The child recordset whose structure describes a chapter column: the first
// one held by any row.
const Recordset* ChapterTemplate(const RecordsetCore& core, size_t field) {
  for (uint32_t r = 0; r < core.row_count(); ++r) {
    const Variant& v = core.Cell(r, field);
    if (v.IsObject() && !v.IsNothing()) {
      if (auto* child = dynamic_cast<const Recordset*>(v.object().get())) return child;
    }
  }
  return nullptr;
}

void WriteElementType(std::string& out, const RecordsetCore& core, std::string_view name, std::string_view rs_name,
                      int number, int depth);

void WriteAttributeType(std::string& out, const FieldInfo& field, std::string_view name, int number, int depth) {
  Indent(out, depth);
  out += "<s:AttributeType name='";
  AppendEscaped(out, name);
  out += '\'';
  if (name != field.name) {
    out += " rs:name='";
    AppendEscaped(out, field.name);
    out += '\'';
  }
  out += " rs:number='" + std::to_string(number) + '\'';
  const int32_t attributes = field.attributes;
  const bool unspecified = attributes == -1;
  if (attributes != -1 && (attributes & 0x100)) out += " rs:rowid='true'";
  if (IsNullable(field) && (unspecified || (attributes & 0x20))) out += " rs:nullable='true'";
  if (unspecified || (attributes & 0x2)) out += " rs:maydefer='true'";
  if (!unspecified && (attributes & 0x8)) out += " rs:writeunknown='true'";
  out += " rs:write='true'";
  if (!unspecified && (attributes & 0x8000)) out += " rs:keycolumn='true'";
  out += ">\n";

  const TypeText t = TypeTextOf(field.type);
  Indent(out, depth + 1);
  out += "<s:datatype dt:type='";
  out += t.dt_type;
  out += '\'';
  if (t.dbtype) {
    out += " rs:dbtype='";
    out += t.dbtype;
    out += '\'';
  }
  int32_t max_length = FixedSizeOf(field.type);
  if (max_length == 0) max_length = field.defined_size;
  if (max_length > 0) out += " dt:maxLength='" + std::to_string(max_length) + '\'';
  if (field.type == DataType::kNumeric || field.type == DataType::kDecimal || field.type == DataType::kDBTimeStamp) {
    out += " rs:scale='" + std::to_string(field.numeric_scale) + '\'';
  }
  out += " rs:precision='" + std::to_string(field.precision) + '\'';
  if (t.is_long || (!unspecified && (attributes & 0x80))) out += " rs:long='true'";
  if (t.fixed || (!unspecified && (attributes & 0x10))) out += " rs:fixedlength='true'";
  if (!IsNullable(field)) out += " rs:maybenull='false'";
  out += "/>\n";
  Indent(out, depth);
  out += "</s:AttributeType>\n";
}

void WriteElementType(std::string& out, const RecordsetCore& core, std::string_view name, std::string_view rs_name,
                      int number, int depth) {
  if (depth > kMaxChapterDepth + 4) RaiseAdo(kErrArguments, "ADODB.Recordset", "Chapters are nested too deeply to save.");
  Indent(out, depth);
  out += "<s:ElementType name='";
  AppendEscaped(out, name);
  out += '\'';
  if (!rs_name.empty() && rs_name != name) {
    out += " rs:name='";
    AppendEscaped(out, rs_name);
    out += '\'';
  }
  if (number > 0) out += " rs:number='" + std::to_string(number) + '\'';
  out += " content='eltOnly' rs:updatable='true'>\n";
  const std::vector<std::string> names = ColumnNames(core.fields);
  for (size_t f = 0; f < core.fields.size(); ++f) {
    if (core.classes[f] == FieldClass::kChapter) {
      const Recordset* child = ChapterTemplate(core, f);
      RecordsetCore empty;
      const RecordsetCore& child_core = child ? Access::Core(*child) : empty;
      WriteElementType(out, child_core, names[f], core.fields[f].name, static_cast<int>(f) + 1, depth + 1);
    } else {
      WriteAttributeType(out, core.fields[f], names[f], static_cast<int>(f) + 1, depth + 1);
    }
  }
  Indent(out, depth + 1);
  out += "<s:extends type='rs:rowbase'/>\n";
  Indent(out, depth);
  out += "</s:ElementType>\n";
}

// `escape` off gives the text a parser hands back for the attribute (what
// the direct copy converts from).
void AppendValue(std::string& out, const Variant& v, DataType type, bool escape = true) {
  char buffer[32];
  switch (v.type()) {
    case VarType::kString:
      if (type == DataType::kBinary) {
        static const char kHex[] = "0123456789abcdef";
        for (unsigned char c : v.string()) {
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
      } else if (escape) {
        AppendEscaped(out, v.string());
      } else {
        out += v.string();
      }
      return;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: {
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.integer());
      out.append(buffer, end);
      return;
    }
    case VarType::kBoolean:
      out += v.boolean() ? "True" : "False";
      return;
    case VarType::kSingle:
      out += FormatRoundTrip(static_cast<float>(v.real()));
      return;
    case VarType::kDouble:
    case VarType::kDecimal:
      out += FormatRoundTrip(v.real());
      return;
    case VarType::kCurrency:
      out += FormatCurrency(v.currency());
      return;
    case VarType::kDate:
      out += FormatIsoDate(v.real());
      return;
    default:
      if (escape) {
        AppendEscaped(out, DisplayText(v));
      } else {
        out += DisplayText(v);
      }
      return;
  }
}

void WriteRow(std::string& out, const RecordsetCore& core, const std::vector<std::string>& names, const Variant* values,
              std::string_view element, int depth, std::string_view extra = {});

void WriteChildren(std::string& out, const RecordsetCore& child, std::string_view element, int depth) {
  if (depth > kMaxChapterDepth + 4) RaiseAdo(kErrArguments, "ADODB.Recordset", "Chapters are nested too deeply to save.");
  const std::vector<std::string> names = ColumnNames(child.fields);
  for (uint32_t r : child.view) WriteRow(out, child, names, child.RowCells(r), element, depth);
}

void WriteRow(std::string& out, const RecordsetCore& core, const std::vector<std::string>& names, const Variant* values,
              std::string_view element, int depth, std::string_view extra) {
  Indent(out, depth);
  out += '<';
  out += element;
  bool has_children = false;
  for (size_t f = 0; f < core.fields.size(); ++f) {
    const Variant& v = values[f];
    if (core.classes[f] == FieldClass::kChapter) {
      if (v.IsObject() && !v.IsNothing()) has_children = true;
      continue;
    }
    if (v.IsNull() || v.IsEmpty()) continue;
    out += ' ';
    out += names[f];
    out += "='";
    AppendValue(out, v, core.fields[f].type);
    out += '\'';
  }
  out += extra;
  if (!has_children) {
    out += "/>\n";
    return;
  }
  out += ">\n";
  for (size_t f = 0; f < core.fields.size(); ++f) {
    if (core.classes[f] != FieldClass::kChapter) continue;
    const Variant& v = values[f];
    if (!v.IsObject() || v.IsNothing()) continue;
    if (auto* child = dynamic_cast<const Recordset*>(v.object().get())) {
      if (child->IsOpen()) WriteChildren(out, Access::Core(*child), names[f], depth + 1);
    }
  }
  Indent(out, depth);
  out += "</";
  out += element;
  out += ">\n";
}

void WriteHead(std::string& out, const RecordsetCore& core) {
  out +=
      "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
      "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
      "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
      "\txmlns:z='#RowsetSchema'>\n"
      "<s:Schema id='RowsetSchema'>\n";
  WriteElementType(out, core, "row", {}, 0, 1);
  out += "</s:Schema>\n<rs:data>\n";
}

// The persistence form of the fields alone, as a recordset without rows.
std::string WriteSchemaXml(const RecordsetCore& core) {
  std::string out;
  WriteHead(out, core);
  out += "</rs:data>\n</xml>";
  return out;
}

std::string WriteXml(const RecordsetCore& core) {
  std::string out;
  out.reserve(1024 + core.view.size() * core.width() * 24);
  WriteHead(out, core);
  const std::vector<std::string> names = ColumnNames(core.fields);
  std::vector<uint32_t> inserted;
  for (uint32_t r : core.view) {
    const Variant* values = core.RowCells(r);
    switch (core.states[r]) {
      case RowState::kNew:
        inserted.push_back(r);
        break;
      case RowState::kModified: {
        const std::vector<Variant>& original = core.originals.at(r);
        // Columns that became Null are named, since an omitted attribute in
        // the changed row means "unchanged".
        std::string force_null;
        for (size_t f = 0; f < core.width(); ++f) {
          bool now_null = values[f].IsNull() || values[f].IsEmpty();
          bool was_null = original[f].IsNull() || original[f].IsEmpty();
          if (now_null && !was_null && core.classes[f] != FieldClass::kChapter) {
            if (!force_null.empty()) force_null += ' ';
            force_null += names[f];
          }
        }
        out += "\t<rs:update>\n\t\t<rs:original>\n";
        WriteRow(out, core, names, original.data(), "z:row", 3);
        out += "\t\t</rs:original>\n";
        std::string extra;
        if (!force_null.empty()) {
          extra = " rs:forcenull='";
          AppendEscaped(extra, force_null);
          extra += '\'';
        }
        WriteRow(out, core, names, values, "z:row", 2, extra);
        out += "\t</rs:update>\n";
        break;
      }
      default:
        WriteRow(out, core, names, values, "z:row", 1);
        break;
    }
  }
  if (!inserted.empty()) {
    out += "\t<rs:insert>\n";
    for (uint32_t r : inserted) WriteRow(out, core, names, core.RowCells(r), "z:row", 2);
    out += "\t</rs:insert>\n";
  }
  bool any_deleted = false;
  for (uint32_t r = 0; r < core.row_count(); ++r) {
    if (core.states[r] != RowState::kDeleted) continue;
    if (!any_deleted) out += "\t<rs:delete>\n";
    any_deleted = true;
    auto it = core.originals.find(r);
    const Variant* values = it != core.originals.end() ? it->second.data() : core.RowCells(r);
    WriteRow(out, core, names, values, "z:row", 2);
  }
  if (any_deleted) out += "\t</rs:delete>\n";
  out += "</rs:data>\n</xml>";
  return out;
}

// --- Reader --------------------------------------------------------------------------------

// Namespace prefixes in scope while walking the document.
class NsScope {
 public:
  // Declares the xmlns attributes of `node`; returns how many to pop.
  size_t Push(const pugi::xml_node& node) {
    size_t n = 0;
    for (pugi::xml_attribute a : node.attributes()) {
      const char* name = a.name();
      if (std::strncmp(name, "xmlns", 5) != 0) continue;
      if (name[5] == ':') {
        bindings_.emplace_back(name + 6, a.value());
        ++n;
      } else if (name[5] == '\0') {
        bindings_.emplace_back("", a.value());
        ++n;
      }
    }
    return n;
  }
  void Pop(size_t n) { bindings_.resize(bindings_.size() - n); }

  // The namespace URI of a prefix ("" when undeclared).
  std::string_view Uri(std::string_view prefix) const {
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
      if (it->first == prefix) return it->second;
    }
    return {};
  }

  // Whether an element or attribute name is `local` in namespace `uri`.
  // Unprefixed attribute names have no namespace; unprefixed element names
  // take the default namespace.
  bool Is(const char* qname, const char* uri, std::string_view local, bool element = true) const {
    std::string_view q(qname);
    size_t colon = q.find(':');
    std::string_view prefix = colon == std::string_view::npos ? std::string_view() : q.substr(0, colon);
    std::string_view name = colon == std::string_view::npos ? q : q.substr(colon + 1);
    if (name != local) return false;
    if (colon == std::string_view::npos && !element) return false;
    return Uri(prefix) == uri;
  }

 private:
  std::vector<std::pair<std::string_view, std::string_view>> bindings_;
};

struct ScopeGuard {
  NsScope& scope;
  size_t n;
  ScopeGuard(NsScope& s, const pugi::xml_node& node) : scope(s), n(s.Push(node)) {}
  ~ScopeGuard() { scope.Pop(n); }
};

const char* Attr(const pugi::xml_node& node, const NsScope& scope, const char* uri, std::string_view local) {
  for (pugi::xml_attribute a : node.attributes()) {
    if (scope.Is(a.name(), uri, local, false)) return a.value();
  }
  return nullptr;
}

bool IsTrue(const char* text) {
  return text && (EqualsIgnoreCase(text, "true") || std::strcmp(text, "1") == 0 || std::strcmp(text, "-1") == 0);
}
bool IsFalse(const char* text) { return text && (EqualsIgnoreCase(text, "false") || std::strcmp(text, "0") == 0); }

int32_t ReadInt(const char* text, int32_t fallback) {
  if (!text) return fallback;
  std::string_view t(text);
  int64_t v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size()) BadXml(std::string("bad number '") + text + "' in the schema");
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

enum class Encoding : uint8_t { kPlain, kHex, kBase64 };

struct ColumnSchema;
struct TableSchema {
  std::vector<ColumnSchema> columns;  // in field order
};
struct ColumnSchema {
  std::string xml_name;  // the attribute (or child element) name in the data
  FieldInfo field;
  Encoding encoding = Encoding::kPlain;
  bool hidden = false;
  std::shared_ptr<TableSchema> chapter;  // set for chapter columns
};

DataType MapType(std::string_view dt, std::string_view dbtype, bool fixed, bool is_long, int32_t max_length) {
  auto is = [](std::string_view a, const char* b) { return EqualsIgnoreCase(a, b); };
  if (dt.empty() || is(dt, "string")) {
    if (is(dbtype, "bstr")) return DataType::kBSTR;
    if (is(dbtype, "variant")) return DataType::kVariant;
    if (is(dbtype, "str")) return fixed ? DataType::kChar : (is_long ? DataType::kLongVarChar : DataType::kVarChar);
    (void)max_length;
    return is_long ? DataType::kLongVarWChar : DataType::kVarWChar;
  }
  if (is(dt, "int") || is(dt, "i4")) return DataType::kInteger;
  if (is(dt, "i2")) return DataType::kSmallInt;
  if (is(dt, "i1")) return DataType::kTinyInt;
  if (is(dt, "ui1")) return DataType::kUnsignedTinyInt;
  if (is(dt, "ui2")) return DataType::kInteger;  // 0..65535 fits a Long
  if (is(dt, "ui4") || is(dt, "i8")) return DataType::kBigInt;
  if (is(dt, "ui8")) return DataType::kDecimal;  // beyond a signed 64-bit integer
  if (is(dt, "r4")) return DataType::kSingle;
  if (is(dt, "float") || is(dt, "r8")) return DataType::kDouble;
  if (is(dt, "number") || is(dt, "fixed.14.4")) {
    if (is(dbtype, "currency") || is(dt, "fixed.14.4")) return DataType::kCurrency;
    if (is(dbtype, "decimal")) return DataType::kDecimal;
    return DataType::kNumeric;  // numeric, varnumeric and untyped numbers
  }
  if (is(dt, "boolean")) return DataType::kBoolean;
  if (is(dt, "dateTime") || is(dt, "dateTime.tz")) {
    return is(dbtype, "variantdate") ? DataType::kDate : DataType::kDBTimeStamp;
  }
  if (is(dt, "date") || is(dt, "time") || is(dt, "time.tz")) return DataType::kDate;
  if (is(dt, "uuid")) return DataType::kGUID;
  if (is(dt, "bin.hex") || is(dt, "bin.base64")) return DataType::kBinary;
  if (is(dt, "char")) return DataType::kVarWChar;
  return DataType::kVarWChar;  // an unknown type reads as text
}

std::shared_ptr<TableSchema> ReadElementType(const pugi::xml_node& element, NsScope& scope, int depth);

ColumnSchema ReadAttributeType(const pugi::xml_node& node, NsScope& scope) {
  ColumnSchema col;
  const char* name = node.attribute("name").as_string(nullptr);  // unprefixed: no namespace
  if (!name || !*name) BadXml("a column without a name");
  col.xml_name = name;
  const char* rs_name = Attr(node, scope, kNsRowset, "name");
  col.field.name = rs_name && *rs_name ? rs_name : name;

  // Type facts may sit on the AttributeType or on its s:datatype child.
  const char* dt_type = Attr(node, scope, kNsDatatype, "type");
  const char* dbtype = Attr(node, scope, kNsRowset, "dbtype");
  const char* max_length = Attr(node, scope, kNsDatatype, "maxLength");
  const char* precision = Attr(node, scope, kNsRowset, "precision");
  const char* scale = Attr(node, scope, kNsRowset, "scale");
  const char* fixed = Attr(node, scope, kNsRowset, "fixedlength");
  const char* is_long = Attr(node, scope, kNsRowset, "long");
  const char* maybenull = Attr(node, scope, kNsRowset, "maybenull");
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    ScopeGuard guard(scope, child);
    if (!scope.Is(child.name(), kNsSchema, "datatype")) continue;
    if (auto v = Attr(child, scope, kNsDatatype, "type")) dt_type = v;
    if (auto v = Attr(child, scope, kNsRowset, "dbtype")) dbtype = v;
    if (auto v = Attr(child, scope, kNsDatatype, "maxLength")) max_length = v;
    if (auto v = Attr(child, scope, kNsRowset, "precision")) precision = v;
    if (auto v = Attr(child, scope, kNsRowset, "scale")) scale = v;
    if (auto v = Attr(child, scope, kNsRowset, "fixedlength")) fixed = v;
    if (auto v = Attr(child, scope, kNsRowset, "long")) is_long = v;
    if (auto v = Attr(child, scope, kNsRowset, "maybenull")) maybenull = v;
  }
  const int32_t length = ReadInt(max_length, 0);
  col.field.type = MapType(dt_type ? dt_type : "", dbtype ? dbtype : "", IsTrue(fixed), IsTrue(is_long), length);
  // Fixed-size types carry their size in the type; text and binary keep theirs.
  col.field.defined_size = FixedSizeOf(col.field.type) > 0 ? 0 : std::max(length, 0);
  col.field.precision = static_cast<uint8_t>(std::clamp(ReadInt(precision, 0), 0, 255));
  col.field.numeric_scale = static_cast<uint8_t>(std::clamp(ReadInt(scale, 0), 0, 255));
  if (dt_type && EqualsIgnoreCase(dt_type, "bin.base64")) col.encoding = Encoding::kBase64;
  if (dt_type && EqualsIgnoreCase(dt_type, "bin.hex")) col.encoding = Encoding::kHex;

  int32_t attributes = 0;
  if (IsTrue(Attr(node, scope, kNsRowset, "maydefer"))) attributes |= 0x2;
  if (IsTrue(Attr(node, scope, kNsRowset, "write"))) attributes |= 0x4;
  if (IsTrue(Attr(node, scope, kNsRowset, "writeunknown"))) attributes |= 0x8;
  if (IsTrue(fixed)) attributes |= 0x10;
  const bool nullable = IsTrue(Attr(node, scope, kNsRowset, "nullable"));
  if (nullable) attributes |= 0x20;
  // Files write maybenull only as 'false'; absent means Null may occur.
  if (!IsFalse(maybenull)) attributes |= 0x40;
  if (IsTrue(is_long)) attributes |= 0x80;
  if (IsTrue(Attr(node, scope, kNsRowset, "rowid"))) attributes |= 0x100;
  if (IsTrue(Attr(node, scope, kNsRowset, "keycolumn"))) attributes |= 0x8000;
  col.field.attributes = attributes;
  col.field.nullable = (attributes & (0x20 | 0x40)) != 0;
  col.hidden = IsTrue(Attr(node, scope, kNsRowset, "hidden"));
  return col;
}

std::shared_ptr<TableSchema> ReadElementType(const pugi::xml_node& element, NsScope& scope, int depth) {
  if (depth > kMaxChapterDepth) BadXml("chapters nested too deeply");
  auto table = std::make_shared<TableSchema>();
  struct Numbered {
    int32_t number;
    size_t order;
    ColumnSchema column;
  };
  std::vector<Numbered> columns;
  for (pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    ScopeGuard guard(scope, child);
    const char* number_text = Attr(child, scope, kNsRowset, "number");
    if (scope.Is(child.name(), kNsSchema, "AttributeType")) {
      ColumnSchema col = ReadAttributeType(child, scope);
      if (col.hidden) continue;
      columns.push_back({ReadInt(number_text, 0), columns.size(), std::move(col)});
    } else if (scope.Is(child.name(), kNsSchema, "ElementType")) {
      ColumnSchema col;
      const char* name = child.attribute("name").as_string(nullptr);
      if (!name || !*name) BadXml("a chapter without a name");
      col.xml_name = name;
      const char* rs_name = Attr(child, scope, kNsRowset, "name");
      col.field.name = rs_name && *rs_name ? rs_name : name;
      col.field.type = DataType::kChapter;
      col.field.attributes = 0x4 | 0x40;
      col.chapter = ReadElementType(child, scope, depth + 1);
      columns.push_back({ReadInt(number_text, 0), columns.size(), std::move(col)});
    }
  }
  // rs:number gives the field order (chapters are written after the scalar
  // columns); columns without one keep their place in the document.
  std::stable_sort(columns.begin(), columns.end(), [](const Numbered& a, const Numbered& b) {
    if (a.number > 0 && b.number > 0) return a.number < b.number;
    return false;
  });
  for (auto& c : columns) table->columns.push_back(std::move(c.column));
  for (size_t i = 0; i < table->columns.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (EqualsIgnoreCase(table->columns[i].field.name, table->columns[j].field.name)) {
        BadXml("duplicate column '" + table->columns[i].field.name + "'");
      }
    }
  }
  return table;
}

// --- Values ----------------------------------------------------------------------------------

[[noreturn]] void BadValue(const ColumnSchema& col, std::string_view text) {
  BadXml("bad value '" + std::string(text.substr(0, 64)) + "' for column '" + col.field.name + "'");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeBase64(std::string_view text, bool& ok) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  ok = true;
  for (char c : text) {
    if (c == '=' || c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    int v = value(c);
    if (v < 0) {
      ok = false;
      return {};
    }
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}

Variant ParseValue(const ColumnSchema& col, std::string_view text) {
  const DataType type = col.field.type;
  switch (ClassOf(type)) {
    case FieldClass::kText:
    case FieldClass::kVariant:
      return Variant(text);
    case FieldClass::kInteger: {
      std::string_view t = text;
      while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
      while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
      if (!t.empty() && t.front() == '+') t.remove_prefix(1);
      int64_t n = 0;
      auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
      if (ec != std::errc() || end != t.data() + t.size() || t.empty()) {
        // A decimal form of an integral value ("5.0") is still that value.
        auto d = ParseDecimal(t);
        if (!d || *d != std::trunc(*d) || std::fabs(*d) > 9.2e18) BadValue(col, text);
        n = static_cast<int64_t>(*d);
      }
      try {
        return CoerceToField(col.field, Variant(n));
      } catch (const ComError&) {
        BadValue(col, text);
      }
    }
    case FieldClass::kReal: {
      auto d = ParseDecimal(text);
      if (!d) {
        // Non-finite values are written by some producers as INF / NaN.
        double v = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec != std::errc() || end != text.data() + text.size()) BadValue(col, text);
        d = v;
      }
      if (type == DataType::kSingle) return Variant(static_cast<float>(*d));
      if (type == DataType::kDouble) return Variant(*d);
      return Variant::Decimal(*d);
    }
    case FieldClass::kCurrency: {
      auto c = ParseCurrency(text);
      if (!c) BadValue(col, text);
      return Variant(*c);
    }
    case FieldClass::kDate: {
      auto d = ParseDate(text);
      if (!d) BadValue(col, text);
      return Variant::Date(*d);
    }
    case FieldClass::kBoolean: {
      std::string_view t = text;
      if (EqualsIgnoreCase(t, "true") || t == "1" || t == "-1") return Variant(true);
      if (EqualsIgnoreCase(t, "false") || t == "0") return Variant(false);
      BadValue(col, text);
    }
    case FieldClass::kBinary: {
      if (col.encoding == Encoding::kBase64) {
        bool ok = false;
        std::string bytes = DecodeBase64(text, ok);
        if (!ok) BadValue(col, text);
        return Variant(std::move(bytes));
      }
      if (col.encoding == Encoding::kPlain) return Variant(text);
      if (text.size() % 2 != 0) BadValue(col, text);
      std::string bytes(text.size() / 2, '\0');
      for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = HexDigit(text[2 * i]);
        int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) BadValue(col, text);
        bytes[i] = static_cast<char>(hi * 16 + lo);
      }
      return Variant(std::move(bytes));
    }
    case FieldClass::kChapter:
      break;
  }
  BadValue(col, text);
}

// Builds recordsets from a table schema and its rows.
class RowReader {
 public:
  RowReader(std::shared_ptr<TableSchema> schema, NsScope& scope, int depth)
      : schema_(std::move(schema)), scope_(scope), depth_(depth) {
    if (depth_ > kMaxChapterDepth) BadXml("chapters nested too deeply");
    for (size_t i = 0; i < schema_->columns.size(); ++i) {
      const ColumnSchema& c = schema_->columns[i];
      if (c.chapter) {
        chapters_.push_back(i);
        child_readers_.push_back(std::make_unique<RowReader>(c.chapter, scope_, depth_ + 1));
      }
    }
  }

  std::shared_ptr<Recordset> NewRecordset() const {
    auto rs = std::make_shared<Recordset>();
    for (const auto& c : schema_->columns) rs->AppendField(c.field);
    rs->Open();
    return rs;
  }

  // The values of one z:row (or chapter child element), applied over `values`.
  void ReadRow(const pugi::xml_node& node, std::vector<Variant>& values, std::string* force_null = nullptr) {
    const auto& columns = schema_->columns;
    values.resize(columns.size());
    size_t expected = 0;
    for (pugi::xml_attribute a : node.attributes()) {
      const char* name = a.name();
      size_t index = columns.size();
      // Attributes come in column order: try the next column first.
      for (size_t k = 0; k < columns.size(); ++k) {
        size_t i = (expected + k) % columns.size();
        if (!columns[i].chapter && columns[i].xml_name == name) {
          index = i;
          break;
        }
      }
      if (index == columns.size()) {
        if (force_null && scope_.Is(name, kNsRowset, "forcenull", false)) *force_null = a.value();
        continue;  // unknown attributes are ignored
      }
      expected = index + 1;
      values[index] = ParseValue(columns[index], a.value());
    }
    if (chapters_.empty()) return;
    for (size_t k = 0; k < chapters_.size(); ++k) {
      values[chapters_[k]] = Variant(child_readers_[k]->NewRecordset());
    }
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      for (size_t k = 0; k < chapters_.size(); ++k) {
        if (columns[chapters_[k]].xml_name != child.name()) continue;
        auto rs = values[chapters_[k]].As<Recordset>();
        std::vector<Variant> child_values;
        ScopeGuard guard(scope_, child);
        child_readers_[k]->ReadRow(child, child_values);
        rs->AppendRow(std::move(child_values));
        break;
      }
    }
    for (size_t k = 0; k < chapters_.size(); ++k) {
      auto rs = values[chapters_[k]].As<Recordset>();
      if (rs->RecordCount() > 0) rs->MoveFirst();
    }
  }

  const TableSchema& schema() const { return *schema_; }

 private:
  std::shared_ptr<TableSchema> schema_;
  NsScope& scope_;
  int depth_;
  std::vector<size_t> chapters_;
  std::vector<std::unique_ptr<RowReader>> child_readers_;
};

void ReadData(const pugi::xml_node& data, NsScope& scope, RowReader& reader, RecordsetCore& core) {
  auto is_row = [&](const pugi::xml_node& n) { return scope.Is(n.name(), kNsRow, "row"); };
  // Room for every row up front: growing the cells row by row costs more
  // than reading them.
  size_t rows = 0;
  for (pugi::xml_node node : data.children()) {
    if (node.type() != pugi::node_element) continue;
    ++rows;
    if (node.first_child().type() == pugi::node_element && !is_row(node)) {
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) ++rows;
    }
  }
  core.cells.Mutable().reserve(rows * core.width());
  core.states.reserve(rows);
  std::vector<Variant> values;
  for (pugi::xml_node node : data.children()) {
    if (node.type() != pugi::node_element) continue;
    ScopeGuard guard(scope, node);
    if (is_row(node)) {
      values.assign(core.width(), Variant::Null());
      reader.ReadRow(node, values);
      core.AddRow(std::move(values), RowState::kUnchanged);
      continue;
    }
    const bool insert = scope.Is(node.name(), kNsRowset, "insert");
    const bool remove = scope.Is(node.name(), kNsRowset, "delete");
    const bool update = scope.Is(node.name(), kNsRowset, "update");
    if (!insert && !remove && !update) continue;  // unknown elements are ignored
    std::vector<Variant> original;
    bool have_original = false;
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      ScopeGuard child_guard(scope, child);
      if (update && scope.Is(child.name(), kNsRowset, "original")) {
        for (pugi::xml_node row : child.children()) {
          if (row.type() != pugi::node_element) continue;
          ScopeGuard row_guard(scope, row);
          if (!is_row(row)) continue;
          original.assign(core.width(), Variant::Null());
          reader.ReadRow(row, original);
          have_original = true;
          break;
        }
        continue;
      }
      if (!is_row(child)) continue;
      if (update) {
        if (!have_original) BadXml("an update without its original row");
        values = original;
        std::string force_null;
        reader.ReadRow(child, values, &force_null);
        for (std::string_view rest = force_null; !rest.empty();) {
          size_t blank = rest.find(' ');
          std::string_view name = rest.substr(0, blank);
          for (size_t i = 0; i < reader.schema().columns.size(); ++i) {
            if (reader.schema().columns[i].xml_name == name) values[i] = Variant::Null();
          }
          rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        }
        uint32_t row = core.AddRow(std::move(values), RowState::kModified);
        core.originals[row] = original;
        have_original = false;
      } else {
        values.assign(core.width(), Variant::Null());
        reader.ReadRow(child, values);
        core.AddRow(std::move(values), insert ? RowState::kNew : RowState::kDeleted);
      }
    }
  }
}

std::shared_ptr<Recordset> ReadXml(std::string_view xml, std::shared_ptr<TableSchema>* schema_out = nullptr) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    BadXml(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  }
  pugi::xml_node root = doc.document_element();
  if (!root) BadXml("no document element");
  NsScope scope;
  ScopeGuard root_guard(scope, root);

  pugi::xml_node row_type;
  pugi::xml_node data;
  for (pugi::xml_node child : root.children()) {
    if (child.type() != pugi::node_element) continue;
    ScopeGuard guard(scope, child);
    if (scope.Is(child.name(), kNsSchema, "Schema") && !row_type) {
      for (pugi::xml_node type : child.children()) {
        if (type.type() != pugi::node_element) continue;
        ScopeGuard type_guard(scope, type);
        if (scope.Is(type.name(), kNsSchema, "ElementType") &&
            std::string_view(type.attribute("name").as_string()) == "row") {
          row_type = type;
          break;
        }
      }
    } else if (scope.Is(child.name(), kNsRowset, "data") && !data) {
      data = child;
    }
  }
  if (!row_type) BadXml("no row schema");

  // The schema and data elements are read again with their own scopes.
  std::shared_ptr<TableSchema> schema;
  {
    ScopeGuard schema_guard(scope, row_type.parent());
    ScopeGuard type_guard(scope, row_type);
    schema = ReadElementType(row_type, scope, 0);
  }
  RowReader reader(schema, scope, 0);
  std::shared_ptr<Recordset> rs = reader.NewRecordset();
  RecordsetCore& core = Access::Core(*rs);
  if (data) {
    ScopeGuard data_guard(scope, data);
    ReadData(data, scope, reader, core);
  }
  core.RebuildView();
  if (schema_out) *schema_out = schema;
  return rs;
}

// --- Direct copy -----------------------------------------------------------------------------

// Whether the rows can be copied without the text: only unchanged rows are
// visible and no deletion is pending. Pending changes are written apart from
// the other rows (inserted rows after them, deletions of hidden rows too)
// and come back as pending changes, and chapters hold recordsets of their
// own: those go through the text, which is rare enough not to matter.
bool CanCopyDirectly(const RecordsetCore& core) {
  for (FieldClass c : core.classes) {
    if (c == FieldClass::kChapter) return false;
  }
  for (uint32_t r : core.view) {
    if (core.states[r] != RowState::kUnchanged) return false;
  }
  for (RowState state : core.states) {
    if (state == RowState::kDeleted) return false;
  }
  return true;
}

// The value a reload reads for `v` of a field of `source_type` into `column`:
// ParseValue of the text AppendValue writes, without the escaping, which the
// parser undoes exactly for every character but NUL (a character reference
// to NUL cuts the attribute short). False where the text route differs from
// that (a NUL) or fails: the caller then takes the text route itself.
bool PersistedValue(const ColumnSchema& column, const Variant& v, DataType source_type, std::string& text,
                    Variant& out) {
  if (v.IsNull() || v.IsEmpty()) {  // not written: a reload reads Null
    out = Variant::Null();
    return true;
  }
  const FieldClass target = ClassOf(column.field.type);
  // The frequent cases, whose text route is the identity or one conversion.
  if (v.type() == VarType::kString && source_type != DataType::kBinary &&
      (target == FieldClass::kText || target == FieldClass::kVariant)) {
    if (std::memchr(v.string().data(), '\0', v.string().size())) return false;
    out = v;
    return true;
  }
  const VarType vt = v.type();
  if (target == FieldClass::kInteger &&
      (vt == VarType::kInteger || vt == VarType::kLong || vt == VarType::kLongLong || vt == VarType::kByte)) {
    // The decimal text of a 64-bit integer reads back as that integer.
    if (StoredAsIs(column.field, v)) {
      out = v;
      return true;
    }
    try {
      out = CoerceToField(column.field, Variant(v.integer()));
    } catch (const ComError&) {
      return false;
    }
    return true;
  }
  text.clear();
  AppendValue(text, v, source_type, /*escape=*/false);
  if (std::memchr(text.data(), '\0', text.size())) return false;
  try {
    out = ParseValue(column, text);
  } catch (const ComError&) {
    return false;
  }
  return true;
}

// Whether PersistedValue gives `v` itself: then a value the source holds
// alone can be moved into the copy. Such a value never fails the copy.
bool PersistsAsItself(const ColumnSchema& column, const Variant& v, DataType source_type) {
  if (v.IsNull() || v.IsEmpty()) return v.IsNull();
  const FieldClass target = ClassOf(column.field.type);
  switch (v.type()) {
    case VarType::kString:
      return source_type != DataType::kBinary && (target == FieldClass::kText || target == FieldClass::kVariant) &&
             !std::memchr(v.string().data(), '\0', v.string().size());
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
      return target == FieldClass::kInteger && StoredAsIs(column.field, v);
    case VarType::kCurrency:
      // Written with all four decimals and read back exactly.
      return column.field.type == DataType::kCurrency;
    default:
      return false;
  }
}

// The schema a reload of `core`'s saved form reads. A result of the same
// query has the same fields every time: the parsed schemas of the last few
// field shapes are kept per thread, under the text they were read from.
std::shared_ptr<const TableSchema> ReloadedSchema(const RecordsetCore& core) {
  thread_local RoundRobinCache<std::shared_ptr<const TableSchema>> kept;
  std::string xml = WriteSchemaXml(core);
  if (const auto* schema = kept.Find(xml)) return *schema;
  std::shared_ptr<TableSchema> schema;
  ReadXml(xml, &schema);
  return kept.Keep(std::move(xml), std::move(schema));
}

// The direct copy; null where the text route has to be taken. Values that
// persist as something else are converted first, so that a conversion that
// fails sends the caller to the text route with the source whole. With
// `take`, the other values move into the copy where the source holds its
// cells alone.
std::shared_ptr<Recordset> CopyDirectly(RecordsetCore& core, bool take) {
  if (!CanCopyDirectly(core)) return nullptr;
  // The fields are what a reload of the schema gives: a few hundred bytes
  // per field, so that every field fact (names, aliases, types, sizes,
  // attributes) comes from the reader itself.
  std::shared_ptr<const TableSchema> schema = ReloadedSchema(core);
  auto copy = std::make_shared<Recordset>();
  for (const ColumnSchema& column : schema->columns) copy->AppendField(column.field);
  copy->Open();
  RecordsetCore& target = Access::Core(*copy);
  const size_t width = core.width();
  if (schema->columns.size() != width) return nullptr;
  if (width == 0) {
    // Rows without fields hold no values to append them by.
    for (size_t i = 0; i < core.view.size(); ++i) target.AddRow({}, RowState::kUnchanged);
    target.RebuildView();
    return copy;
  }
  std::vector<uint8_t> converted_at(core.view.size() * width, 0);
  std::vector<Variant> converted;
  std::string text;
  for (size_t i = 0; i < core.view.size(); ++i) {
    const Variant* cells = core.RowCells(core.view[i]);
    for (size_t f = 0; f < width; ++f) {
      if (PersistsAsItself(schema->columns[f], cells[f], core.fields[f].type)) continue;
      Variant value;
      if (!PersistedValue(schema->columns[f], cells[f], core.fields[f].type, text, value)) return nullptr;
      converted_at[i * width + f] = 1;
      converted.push_back(std::move(value));
    }
  }
  const bool move = take && !core.cells.IsShared();
  Variant* own = move ? core.cells.Mutable().data() : nullptr;  // not shared: the same cells
  std::vector<Variant> block;
  block.reserve(core.view.size() * width);
  size_t next_converted = 0;
  for (size_t i = 0; i < core.view.size(); ++i) {
    const size_t row = core.view[i];
    for (size_t f = 0; f < width; ++f) {
      if (converted_at[i * width + f]) {
        block.push_back(std::move(converted[next_converted++]));
      } else if (move) {
        block.push_back(std::move(own[row * width + f]));
      } else {
        block.push_back(core.RowCells(static_cast<uint32_t>(row))[f]);
      }
    }
  }
  copy->AppendRows(std::move(block));
  return copy;
}

}  // namespace

RecordsetRef CopyVisibleRowsAsPersisted(Recordset& source) {
  RecordsetCore& core = Access::Core(source);
  if (!core.open) RaiseAdo(kErrObjectClosed);
  std::shared_ptr<Recordset> copy = CopyDirectly(core, /*take=*/false);
  if (!copy) return ReadXml(source.SaveXml());
  // As Save does.
  core.pos = 0;
  core.current_deleted = false;
  return copy;
}

RecordsetRef TakeVisibleRowsAsPersisted(Recordset& source) {
  RecordsetCore& core = Access::Core(source);
  if (!core.open) RaiseAdo(kErrObjectClosed);
  struct CloseAtEnd {
    Recordset& source;
    ~CloseAtEnd() {
      if (Access::Core(source).open) source.Close();
    }
  } close_at_end{source};
  std::shared_ptr<Recordset> copy = CopyDirectly(core, /*take=*/true);
  if (!copy) return ReadXml(source.SaveXml());
  return copy;
}

// --- Recordset members -------------------------------------------------------------------

std::string Recordset::SaveXml() {
  Impl& core = *impl_;
  if (!core.open) RaiseAdo(kErrObjectClosed);
  std::string xml = WriteXml(core);
  // Saving leaves the first row current.
  core.pos = 0;
  core.current_deleted = false;
  return xml;
}

void Recordset::Save(Stream& destination, int32_t persist_format) {
  if (!impl_->open) RaiseAdo(kErrObjectClosed);
  if (persist_format != 1) RaiseAdo(kErrArguments);  // only the XML form is written
  destination.WriteText(SaveXml());
}

std::shared_ptr<Recordset> Recordset::LoadXml(std::string_view xml) { return ReadXml(xml); }

void Recordset::Open(Stream& source) {
  if (impl_->open) RaiseAdo(kErrObjectOpen);
  // The whole stream is read, wherever its position stands: a recordset is
  // reopened straight after being saved into it.
  std::shared_ptr<Recordset> loaded = ReadXml(source.text());
  impl_.swap(loaded->impl_);
}

}  // namespace trelix
