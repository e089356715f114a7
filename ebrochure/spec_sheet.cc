// Categories.GetSpecs: the driver of a vehicle's sheet. It answers from the
// cache when it can; otherwise it reads the sheet lines, the vehicle's
// equipment rows and the parent values, drops the options whose stored
// condition fails for the chosen set, resolves every line (spec_line.cc)
// into one row of the result, caches the result and returns it.

#include <iterator>
#include <string>
#include <utility>
#include <vector>
#include <unordered_map>

#include "common/Utilitys.h"
#include "common/call_scope.h"
#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "common/object_factory.h"
#include "common/recordset_xml.h"
#include "common/stream.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_line.h"
#include "ebrochure/spec_sheet_sql.h"
#include "ebrochure/spec_values.h"

namespace trelix {
namespace {

// The chosen options in the three forms the sheet uses.
struct OptionTexts {
  int32_t upper = -1;  // upper bound, -1 when not an array
  std::string list;    // " 12 15 20 ": every option between two blanks, for conditions
  std::string key;     // "options1215": the options in order, for the cache key
};

OptionTexts ReadOptions(const Variant& options) {
  OptionTexts texts;
  if (!options.IsArray()) return texts;
  const SafeArray& array = *options.array();
  texts.upper = array.UBound();
  std::string joined;
  for (size_t index = 0; index < array.items.size(); ++index) {
    if (index > 0) joined += " ";
    joined += vb::ToText(array.items[index]);
  }
  texts.list = " " + joined + " ";
  if (texts.upper >= 0) {
    texts.key = "options";
    for (int32_t index = 0; index <= texts.upper; ++index) {
      texts.key += vb::ToText(ebrochure::ArrayElement(array, index));
    }
  }
  return texts;
}

// The output recordset's fields: name, type, defined size.
struct OutputField {
  const char* name;
  DataType type;
  int32_t size;
};
constexpr OutputField kOutputFields[] = {
    {"row_id", DataType::kInteger, 0},       {"description", DataType::kBSTR, 0},
    {"schema_id", DataType::kInteger, 0},    {"option_id", DataType::kInteger, 0},
    {"record_id", DataType::kInteger, 0},    {"location", DataType::kVarWChar, 10},
    {"data_value", DataType::kVarWChar, 50}, {"standard_text", DataType::kBSTR, 0},
    {"value_sought", DataType::kVarWChar, 40}, {"format", DataType::kVarWChar, 40},
};

RecordsetRef NewOutputRecordset() {
  auto output = CreateObjectAs<Recordset>("adodb.Recordset");
  for (const OutputField& field : kOutputFields) output->AppendField(field.name, field.type, field.size, -1);
  output->Open();
  return output;
}

void AppendLine(Recordset& output, ebrochure::SpecLine line) {
  // One whole row, converted as field writes convert: AddNew with a write
  // per field costs twice as much for the same row.
  std::vector<Variant> values;
  values.reserve(std::size(kOutputFields));
  values.emplace_back(line.row_id);
  values.emplace_back(std::move(line.description));
  values.emplace_back(line.schema_id);
  values.emplace_back(line.option_id);
  values.emplace_back(line.record_id);
  values.push_back(std::move(line.location));
  values.emplace_back(std::move(line.data_value));
  values.emplace_back(std::move(line.standard_text));
  values.push_back(std::move(line.value_sought));
  values.push_back(std::move(line.format));
  output.AppendConvertedRow(std::move(values));
}

// Drops every option that has a row whose condition fails for the chosen
// options, by filtering its rows out. Setting the filter makes the first
// visible row current and the walk then moves on, so after an exclusion the
// rows are examined again from the second visible row: earlier rows give the
// same outcome again, and the first visible row is passed over in that step.
void ExcludeFailedOptions(Recordset& equipment, const std::string& option_list) {
  const int option_field = equipment.FieldIndex("option_id");
  const int condition_field = equipment.FieldIndex("condition");
  // ConditionMet depends only on the condition and the option list, which is
  // fixed for the call; re-examined rows reuse the first verdict.
  std::unordered_map<std::string, bool> verdicts;
  std::string filter;
  if (equipment.IsEOF()) return;
  equipment.MoveFirst();
  while (!equipment.IsEOF()) {
    const Variant& option_id = equipment.Value(option_field);
    const Variant& condition = equipment.Value(condition_field);
    if (ebrochure::IsAboveZero(option_id) && !condition.IsNull()) {
      const std::string condition_text = vb::ToText(condition);
      auto verdict = verdicts.find(condition_text);
      if (verdict == verdicts.end()) {
        std::string working_copy = condition_text;  // ConditionMet trims it in place
        verdict = verdicts.emplace(condition_text, ConditionMet(working_copy, option_list)).first;
      }
      if (!verdict->second) {
        filter += (filter.empty() ? " option_id <>" : " AND option_id <>") + vb::ToText(option_id);
        equipment.SetFilter(Variant(filter));
        // No visible row left: nothing remains to examine.
        if (equipment.IsEOF()) break;
      }
    }
    equipment.MoveNext();
  }
}

// The remaining (visible) equipment rows as a recordset of their own, as
// the XML persistence form would hand them back (no filter, no hidden rows),
// copied directly rather than through the text; the original is closed, so
// its values move over.
RecordsetRef CopyRemainingRows(RecordsetRef equipment) { return TakeVisibleRowsAsPersisted(*equipment); }

// Indexes for the per-line filters and searches. The persistence form keeps
// no index, so the copy needs them again.
void OptimizeEquipment(Recordset& equipment) {
  equipment.SetOptimize("schema_id", true);
  equipment.SetOptimize("option_id", true);
  equipment.SetOptimize("data_value", true);
}

}  // namespace

RecordsetRef Categories::GetSpecs(const std::string& strCategory, int16_t intLanguageID, double dblVehicleID,
                                  const std::string& strSpecs, const std::string& strProject,
                                  const std::string& strPriceField, Variant& arrOptions, int16_t intSegmentationID,
                                  int32_t Cache, const std::string& strConnection) {
  CallScope call;  // the statements share sessions and a read snapshot
  return Instrumented(ebrochure::kCategoriesModule, "Function GetSpecs", [&]() -> RecordsetRef {
    // 1. Inputs.
    const std::string decimal_separator = vb::Mid(ebrochure::NumberText(11.0 / 10.0), 2, 1);
    const OptionTexts options = ReadOptions(arrOptions);
    const std::string vehicle = ebrochure::NumberText(dblVehicleID);
    const std::string cache_key = "GetSpecs" + strCategory + std::to_string(intLanguageID) + vehicle + strSpecs +
                                  strProject + options.key + std::to_string(intSegmentationID);

    // 2. The cache.
    if (Cache != 0) {
      RecordsetRef cached = CreateConnector()->GetCachedRecordset(cache_key, Cache, strConnection, strProject);
      if (cached) {
        VoteComplete();
        return cached;
      }
    }

    // 3.-8. The queries.
    ConnectorRef connector = CreateConnector();
    if (unlimited_text_.empty()) {
      RecordsetRef texts =
          connector->ExecuteQuery(ebrochure::UnlimitedTextQuery(intLanguageID), strProject, strConnection);
      if (texts && !texts->IsEOF()) {
        const Variant& text = texts->Value("application_text");
        if (!text.IsNull() && vb::Len(vb::ToText(text)) > 0) unlimited_text_ = vb::ToText(text);
      }
      if (unlimited_text_.empty()) unlimited_text_ = "unlimited";
    }
    RecordsetRef brochure = connector->ExecuteQuery(
        ebrochure::SheetQuery(strCategory, intLanguageID, intSegmentationID), strProject, strConnection);
    if (!brochure) RaiseVbError(kErrObjectVariableNotSet);
    const std::string where_clause = BuildWhereClause(*brochure, dblVehicleID);
    RecordsetRef equipment = connector->ExecuteQuery(
        ebrochure::EquipmentQuery(where_clause, intLanguageID, strPriceField), strSpecs, strConnection);
    if (!equipment) RaiseVbError(kErrObjectVariableNotSet);
    OptimizeEquipment(*equipment);
    RecordsetRef parents =
        connector->ExecuteQuery(ebrochure::ParentQuery(vehicle, strProject), strSpecs, strConnection);
    if (!parents) RaiseVbError(kErrObjectVariableNotSet);
    // Every line filters the parent rows by schema id.
    parents->SetOptimize("schema_id", true);

    // 9. The result.
    RecordsetRef output = NewOutputRecordset();

    // 10., 11. Only the options whose conditions hold keep their rows.
    ExcludeFailedOptions(*equipment, options.list);
    equipment = CopyRemainingRows(std::move(equipment));
    OptimizeEquipment(*equipment);

    // 12. One output row per sheet line.
    ebrochure::SpecSheetContext context;
    context.brochure = brochure;
    context.equipment = equipment;
    context.parents = parents;
    context.options = arrOptions;
    context.option_upper = options.upper;
    context.price_field = strPriceField;
    context.language_id = intLanguageID;
    context.decimal_separator = decimal_separator;
    context.unlimited_text = unlimited_text_;
    ebrochure::SpecLineResolver resolver(std::move(context));
    brochure->MoveFirst();  // BuildWhereClause left it at its end
    output->Reserve(brochure->RecordCount());  // one row per line: no regrowing
    while (!brochure->IsEOF()) {
      AppendLine(*output, resolver.Resolve());
      brochure->MoveNext();
    }
    // Rows added one by one leave the last one current; so does the result.
    if (output->RecordCount() > 0) output->MoveLast();

    // 13., 14. Disconnected, cached.
    output->Disconnect();
    if (Cache != 0) {
      auto stream = CreateObjectAs<Stream>("adodb.stream");
      stream->Open();
      output->Save(*stream, 1);
      stream->SetPosition(0);
      ConnectorRef store = CreateConnector();
      store->CacheRecordset(cache_key, stream->ReadText(-1), Cache, strConnection, strProject);
      stream->Close();
    }

    // 15.
    brochure->Close();
    equipment->Close();
    VoteComplete();
    return output;
  });
}

}  // namespace trelix
