#pragma once
// Categories ("trelix_eb.Categories"): the e-brochure of the web site.
//
//   GetSpecs              a vehicle's spec sheet, one row per sheet line
//   GetDescriptions       the sheet's line texts and column headings
//   StandardDescriptions  the standard feature texts of several vehicles,
//                         grouped by category and vehicle (a shaped recordset)
//   BuildWhereClause      the equipment condition for a set of sheet lines
//
// Every method but `version` is instrumented: an error is written to the
// procedure error log (module "Categories") and raised again with its
// location; nothing partial is returned and nothing is cached. GetSpecs and
// GetDescriptions cast SetComplete on the object context (when there is one)
// when they succeed, also when they answer from the cache.
//
// An object keeps one thing between calls: the translated "unlimited" text,
// read on its first spec sheet and never refreshed. One call at a time per
// object (apartment model); objects share nothing but the caches behind the
// connector.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/object.h"
#include "common/recordset.h"
#include "common/variant.h"
#include "frame/object_context.h"

namespace trelix {

class Categories : public Object, public ObjectControl {
 public:
  std::string TypeName() const override { return "Categories"; }

  // Late binding by name; members in slot order: version,
  // StandardDescriptions, GetSpecs, GetDescriptions, BuildWhereClause.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // "major minor revision" of the component, e.g. "2005 2 8".
  std::string version();

  // Standard feature texts of `arrVehicles` (elements 0 to the upper bound,
  // error 9 when the array does not start at 0) in one language, shaped as
  // categories -> vehicles -> texts. `intTopN` > 0 limits the rows before
  // grouping, `IntStartRowID` > 0 keeps rows above it; the segmentation is
  // accepted and not used. Casts no vote.
  RecordsetRef StandardDescriptions(const std::string& strCategory, int16_t intLanguageID, Variant& arrVehicles,
                                    const std::string& strSpecs, const std::string& strProject,
                                    const std::string& strConnection, int16_t intTopN = 0,
                                    int16_t IntStartRowID = 0, int16_t intSegmentationID = 0);

  // The e-brochure sheet of `dblVehicleID` for the lines of `strCategory` (all
  // categories when empty), optionally in a segmentation's subset and order.
  // `arrOptions` holds the chosen option ids (anything but an array: none);
  // it is not changed. `Cache` 0: no caching. The result has the fields
  // row_id, description, schema_id, option_id, record_id, location,
  // data_value, standard_text, value_sought, format.
  RecordsetRef GetSpecs(const std::string& strCategory, int16_t intLanguageID, double dblVehicleID,
                        const std::string& strSpecs, const std::string& strProject, const std::string& strPriceField,
                        Variant& arrOptions, int16_t intSegmentationID, int32_t Cache,
                        const std::string& strConnection);

  // The sheet's line texts in one language: row_id, Description, category,
  // eb_order_id (only for all categories), column_heading.
  RecordsetRef GetDescriptions(const std::string& strCategory, int16_t intLanguageID, const std::string& strSpecs,
                               const std::string& strProject, int16_t intSegmentationID = 0, int32_t Cache = 0,
                               const std::string& strConnection = "");

  // " (eq.vehicle_id=V) AND ( <one OR-term per row with con_schema_id > 0>)".
  // Moves `rs` to its first row and leaves it at its end; an empty `rs`
  // fails (no first row).
  std::string BuildWhereClause(Recordset& rs, double dblVehicleID);

  // ObjectControl: the class is not pooled and needs no activation.
  void Activate() override {}
  void Deactivate() override {}
  bool CanBePooled() override { return false; }

  // The translated "unlimited" text; empty until the first spec sheet.
  const std::string& UnlimitedText() const { return unlimited_text_; }

 private:
  std::string unlimited_text_;
};

// Registers the class under its ProgID "trelix_eb.Categories" so that hosts
// can create it.
void RegisterCategoriesClass();

}  // namespace trelix
