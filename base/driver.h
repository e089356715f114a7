#pragma once
// Driver and Session: what the connector needs of a database engine.
//
// A Driver opens Sessions for a (connection string, database) pair; a
// Session runs statements already in the driver's dialect. Sessions are
// pooled (connection_pool.h) and used by one thread at a time. Tests put a
// fake or a fault-injecting driver behind the same interface.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/sql/translator.h"
#include "common/recordset.h"
#include "common/status.h"

namespace trelix::base {

class Session {
 public:
  virtual ~Session() = default;

  // Runs one statement against the session's database. `databases` are the
  // other database names the statement reaches as NAME.table; the session
  // makes them reachable first. A statement that returns no rowset yields a
  // closed recordset. Failures: InvalidArgument / IOError for the statement,
  // NotFound for an unknown database, Unavailable when the connection broke.
  virtual Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>& databases) = 0;

  // False once the connection is unusable: the pool then discards it.
  virtual bool Healthy() const = 0;

  // The session serves one caller's operation (several statements) until
  // EndCall: an engine may read them all from one snapshot and take its
  // locks once. EndCall must leave the session as a fresh lease finds it.
  virtual void BeginCall() {}
  virtual void EndCall() {}

  // A number naming the read snapshot the session's statements read now, or
  // 0 when each statement reads the latest state. Two runs of one statement
  // under the same non-zero number return the same rows, so the connector
  // may answer the later run from the earlier one.
  virtual uint64_t Snapshot() const { return 0; }
  // Asks the session to read the rest of the call from one snapshot (the
  // connector asks when a statement repeats); returns Snapshot() after.
  // An engine that cannot, or does so anyway, just answers.
  virtual uint64_t BeginSnapshot() { return Snapshot(); }

  // The SQL Server type name a table column is declared with
  // ("nvarchar(50)"), or nullopt when unknown. `database` empty means the
  // session's own. The translator asks this where a statement alone does
  // not show whether `+` adds or concatenates.
  virtual std::optional<std::string> ColumnType(std::string_view /*database*/, std::string_view /*table*/,
                                                std::string_view /*column*/) {
    return std::nullopt;
  }
};

class Driver {
 public:
  virtual ~Driver() = default;

  // The dialect statements are translated into for this engine.
  virtual sql::Dialect dialect() const = 0;
  // The engine's name, the source of the errors it reports ("SQLite").
  virtual std::string_view name() const = 0;

  // A new session on `database` through `connection` (the whole connection
  // string, scheme included). NotFound: the database does not exist;
  // Unavailable: the server cannot be reached; InvalidArgument: a malformed
  // connection string or database name.
  virtual Result<std::unique_ptr<Session>> Open(std::string_view connection, std::string_view database) = 0;
};

}  // namespace trelix::base
