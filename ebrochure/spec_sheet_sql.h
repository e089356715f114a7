#pragma once
// The statements of GetSpecs, built by concatenating fixed fragments
// and values. Values go in as they are: numbers as decimal text, texts
// between single quotes without escaping. The fragments keep their spacing
// exactly (double blanks, CR LF TAB inside the equipment query), because
// traces, caches and the dialect layer see these texts as they are.

#include <cstdint>
#include <string>

namespace trelix::ebrochure {

// The sheet lines of a category (all categories when empty), in the
// segmentation's subset and order when `segmentation_id` is not 0.
std::string SheetQuery(const std::string& category, int16_t language_id, int16_t segmentation_id);

// The translation of the application text "unlimited".
std::string UnlimitedTextQuery(int16_t language_id);

// The vehicle's equipment rows for the sheet's schemas, with the value text,
// the option price column `price_field` and the parent's standard text.
std::string EquipmentQuery(const std::string& where_clause, int16_t language_id, const std::string& price_field);

// The vehicle's standard values of the parent schemas of the sheet's schemas.
std::string ParentQuery(const std::string& vehicle_text, const std::string& project);

}  // namespace trelix::ebrochure
