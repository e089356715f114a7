// The key advantage comparison: loads the advantages of a category and the
// two vehicles' equipment records, decides every advantage by its rule,
// writes the winner's sentence and caches the rows that have a winner.

#include <string>
#include <vector>

#include "common/call_scope.h"
#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "frame/object_context.h"
#include "keyadvantages/advantage_rules.h"
#include "keyadvantages/key_advantage_statements.h"
#include "keyadvantages/key_advantages.h"
#include "keyadvantages/result_cache.h"

namespace trelix {

namespace {

using keyadvantages_internal::AdvantageDefinition;
using keyadvantages_internal::AdvantageOutcome;
using keyadvantages_internal::AdvantageRules;
using keyadvantages_internal::ComparisonSides;

// The chosen option ids of one vehicle. Once either list is an array both
// must be: a non-array beside an array is a type mismatch.
const std::vector<Variant>& OptionIds(const Variant& options) {
  if (!options.IsArray()) RaiseVbError(kErrTypeMismatch);
  return options.array()->items;
}

// The result's fields in the order NewResult appends them, so that rows are
// written by position rather than by a name lookup per value.
enum ResultField : int {
  kRowId,
  kDescription,
  kWinner,
  kOptionId,
  kSchemaId,
  kOptionOnCompetitor,
  kCategory,
  kOptionalAdvantage,
};

// The comparison's result: one row per advantage with a winner.
RecordsetRef NewResult(bool display_optional) {
  auto result = std::make_shared<Recordset>();
  result->AppendField("row_id", DataType::kInteger);
  result->AppendField("description", DataType::kBSTR);
  result->AppendField("winner", DataType::kBigInt);
  result->AppendField("option_id", DataType::kInteger);
  result->AppendField("schema_id", DataType::kInteger);
  result->AppendField("option_on_competitor", DataType::kInteger);
  result->AppendField("category", DataType::kBSTR);
  if (display_optional) result->AppendField("optionaladvantage", DataType::kBoolean);
  result->Open();
  return result;
}

AdvantageDefinition ReadDefinition(const Recordset& descriptions) {
  AdvantageDefinition advantage;
  advantage.rule = vb::ToText(descriptions.Value("Advantage_rule"));
  advantage.schema_id = vb::ToText(descriptions.Value("schema_id"));
  advantage.required_value = vb::ToText(descriptions.Value("schema_id_value"));
  advantage.location = vb::ToText(descriptions.Value("Location"));
  advantage.format = vb::ToText(descriptions.Value("format"));
  return advantage;
}

// The cheapest option of another vehicle whose value matches (or, for
// numeric rules, beats) the winner's value.
std::string CompetitorOptionFilter(const AdvantageDefinition& advantage, const std::string& winner,
                                   const std::string& winner_value) {
  std::string filter = "schema_id=" + advantage.schema_id + "  AND option_id <> 0 AND vehicle_id <> " + winner;
  if (advantage.HasLocation()) filter += " AND Location='" + advantage.location + "'";
  const std::string head = vb::Left(advantage.rule, 2);
  const char* comparison = head == "#>" ? ">" : head == "#<" ? "<" : "=";
  return filter + " AND data_value" + comparison + "'" + winner_value + "'";
}

}  // namespace

RecordsetRef KeyAdvantages::Compare(const std::string& strVehicles, const std::string& strCategory,
                                    int16_t intLanguageID, const std::string& strSpecs,
                                    const std::string& strProject, const std::string& strTargetCurrencies,
                                    const std::string& strOptionPriceField, Variant& arrBOptions,
                                    Variant& arrCOptions, int16_t intSegmentationID, int32_t Cache,
                                    int32_t website_Cache, const std::string& strConnection, double BTotalPrice,
                                    double CTotalPrice, const std::string& strPriceField,
                                    bool booDisplayOptionalAdvantages, bool /*booDisplayOptionalAdvantagesLast*/) {
  CallScope call;  // the statements share sessions and a read snapshot
  return Instrumented(kKeyAdvantagesModule, "Function Compare", [&] {
    return CompareBody(strVehicles, strCategory, intLanguageID, strSpecs, strProject, strTargetCurrencies,
                       strOptionPriceField, arrBOptions, arrCOptions, intSegmentationID, Cache, website_Cache,
                       strConnection, BTotalPrice, CTotalPrice, strPriceField, booDisplayOptionalAdvantages);
  });
}

void KeyAdvantages::LoadUnlimitedText(ConnectorInterface& connector, int16_t intLanguageID,
                                      const std::string& strProject, const std::string& strConnection) {
  if (!unlimited_text_.empty()) return;
  RecordsetRef texts = connector.ExecuteQuery(keyadvantages_internal::UnlimitedTextStatement(intLanguageID),
                                              strProject, strConnection);
  if (texts && texts->RecordCount() > 0) {
    texts->MoveFirst();
    unlimited_text_ = vb::ToText(texts->Value("application_text"));
  }
  if (unlimited_text_.empty()) unlimited_text_ = "unlimited";
}

RecordsetRef KeyAdvantages::CompareBody(const std::string& strVehicles, const std::string& strCategory,
                                        int16_t intLanguageID, const std::string& strSpecs,
                                        const std::string& strProject, const std::string& strTargetCurrencies,
                                        const std::string& strOptionPriceField, Variant& arrBOptions,
                                        Variant& arrCOptions, int16_t intSegmentationID, int32_t Cache,
                                        int32_t website_Cache, const std::string& strConnection,
                                        double BTotalPrice, double CTotalPrice, std::string strPriceField,
                                        bool booDisplayOptionalAdvantages) {
  ConnectorRef connector = CreateConnector();

  // --- Preparation.
  const std::string decimal_separator = vb::Mid(vb::FormatGeneralNumber(11.0 / 10), 2, 1);
  if (strPriceField.empty()) strPriceField = strOptionPriceField;
  const std::vector<std::string> vehicles = vb::Split(strVehicles, ",", -1, vb::CompareMode::kText);
  // Only the first two vehicles are compared: options and total prices
  // exist for them alone; further ids of the list yield no rows. An absent
  // vehicle counts as "" so that a one-vehicle list still gives its key.
  auto vehicle = [&](size_t index) { return index < vehicles.size() ? vehicles[index] : std::string(); };

  int32_t option_count = arrBOptions.IsArray() ? vb::UBound(arrBOptions) : -1;
  if (option_count == -1 && arrCOptions.IsArray()) option_count = vb::UBound(arrCOptions);
  const bool with_options = option_count != -1;

  std::string options_key;
  if (with_options) {
    options_key = "options|" + vehicle(0);
    for (const Variant& option : OptionIds(arrBOptions)) options_key += "," + vb::CStr(option);
    options_key += "|" + vehicle(1);
    for (const Variant& option : OptionIds(arrCOptions)) options_key += "," + vb::CStr(option);
  }
  // The total prices and booDisplayOptionalAdvantagesLast do not enter the
  // key: a cached answer serves any later total prices.
  std::string key = "Compare" + strVehicles + strCategory + std::to_string(intLanguageID) + strSpecs + strProject +
                    strTargetCurrencies + options_key + std::to_string(intSegmentationID) + strPriceField +
                    strOptionPriceField;
  if (booDisplayOptionalAdvantages) key += "True";

  LoadUnlimitedText(*connector, intLanguageID, strProject, strConnection);

  if (Cache != 0) {
    if (RecordsetRef cached = connector->GetCachedRecordset(key, Cache, strConnection, strProject)) {
      VoteComplete();
      return cached;
    }
  }

  // --- Advantages, item condition and equipment records.
  RecordsetRef descriptions = getAdvantageDescriptions(strCategory, intLanguageID, strSpecs, strProject,
                                                       intSegmentationID, website_Cache, strConnection);
  // Without advantages the item condition stays a lone "(" (the
  // equipment query does not use it) and the answer is an empty result,
  // cached like any other.
  const bool has_descriptions = descriptions->RecordCount() > 0;
  std::string items;
  if (has_descriptions) {
    for (descriptions->MoveFirst(); !descriptions->IsEOF(); descriptions->MoveNext()) {
      items += " " + vb::ToText(descriptions->Value("sql"));
    }
    descriptions->MoveFirst();
  }
  items = "(" + vb::Mid(items, 6);
  RecordsetRef specs = GetKeyAdvantageSpecs(strVehicles, strCategory, intLanguageID, strSpecs, strProject, items,
                                            Variant(strOptionPriceField), intSegmentationID, Cache, strConnection);

  RecordsetRef result = NewResult(booDisplayOptionalAdvantages);

  // --- Per advantage, base vehicle against the competitor.
  if (vehicles.size() >= 2 && has_descriptions) {
    ComparisonSides sides;
    sides.base_vehicle = vehicle(0);
    sides.competitor_vehicle = vehicle(1);
    sides.decimal_separator = decimal_separator;
    sides.option_price_field = strOptionPriceField;
    sides.price_field = strPriceField;
    sides.base_total_price = BTotalPrice;
    sides.competitor_total_price = CTotalPrice;
    sides.display_optional = booDisplayOptionalAdvantages;
    AdvantageRules rules(*specs, sides);

    // Each advantage sets its own filter, which replaces the previous one
    // outright: clearing it in between would only rebuild (and re-sort) the
    // view of every record for nothing.
    for (; !descriptions->IsEOF(); descriptions->MoveNext()) {
      const AdvantageDefinition advantage = ReadDefinition(*descriptions);
      const std::string feature = advantage.FeatureFilter();
      std::string filter;
      if (!with_options) {
        filter = "(" + feature + " AND option_id=0)";
      } else {
        filter = "(option_id=0 " + std::string(" AND ") + feature + ") ";
        for (const Variant& option : OptionIds(arrBOptions)) {
          filter += " OR (vehicle_id=" + vehicle(0) + " AND option_id=" + vb::CStr(option) + " AND " + feature + ")";
        }
        for (const Variant& option : OptionIds(arrCOptions)) {
          filter += " OR (vehicle_id=" + vehicle(1) + " AND option_id=" + vb::CStr(option) + " AND " + feature + ")";
        }
      }
      specs->SetFilter(Variant(filter));
      result->AddNew();

      AdvantageOutcome outcome;
      if (specs->RecordCount() > 0) {
        result->SetValue(kRowId, descriptions->Value("row_id"));
        result->SetValue(kSchemaId, specs->Value("schema_id"));
        result->SetValue(kCategory, descriptions->Value("category"));
        outcome = rules.Decide(advantage, filter);
        if (!outcome.winner.IsEmpty()) result->SetValue(kWinner, outcome.winner);
        if (!outcome.option_id.IsEmpty()) result->SetValue(kOptionId, outcome.option_id);
        if (booDisplayOptionalAdvantages && advantage.rule == "@") {
          result->SetValue(kOptionalAdvantage, Variant(outcome.optional_advantage));
        }
      }

      if (outcome.HasWinner()) {
        const std::string description = vb::ToText(descriptions->Value("Description"));
        const int32_t schema_id = vb::CLng(result->Value(kSchemaId));
        std::string winner_value;
        switch (outcome.WinningSide()) {
          case AdvantageOutcome::Side::kBase:
            result->SetValue(kDescription,
                             Variant(FormatAdvantage(description, advantage.format, outcome.base.value,
                                                     outcome.base.translated, outcome.competitor.value, strProject,
                                                     outcome.competitor.translated, strTargetCurrencies,
                                                     strConnection, schema_id, intLanguageID)));
            winner_value = outcome.base.value;
            break;
          case AdvantageOutcome::Side::kCompetitor:
            result->SetValue(kDescription,
                             Variant(FormatAdvantage(description, advantage.format, outcome.competitor.value,
                                                     outcome.competitor.translated, outcome.base.value, strProject,
                                                     outcome.base.translated, strTargetCurrencies, strConnection,
                                                     schema_id, intLanguageID)));
            winner_value = outcome.competitor.value;
            break;
          case AdvantageOutcome::Side::kNone:
            break;
        }
        specs->SetFilter(Variant(CompetitorOptionFilter(advantage, vb::CStr(result->Value(kWinner)), winner_value)));
        if (specs->RecordCount() > 0) {
          specs->SetSort(strOptionPriceField);
          result->SetValue(kOptionOnCompetitor, specs->Value("option_id"));
        } else {
          result->SetValue(kOptionOnCompetitor, Variant(int32_t{0}));
        }
      } else {
        result->Delete(1);
      }
    }
  }

  // --- Finish. Rows are committed so that the cached text and the returned
  // recordset hold plain rows, and both start on the first row.
  result->UpdateBatch(3);
  if (result->RecordCount() > 0) result->MoveFirst();
  if (Cache != 0) {
    keyadvantages_internal::CacheResult(*connector, *result, key, Cache, strConnection, strProject);
  }
  VoteComplete();
  return result;
}

}  // namespace trelix
