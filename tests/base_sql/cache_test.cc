// TranslateCached: one translation per dialect, text and catalogue scope,
// bounded, safe from several threads.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/sql/translator.h"

namespace trelix::sql {
namespace {

std::string Numbered(int i) { return "SELECT a FROM t WHERE k = " + std::to_string(i); }

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTranslationCacheEnabled(true); }
  void TearDown() override { SetTranslationCacheEnabled(true); }
};

TEST_F(CacheTest, RepeatedStatementIsTheSameTranslation) {
  const std::string text = "SELECT TOP 1 a FROM t WHERE b = N'x'";
  auto first = TranslateCached(text, Dialect::kSqlite);
  auto again = TranslateCached(text, Dialect::kSqlite);
  ASSERT_TRUE(first.ok() && again.ok());
  EXPECT_EQ(first.value().get(), again.value().get());
  EXPECT_EQ(first.value()->text, Translate(text, Dialect::kSqlite)->text);

  auto pg = TranslateCached(text, Dialect::kPostgres);
  ASSERT_TRUE(pg.ok());
  EXPECT_NE(pg.value().get(), first.value().get());
  EXPECT_EQ(pg.value()->text, Translate(text, Dialect::kPostgres)->text);
}

TEST_F(CacheTest, ScopesKeepCataloguesApart) {
  const std::string text = "SELECT a + b FROM t";
  // A catalogue in which every column has `type`.
  auto scope = [](const char* name, std::string type) {
    TranslateOptions options;
    options.cache_scope = name;
    options.column_types = [type](std::string_view, std::string_view, std::string_view) {
      return std::optional<std::string>(type);
    };
    return options;
  };
  auto joined = TranslateCached(text, Dialect::kSqlite, scope("texts", "nvarchar(10)"));
  auto added = TranslateCached(text, Dialect::kSqlite, scope("numbers", "int"));
  ASSERT_TRUE(joined.ok() && added.ok());
  EXPECT_EQ(joined.value()->text, "SELECT a || b FROM t");
  EXPECT_EQ(added.value()->text, "SELECT a + b FROM t");
  // Without a catalogue the statement is refused, cached or not.
  EXPECT_FALSE(TranslateCached(text, Dialect::kSqlite).ok());
  EXPECT_FALSE(TranslateCached(text, Dialect::kSqlite).ok());
}

TEST_F(CacheTest, DisabledTranslatesEveryTime) {
  const std::string text = "SELECT b FROM t";
  SetTranslationCacheEnabled(false);
  auto a = TranslateCached(text, Dialect::kSqlite);
  auto b = TranslateCached(text, Dialect::kSqlite);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_NE(a.value().get(), b.value().get());
  EXPECT_EQ(a.value()->text, b.value()->text);
  SetTranslationCacheEnabled(true);
  auto c = TranslateCached(text, Dialect::kSqlite);
  auto d = TranslateCached(text, Dialect::kSqlite);
  EXPECT_EQ(c.value().get(), d.value().get());
}

TEST_F(CacheTest, BoundedButRecentlyUsedStatementsStay) {
  const std::string kept = "SELECT kept FROM t";
  const std::string dropped = "SELECT dropped FROM t";
  auto kept_first = TranslateCached(kept, Dialect::kSqlite).value();
  auto dropped_first = TranslateCached(dropped, Dialect::kSqlite).value();
  for (int i = 0; i < 30000; ++i) {
    ASSERT_TRUE(TranslateCached(Numbered(i), Dialect::kSqlite).ok());
    if (i % 100 == 0) {
      EXPECT_EQ(TranslateCached(kept, Dialect::kSqlite).value().get(), kept_first.get()) << i;
    }
  }
  EXPECT_EQ(TranslateCached(kept, Dialect::kSqlite).value().get(), kept_first.get());
  EXPECT_NE(TranslateCached(dropped, Dialect::kSqlite).value().get(), dropped_first.get());
}

TEST_F(CacheTest, ManyThreadsGetCorrectTranslations) {
  std::vector<std::string> expected;
  for (int i = 0; i < 64; ++i) expected.push_back(Translate(Numbered(i), Dialect::kPostgres)->text);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < 3000; ++n) {
        const int i = (n * 7 + t) % 64;
        auto r = TranslateCached(Numbered(i), Dialect::kPostgres);
        if (!r.ok() || r.value()->text != expected[i]) ++wrong;
        // New statements now and then force generations to turn over.
        if (n % 50 == t) (void)TranslateCached(Numbered(100000 + t * 10000 + n), Dialect::kPostgres);
        if (t == 0 && n == 1500) SetTranslationCacheEnabled(false);  // empties it under the others
        if (t == 0 && n == 1600) SetTranslationCacheEnabled(true);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace trelix::sql
