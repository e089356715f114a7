#include "ebrochure/spec_sheet_sql.h"

namespace trelix::ebrochure {
namespace {

constexpr const char* kSheetSelect =
    "SELECT eb.row_id, eb.category, "
    " eb.order_id,  "
    " eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, eb.location,  "
    " eb.con_format, ct.application_text as con_customtext ";

constexpr const char* kSegmentOrder =
    " ORDER BY segmentation.segment_order_id, segmentation.e_brochure_row_id, eb.order_id ";

// The FROM part of the segmented variants, up to the language id.
std::string SegmentedFrom(int16_t language_id) {
  return std::string(
             "FROM e_brochure eb INNER JOIN "
             " segmentation ON eb.row_id = segmentation.e_brochure_row_id LEFT OUTER JOIN "
             " application_texts ct ON eb.con_customtextid = ct.text_id AND ct.language_id = ") +
         std::to_string(language_id);
}

// The FROM part of the unsegmented variants, up to the language id.
std::string PlainFrom(int16_t language_id) {
  return std::string(
             " FROM e_brochure eb LEFT OUTER JOIN  "
             "application_texts ct ON eb.con_customtextid = ct.text_id  "
             " AND ct.language_id = ") +
         std::to_string(language_id);
}

}  // namespace

std::string SheetQuery(const std::string& category, int16_t language_id, int16_t segmentation_id) {
  std::string sql = kSheetSelect;
  const std::string segment = std::to_string(segmentation_id);
  if (segmentation_id != 0 && !category.empty()) {
    sql += SegmentedFrom(language_id) + " WHERE     (eb.category = '" + category +
           "') AND (eb.con_schema_id > 0) " + " AND (segmentation.segmentation_id =" + segment + ")" +
           kSegmentOrder;
  } else if (segmentation_id != 0) {
    sql += SegmentedFrom(language_id) + " INNER JOIN  categories on category = category_name " +
           " WHERE (eb.con_schema_id > 0) " + " AND (segmentation.segmentation_id =" + segment + ")" +
           kSegmentOrder;
  } else if (!category.empty()) {
    sql += PlainFrom(language_id) + " where  Category='" + category +
           "' AND  eb.con_schema_id > 0 ORDER BY eb.row_id, eb.order_id";
  } else {
    sql += PlainFrom(language_id) +
           " INNER JOIN  categories on category = category_name where eb.con_schema_id > 0 ORDER BY eb_order_id, "
           "eb.row_id, eb.order_id";
  }
  return sql;
}

std::string UnlimitedTextQuery(int16_t language_id) {
  return std::string("SELECT application_text FROM application_texts ") + "WHERE text_id='" + "unlimited" +
         "' and language_id=" + std::to_string(language_id);
}

std::string EquipmentQuery(const std::string& where_clause, int16_t language_id, const std::string& price_field) {
  const std::string language = std::to_string(language_id);
  return std::string("SELECT eq.option_id, eq.record_id, eq.schema_id, eq.location, ") + "\r\n\t" +
         "eq.data_value, " + "\r\n\t" + "eq.condition, scht.full_text, " + "\r\n\t" + "ol." + price_field +
         ", st.content" + " from schema_text scht RIGHT OUTER JOIN " + " schema_info LEFT OUTER JOIN " +
         " equipment eq ON schema_info.schema_id = eq.schema_id LEFT OUTER JOIN  " +
         " option_list ol ON eq.vehicle_id = ol.vehicle_id AND eq.option_id = ol.option_id ON scht.schema_id = "
         "eq.schema_id AND " +
         " scht.data_value = eq.data_value And scht.language_id = " + language +
         " left outer join standard_text st on st.vehicle_id = eq.vehicle_id and schema_info.parent_schema_id = "
         "st.schema_id And st.language_id = " +
         language + " where " + where_clause + " order by eq.schema_id, " + price_field + " ASC";
}

std::string ParentQuery(const std::string& vehicle_text, const std::string& project) {
  return "SELECT DISTINCT eq.schema_id AS parent, schema_info.schema_id, eq.data_value, eq.location, " + project +
         "..e_brochure.con_schema_id " + "FROM schema_info INNER JOIN " +
         " equipment eq ON schema_info.parent_schema_id = eq.schema_id INNER JOIN " + project +
         "..e_brochure ON schema_info.schema_id = " + project + "..e_brochure.con_schema_id " +
         " Where (eq.vehicle_id = " + vehicle_text + ") And (eq.option_id = 0) " + " ORDER BY " + project +
         "..e_brochure.con_schema_id";
}

}  // namespace trelix::ebrochure
