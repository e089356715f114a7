#pragma once
// Text forms of a recordset for the CLI and the HTTP service.
//
// Both walk the visible rows (the view: Filter and Sort apply) in view order
// and read them without moving the cursor: the recordset's position, filter
// and sort are the same afterwards. A closed recordset raises 3704.

#include <string>

#include "common/recordset.h"

namespace trelix {

// {"fields":[{"name":"row_id","type":3,"size":0},...],"rows":[{"row_id":1,...},...]}
// Null (and Empty) as null, Boolean as true/false, numbers (integers,
// Single, Double, Currency, Decimal) as JSON numbers, dates as
// "yyyy-mm-ddThh:mm:ss" text, binary as hexadecimal text, a chapter column
// as a nested object of the same form (null when the row has none).
std::string RecordsetToJson(Recordset& recordset);

// A fixed-width text table: a header line of field names, a rule, one line
// per row, and a "(N rows)" line. Long values are cut at 40 characters;
// Null prints as "Null", a chapter as "(N rows)".
std::string RecordsetToTable(Recordset& recordset);

}  // namespace trelix
