// Categories.BuildWhereClause: the condition that selects a vehicle's
// equipment rows for exactly the schemas (and locations) of a set of sheet
// lines. GetSpecs puts it after " where " in its equipment query,
// whose equipment table has the alias eq.

#include <string>

#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_values.h"

namespace trelix {

std::string Categories::BuildWhereClause(Recordset& rs, double dblVehicleID) {
  return Instrumented(ebrochure::kCategoriesModule, "Function BuildWhereClause", [&]() -> std::string {
    // A recordset without rows has no first row: that is this method's error.
    rs.MoveFirst();
    const int schema_field = rs.FieldIndex("con_schema_id");
    const int location_field = rs.FieldIndex("Location");
    std::string terms;
    while (!rs.IsEOF()) {
      const Variant& schema_id = rs.Value(schema_field);
      if (ebrochure::IsAboveZero(schema_id)) {
        // Appended piece by piece: a sheet has a thousand lines.
        terms += terms.empty() ? " ((eq.Schema_id=" : " OR ((eq.Schema_id=";
        terms += vb::ToText(schema_id);
        terms += ')';
        const Variant& location = rs.Value(location_field);
        if (ebrochure::IsAboveEmptyText(location)) {
          const std::string text = vb::ToText(location);
          if (text != "-") {
            terms += " AND (eq.location='";
            terms += text;
            terms += "')";
          }
        }
        terms += ')';
      }
      rs.MoveNext();
    }
    return " (eq.vehicle_id=" + ebrochure::NumberText(dblVehicleID) + ") AND (" + terms + ")";
  });
}

}  // namespace trelix
