#pragma once
// Reads back what a generator wrote, straight through sqlite3 or libpq (not
// through the connector), so that these tests check the data itself.

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/datagen/schema.h"
#include "support/demo_databases.h"

namespace trelix::datagen::testing {

using Rows = std::vector<std::vector<std::string>>;

class SiteDb {
 public:
  virtual ~SiteDb() = default;
  // All rows as text (NULL as "<null>"); a failing statement gives one row
  // {"ERROR: message"}.
  virtual Rows Query(Database database, const std::string& sql) = 0;
  // The first value of the first row, or "<none>".
  std::string Scalar(Database database, const std::string& sql) {
    Rows rows = Query(database, sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
};

// One statement answering one value, and the value a site must give.
struct Fact {
  Database database;
  std::string what, sql, expected;
};

inline void ExpectFacts(SiteDb& db, const std::vector<Fact>& facts) {
  for (const Fact& fact : facts) EXPECT_EQ(db.Scalar(fact.database, fact.sql), fact.expected) << fact.what << "\n" << fact.sql;
}

// The files DIR/PROJECT.sqlite and DIR/SPECS.sqlite; each is opened with the
// other attached under its name, as the connector does.
class SqliteSiteDb : public SiteDb {
 public:
  SqliteSiteDb(std::string dir, std::string project, std::string specs)
      : dir_(std::move(dir)), project_(std::move(project)), specs_(std::move(specs)) {}

  Rows Query(Database database, const std::string& sql) override {
    const std::string& main = database == Database::kProject ? project_ : specs_;
    const std::string& other = database == Database::kProject ? specs_ : project_;
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir_ + "/" + main + ".sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, sqlite3_close);
    sqlite3_exec(db, ("ATTACH '" + dir_ + "/" + other + ".sqlite' AS " + other).c_str(), nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return {{std::string("ERROR: ") + sqlite3_errmsg(db)}};
    }
    Rows rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = sqlite3_column_text(stmt, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
  }

 private:
  std::string dir_, project_, specs_;
};

// Schemas PROJECT and SPECS of one PostgreSQL database.
class PostgresSiteDb : public SiteDb {
 public:
  PostgresSiteDb(const std::string& url, std::string project, std::string specs)
      : connection_(PQconnectdb(url.c_str()), PQfinish), project_(std::move(project)), specs_(std::move(specs)) {}

  bool ok() const { return PQstatus(connection_.get()) == CONNECTION_OK; }

  Rows Query(Database database, const std::string& sql) override {
    const std::string& schema = database == Database::kProject ? project_ : specs_;
    PQclear(PQexec(connection_.get(), ("SET search_path = " + schema).c_str()));
    PGresult* result = PQexec(connection_.get(), sql.c_str());
    std::unique_ptr<PGresult, decltype(&PQclear)> guard(result, PQclear);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) return {{std::string("ERROR: ") + PQerrorMessage(connection_.get())}};
    Rows rows;
    for (int r = 0; r < PQntuples(result); ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(result); ++c) {
        row.push_back(PQgetisnull(result, r, c) ? "<null>" : PQgetvalue(result, r, c));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  void DropSchemas() {
    const std::string sql = "SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + project_ + ", " + specs_ +
                            " CASCADE";
    PQclear(PQexec(connection_.get(), sql.c_str()));
  }

 private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> connection_;
  std::string project_, specs_;
};

// A fresh directory under the system temp folder, removed at the end.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("trelix_datagen_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string path() const { return path_.string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// Schema names no other test process uses at the same time.
inline std::string UniqueName(const std::string& base) { return base + "_" + std::to_string(::getpid()); }

}  // namespace trelix::datagen::testing
