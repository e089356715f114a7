// Categories.StandardDescriptions: the standard feature texts of several
// vehicles side by side, as a two-level shaped recordset (categories, then
// vehicles, then the texts) that the page walks as it is.

#include <string>

#include "common/call_scope.h"
#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "common/object_factory.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_values.h"

namespace trelix {
namespace {

std::string StandardContentQuery(const std::string& category, int16_t language_id, const Variant& vehicles,
                                 const std::string& specs, int16_t top_n, int16_t start_row_id) {
  const std::string language = std::to_string(language_id);
  std::string sql = top_n > 0 ? "SELECT TOP " + std::to_string(top_n) : std::string("SELECT ");
  sql += " vehicle_id, standard_content.category, ";
  sql += specs + "..standard_text.content, application_texts.application_text AS category_name, "
                 "categories.sc_order_id ";
  sql += " FROM standard_content INNER JOIN ";
  sql += specs + "..standard_text ON standard_content.schema_id = " + specs + "..standard_text.schema_id AND ";
  sql += specs + "..standard_text.language_id = " + language + " INNER JOIN ";
  sql += "application_texts ON standard_content.category = application_texts.text_id AND "
         "application_texts.language_id = " +
         language;
  sql += " INNER JOIN categories ON standard_content.category = categories.category_name";
  sql += " WHERE (";
  // UBound of anything but an array is a type mismatch.
  const int32_t upper = vb::UBound(vehicles);
  for (int32_t index = 0; index <= upper; ++index) {
    sql += index == 0 ? " vehicle_id=" : " OR vehicle_id=";
    sql += vb::ToText(ebrochure::ArrayElement(*vehicles.array(), index));
  }
  sql += ")";
  if (!category.empty()) sql += " AND category='" + category + "'";
  if (start_row_id > 0) sql += "AND row_id>" + std::to_string(start_row_id);
  sql += " ORDER BY categories.sc_order_id, standard_content.order_id, vehicle_id";
  return sql;
}

}  // namespace

RecordsetRef Categories::StandardDescriptions(const std::string& strCategory, int16_t intLanguageID,
                                              Variant& arrVehicles, const std::string& strSpecs,
                                              const std::string& strProject, const std::string& strConnection,
                                              int16_t intTopN, int16_t IntStartRowID,
                                              int16_t /*intSegmentationID: accepted, not used*/) {
  CallScope call;  // the statements share sessions and a read snapshot
  return Instrumented(ebrochure::kCategoriesModule, "Function StandardDescriptions", [&]() -> RecordsetRef {
    const std::string command =
        "SHAPE (SHAPE {" +
        StandardContentQuery(strCategory, intLanguageID, arrVehicles, strSpecs, intTopN, IntStartRowID) +
        "} as StandardContent COMPUTE StandardContent BY vehicle_id, sc_order_id, category, category_name) as "
        "vehicles compute vehicles by sc_order_id, category, category_name";
    ConnectorRef connector = CreateObjectAs<ConnectorInterface>("trelix_base.connector");
    return connector->ExecuteShape(command, strProject, strConnection);
  });
}

}  // namespace trelix
