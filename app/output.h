#pragma once
// Rendering of operation results and errors in the three output forms of the
// CLI and the service: a readable table, JSON, and the recordset XML
// persistence text that legacy pages consumed.

#include <string>

#include "app/operations.h"
#include "common/com_error.h"

namespace trelix::app {

enum class OutputFormat : uint8_t { kTable, kJson, kXml };

// Parses "table", "json" or "xml"; false for anything else.
bool ParseOutputFormat(const std::string& text, OutputFormat* format);

// The result in the requested form. A text result is a JSON string in JSON
// form and the plain text otherwise. Ends with a newline in table form.
std::string RenderResult(OperationResult& result, OutputFormat format);

// {"error":{"number":N,"source":"…","description":"…"}}
std::string ErrorJson(const ComError& error);
// trelix_eb: error NUMBER (SOURCE): DESCRIPTION
std::string ErrorLine(const ComError& error);

}  // namespace trelix::app
