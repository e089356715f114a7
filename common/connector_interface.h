#pragma once
// The connector as the component sees it: the four operations it uses of
// "trelix_base.Connector", in their argument order. The data-access library
// (base/) implements it over real database engines and caches; tests may
// register a fake under the same ProgID.
//
// Every operation raises a ComError on failure (the engine's message in the
// description). Results are disconnected, client-side, updatable recordsets.

#include <cstdint>
#include <string>

#include "common/object.h"
#include "common/recordset.h"

namespace trelix {

inline constexpr const char* kConnectorProgId = "trelix_base.Connector";

class ConnectorInterface : public Object {
 public:
  std::string TypeName() const override { return "Connector"; }

  // Stores `recordset_xml` (the XML persistence text of a recordset) under
  // `key` in the cache named by `cache_handle`. Handle 0: nothing is stored.
  virtual void CacheRecordset(const std::string& key, const std::string& recordset_xml, int32_t cache_handle,
                              const std::string& connection, const std::string& database) = 0;

  // The recordset stored under `key`, or nullptr (Nothing) on a miss. A
  // stored text that does not load is a miss (and is reported), never a
  // half-read recordset.
  virtual RecordsetRef GetCachedRecordset(const std::string& key, int32_t cache_handle,
                                          const std::string& connection, const std::string& database) = 0;

  // All rows of a T-SQL statement run against `database`.
  virtual RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database,
                                    const std::string& connection) = 0;

  // A hierarchical recordset for a data-shaping command
  // (SHAPE {...} AS x COMPUTE x BY ...).
  virtual RecordsetRef ExecuteShape(const std::string& command, const std::string& database,
                                    const std::string& connection) = 0;
};

using ConnectorRef = std::shared_ptr<ConnectorInterface>;

// A new connector from the ProgID registry (raises 429 when none is registered).
ConnectorRef CreateConnector();

}  // namespace trelix
