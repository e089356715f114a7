#pragma once
// Entry points for fuzzing the recordset's two parsers. Each takes arbitrary
// bytes and must return normally: input the parser rejects raises a ComError
// inside, which is caught here; anything else escaping (a crash, another
// exception) is a defect the fuzzer reports.

#include <cstddef>
#include <cstdint>

namespace trelix {

// The bytes as Filter criteria, Find criteria and Sort text on a recordset
// with fields of every comparable type, some of them optimized.
void FuzzRecordsetCriteria(const uint8_t* data, size_t size);

// The bytes as XML persistence text; what loads is saved and loaded again,
// which must succeed, and printed as JSON.
void FuzzRecordsetXml(const uint8_t* data, size_t size);

}  // namespace trelix
