#include "keyadvantages/result_cache.h"

#include "common/stream.h"

namespace trelix::keyadvantages_internal {

void CacheResult(ConnectorInterface& connector, Recordset& result, const std::string& key, int32_t cache_handle,
                 const std::string& connection, const std::string& project) {
  Stream stream;
  stream.Open();
  result.Save(stream, 1);
  stream.SetPosition(0);
  const std::string xml = stream.ReadText(-1);
  stream.Close();
  connector.CacheRecordset(key, xml, cache_handle, connection, project);
}

}  // namespace trelix::keyadvantages_internal
