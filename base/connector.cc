#include "base/connector.h"

#include "base/cache_counters.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/shape.h"
#include "base/sql/translator.h"
#include "base/trace.h"
#include "common/call_scope.h"
#include "common/com_error.h"
#include "common/object_factory.h"
#include "common/vb_runtime.h"

namespace trelix::base {
namespace {

[[noreturn]] void Raise(int32_t number, std::string_view source, const Status& status) {
  throw ComError(number, std::string(source), status.message());
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Sessions this thread keeps for its open CallScope, one per pool and
// (connection string, database); handed back to their pools when the
// outermost scope ends.
struct HeldSession {
  std::shared_ptr<ConnectionPool> pool;
  std::string connection, database;  // database in lower case
  ConnectionPool::Lease lease;
  bool served = false;  // ran a statement of this call already
  // Statements of this call by their engine text, with the snapshot they
  // read: a statement run a second time in one snapshot keeps its result,
  // and later runs in that snapshot are answered with a copy of it instead
  // of being run again (a page asks for the same small table once per
  // price it prints). Keeping only from the second run on leaves results
  // asked for once to their caller alone, who may then move their values
  // out instead of copying them.
  struct Repeat {
    uint64_t snapshot = 0;
    RecordsetRef kept;  // null: run once in this snapshot so far
  };
  std::unordered_map<std::string, Repeat> repeats;
};

thread_local std::vector<std::unique_ptr<HeldSession>> held_sessions;

void ReleaseHeldSessions() {
  std::vector<std::unique_ptr<HeldSession>> releasing;
  releasing.swap(held_sessions);
  for (auto& held : releasing) held->lease->EndCall();
  // The leases return their sessions as `releasing` goes.
}

// Keeps `lease` for the rest of the thread's operation.
HeldSession* Hold(std::shared_ptr<ConnectionPool> pool, const std::string& connection, std::string database_lower,
                  ConnectionPool::Lease lease) {
  if (held_sessions.empty()) CallScope::AtEnd(ReleaseHeldSessions);
  held_sessions.push_back(std::unique_ptr<HeldSession>(
      new HeldSession{std::move(pool), connection, std::move(database_lower), std::move(lease), false, {}}));
  HeldSession* held = held_sessions.back().get();
  held->lease->BeginCall();
  return held;
}

void Drop(HeldSession* stale) {
  stale->lease->EndCall();
  std::erase_if(held_sessions, [stale](const auto& h) { return h.get() == stale; });
}

HeldSession* FindHeld(const ConnectionPool* pool, std::string_view connection, std::string_view database_lower) {
  for (auto& held : held_sessions) {
    if (held->pool.get() == pool && held->connection == connection && held->database == database_lower) {
      return held.get();
    }
  }
  return nullptr;
}

// A call runs a bounded number of distinct statements; past this many the
// rest simply run every time.
constexpr size_t kRepeatsNoted = 256;

// What a later run of `text` in the session's current snapshot returns, if
// an earlier run was kept: a copy sharing the kept values until either
// side writes, positioned on its first row like a fresh result.
RecordsetRef Repeated(HeldSession& held, Session& session, const std::string& text) {
  auto found = held.repeats.find(text);
  if (found == held.repeats.end()) return nullptr;
  // Seen before in this call: worth one snapshot for the rest of it.
  const uint64_t snapshot = session.BeginSnapshot();
  if (snapshot == 0 || found->second.snapshot != snapshot || !found->second.kept) return nullptr;
  return found->second.kept->Clone();
}

// Notes a run of `text` that returned `result`: the first run is noted, a
// later one in a snapshot is kept.
void NoteRun(HeldSession& held, Session& session, const std::string& text, const RecordsetRef& result) {
  const uint64_t snapshot = session.Snapshot();
  auto found = held.repeats.find(text);
  if (found == held.repeats.end()) {
    if (held.repeats.size() < kRepeatsNoted) held.repeats.emplace(text, HeldSession::Repeat{snapshot, nullptr});
  } else if (snapshot != 0 && result && result->IsOpen()) {
    // The caller's result shares the values, never its cursor or edits.
    found->second = HeldSession::Repeat{snapshot, result->Clone()};
  }
}

}  // namespace

Connector::Connector() : pool_(SharedConnectionPool()) {}

Connector::Connector(std::shared_ptr<ConnectionPool> pool, std::shared_ptr<RecordsetCache> cache)
    : pool_(pool ? std::move(pool) : SharedConnectionPool()), cache_(std::move(cache)) {}

RecordsetCache& Connector::Cache() {
  if (!cache_) cache_ = ProcessCache();
  return *cache_;
}

void Connector::CacheRecordset(const std::string& key, const std::string& recordset_xml, int32_t cache_handle,
                               const std::string& connection, const std::string& database) {
  TraceScope trace("CacheRecordset", database, key, cache_handle);
  if (cache_handle == 0) return;
  ProcessCacheCounters().stores.fetch_add(1, std::memory_order_relaxed);
  Cache().Put(CacheScope{cache_handle, connection, database}, key, recordset_xml);
}

RecordsetRef Connector::GetCachedRecordset(const std::string& key, int32_t cache_handle,
                                           const std::string& connection, const std::string& database) {
  TraceScope trace("GetCachedRecordset", database, key, cache_handle);
  if (cache_handle == 0) return nullptr;
  RecordsetRef cached = Cache().Get(CacheScope{cache_handle, connection, database}, key);
  (cached ? ProcessCacheCounters().hits : ProcessCacheCounters().misses).fetch_add(1, std::memory_order_relaxed);
  return cached;
}

RecordsetRef Connector::ExecuteQuery(const std::string& sql, const std::string& database,
                                     const std::string& connection) {
  TraceScope trace("ExecuteQuery", database, sql, 0);
  return Query(sql, database, connection);
}

RecordsetRef Connector::ExecuteShape(const std::string& command, const std::string& database,
                                     const std::string& connection) {
  TraceScope trace("ExecuteShape", database, command, 0);
  auto parsed = ParseShapeCached(command);
  if (!parsed.ok()) Raise(kErrCommand, kConnectorSource, parsed.status());
  // Provider commands run like any statement; their errors leave as they
  // are raised there.
  auto shaped = base::ExecuteShape(*parsed.value(), [&](const std::string& provider_text) -> Result<RecordsetRef> {
    return Query(provider_text, database, connection);
  });
  if (!shaped.ok()) Raise(kErrCommand, kConnectorSource, shaped.status());
  return shaped.value();
}

RecordsetRef Connector::Query(const std::string& sql, const std::string& database, const std::string& connection) {
  auto driver = pool_->DriverFor(connection);
  if (!driver.ok()) Raise(kErrConnection, kConnectorSource, driver.status());
  const std::string_view engine = driver.value()->name();

  // Inside an operation (CallScope) the session stays with this thread for
  // the operation's other statements; otherwise it goes back at once.
  const std::string database_lower = LowerAscii(database);
  std::optional<ConnectionPool::Lease> lease;
  HeldSession* held = CallScope::Active() ? FindHeld(pool_.get(), connection, database_lower) : nullptr;
  if (!held) {
    auto acquired = pool_->Acquire(driver.value(), connection, database);
    if (!acquired.ok()) Raise(kErrConnection, engine, acquired.status());
    if (CallScope::Active()) {
      held = Hold(pool_, connection, database_lower, std::move(acquired.value()));
    } else {
      lease.emplace(std::move(acquired.value()));
    }
  }
  ConnectionPool::Lease& current = held ? held->lease : *lease;
  const bool maybe_stale = current.reused() || (held && held->served);

  // The translator asks the session for declared column types where a
  // statement alone does not say whether `+` adds or concatenates; its
  // cache is scoped by what those answers depend on.
  Session* session = &*current;
  sql::TranslateOptions options;
  options.cache_scope = connection + '\n' + database_lower;
  options.column_types = [&session](std::string_view db, std::string_view table, std::string_view column) {
    return session->ColumnType(db, table, column);
  };
  auto translation = sql::TranslateCached(sql, driver.value()->dialect(), options);
  if (!translation.ok()) Raise(kErrCommand, kConnectorSource, translation.status());
  const sql::Translation& statement = *translation.value();
  if (held) {
    if (RecordsetRef repeated = Repeated(*held, *session, statement.text)) return repeated;
  }

  auto result = session->Execute(statement.text, statement.databases);
  if (!result.ok() && maybe_stale && !session->Healthy()) {
    // A session that went stale (a restarted server, a replaced file):
    // nothing ran, so the statement is run once more on a fresh session.
    if (held) {
      Drop(held);  // the pool closes it
      held = nullptr;
    }
    lease.reset();
    auto fresh = pool_->AcquireFresh(driver.value(), connection, database);
    if (!fresh.ok()) Raise(kErrConnection, engine, fresh.status());
    if (CallScope::Active()) {
      held = Hold(pool_, connection, database_lower, std::move(fresh.value()));
      session = &*held->lease;
    } else {
      lease.emplace(std::move(fresh.value()));
      session = &**lease;
    }
    result = session->Execute(statement.text, statement.databases);
  }
  if (held) held->served = true;
  if (!result.ok()) {
    const Status::Code code = result.status().code();
    Raise(code == Status::Code::kUnavailable ? kErrConnection
          : code == Status::Code::kTimeout   ? kErrTimeout
                                             : kErrCommand,
          engine, result.status());
  }
  if (held) NoteRun(*held, *session, statement.text, result.value());
  return result.value();
}

Variant Connector::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  auto is = [&](std::string_view member, size_t arity) {
    if (!vb::TextEquals(name, member)) return false;
    if (kind == InvokeKind::kPropertyPut) RaiseVbError(kErrNoSuchMember);
    // The out recordset of the dual interface may be passed as a last,
    // ignored argument.
    if (args.size() != arity && args.size() != arity + 1) RaiseVbError(kErrWrongArgumentCount);
    return true;
  };
  auto text = [&](size_t i) { return vb::CStr(args[i]); };
  // The result, also written to a trailing out argument when one is passed.
  auto as_recordset = [&](RecordsetRef recordset, size_t arity) {
    Variant result = recordset ? Variant(recordset) : Variant::Nothing();
    if (args.size() > arity) args.back() = result;
    return result;
  };
  if (is("CacheRecordset", 5)) {
    CacheRecordset(text(0), text(1), vb::CLng(args[2]), text(3), text(4));
    return Variant();
  }
  if (is("GetCachedRecordset", 4)) {
    return as_recordset(GetCachedRecordset(text(0), vb::CLng(args[1]), text(2), text(3)), 4);
  }
  if (is("ExecuteQuery", 3)) return as_recordset(ExecuteQuery(text(0), text(1), text(2)), 3);
  if (is("ExecuteShape", 3)) return as_recordset(ExecuteShape(text(0), text(1), text(2)), 3);
  return ConnectorInterface::Invoke(name, kind, args);
}

void RegisterConnector() {
  RegisterProgId(kConnectorProgId, [] { return std::make_shared<Connector>(); });
}

}  // namespace trelix::base

namespace trelix::base {

CacheCounters& ProcessCacheCounters() {
  static CacheCounters counters;
  return counters;
}

}  // namespace trelix::base
