#pragma once
// The demo site on one engine for suites that run the real connector: made
// once per test process and removed at its end. CTest runs every test case
// as its own process, many at once, so PostgreSQL schema names carry the
// process id: processes sharing a server never drop each other's schemas.

#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/connector.h"
#include "base/datagen/generators.h"

namespace trelix::testing {

inline std::string TestEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class DemoDatabases {
 public:
  // `prefix` keeps suites apart in listings of the server's schemas.
  DemoDatabases(bool postgres, const std::string& prefix) : postgres_(postgres) {
    const std::string suffix = postgres ? "_" + std::to_string(::getpid()) : "";
    project_ = prefix + "_project" + suffix;
    specs_ = prefix + "_specs" + suffix;
    if (postgres) {
      connection_ = TestEnv("TRELIX_TEST_PG");
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / ("trelix_" + prefix + "_XXXXXX")).string();
      if (mkdtemp(pattern.data())) dir_ = pattern;
      connection_ = "sqlite:" + dir_;
    }
    const Status status = datagen::CreateDemoSite(connection_, project_, specs_);
    if (!status.ok()) error_ = status.message();
    base::RegisterConnector();
  }
  ~DemoDatabases() {
    if (!postgres_) {
      std::error_code ignored;
      if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
      return;
    }
    PGconn* conn = PQconnectdb(connection_.c_str());
    if (PQstatus(conn) == CONNECTION_OK) {
      const std::string drop = "SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + project_ +
                               " CASCADE; DROP SCHEMA IF EXISTS " + specs_ + " CASCADE";
      PQclear(PQexec(conn, drop.c_str()));
    }
    PQfinish(conn);
  }
  DemoDatabases(const DemoDatabases&) = delete;
  DemoDatabases& operator=(const DemoDatabases&) = delete;

  const std::string& connection() const { return connection_; }
  const std::string& project() const { return project_; }
  const std::string& specs() const { return specs_; }
  const std::string& error() const { return error_; }  // empty when the site was made

  // The site of this process for one engine, made on first use.
  static const DemoDatabases& Shared(bool postgres, const std::string& prefix) {
    if (!postgres) {
      static DemoDatabases sqlite(false, prefix);
      return sqlite;
    }
    static DemoDatabases server(true, prefix);
    return server;
  }

 private:
  bool postgres_;
  std::string project_, specs_, dir_, connection_, error_;
};

// Skips (or, when TRELIX_REQUIRE_SERVICES=1, fails) a PostgreSQL case
// without a server; returns from the calling SetUp or test body.
#define TRELIX_NEED_SERVER_OR_SKIP(postgres)                                                      \
  do {                                                                                            \
    if ((postgres) && ::trelix::testing::TestEnv("TRELIX_TEST_PG").empty()) {                     \
      if (::trelix::testing::TestEnv("TRELIX_REQUIRE_SERVICES") == "1") FAIL() << "TRELIX_TEST_PG is not set"; \
      GTEST_SKIP() << "TRELIX_TEST_PG is not set";                                                \
    }                                                                                             \
  } while (0)

}  // namespace trelix::testing
