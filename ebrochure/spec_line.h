#pragma once
// The resolution of one spec sheet line: which of the vehicle's equipment
// rows answers the line, whether a chosen option changes the answer, and how
// the answer is printed. GetSpecs runs it once per sheet line, in sheet
// order, over one shared set of equipment and parent rows.
//
// Each line sets its own filters on the equipment and parent rows, so no
// line depends on the previous line's filter or position. The sort of the
// equipment rows, however, stays as the last line left it (by option id
// descending, or by price ascending after an availability search) until a
// line sets it again; with several rows of one option for a schema it
// decides which of them a later line finds first.

#include <cstdint>
#include <string>

#include "common/recordset.h"
#include "common/variant.h"

namespace trelix::ebrochure {

// What one spec sheet call shares with all of its lines.
struct SpecSheetContext {
  RecordsetRef brochure;   // the sheet lines; Resolve reads the current one
  RecordsetRef equipment;  // the vehicle's remaining equipment rows
  RecordsetRef parents;    // standard values of the parent schemas
  Variant options;         // the chosen option ids, or a non-array for none
  int32_t option_upper = -1;
  std::string price_field;
  int16_t language_id = 0;
  std::string decimal_separator;  // of the process's regional settings
  std::string unlimited_text;
};

// The ten values of one output row.
struct SpecLine {
  int32_t row_id = 0;
  std::string description;
  int32_t schema_id = 0;
  int16_t option_id = 0;
  int16_t record_id = 0;
  Variant location;
  std::string data_value;
  std::string standard_text;
  Variant value_sought;
  Variant format;
};

class SpecLineResolver {
 public:
  // REQUIRES: the context's recordsets are open and stay so while in use.
  explicit SpecLineResolver(SpecSheetContext context);

  // The output row for the brochure's current row. Raises ComError when a
  // value cannot be read or converted (a "#" value that is not a number, an
  // option or record id above 32767, a missing field).
  SpecLine Resolve();

 private:
  // Field positions, looked up once: the per-line work reads by position.
  struct BrochureFields {
    int row_id, schema_id, location, format, value_sought, custom_text, text;
  };
  struct EquipmentFields {
    int option_id, record_id, data_value, full_text, content;
  };

  SpecSheetContext context_;
  Variant brochure_variant_;  // the brochure rows as addFilter takes them
  BrochureFields brochure_fields_;
  EquipmentFields equipment_fields_;
  int parent_data_value_field_;
};

// The printed form of an equipment value under a "#" format: the
// "unlimited" text for the sentinel values of the unlimited schemas,
// otherwise the value (read with a point as decimal separator) optionally
// passed through the format's formula after "=", then printed by the
// format's second character: a digit (that many decimals in the language's
// number format), "D" (yyyymmdd as yyyy-mm-dd, 99991231 unchanged), "C"
// ("CUR|" prefix) or anything else (0 decimals). Raises 13 when the value
// is not a number.
std::string FormatSpecNumber(const Variant& raw_value, int32_t schema_id, const std::string& con_format,
                             int16_t language_id, const std::string& decimal_separator,
                             const std::string& unlimited_text);

}  // namespace trelix::ebrochure
