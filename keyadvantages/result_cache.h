#pragma once
// Storing a result in the connector's recordset cache: the recordset's XML
// persistence text, read back from a stream it was saved into, under a key.

#include <cstdint>
#include <string>

#include "common/connector_interface.h"
#include "common/recordset.h"

namespace trelix::keyadvantages_internal {

// Saves `result` into a new stream in XML form, rewinds the stream, reads
// its whole text and passes it to CacheRecordset. Leaves `result` on its
// first row.
void CacheResult(ConnectorInterface& connector, Recordset& result, const std::string& key, int32_t cache_handle,
                 const std::string& connection, const std::string& project);

}  // namespace trelix::keyadvantages_internal
