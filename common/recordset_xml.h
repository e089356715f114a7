#pragma once
// Copies that come out as if they had gone through the XML persistence form.

#include "common/recordset.h"

namespace trelix {

// What Save into a stream followed by Open from it gives (the visible rows,
// no filter, no sort, no indexes, field facts and values as a reload reads
// them), built without writing and parsing the rows' text. Like Save, it
// leaves the source's first row current. Raises 3704 when the source is
// closed, and what the reload would raise where it would fail.
RecordsetRef CopyVisibleRowsAsPersisted(Recordset& source);

// The same for a source that is closed afterwards: values the source holds
// alone (cells not shared with a copy) are moved rather than copied. The
// source is closed on return, also when it raises.
RecordsetRef TakeVisibleRowsAsPersisted(Recordset& source);

}  // namespace trelix
