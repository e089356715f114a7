// How a PostgreSQL session is set up for the sites' small, cached tables.

#include <gtest/gtest.h>

#include "base/connection_pool.h"
#include "support/demo_databases.h"
#include "test_site.h"

namespace trelix::base {
namespace {

using testing::Engine;
using testing::TestSite;

// Index look-ups are planned as cheap as they are on cached tables, unless
// the connection (or the server's configuration) says otherwise.
TEST(PostgresSession, PlansIndexLookUpsAsCheapUnlessTheConnectionSaysOtherwise) {
  TRELIX_NEED_SERVER_OR_SKIP(true);
  TestSite site(Engine::kPostgres, ::trelix::testing::TestEnv("TRELIX_TEST_PG"));
  ASSERT_EQ(site.error(), "");
  const std::string separator = site.connection().find('?') == std::string::npos ? "?" : "&";
  const struct {
    std::string suffix;
    const char* expected;
  } cases[] = {
      {"", "1.1"},
      {separator + "options=-c%20random_page_cost%3D2.5", "2.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.suffix);
    const std::string connection = site.connection() + c.suffix;
    auto session = ConnectionPool().DriverFor(connection).value()->Open(connection, site.specs());
    ASSERT_TRUE(session.ok()) << session.status().message();
    auto rs = session.value()->Execute("SELECT current_setting('random_page_cost') AS cost", {});
    ASSERT_TRUE(rs.ok()) << rs.status().message();
    EXPECT_EQ(rs.value()->Value(0).string(), c.expected);
  }
}

// A session that a statement left inside a transaction of its own, or
// whose call snapshot could not be ended, never reaches the next caller.
TEST(PostgresSession, IsNotPassedOnInsideATransaction) {
  TRELIX_NEED_SERVER_OR_SKIP(true);
  TestSite site(Engine::kPostgres, ::trelix::testing::TestEnv("TRELIX_TEST_PG"));
  ASSERT_EQ(site.error(), "");
  auto session = ConnectionPool().DriverFor(site.connection()).value()->Open(site.connection(), site.specs());
  ASSERT_TRUE(session.ok()) << session.status().message();
  Session& s = *session.value();
  s.BeginCall();
  ASSERT_NE(s.BeginSnapshot(), 0u);
  EXPECT_TRUE(s.Execute("SELECT id FROM items", {}).ok());
  s.EndCall();
  EXPECT_EQ(s.Snapshot(), 0u);
  EXPECT_TRUE(s.Healthy());
  EXPECT_TRUE(s.Execute("BEGIN", {}).ok());
  EXPECT_FALSE(s.Healthy());
}

}  // namespace
}  // namespace trelix::base
