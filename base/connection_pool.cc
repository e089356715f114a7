#include "base/connection_pool.h"

#include "base/connection_string.h"
#include "base/mssql_driver.h"
#include "base/postgres_driver.h"
#include "base/sqlite_driver.h"

namespace trelix::base {

ConnectionPool::ConnectionPool(size_t max_idle_per_key) : max_idle_per_key_(max_idle_per_key) {
  drivers_["sqlite"] = MakeSqliteDriver();
  std::shared_ptr<Driver> postgres = MakePostgresDriver();
  drivers_["postgresql"] = postgres;
  drivers_["postgres"] = postgres;
  drivers_["mssql"] = MakeSqlServerDriver();
}

ConnectionPool::~ConnectionPool() = default;

void ConnectionPool::SetDriver(std::string_view scheme, std::shared_ptr<Driver> driver) {
  std::lock_guard lock(mutex_);
  drivers_[std::string(scheme)] = std::move(driver);
}

Result<std::shared_ptr<Driver>> ConnectionPool::DriverFor(std::string_view connection) const {
  auto parsed = ParseConnectionString(connection);
  if (!parsed.ok()) return parsed.status();
  std::lock_guard lock(mutex_);
  auto found = drivers_.find(parsed->scheme);
  if (found == drivers_.end()) {
    return Status::InvalidArgument("Invalid connection string: unknown engine '" + parsed->scheme +
                                   "' (expected sqlite:, postgresql: or mssql:)");
  }
  return found->second;
}

std::string ConnectionPool::Key(std::string_view connection, std::string_view database) {
  // Database names compare ignoring case, as SQL Server's do.
  std::string key(connection);
  key.push_back('\n');
  for (char c : database) key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  return key;
}

Result<ConnectionPool::Lease> ConnectionPool::Acquire(const std::shared_ptr<Driver>& driver,
                                                      std::string_view connection, std::string_view database) {
  std::string key = Key(connection, database);
  {
    std::lock_guard lock(mutex_);
    auto found = idle_.find(key);
    if (found != idle_.end() && !found->second.empty()) {
      std::unique_ptr<Session> session = std::move(found->second.back());
      found->second.pop_back();
      --stats_.idle;
      return Lease(this, std::move(key), std::move(session), true);
    }
  }
  return Open(driver, std::move(key), connection, database);
}

Result<ConnectionPool::Lease> ConnectionPool::AcquireFresh(const std::shared_ptr<Driver>& driver,
                                                           std::string_view connection, std::string_view database) {
  return Open(driver, Key(connection, database), connection, database);
}

Result<ConnectionPool::Lease> ConnectionPool::Open(const std::shared_ptr<Driver>& driver, std::string key,
                                                   std::string_view connection, std::string_view database) {
  // Connecting can take long: never under the lock.
  auto session = driver->Open(connection, database);
  if (!session.ok()) return session.status();
  {
    std::lock_guard lock(mutex_);
    ++stats_.open;
    ++stats_.opened;
  }
  return Lease(this, std::move(key), std::move(session.value()), false);
}

void ConnectionPool::Return(const std::string& key, std::unique_ptr<Session> session) {
  std::unique_ptr<Session> closing;
  {
    std::lock_guard lock(mutex_);
    auto& idle = idle_[key];
    if (session->Healthy() && idle.size() < max_idle_per_key_) {
      idle.push_back(std::move(session));
      ++stats_.idle;
    } else {
      closing = std::move(session);
    }
    if (closing) --stats_.open;
  }
  // closing's destructor disconnects outside the lock.
}

ConnectionPool::Stats ConnectionPool::stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

void ConnectionPool::Clear() {
  std::map<std::string, std::vector<std::unique_ptr<Session>>, std::less<>> closing;
  {
    std::lock_guard lock(mutex_);
    closing.swap(idle_);
    stats_.open -= stats_.idle;
    stats_.idle = 0;
  }
}

ConnectionPool::Lease::Lease(ConnectionPool* pool, std::string key, std::unique_ptr<Session> session, bool reused)
    : pool_(pool), key_(std::move(key)), session_(std::move(session)), reused_(reused) {}

ConnectionPool::Lease::Lease(Lease&& other) noexcept
    : pool_(other.pool_), key_(std::move(other.key_)), session_(std::move(other.session_)), reused_(other.reused_) {}

ConnectionPool::Lease::~Lease() {
  if (session_) pool_->Return(key_, std::move(session_));
}

std::shared_ptr<ConnectionPool> SharedConnectionPool() {
  static std::shared_ptr<ConnectionPool> pool = std::make_shared<ConnectionPool>();
  return pool;
}

}  // namespace trelix::base
