#include "app/operations.h"

#include <chrono>
#include <charconv>
#include <mutex>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "app/query_string.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"
#include "common/utf8.h"
#include "common/vb_runtime.h"
#include "features/feature_json.h"
#include "frame/dispatch.h"
#include "frame/object_context.h"

namespace trelix::app {
namespace {

// Limits of the boundary: far above what a page sends, far below what could
// hurt the database or the process.
constexpr size_t kMaxCodeLength = 64;
constexpr size_t kMaxTextLength = 4096;
constexpr size_t kMaxListItems = 200;
constexpr size_t kMaxIdDigits = 18;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t* out) {
  if (text.empty() || text.size() > 20) return false;
  size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size()) return false;
  for (size_t i = start; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
  }
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) return false;
  *out = value;
  return true;
}

bool IsDigits(std::string_view text, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// Items of a comma-separated list, each checked by `item_ok`.
template <class ItemOk>
bool IsList(const std::string& text, bool allow_empty, ItemOk item_ok) {
  if (text.empty()) return allow_empty;
  size_t count = 0;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    std::string_view item(text.data() + start, (comma == std::string::npos ? text.size() : comma) - start);
    if (!item_ok(item) || ++count > kMaxListItems) return false;
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool IsCurrencyCode(std::string_view text) {
  return text.size() == 3 && IsAsciiLetter(text[0]) && IsAsciiLetter(text[1]) && IsAsciiLetter(text[2]);
}

// Codes of the site's configuration (categories, segments): letters, digits
// and a few separators; never a quote, so they cannot leave their literal.
bool IsCode(const std::string& text) {
  if (text.size() > kMaxCodeLength) return false;
  for (char c : text) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == '.' || c == ' ')) return false;
  }
  return true;
}

bool IsFieldName(const std::string& text) {
  if (text.empty() || text.size() > kMaxCodeLength || !IsAsciiLetter(text[0])) return false;
  for (char c : text) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_')) return false;
  }
  return true;
}

// A plain decimal number: optional minus, digits, optional fraction. No
// exponent, no separators: the component writes it back into texts.
bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 32) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    size_t fraction = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++fraction;
    if (fraction == 0) return false;
  }
  return digits > 0 && digits <= 15 && i == text.size();
}

std::optional<std::string> CheckValue(const ArgSpec& spec, const std::string& value) {
  int64_t number = 0;
  switch (spec.kind) {
    case ArgKind::kInt16:
      if (!ParseInteger(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), &number))
        return "must be an integer from -32768 to 32767";
      return std::nullopt;
    case ArgKind::kInt32:
      if (!ParseInteger(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &number))
        return "must be a 32-bit integer";
      return std::nullopt;
    case ArgKind::kVehicleId:
      if (!IsDigits(value, kMaxIdDigits)) return "must be a vehicle id (decimal digits)";
      return std::nullopt;
    case ArgKind::kVehicleList:
      if (!IsList(value, false, [](std::string_view item) { return IsDigits(item, kMaxIdDigits); }))
        return "must be vehicle ids separated by commas";
      return std::nullopt;
    case ArgKind::kOptionList:
    case ArgKind::kItemList:
      if (!IsList(value, true, [](std::string_view item) { return IsDigits(item, 9); }))
        return "must be numbers separated by commas";
      return std::nullopt;
    case ArgKind::kCode:
      if (!IsCode(value)) return "must be a code of letters, digits, '_', '-', '.' or blanks (at most 64)";
      return std::nullopt;
    case ArgKind::kCurrencyList:
      if (!IsList(value, false, IsCurrencyCode)) return "must be three-letter currency codes separated by commas";
      return std::nullopt;
    case ArgKind::kCurrency:
      if (!IsCurrencyCode(value)) return "must be a three-letter currency code";
      return std::nullopt;
    case ArgKind::kFieldName:
      if (!IsFieldName(value)) return "must be a column name (a letter, then letters, digits or '_')";
      return std::nullopt;
    case ArgKind::kNumber:
      if (!IsDecimal(value)) return "must be a decimal number such as 1234.5";
      return std::nullopt;
    case ArgKind::kFlag:
      if (value != "" && value != "1" && value != "0" && value != "true" && value != "false")
        return "must be true, false, 1 or 0";
      return std::nullopt;
    case ArgKind::kText:
      if (value.size() > kMaxTextLength) return "is too long";
      if (!IsValidUtf8(value)) return "is not valid UTF-8";
      return std::nullopt;
  }
  return "has an unknown kind";
}

