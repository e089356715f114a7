// The recordset helpers of GetSpecs (addFilter, GetAvailAbility,
// FormatDescByLanguageID) and the cache saving (Save_Cache) of the module
// Utilitys. Every procedure here is instrumented: an error leaves through the
// procedure error log with the module name and the procedure's label.

#include <unicode/utf8.h>

#include <string>

#include "common/Utilitys.h"
#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/modVelloxLITE.h"
#include "common/object_factory.h"
#include "common/stream.h"
#include "common/vb_runtime.h"

namespace trelix {
namespace {

// VB's `value > ""`: a Null is never above the empty text; anything else is
// compared as its text, so only an empty text is not above it.
bool IsAboveEmptyText(const Variant& value) { return !value.IsNull() && !vb::ToText(value).empty(); }

// " AND Location='<location>'", or nothing for "-", an empty or a Null location.
std::string LocationPart(const Variant& location) {
  if (location.IsNull()) return {};
  std::string text = vb::ToText(location);
  if (text.empty() || text == "-") return {};
  return " AND Location='" + text + "'";
}

// arr(index) with VB's bounds check: error 9 outside the bounds.
const Variant& ArrayElement(const SafeArray& array, int32_t index) {
  if (index < array.lower_bound || index > array.UBound()) RaiseVbError(kErrSubscriptOutOfRange);
  return array.items[static_cast<size_t>(index - array.lower_bound)];
}

}  // namespace

std::string addFilter(const Variant& rsBrochure, const Variant& arrOptions) {
  return Instrumented(kUtilitysModule, "Function addFilter", [&]() -> std::string {
    auto brochure = rsBrochure.As<Recordset>();
    if (!brochure) RaiseVbError(kErrObjectRequired);
    const std::string schema_id = vb::ToText(brochure->Value("Con_schema_id"));
    const std::string location = LocationPart(brochure->Value("Location"));
    if (!arrOptions.IsArray()) return "schema_id=" + schema_id + location;

    const SafeArray& options = *arrOptions.array();
    const int32_t upper = options.UBound();
    // The loop counter is a 16-bit integer: a longer array overflows it.
    if (upper > INT16_MAX) RaiseVbError(kErrOverflow);
    std::string criteria;
    for (int32_t index = 0; index <= upper; ++index) {
      if (index > 0) criteria += " OR ";
      criteria += "(schema_id=" + schema_id + location + " AND option_id=" +
                  vb::ToText(ArrayElement(options, index)) + ")";
    }
    return criteria;
  });
}

std::string GetAvailAbility(Recordset& rsBrochure, Recordset& rsEquipment, bool booStandardFound,
                            const std::string& strSortField) {
  return Instrumented(kUtilitysModule, "Function GetAvailAbility", [&]() -> std::string {
    rsEquipment.SetSort(strSortField + " ASC");
    const Variant& sought = rsBrochure.Value("Con_schema_id_Val");
    const std::string criteria =
        IsAboveEmptyText(sought) ? "data_value='" + vb::ToText(sought) + "'" : std::string("data_value<>'-'");
    // A search over rows that hold nothing finds nothing.
    if (!rsEquipment.IsEOF()) rsEquipment.Find(criteria, 0, 1);
    if (!rsEquipment.IsEOF()) {
      const Variant& option_id = rsEquipment.Value("option_iD");
      const bool standard_row = !option_id.IsNull() && vb::CDbl(option_id) == 0;
      return standard_row || booStandardFound ? "@S" : "@O";
    }
    if (booStandardFound) {
      rsEquipment.MoveFirst();
      return "@D";
    }
    return "@X";
  });
}

std::string FormatDescByLanguageID(int16_t intLanguageID, const std::string& strDescription) {
  return Instrumented(kUtilitysModule, "Function FormatDescByLanguageID", [&]() -> std::string {
    switch (intLanguageID) {
      case 8:   // Japanese
      case 9:   // Korean
      case 10:  // Hebrew
      case 25:  // Chinese (Taiwan)
      case 34:  // Slovak
        return strDescription;
      default:
        break;
    }
    if (strDescription.empty()) return strDescription;
    // The first character is a whole code point, so that a character outside
    // the basic plane is upper-cased rather than split.
    int32_t length = static_cast<int32_t>(strDescription.size());
    int32_t offset = 0;
    UChar32 code_point = 0;
    U8_NEXT(strDescription.data(), offset, length, code_point);
    if (code_point < 0) offset = 1;  // an invalid byte stays as it is
    const std::string_view first(strDescription.data(), static_cast<size_t>(offset));
    return (code_point < 0 ? std::string(first) : vb::UCase(first)) + strDescription.substr(offset);
  });
}

void Save_Cache(Recordset& recordset, int32_t cache_handle, const std::string& key, const std::string& project,
                const std::string& connection) {
  Instrumented(kUtilitysModule, "Sub Save_Cache", [&] {
    if (cache_handle == 0) return;
    auto stream = CreateObjectAs<Stream>("adodb.stream");
    stream->Open();
    recordset.Save(*stream, 1);
    stream->SetPosition(0);
    ConnectorRef connector = CreateConnector();
    const std::string xml = stream->ReadText(-1);
    connector->CacheRecordset(key, xml, cache_handle, connection, project);
    stream->Close();
  });
}

}  // namespace trelix
