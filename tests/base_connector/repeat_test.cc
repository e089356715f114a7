// A statement run again within one operation and one read snapshot is
// answered from its earlier result: counted at the session, checked for
// results that stay independent of each other.

#include <gtest/gtest.h>

#include <functional>

#include "base/connector.h"
#include "base/memory_cache.h"
#include "common/call_scope.h"
#include "common/com_error.h"
#include "support/demo_databases.h"
#include "test_site.h"
#include "wrapping_driver.h"

namespace trelix::base {
namespace {

using testing::Engine;
using testing::TestSite;

// Counts the statements that reach the engine; connection strings carry a
// "counting:" prefix. `snapshot`, when set, stands in for the session's own
// answer (given the run the test is at).
class CountingDriver : public testing::WrappingDriver {
 public:
  explicit CountingDriver(std::shared_ptr<Driver> inner) : WrappingDriver(std::move(inner), "counting") {}

  int executed = 0;
  int run = 0;  // set by the test
  std::function<uint64_t(int run, uint64_t own)> snapshot;

 private:
  class CountingSession : public testing::ForwardingSession {
   public:
    CountingSession(CountingDriver* driver, std::unique_ptr<Session> inner)
        : ForwardingSession(std::move(inner)), driver_(driver) {}
    Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>& databases) override {
      ++driver_->executed;
      return inner_->Execute(statement, databases);
    }
    uint64_t Snapshot() const override {
      const uint64_t own = inner_->Snapshot();
      return driver_->snapshot ? driver_->snapshot(driver_->run, own) : own;
    }
    uint64_t BeginSnapshot() override {
      inner_->BeginSnapshot();
      return Snapshot();
    }

   private:
    CountingDriver* driver_;
  };
  std::unique_ptr<Session> Wrap(std::unique_ptr<Session> inner) override {
    return std::make_unique<CountingSession>(this, std::move(inner));
  }
};

class RepeatTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    TRELIX_NEED_SERVER_OR_SKIP(GetParam() == Engine::kPostgres);
    const std::string pg = ::trelix::testing::TestEnv("TRELIX_TEST_PG");
    site_ = std::make_unique<TestSite>(GetParam(), pg);
    ASSERT_EQ(site_->error(), "");
    pool_ = std::make_shared<ConnectionPool>();
    driver_ = std::make_shared<CountingDriver>(pool_->DriverFor(site_->connection()).value());
    pool_->SetDriver("counting", driver_);
    connector_ = std::make_shared<Connector>(pool_, std::make_shared<MemoryCache>(1u << 20));
  }
  RecordsetRef Run(const std::string& sql, const std::string& database = "") {
    return connector_->ExecuteQuery(sql, database.empty() ? site_->specs() : database,
                                    "counting:" + site_->connection());
  }

  std::unique_ptr<TestSite> site_;
  std::shared_ptr<ConnectionPool> pool_;
  std::shared_ptr<CountingDriver> driver_;
  std::shared_ptr<Connector> connector_;
};

TEST_P(RepeatTest, ARepeatedStatementRunsAgainOnlyWhenItsSnapshotMayDiffer) {
  struct Case {
    const char* label;
    bool in_operation;
    std::function<uint64_t(int run, uint64_t own)> snapshot;
    int executed;  // of four runs
  };
  const Case cases[] = {
      {"one snapshot: kept at the second run, the rest answered", true, nullptr, 2},
      {"outside an operation every run reaches the engine", false, nullptr, 4},
      {"no snapshot (each statement reads the latest state)", true, [](int, uint64_t) { return uint64_t{0}; }, 4},
      {"a new snapshot after the second run", true, [](int run, uint64_t own) { return run >= 2 ? own + 7 : own; }, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    driver_->executed = 0;
    driver_->snapshot = c.snapshot;
    {
      std::optional<CallScope> call;
      if (c.in_operation) call.emplace();
      for (driver_->run = 0; driver_->run < 4; ++driver_->run) {
        EXPECT_EQ(Run("SELECT id FROM items ORDER BY id")->RecordCount(), 5);
      }
    }
    EXPECT_EQ(driver_->executed, c.executed);
  }
}

// Answers from a kept result are fresh results: first row current, no
// filter, and edits of one never reach another.
TEST_P(RepeatTest, AnsweredResultsAreIndependentCopies) {
  CallScope call;
  const std::string sql = "SELECT id, name FROM items ORDER BY id";
  auto rows = [](Recordset& rs) {
    std::vector<std::string> out;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) out.push_back(rs.Value(1).IsNull() ? "NULL" : rs.Value(1).string());
    return out;
  };
  RecordsetRef first = Run(sql);
  const std::vector<std::string> names = rows(*first);
  RecordsetRef second = Run(sql);  // kept from here on
  second->SetFilter(Variant("id > 3"));
  second->SetValue(1, Variant("changed"));
  RecordsetRef third = Run(sql);
  third->MoveLast();
  third->SetValue(1, Variant("also changed"));
  RecordsetRef fourth = Run(sql);
  EXPECT_EQ(driver_->executed, 2);
  EXPECT_EQ(fourth->RecordCount(), 5);
  EXPECT_EQ(fourth->Value(0).integer(), 1);  // on the first row, unfiltered
  EXPECT_EQ(rows(*fourth), names);
  EXPECT_EQ(rows(*first), names);
  EXPECT_EQ(second->Value(1).string(), "changed");
  EXPECT_EQ(third->Value(1).string(), "also changed");

  // A failed statement aborts PostgreSQL's snapshot transaction, which the
  // session rolls back at once: the call's later statements still run, the
  // repeated one first on the latest state, then from a new snapshot. On
  // SQLite a statement refused at preparation leaves the snapshot as it is.
  int before = driver_->executed;
  EXPECT_THROW(Run("SELECT no_such_column FROM items"), ComError);
  EXPECT_EQ(Run("SELECT code FROM items WHERE id = 2")->Value(0).string(), "b2");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows(*Run(sql)), names);
  EXPECT_EQ(driver_->executed, before + 2 + (GetParam() == Engine::kSqlite ? 0 : 1));

  // On SQLite, reaching the other database attaches it, which ends the
  // snapshot: the next run reads the new one.
  if (GetParam() == Engine::kSqlite) {
    before = driver_->executed;
    Run("SELECT c.sc_order_id FROM " + site_->project() + "..categories c");
    Run(sql);
    EXPECT_EQ(driver_->executed, before + 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, RepeatTest, ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const auto& info) { return info.param == Engine::kSqlite ? "SQLite" : "PostgreSQL"; });

}  // namespace
}  // namespace trelix::base