OperationResult RecordsetResult(const Variant& value) {
  OperationResult result;
  result.kind = OperationResult::Kind::kRecordset;
  result.recordset = value.As<Recordset>();
  if (!result.recordset) throw ComError(kErrObjectRequired, kComponentName, "The operation returned no recordset");
  return result;
}

OperationResult TextResult(const Variant& value) {
  OperationResult result;
  result.kind = OperationResult::Kind::kText;
  result.text = vb::ToText(value);
  return result;
}

Variant Call(const char* prog_id, const char* method, Args args) {
  return CreateObject(prog_id)->Invoke(method, InvokeKind::kMethod, args);
}

// --- checks against the site's data -----------------------------------------

// The columns of the specs database's option list, read at most once a
// minute per site: every spec sheet names a price column, and the columns
// change only with the schema. nullopt when they cannot be read.
std::optional<std::vector<std::string>> OptionListColumns(const HostSettings& host) {
  struct Entry {
    std::chrono::steady_clock::time_point read;
    std::vector<std::string> columns;
  };
  static std::mutex mutex;
  static std::map<std::string, Entry> by_site;
  const std::string key = host.connection + '\n' + host.specs;
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(mutex);
    auto found = by_site.find(key);
    if (found != by_site.end() && now - found->second.read < std::chrono::minutes(1)) return found->second.columns;
  }
  std::vector<std::string> columns;
  try {
    RecordsetRef rs = CreateConnector()->ExecuteQuery("SELECT * FROM option_list WHERE 1 = 0", host.specs,
                                                      host.connection);
    for (int i = 0; i < rs->FieldCount(); ++i) columns.push_back(vb::LCase(rs->Field(i).name));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::lock_guard lock(mutex);
  by_site[key] = Entry{now, columns};
  return columns;
}

// A price column is selected as "ol." + name; a name the option list lacks
// would fail inside the database, so it is refused here as a bad argument.
std::optional<ArgumentError> CheckPriceColumn(const CallArgs& a, const HostSettings& host, const char* parameter) {
  const std::string column = vb::LCase(a.Text(parameter));
  if (column.empty()) return std::nullopt;
  std::optional<std::vector<std::string>> columns = OptionListColumns(host);
  if (!columns) return std::nullopt;
  for (const std::string& known : *columns) {
    if (known == column) return std::nullopt;
  }
  return ArgumentError{parameter, "is not a price column of this site's option list"};
}

