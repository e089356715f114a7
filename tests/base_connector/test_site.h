#pragma once
// A small two-database site for the connector tests, built on SQLite (a
// temporary folder) or PostgreSQL (two schemas named after the process, so
// test processes running in parallel never share them), with SQL Server
// column types declared as the real sites declare them.

#include <memory>
#include <string>

namespace trelix::testing {

enum class Engine { kSqlite, kPostgres };

class TestSite {
 public:
  // Builds the site; on failure `error()` says why and nothing else works.
  TestSite(Engine engine, const std::string& postgres_url);
  ~TestSite();

  const std::string& error() const { return error_; }
  const std::string& connection() const { return connection_; }
  const std::string& project() const { return project_; }
  const std::string& specs() const { return specs_; }
  // A statement run directly on the engine, outside the connector (fault
  // injection, checks). Returns false and sets error() on failure.
  bool Exec(const std::string& database, const std::string& sql);

 private:
  bool Build();
  Engine engine_;
  std::string postgres_url_;
  std::string connection_, project_, specs_, dir_, error_;
};

}  // namespace trelix::testing
