#pragma once
// Text forms of a recordset for the CLI and the HTTP service.
//
// Both walk the visible rows (the view: Filter and Sort apply) in view order
// and read them without moving the cursor: the recordset's position, filter
// and sort are the same afterwards. A closed recordset raises 3704.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/recordset.h"

namespace trelix {

// {"fields":[{"name":"row_id","type":3,"size":0},...],"rows":[{"row_id":1,...},...]}
// Null (and Empty) as null, Boolean as true/false, numbers (integers,
// Single, Double, Currency, Decimal) as JSON numbers, dates as
// "yyyy-mm-ddThh:mm:ss" text, binary as hexadecimal text, a chapter column
// as a nested object of the same form (null when the row has none).
std::string RecordsetToJson(Recordset& recordset);

// The same text, shared rather than copied: a cached result (a copy sharing
// its cells with the cache) keeps its text with the cells, written once.
std::shared_ptr<const std::string> RecordsetToJsonText(Recordset& recordset);

// A text made from the JSON text by `derive` (a compressed form of it),
// kept with a cached result's cells under `name` as the JSON text is, so it
// is made once per cached result.
// Whether texts made from `recordset` are kept with it (a cached result):
// worth more work to make.
bool KeepsDerivedTexts(Recordset& recordset);

std::shared_ptr<const std::string> RecordsetDerivedText(
    Recordset& recordset, std::string_view name,
    const std::function<std::string(const std::string& json)>& derive);

// A fixed-width text table: a header line of field names, a rule, one line
// per row, and a "(N rows)" line. Long values are cut at 40 characters;
// Null prints as "Null", a chapter as "(N rows)".
std::string RecordsetToTable(Recordset& recordset);

}  // namespace trelix