// A feature comparison over a category (and segment) without any feature
// has nothing to lay out and fails with a bounds error; the data asked for
// is simply absent, so the caller is told so before the call.
std::optional<ArgumentError> CheckFeatureCategory(const CallArgs& a, const HostSettings& host) {
  const std::string category = a.Text("category");
  const std::string segment = a.Text("segment").empty() ? "Default" : a.Text("segment");
  // Both are validated codes: no quote can leave its literal.
  std::string sql = "SELECT TOP 1 sc.schema_id FROM standard_content sc WHERE ";
  if (!category.empty()) sql += "sc.category = N'" + category + "' AND ";
  sql += "sc.segment = N'" + segment + "'";
  try {
    if (CreateConnector()->ExecuteQuery(sql, host.project, host.connection)->RecordCount() > 0) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::string what = (category.empty() ? "" : "category '" + category + "' in ") + "segment '" + segment + "'";
  return ArgumentError{category.empty() ? "segment" : "category", "has no features: " + what, true};
}

constexpr const char* kCategories = "trelix_eb.Categories";
constexpr const char* kKeyAdvantages = "trelix_eb.KeyAdvantages";

std::vector<OperationSpec> BuildOperations() {
  using K = ArgKind;
  std::vector<OperationSpec> ops;

  ops.push_back({"version", "The component's version: major, minor and revision", {},
                 [](const CallArgs&, const HostSettings&) { return TextResult(Call(kCategories, "version", {})); }});

  ops.push_back({"specs", "The spec sheet of one vehicle (Categories.GetSpecs)",
                 {{"category", K::kCode, false, "", "sheet category; empty for all"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"vehicle", K::kVehicleId, true, "", "vehicle id"},
                  {"price-field", K::kFieldName, false, "msrp", "option price column"},
                  {"options", K::kOptionList, false, "", "chosen option ids, e.g. 12,15"},
                  {"segmentation", K::kInt16, false, "0", "segmentation id (0: none)"},
                  {"cache", K::kInt32, false, "0", "cache handle (0: none)"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   return RecordsetResult(Call(kCategories, "GetSpecs",
                                               {Variant(a.Text("category")), Variant(a.Int16("language")),
                                                Variant(a.Number("vehicle")), Variant(host.specs),
                                                Variant(host.project), Variant(a.Text("price-field")),
                                                a.Options("options"), Variant(a.Int16("segmentation")),
                                                Variant(a.Int32("cache")), Variant(host.connection)}));
                 },
                 [](const CallArgs& a, const HostSettings& host) { return CheckPriceColumn(a, host, "price-field"); }});

  ops.push_back({"descriptions", "The sheet's line texts (Categories.GetDescriptions)",
                 {{"category", K::kCode, false, "", "sheet category; empty for all"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"segmentation", K::kInt16, false, "0", "segmentation id (0: none)"},
                  {"cache", K::kInt32, false, "0", "cache handle (0: none)"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   return RecordsetResult(Call(kCategories, "GetDescriptions",
                                               {Variant(a.Text("category")), Variant(a.Int16("language")),
                                                Variant(host.specs), Variant(host.project),
                                                Variant(a.Int16("segmentation")), Variant(a.Int32("cache")),
                                                Variant(host.connection)}));
                 }});

  ops.push_back({"standard-descriptions", "Standard feature texts of several vehicles (Categories.StandardDescriptions)",
                 {{"category", K::kCode, false, "", "category; empty for all"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"vehicles", K::kVehicleList, true, "", "vehicle ids, e.g. 1001,1002"},
                  {"top", K::kInt16, false, "", "at most this many rows"},
                  {"start-row", K::kInt16, false, "", "first row id"},
                  {"segmentation", K::kInt16, false, "0", "segmentation id (0: none)"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   std::vector<Variant> vehicles;
                   for (const std::string& id : vb::Split(a.Text("vehicles"), ",")) vehicles.emplace_back(id);
                   Args args{Variant(a.Text("category")), Variant(a.Int16("language")),
                             Variant::Array(std::move(vehicles)), Variant(host.specs), Variant(host.project),
                             Variant(host.connection)};
                   // Omitted top / start row stay omitted: the method has its own defaults for them.
                   args.push_back(a.Has("top") ? Variant(a.Int16("top")) : MissingArgument());
                   args.push_back(a.Has("start-row") ? Variant(a.Int16("start-row")) : MissingArgument());
                   args.push_back(Variant(a.Int16("segmentation")));
                   return RecordsetResult(Call(kCategories, "StandardDescriptions", std::move(args)));
                 }});

  ops.push_back({"compare", "Key advantages of a vehicle over a competitor (KeyAdvantages.Compare)",
                 {{"vehicles", K::kVehicleList, true, "", "base and competitor, e.g. 1001,1004"},
                  {"category", K::kCode, false, "", "advantage category"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"currencies", K::kCurrencyList, true, "", "target currencies, e.g. EUR,GBP"},
                  {"option-price-field", K::kFieldName, true, "", "option price column"},
                  // The comparison walks both option lists once either is an array.
                  {"base-options", K::kOptionList, false, "", "options chosen on the base vehicle", "competitor-options"},
                  {"competitor-options", K::kOptionList, false, "", "options chosen on the competitor", "base-options"},
                  {"segmentation", K::kInt16, false, "0", "segmentation id (0: none)"},
                  {"cache", K::kInt32, false, "0", "cache handle (0: none)"},
                  {"website-cache", K::kInt32, false, "0", "website cache handle (0: none)"},
                  {"base-total", K::kNumber, false, "0", "total price of the base vehicle"},
                  {"competitor-total", K::kNumber, false, "0", "total price of the competitor"},
                  {"price-field", K::kFieldName, false, "", "price column"},
                  {"optional-advantages", K::kFlag, false, "false", "also show optional advantages"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   Args args{Variant(a.Text("vehicles")), Variant(a.Text("category")),
                             Variant(a.Int16("language")), Variant(host.specs), Variant(host.project),
                             Variant(a.Text("currencies")), Variant(a.Text("option-price-field")),
                             a.Options("base-options"), a.Options("competitor-options"),
                             Variant(a.Int16("segmentation")), Variant(a.Int32("cache")),
                             Variant(a.Int32("website-cache")), Variant(host.connection),
                             Variant(a.Number("base-total")), Variant(a.Number("competitor-total"))};
                   args.push_back(a.Has("price-field") ? Variant(a.Text("price-field")) : MissingArgument());
                   args.push_back(Variant(a.Flag("optional-advantages")));
                   return RecordsetResult(Call(kKeyAdvantages, "Compare", std::move(args)));
                 },
                 // "price-field" is only compared with schema ids, never selected.
                 [](const CallArgs& a, const HostSettings& host) {
                   return CheckPriceColumn(a, host, "option-price-field");
                 }});

  ops.push_back({"advantage-descriptions", "Advantage descriptions of a category (KeyAdvantages.getAdvantageDescriptions)",
                 {{"category", K::kCode, false, "", "advantage category"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"segmentation", K::kInt16, false, "0", "segment id (0: none)"},
                  {"cache", K::kInt32, false, "0", "cache handle (0: none)"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   return RecordsetResult(Call(kKeyAdvantages, "getAdvantageDescriptions",
                                               {Variant(a.Text("category")), Variant(a.Int16("language")),
                                                Variant(host.specs), Variant(host.project),
                                                Variant(a.Int16("segmentation")), Variant(a.Int32("cache")),
                                                Variant(host.connection)}));
                 }});

  ops.push_back({"advantage-specs", "Equipment rows of several vehicles (KeyAdvantages.GetKeyAdvantageSpecs)",
                 {{"vehicles", K::kVehicleList, true, "", "vehicle ids"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"price-field", K::kFieldName, true, "", "option price column"},
                  {"category", K::kCode, false, "", "advantage category"},
                  {"items", K::kItemList, false, "", "item ids"},
                  {"segmentation", K::kInt16, false, "0", "segmentation id"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   return RecordsetResult(Call(kKeyAdvantages, "GetKeyAdvantageSpecs",
                                               {Variant(a.Text("vehicles")), Variant(a.Text("category")),
                                                Variant(a.Int16("language")), Variant(host.specs),
                                                Variant(host.project), Variant(a.Text("items")),
                                                Variant(a.Text("price-field")), Variant(a.Int16("segmentation")),
                                                Variant(int32_t{0}), Variant(host.connection)}));
                 },
                 [](const CallArgs& a, const HostSettings& host) { return CheckPriceColumn(a, host, "price-field"); }});

  ops.push_back({"format-advantage", "An advantage sentence (KeyAdvantages.FormatAdvantage)",
                 {{"description", K::kText, true, "", "sentence template"},
                  {"format", K::kText, true, "", "format code"},
                  {"winner-value", K::kText, true, "", "winner's value"},
                  {"winner-text", K::kText, true, "", "winner's translated value"},
                  {"loser-value", K::kText, true, "", "loser's value"},
                  {"loser-text", K::kText, true, "", "loser's translated value"},
                  {"currencies", K::kCurrencyList, false, "", "target currencies"},
                  {"schema-id", K::kInt32, false, "", "schema id"},
                  {"language", K::kInt16, false, "", "language id"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   Args args{Variant(a.Text("description")), Variant(a.Text("format")),
                             Variant(a.Text("winner-value")), Variant(a.Text("winner-text")),
                             Variant(a.Text("loser-value")), Variant(host.project), Variant(a.Text("loser-text")),
                             Variant(a.Text("currencies")), Variant(host.connection)};
                   args.push_back(a.Has("schema-id") ? Variant(a.Int32("schema-id")) : MissingArgument());
                   args.push_back(a.Has("language") ? Variant(a.Int16("language")) : MissingArgument());
                   return TextResult(Call(kKeyAdvantages, "FormatAdvantage", std::move(args)));
                 }});

  ops.push_back({"format-currency", "A price in the target currencies (KeyAdvantages.Format_Currency)",
                 {{"currencies", K::kCurrencyList, true, "", "target currencies, e.g. EUR,GBP"},
                  {"price", K::kNumber, true, "", "price"},
                  {"language", K::kInt16, false, "", "language id"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   Args args{Variant(a.Text("currencies")), Variant(a.Number("price")), Variant(host.project),
                             Variant(host.connection)};
                   args.push_back(a.Has("language") ? Variant(a.Int16("language")) : MissingArgument());
                   return TextResult(Call(kKeyAdvantages, "Format_Currency", std::move(args)));
                 }});

  ops.push_back({"convert-currency", "A price converted between currencies (KeyAdvantages.Convert_Currency)",
                 {{"to", K::kCurrency, true, "", "target currency"},
                  {"price", K::kNumber, true, "", "price"},
                  {"from", K::kCurrency, true, "", "initial currency"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   return TextResult(Call(kKeyAdvantages, "Convert_Currency",
                                          {Variant(a.Text("to")), Variant(a.Number("price")), Variant(a.Text("from")),
                                           Variant(host.project), Variant(host.connection)}));
                 }});
  ops.push_back({"features", "Feature-by-feature comparison of vehicles (VehicleFeatures.DoFeatureComparison)",
                 {{"vehicles", K::kVehicleList, true, "", "vehicle ids, e.g. 1001,1002,1003"},
                  {"language", K::kInt16, true, "", "language id"},
                  {"category", K::kCode, false, "", "feature category; empty for all"},
                  {"segment", K::kCode, false, "", "segment; empty for the default"},
                  {"primary", K::kVehicleId, false, "", "compare every vehicle with this one"}},
                 [](const CallArgs& a, const HostSettings& host) {
                   // The object comes from the class's pool, activated, as the
                   // application server handed out poolable objects.
                   ObjectRef object = CreateObject("trelix_eb.VehicleFeatures");
                   auto put = [&](const char* property, Variant value) {
                     Args args{std::move(value)};
                     object->Invoke(property, InvokeKind::kPropertyPut, args);
                   };
                   put("DatabaseConnectionString", Variant(host.connection));
                   put("ProjectDatabaseName", Variant(host.project));
                   put("SpecsDatabaseName", Variant(host.specs));
                   put("LanguageId", Variant(a.Int16("language")));
                   put("Category", Variant(a.Text("category")));
                   put("Segment", Variant(a.Text("segment")));
                   put("VehicleIdList", Variant(a.Text("vehicles")));
                   if (a.Has("primary")) {
                     Args args{Variant(a.Text("primary"))};
                     object->Invoke("SetComparisonType_PrimaryBased", InvokeKind::kMethod, args);
                   }
                   Args none;
                   object->Invoke("DoFeatureComparison", InvokeKind::kMethod, none);
                   auto features = std::dynamic_pointer_cast<VehicleFeatures>(object);
                   if (!features) RaiseVbError(kErrObjectRequired);
                   OperationResult result;
                   result.kind = OperationResult::Kind::kJson;
                   result.text = FeatureComparisonJson(*features);
                   result.table_text = FeatureComparisonTable(*features);
                   return result;
                 },
                 CheckFeatureCategory});
  return ops;
}

}  // namespace

std::string CallArgs::Text(const std::string& name) const {
  auto it = args_.find(name);
  if (it != args_.end()) return it->second;
  for (const ArgSpec& arg : spec_.args) {
    if (arg.name == name) return arg.default_value;
  }
  return "";
}

int16_t CallArgs::Int16(const std::string& name) const {
  std::string text = Text(name);
  return text.empty() ? 0 : static_cast<int16_t>(std::stoi(text));
}

int32_t CallArgs::Int32(const std::string& name) const {
  std::string text = Text(name);
  return text.empty() ? 0 : static_cast<int32_t>(std::stol(text));
}

double CallArgs::Number(const std::string& name) const {
  std::string text = Text(name);
  return text.empty() ? 0.0 : std::strtod(text.c_str(), nullptr);
}

bool CallArgs::Flag(const std::string& name) const {
  std::string text = Text(name);
  // A flag given without a value ("--optional-advantages") is on.
  return (Has(name) && text.empty()) || text == "1" || text == "true";
}

Variant CallArgs::Options(const std::string& name) const {
  return Has(name) ? OptionArray(Text(name)) : Variant();
}

const std::vector<OperationSpec>& ComponentOperations() {
  static const std::vector<OperationSpec> operations = BuildOperations();
  return operations;
}

const OperationSpec* FindOperation(const std::string& name) {
  for (const OperationSpec& spec : ComponentOperations()) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

OperationResult RunOperation(const OperationSpec& spec, const RawArgs& args, const HostSettings& host) {
  ObjectContext context;
  OperationResult result;
  {
    ScopedObjectContext scope(context);
    result = spec.run(CallArgs(spec, args), host);
  }
  result.votes_complete = context.complete_count();
  result.votes_abort = context.abort_count();
  return result;
}

Variant OptionArray(const std::string& list) {
  std::vector<Variant> items;
  if (!list.empty()) {
    size_t start = 0;
    while (true) {
      size_t comma = list.find(',', start);
      std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      items.emplace_back(static_cast<int32_t>(std::stol(item)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return Variant::Array(std::move(items));
}

std::optional<ArgumentError> ValidateArguments(const OperationSpec& spec, const RawArgs& args) {
  for (const auto& [name, value] : args) {
    const ArgSpec* arg_spec = nullptr;
    for (const ArgSpec& candidate : spec.args) {
      if (candidate.name == name) arg_spec = &candidate;
    }
    if (!arg_spec) return ArgumentError{name, "is not a parameter of " + spec.name};
    if (auto problem = CheckValue(*arg_spec, value)) return ArgumentError{name, *problem};
  }
  for (const ArgSpec& arg : spec.args) {
    if (arg.required && !args.count(arg.name)) return ArgumentError{arg.name, "is required"};
    if (!arg.needs.empty() && args.count(arg.name) && !args.count(arg.needs))
      return ArgumentError{arg.needs, "is required with " + arg.name + " (an empty value means none)"};
  }
  return std::nullopt;
}

std::optional<ArgumentError> CheckArgumentsAgainstData(const OperationSpec& spec, const RawArgs& args,
                                                       const HostSettings& host) {
  if (!spec.check_data) return std::nullopt;
  return spec.check_data(CallArgs(spec, args), host);
}

}  // namespace trelix::app
