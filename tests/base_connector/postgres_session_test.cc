// How a PostgreSQL session is set up for the sites' small, cached tables.

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/connection_pool.h"
#include "test_site.h"

namespace trelix::base {
namespace {

using testing::Engine;
using testing::TestSite;

// Index look-ups are planned as cheap as they are on cached tables, unless
// the connection (or the server's configuration) says otherwise.
TEST(PostgresSession, PlansIndexLookUpsAsCheapUnlessTheConnectionSaysOtherwise) {
  const char* url = std::getenv("TRELIX_TEST_PG");
  if (!url || !*url) {
    const char* required = std::getenv("TRELIX_REQUIRE_SERVICES");
    if (required && std::string(required) == "1") FAIL() << "TRELIX_TEST_PG is not set (scripts/services start)";
    GTEST_SKIP() << "TRELIX_TEST_PG is not set";
  }
  TestSite site(Engine::kPostgres, url);
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

}  // namespace
}  // namespace trelix::base
