#pragma once
// The recordset cache behind CacheRecordset / GetCachedRecordset.
//
// Entries are the XML persistence text of a recordset, scoped by cache
// handle, connection string and database name and keyed by the caller's key.
// Left to the implementer: a handle is just a name space (any non-zero
// value; nothing has to open it first), and the connection and database are
// part of the scope so that two sites served by one process or one Redis
// never see each other's entries under equal keys. A get returns a private copy the caller may change. A stored
// text that does not load is a miss and is reported, never a half-read
// recordset.
//
// Which cache serves non-zero handles is process-wide: an in-process LRU
// cache bounded in bytes (the default) or Redis, chosen by ConfigureCache or
// the environment variable TRELIX_CACHE.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/recordset.h"
#include "common/status.h"

namespace trelix::base {

struct CacheScope {
  int32_t handle = 0;
  std::string_view connection;
  std::string_view database;
};

class RecordsetCache {
 public:
  virtual ~RecordsetCache() = default;
  virtual void Put(const CacheScope& scope, std::string_view key, std::string recordset_xml) = 0;
  // A copy of the stored recordset, or nullptr on a miss.
  virtual RecordsetRef Get(const CacheScope& scope, std::string_view key) = 0;
  // "memory (67108864 bytes)", "redis://127.0.0.1:6379/0".
  virtual std::string Describe() const = 0;
};

// Chooses the process-wide cache:
//   "" or "memory"         in-process, 64 MiB
//   "memory:N"             in-process, N MiB
//   "redis://HOST[:PORT][/DB]"   Redis (port 6379, database 0 by default;
//                          "redis://:PASSWORD@HOST..." authenticates)
// InvalidArgument for anything else (the current cache stays).
Status ConfigureCache(std::string_view url);

// The process-wide cache: as configured, else from TRELIX_CACHE, else the
// in-process default (a bad TRELIX_CACHE is reported and ignored).
std::shared_ptr<RecordsetCache> ProcessCache();

// Problems a cache meets (Redis unreachable, a corrupt entry) go here:
// stderr by default. Tests and hosts may redirect them; nullptr restores.
using CacheReporter = std::function<void(std::string_view message)>;
void SetCacheReporter(CacheReporter reporter);
void ReportCacheProblem(std::string_view message);

// Loads recordset XML text; nullptr (and a report naming `what`) when it
// does not load.
RecordsetRef LoadCachedXml(std::string_view xml, std::string_view what);

}  // namespace trelix::base
