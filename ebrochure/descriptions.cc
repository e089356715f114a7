// Categories.GetDescriptions: the e-brochure's line texts of one category
// (or of all) in one language, optionally in a segmentation's order, served
// from and stored into the cache of the data-access library.

#include <string>

#include "common/Utilitys.h"
#include "common/call_scope.h"
#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_values.h"

namespace trelix {
namespace {

std::string DescriptionsQuery(const std::string& category, int16_t language_id, int16_t segmentation_id) {
  const std::string language = std::to_string(language_id);
  std::string sql = "SELECT eb.row_id , ebt.e_brochure_text as Description, category ";
  if (category.empty()) sql += ", eb_order_id ";
  sql += ", Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading ";
  if (segmentation_id != 0) {
    sql += std::string(" FROM e_brochure eb INNER JOIN ") +
           " eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN " +
           " e_brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = " + language;
    if (!category.empty()) {
      sql += " WHERE     (eb.category = '" + category + "') AND (sg.segmentation_id =" +
             std::to_string(segmentation_id) + ")" +
             " GROUP BY eb.row_id , ebt.e_brochure_text, category ORDER BY sg.segment_order_id, sg.e_brochure_row_id";
    } else {
      // All categories with a segmentation: no WHERE, so the segmentation
      // only orders the lines.
      sql += " INNER JOIN  categories on category = category_name GROUP BY eb.row_id , ebt.e_brochure_text, "
             "category, eb_order_id ORDER BY sg.segment_order_id, sg.e_brochure_row_id";
    }
  } else {
    sql += std::string(" FROM e_brochure eb INNER JOIN ") +
           " e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = " + language;
    if (!category.empty()) {
      sql += " WHERE     (eb.category = '" + category + "') " +
             " GROUP BY eb.row_id , ebt.e_brochure_text, category ORDER BY row_id";
    } else {
      // The language id runs straight into INNER JOIN; the dialect layer
      // separates the two tokens.
      sql += "INNER JOIN  categories on category = category_name GROUP BY eb.row_id , ebt.e_brochure_text, "
             "category, eb_order_id ORDER BY eb_order_id";
    }
  }
  return sql;
}

}  // namespace

RecordsetRef Categories::GetDescriptions(const std::string& strCategory, int16_t intLanguageID,
                                         const std::string& strSpecs, const std::string& strProject,
                                         int16_t intSegmentationID, int32_t Cache, const std::string& strConnection) {
  CallScope call;  // the statements share sessions and a read snapshot
  return Instrumented(ebrochure::kCategoriesModule, "Function GetDescriptions", [&]() -> RecordsetRef {
    const std::string key = "GetDescriptions" + strCategory + std::to_string(intLanguageID) +
                            std::to_string(intSegmentationID) + strSpecs + strProject;
    if (Cache != 0) {
      RecordsetRef cached = CreateConnector()->GetCachedRecordset(key, Cache, strConnection, strProject);
      if (cached) {
        VoteComplete();
        return cached;
      }
    }
    RecordsetRef result = CreateConnector()->ExecuteQuery(
        DescriptionsQuery(strCategory, intLanguageID, intSegmentationID), strProject, strConnection);
    if (!result) RaiseVbError(kErrObjectVariableNotSet);
    Save_Cache(*result, Cache, key, strProject, strConnection);
    VoteComplete();
    return result;
  });
}

}  // namespace trelix
