#pragma once
// Connector: "trelix_base.Connector", the component's only way to its
// databases and caches. Created per call, so construction is cheap: sessions
// come from a process-wide pool and the cache is process-wide.
//
// ExecuteQuery translates the T-SQL statement into the engine's dialect,
// runs it on a pooled session of (connection string, database) and returns
// every row in a disconnected, client-side, updatable recordset positioned
// on the first row. ExecuteShape parses the SHAPE command, runs its provider
// commands the same way and groups the rows on the client.
//
// Errors (left to the implementer: numbers as ADO reports such failures):
//   kErrConnection (-2147467259, E_FAIL): the connection cannot be made: a
//     malformed connection string, an unknown engine, a missing database
//     file, schema or catalog, an unreachable server;
//   kErrCommand (-2147217900, DB_E_ERRORSINCOMMAND): the statement or SHAPE
//     command fails: syntax, unknown names, a statement the dialect layer
//     cannot translate, values that do not fit their column types.
//   kErrTimeout (-2147217871, DB_E_ABORTLIMITREACHED): the statement ran
//     past the statement timeout of the connection string, or the database
//     stayed locked by another connection for as long as it waits.
// Descriptions carry the engine's own message; the source names the engine
// ("SQLite", "PostgreSQL", "SQL Server") or "trelix_base.Connector" for
// failures found before the engine is reached.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/connection_pool.h"
#include "base/recordset_cache.h"
#include "common/connector_interface.h"

namespace trelix::base {

inline constexpr int32_t kErrConnection = -2147467259;  // 0x80004005
inline constexpr int32_t kErrCommand = -2147217900;     // 0x80040E14
inline constexpr int32_t kErrTimeout = -2147217871;     // 0x80040E31
inline constexpr const char* kConnectorSource = "trelix_base.Connector";

class Connector : public ConnectorInterface {
 public:
  // The process-wide pool and cache.
  Connector();
  // A given pool and cache (tests; a null cache means the process-wide one).
  Connector(std::shared_ptr<ConnectionPool> pool, std::shared_ptr<RecordsetCache> cache);

  void CacheRecordset(const std::string& key, const std::string& recordset_xml, int32_t cache_handle,
                      const std::string& connection, const std::string& database) override;
  RecordsetRef GetCachedRecordset(const std::string& key, int32_t cache_handle, const std::string& connection,
                                  const std::string& database) override;
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database,
                            const std::string& connection) override;
  RecordsetRef ExecuteShape(const std::string& command, const std::string& database,
                            const std::string& connection) override;

  // Late binding by the member names above (the out recordset is the
  // return value).
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

 private:
  RecordsetRef Query(const std::string& sql, const std::string& database, const std::string& connection);
  RecordsetCache& Cache();

  std::shared_ptr<ConnectionPool> pool_;
  std::shared_ptr<RecordsetCache> cache_;
};

// Registers "trelix_base.Connector" in the ProgID registry.
void RegisterConnector();

}  // namespace trelix::base
