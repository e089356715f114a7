#pragma once
// KeyAdvantages ("trelix_eb.KeyAdvantages"): in which of the key advantages
// configured for a category a base vehicle beats a competitor, or is beaten
// by it, written as sentences; the two queries that comparison rests on; and
// currency formatting and conversion.
//
// Members follow the automation interface _KeyAdvantages in slot order. Each
// public method except version and FormatAdvantage is instrumented: an
// unexpected error is written to the procedure error log and raised again
// with its location added (module "KeyAdvantages"). FormatAdvantage never
// raises: it votes abort and returns "".
//
// The only state kept between calls is the translated "unlimited" text,
// loaded by the object's first Compare. Apartment-threaded: one call at a
// time per object.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/object.h"
#include "common/recordset.h"
#include "common/variant.h"
#include "frame/component_classes.h"  // kKeyAdvantagesProgId
#include "frame/object_context.h"

namespace trelix {

class ConnectorInterface;
namespace keyadvantages_internal {
class AdvantageRules;
}

inline constexpr const char* kKeyAdvantagesModule = "KeyAdvantages";

class KeyAdvantages : public Object, public ObjectControl {
 public:
  KeyAdvantages() = default;
  KeyAdvantages(const KeyAdvantages&) = delete;
  KeyAdvantages& operator=(const KeyAdvantages&) = delete;

  std::string TypeName() const override { return "KeyAdvantages"; }
  // Late binding by member name, with the interface's optional parameters
  // and defaults.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // 1. "major minor revision" of the component.
  std::string version();

  // 2. The advantage sentence: "=?" winner value, "=!" loser value, "=#"
  // their difference, formatted by strFormat. "" on any failure.
  std::string FormatAdvantage(const std::string& strDescription, const std::string& strFormat,
                              const std::string& strWinnerValue, const std::string& strWinnerTranslatedValue,
                              const std::string& strLooserValue, const std::string& strProject,
                              const std::string& strLooserTranslatedValue, const std::string& strTargetCurrencies,
                              const std::string& strConnection, int32_t lngSchemaID = 0, int16_t intLanguageID = 0);

  // 3. One row per advantage of strCategory that the base vehicle (first id
  // of strVehicles) or the competitor (second id) wins. The option arrays
  // are either both non-arrays (no options) or both arrays.
  RecordsetRef Compare(const std::string& strVehicles, const std::string& strCategory, int16_t intLanguageID,
                       const std::string& strSpecs, const std::string& strProject,
                       const std::string& strTargetCurrencies, const std::string& strOptionPriceField,
                       Variant& arrBOptions, Variant& arrCOptions, int16_t intSegmentationID, int32_t Cache,
                       int32_t website_Cache, const std::string& strConnection, double BTotalPrice,
                       double CTotalPrice, const std::string& strPriceField = "",
                       bool booDisplayOptionalAdvantages = false, bool booDisplayOptionalAdvantagesLast = true);

  // 4. Every equipment row of the vehicles, with parent schema, option name
  // and price, and the value's text; indexed for in-memory lookups.
  // strCategory, strProject, strItems, intSegmentationID and Cache do not
  // take part.
  RecordsetRef GetKeyAdvantageSpecs(const std::string& strVehicles, const std::string& strCategory,
                                    int16_t intLanguageID, const std::string& strSpecs, const std::string& strProject,
                                    const std::string& strItems, const Variant& strPriceField,
                                    int16_t intSegmentationID, int32_t Cache, const std::string& strConnection);

  // 5. The advantage definitions of a category ("" for all), cached under
  // "getAdvantageDescriptions" + inputs when Cache is not 0.
  RecordsetRef getAdvantageDescriptions(const std::string& strCategory, int16_t intLanguageID,
                                        const std::string& strSpecs, const std::string& strProject,
                                        int16_t intSegment, int32_t Cache, const std::string& strConnection);

  // 6. dblPrice (in the first currency of strTargetCurrencies) shown in
  // every listed currency: "first (second third ...)".
  std::string Format_Currency(const std::string& strTargetCurrencies, double dblPrice, const std::string& strProject,
                              const std::string& strConnection, int16_t intLanguageID = 0);

  // 7. dblPrice converted from strInitialCurrency to strTargetCurrency, as
  // plain number text. Error 1000 "Conversion" for an unknown code.
  std::string Convert_Currency(const std::string& strTargetCurrency, double dblPrice,
                               const std::string& strInitialCurrency, const std::string& strProject,
                               const std::string& strConnection);

  // ObjectControl: nothing to set up or tear down, never pooled.
  void Activate() override {}
  void Deactivate() override {}
  bool CanBePooled() override { return false; }

  // The translated "unlimited" word printed for sentinel values; empty until
  // the first Compare.
  const std::string& UnlimitedText() const { return unlimited_text_; }

 private:
  friend class keyadvantages_internal::AdvantageRules;

  // The raw and translated value of the current equipment record, both
  // empty at the end of the records.
  static void SetValue(Recordset& rs, std::string& strValue, std::string& strTranslatedValue);

  RecordsetRef CompareBody(const std::string& strVehicles, const std::string& strCategory, int16_t intLanguageID,
                           const std::string& strSpecs, const std::string& strProject,
                           const std::string& strTargetCurrencies, const std::string& strOptionPriceField,
                           Variant& arrBOptions, Variant& arrCOptions, int16_t intSegmentationID, int32_t Cache,
                           int32_t website_Cache, const std::string& strConnection, double BTotalPrice,
                           double CTotalPrice, std::string strPriceField, bool booDisplayOptionalAdvantages);
  std::string FormatAdvantageBody(const std::string& strDescription, const std::string& strFormat,
                                  const std::string& strWinnerValue, const std::string& strWinnerTranslatedValue,
                                  const std::string& strLooserValue, const std::string& strProject,
                                  const std::string& strLooserTranslatedValue,
                                  const std::string& strTargetCurrencies, const std::string& strConnection,
                                  int32_t lngSchemaID, int16_t intLanguageID);
  // Loads unlimited_text_ once per object.
  void LoadUnlimitedText(ConnectorInterface& connector, int16_t intLanguageID, const std::string& strProject,
                         const std::string& strConnection);

  std::string unlimited_text_;
};

// Registers the class under its ProgID so hosts can create it.
void RegisterKeyAdvantagesClass();

}  // namespace trelix
