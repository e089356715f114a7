#pragma once
// ConnectionPool: open database sessions kept per (connection string,
// database), so that a connector created per call costs no connect.
//
// Thread-safe. A session is leased to one caller at a time and comes back
// when the lease ends; a session that reports itself unhealthy (a broken
// server connection, a damaged file) is closed instead, so the next lease
// opens a fresh one. At most `max_idle_per_key` idle sessions are kept per
// key; more concurrent callers get their own sessions, closed on return.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/driver.h"
#include "common/status.h"

namespace trelix::base {

class ConnectionPool {
 public:
  // A pool with the built-in drivers: sqlite, postgresql (also postgres),
  // mssql.
  explicit ConnectionPool(size_t max_idle_per_key = 16);
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Registers (or replaces) the driver of a connection-string scheme.
  void SetDriver(std::string_view scheme, std::shared_ptr<Driver> driver);
  // The driver for a connection string: InvalidArgument when it is malformed
  // or names no known engine.
  Result<std::shared_ptr<Driver>> DriverFor(std::string_view connection) const;

  class Lease {
   public:
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&&) = delete;
    ~Lease();
    Session& operator*() const { return *session_; }
    Session* operator->() const { return session_.get(); }
    // True when the session had served earlier leases (it may have gone
    // stale since).
    bool reused() const { return reused_; }

   private:
    friend class ConnectionPool;
    Lease(ConnectionPool* pool, std::string key, std::unique_ptr<Session> session, bool reused);
    ConnectionPool* pool_;
    std::string key_;
    std::unique_ptr<Session> session_;
    bool reused_;
  };

  // An idle session for the pair, or a new one from `driver`.
  Result<Lease> Acquire(const std::shared_ptr<Driver>& driver, std::string_view connection,
                        std::string_view database);
  // A new session, never an idle one (after a stale one failed).
  Result<Lease> AcquireFresh(const std::shared_ptr<Driver>& driver, std::string_view connection,
                             std::string_view database);

  struct Stats {
    size_t open = 0;    // sessions alive: idle plus leased
    size_t idle = 0;
    size_t opened = 0;  // sessions ever opened
  };
  Stats stats() const;
  // Closes every idle session.
  void Clear();

 private:
  static std::string Key(std::string_view connection, std::string_view database);
  Result<Lease> Open(const std::shared_ptr<Driver>& driver, std::string key, std::string_view connection,
                     std::string_view database);
  void Return(const std::string& key, std::unique_ptr<Session> session);

  const size_t max_idle_per_key_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Driver>, std::less<>> drivers_;
  std::map<std::string, std::vector<std::unique_ptr<Session>>, std::less<>> idle_;
  Stats stats_;
};

// The pool every Connector uses unless given another.
std::shared_ptr<ConnectionPool> SharedConnectionPool();

}  // namespace trelix::base
