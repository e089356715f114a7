#include "app/output.h"

#include <nlohmann/json.hpp>

#include "common/recordset_json.h"

namespace trelix::app {

bool ParseOutputFormat(const std::string& text, OutputFormat* format) {
  if (text == "table") *format = OutputFormat::kTable;
  else if (text == "json") *format = OutputFormat::kJson;
  else if (text == "xml") *format = OutputFormat::kXml;
  else return false;
  return true;
}

std::string RenderResult(OperationResult& result, OutputFormat format) {
  switch (result.kind) {
    case OperationResult::Kind::kRecordset:
      if (format == OutputFormat::kJson) return RecordsetToJson(*result.recordset) + "\n";
      if (format == OutputFormat::kXml) return result.recordset->SaveXml();
      return RecordsetToTable(*result.recordset);
    case OperationResult::Kind::kJson:
      if (format == OutputFormat::kTable && !result.table_text.empty()) return result.table_text;
      return result.text + "\n";
    case OperationResult::Kind::kText:
      if (format == OutputFormat::kJson) return nlohmann::json(result.text).dump() + "\n";
      return result.text + "\n";
  }
  return {};
}

std::string ErrorJson(const ComError& error) {
  nlohmann::json body = {{"error",
                          {{"number", error.number()}, {"source", error.source()}, {"description", error.description()}}}};
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ErrorLine(const ComError& error) {
  return "trelix_eb: error " + std::to_string(error.number()) + " (" + error.source() + "): " + error.description();
}

}  // namespace trelix::app
