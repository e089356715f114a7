// The two queries the comparison rests on: the vehicles' equipment rows
// and the advantage definitions of a category.

#include <string>

#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantage_statements.h"
#include "keyadvantages/key_advantages.h"
#include "keyadvantages/result_cache.h"

namespace trelix {
namespace keyadvantages_internal {

namespace {

// The select list shared by both description statements; the database
// computes the equipment condition ("SQL") of each advantage.
constexpr const char* kDescriptionSelectList =
    "ka.row_id , ka_text.key_advantage_text as Description , "
    " SQL='OR (eq.schema_id=' + cast(con_schema_id as varchar(7)) + case when con_schema_id_val != '' AND "
    "con_schema_id_val != '-'  then ' AND eq.data_value=''' + cast(con_schema_id_val as varchar(255)) + '''' "
    "else '' end + case  when location != '-' then ' AND Location=''' + cast(location as varchar(10)) + '''' "
    "else '' end + ')',"
    " con_schema_id as schema_id, con_schema_id_val as schema_id_value, location, con_format as format, "
    "advantage_rule, category ";

std::string CategoryCondition(const std::string& category) {
  if (category.empty()) return " WHERE  Advantage_rule is not null ";
  return " WHERE  Advantage_rule is not null and (ka.Category = '" + category + "') ";
}

}  // namespace

std::string UnlimitedTextStatement(int16_t language_id) {
  return std::string("SELECT application_text FROM application_texts ") + "WHERE text_id='" + "unlimited" +
         "' and language_id=" + std::to_string(language_id);
}

std::string KeyAdvantageSpecsStatement(const std::string& vehicles, int16_t language_id,
                                       const std::string& price_field) {
  std::string condition;
  for (const std::string& id : vb::Split(vehicles, ",", -1, vb::CompareMode::kText)) {
    condition += condition.empty() ? "(eq.vehicle_id=" + id : " OR eq.vehicle_id=" + id;
  }
  condition += ")";
  return std::string("SELECT eq.vehicle_id, eq.option_id, eq.record_id, eq.schema_id, si.parent_schema_id, ") +
         "eq.location, eq.data_value, " + "eq.condition, scht.full_text, ol.Manuf_name, " + "ol." + price_field +
         " FROM equipment eq INNER JOIN " + "schema_info si on eq.schema_id = si.schema_id LEFT OUTER JOIN " +
         "option_list ol ON eq.vehicle_id = ol.vehicle_id AND " + "eq.option_id = ol.option_id LEFT OUTER JOIN " +
         "schema_text scht ON eq.schema_id = scht.schema_id AND " +
         "eq.data_value = scht.data_value AND scht.language_id =  " + std::to_string(language_id) + " where " +
         condition + " order by eq.schema_id, eq.option_id desc";
}

std::string AdvantageDescriptionsStatement(const std::string& category, int16_t language_id, int16_t segment) {
  const std::string language = std::to_string(language_id);
  if (segment == 0) {
    return std::string("SELECT DISTINCT ca.ka_order_id, ") + kDescriptionSelectList + " FROM key_advantages ka " +
           " Inner JOIN " + " categories ca on ka.category=ca.category_name " + " Inner JOIN " +
           " key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = " +
           language + CategoryCondition(category) + " ORDER BY ca.ka_order_id, ka.row_id";
  }
  // A segment keeps only its own advantages, in the segment's order. Like the
  // unsegmented statement it drops advantages without a rule: the comparison
  // cannot decide them. No DISTINCT: the order columns are not selected.
  return std::string("SELECT ") + kDescriptionSelectList + " FROM key_advantages ka " + " Inner JOIN " +
         " ka_segmentation sg ON ka.row_id = sg.key_advantage_row_id " + " Inner JOIN " +
         " key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = " +
         language + CategoryCondition(category) + "AND (sg.segmentation_id = " + std::to_string(segment) + ")" +
         " ORDER BY sg.segment_order_id, sg.key_advantage_row_id";
}

std::string AdvantageDescriptionsCacheKey(const std::string& category, int16_t language_id, int16_t segment,
                                          const std::string& specs, const std::string& project) {
  return "getAdvantageDescriptions" + category + std::to_string(language_id) + std::to_string(segment) + specs +
         project;
}

}  // namespace keyadvantages_internal

using keyadvantages_internal::AdvantageDescriptionsCacheKey;
using keyadvantages_internal::AdvantageDescriptionsStatement;
using keyadvantages_internal::KeyAdvantageSpecsStatement;

RecordsetRef KeyAdvantages::GetKeyAdvantageSpecs(const std::string& strVehicles, const std::string& /*strCategory*/,
                                                 int16_t intLanguageID, const std::string& strSpecs,
                                                 const std::string& /*strProject*/, const std::string& /*strItems*/,
                                                 const Variant& strPriceField, int16_t /*intSegmentationID*/,
                                                 int32_t /*Cache*/, const std::string& strConnection) {
  return Instrumented(kKeyAdvantagesModule, "Function GetKeyAdvantageSpecs", [&] {
    const std::string statement = KeyAdvantageSpecsStatement(strVehicles, intLanguageID, vb::CStr(strPriceField));
    ConnectorRef connector = CreateConnector();
    RecordsetRef specs = connector->ExecuteQuery(statement, strSpecs, strConnection);
    if (!specs) RaiseVbError(kErrObjectVariableNotSet);
    // The comparison filters and searches these five columns per advantage.
    for (const char* field : {"schema_id", "option_id", "vehicle_id", "location", "data_value"}) {
      specs->SetOptimize(field, true);
    }
    VoteComplete();
    return specs;
  });
}

RecordsetRef KeyAdvantages::getAdvantageDescriptions(const std::string& strCategory, int16_t intLanguageID,
                                                     const std::string& strSpecs, const std::string& strProject,
                                                     int16_t intSegment, int32_t Cache,
                                                     const std::string& strConnection) {
  return Instrumented(kKeyAdvantagesModule, "Function getAdvantageDescriptions", [&] {
    ConnectorRef connector = CreateConnector();
    const std::string key = AdvantageDescriptionsCacheKey(strCategory, intLanguageID, intSegment, strSpecs, strProject);
    if (Cache != 0) {
      if (RecordsetRef cached = connector->GetCachedRecordset(key, Cache, strConnection, strProject)) {
        VoteComplete();
        return cached;
      }
    }
    RecordsetRef descriptions = connector->ExecuteQuery(
        AdvantageDescriptionsStatement(strCategory, intLanguageID, intSegment), strProject, strConnection);
    if (!descriptions) RaiseVbError(kErrObjectVariableNotSet);
    if (Cache != 0) {
      keyadvantages_internal::CacheResult(*connector, *descriptions, key, Cache, strConnection, strProject);
    }
    VoteComplete();
    return descriptions;
  });
}

}  // namespace trelix
