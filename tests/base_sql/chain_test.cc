// Operator chains of any length (a sheet query ORs one term per sheet line)
// translate and run; nesting beyond the parser's bound is refused cleanly.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/sql/translator.h"
#include "base_sql/sample_schema.h"

namespace trelix::sql {
namespace {

// One query with a chain of `n` terms, its PostgreSQL translation (printed
// flat) and what SQLite answers to its translation.
struct Chain {
  std::string tsql;
  std::string postgres;
  std::string sqlite_answer;
};

struct ChainCase {
  const char* name;
  std::function<Chain(int n)> make;
};

// Rows of t: k, s, v.
constexpr const char* kTable =
    "CREATE TABLE t (k int, s varchar(5) COLLATE NOCASE, v int);"
    "INSERT INTO t VALUES (0, 'a', 1), (1, 'b', 1), (2, 'c', 1), (5000, 'x', 1), (20000, 'y', 1), (1, 'b', 2)";

const ChainCase kChains[] = {
    {"OrOfSheetTerms",  // as the equipment query builds it
     [](int n) {
       std::string terms;
       for (int i = 0; i < n; ++i) {
         const std::string k = std::to_string(i);
         terms += i ? " OR " : "";
         terms += i % 2 ? "((t.k = " + k + "))" : "((t.k = " + k + ") AND (t.s = 'A'))";
       }
       const std::string where = " WHERE (t.v = 1) AND (" + terms + ")";
       return Chain{"SELECT COUNT(*) AS n FROM t" + where, R"(SELECT COUNT(*) AS "n" FROM t)" + where, "2"};
     }},
    {"OrOfOneColumnsIntegers",  // the sheet query's terms without options: one list
     [](int n) {
       std::string terms, list;
       for (int i = 0; i < n; ++i) {
         terms += (i ? " OR ((t.k = " : "((t.k = ") + std::to_string(i) + "))";
         list += (i ? ", " : "") + std::to_string(i);
       }
       return Chain{"SELECT COUNT(*) AS n FROM t WHERE (t.v = 1) AND (" + terms + ")",
                    R"(SELECT COUNT(*) AS "n" FROM t WHERE (t.v = 1) AND (t.k IN ()" + list + "))",
                    n > 5000 ? "4" : "3"};
     }},
    {"AndOfComparisons",
     [](int n) {
       std::string terms;
       for (int i = 0; i < n; ++i) terms += (i ? " AND t.k <> " : "t.k <> ") + std::to_string(i);
       return Chain{"SELECT COUNT(*) AS n FROM t WHERE " + terms,
                    R"(SELECT COUNT(*) AS "n" FROM t WHERE )" + terms, "2"};
     }},
    {"ConcatenatedTexts",
     [](int n) {
       std::string tsql = "N'x'", joined = "'x'";
       for (int i = 1; i < n; ++i) {
         tsql += " + 'x'";
         joined += " || 'x'";
       }
       return Chain{"SELECT LEN(" + tsql + ") AS n", "SELECT length(rtrim(" + joined + ")) AS \"n\"",
                    std::to_string(n)};
     }},
    {"MixedArithmetic",  // one precedence level, parentheses where SQLite ranks & below +
     [](int n) {
       std::string tsql = "1", printed = "1";
       for (int i = 1; i < n; ++i) {
         tsql += i % 2 ? " & 3" : " + 1";
         printed += i % 2 ? " & 3" : ") + 1";
       }
       printed = std::string((n - 1) / 2, '(') + printed;
       return Chain{"SELECT " + tsql + " AS n", "SELECT " + printed + " AS \"n\"", ""};
     }},
};

std::string SqliteAnswer(const std::string& sql) {
  auto result = testing::RunOnSqlite({kTable}, sql);
  if (!result.ok()) return "error: " + result.status().message();
  return result->rows.empty() ? "" : result->rows[0][0];
}

TEST(ChainTest, LongChainsTranslateAndRun) {
  for (const ChainCase& c : kChains) {
    for (int n : {1000, 10000}) {
      SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(n));
      const Chain chain = c.make(n);
      auto pg = Translate(chain.tsql, Dialect::kPostgres);
      ASSERT_TRUE(pg.ok()) << pg.status().message();
      EXPECT_EQ(pg->text, chain.postgres);
      auto lite = Translate(chain.tsql, Dialect::kSqlite);
      ASSERT_TRUE(lite.ok()) << lite.status().message();
      // SQLite refuses expression trees over 1000 high: associative chains
      // come regrouped; a mixed one only needs to translate. (SQLite's own
      // planning of 10k terms takes seconds, so it runs the 1k ones.)
      if (!chain.sqlite_answer.empty() && n <= 1000) {
        EXPECT_EQ(SqliteAnswer(lite->text), chain.sqlite_answer);
      }
      auto mssql = Translate(chain.tsql, Dialect::kSqlServer);
      ASSERT_TRUE(mssql.ok());
      EXPECT_EQ(mssql->text, chain.tsql);
    }
  }
}

// Only a long chain of `column = integer` on one column becomes a list.
TEST(ChainTest, OrChainsBecomeAListOnlyOfOneColumnAndIntegers) {
  auto chain = [](int n, const std::function<std::string(int)>& term) {
    std::string out = "SELECT k FROM t WHERE ";
    for (int i = 0; i < n; ++i) out += (i ? " OR " : "") + term(i);
    return out;
  };
  const std::pair<std::string, bool> cases[] = {  // T-SQL, written as a list
      {chain(8, [](int i) { return "k = " + std::to_string(i); }), true},
      {chain(8, [](int i) { return (i % 2 ? "(T.K = " : "((t.k) = ") + std::to_string(i) + ")"; }), true},
      {chain(7, [](int i) { return "k = " + std::to_string(i); }), false},
      {chain(8, [](int i) { return (i == 3 ? "v = " : "k = ") + std::to_string(i); }), false},
      {chain(8, [](int i) { return "k = '" + std::to_string(i) + "'"; }), false},
      {chain(8, [](int i) { return (i == 3 ? "k <> " : "k = ") + std::to_string(i); }), false},
      {chain(8, [](int i) { return "k = " + std::to_string(i) + ".5"; }), false},
      {chain(8, [](int i) { return i == 3 ? std::string("k = 1 AND v = 1") : "k = " + std::to_string(i); }), false},
  };
  for (const auto& [tsql, listed] : cases) {
    SCOPED_TRACE(tsql);
    for (Dialect d : {Dialect::kSqlite, Dialect::kPostgres}) {
      auto r = Translate(tsql, d);
      ASSERT_TRUE(r.ok()) << r.status().message();
      EXPECT_EQ(r->text.find(" IN (") != std::string::npos, listed) << r->text;
    }
  }
}

TEST(ChainTest, MixedChainKeepsTheLeftToRightReading) {
  // T-SQL reads ((1 & 3) + 1) & 3; SQLite ranks & below +.
  auto lite = Translate("SELECT 1 & 3 + 1 & 3 + 1 AS n", Dialect::kSqlite);
  ASSERT_TRUE(lite.ok()) << lite.status().message();
  EXPECT_EQ(lite->text, R"(SELECT ((1 & 3) + 1 & 3) + 1 AS "n")");
  EXPECT_EQ(SqliteAnswer(lite->text), "3");
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const std::tuple<const char*, std::function<std::string()>, const char*> kNested[] = {  // name, text, message part
    {"Parentheses", [] { return "SELECT " + std::string(2000, '(') + "1" + std::string(2000, ')'); },
     "nested too deeply"},
    {"RightNestedOr",
     [] { return "SELECT a FROM t WHERE " + Repeat("a = 1 OR (", 3000) + "a = 2" + std::string(3000, ')'); },
     "nested too deeply"},
    {"Not", [] { return "SELECT a FROM t WHERE " + Repeat("NOT ", 5000) + "a = 1"; }, "nested too deeply"},
    {"Subqueries",
     [] { return "SELECT a FROM t WHERE " + Repeat("a IN (SELECT a FROM t WHERE ", 500) + "1 = 1" +
                 std::string(500, ')'); },
     "nested too deeply"},
    {"JoinList", [] { return "SELECT a FROM t0" + Repeat(" JOIN t ON 1 = 1", 1000); }, "too long"},
};

TEST(ChainTest, DeepNestingIsRefusedCleanly) {
  for (const auto& [name, make, message_part] : kNested) {
    SCOPED_TRACE(name);
    const std::string text = make();
    for (Dialect d : {Dialect::kSqlite, Dialect::kPostgres}) {
      auto r = Translate(text, d);
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.status().code(), Status::Code::kUnsupported);
      EXPECT_NE(r.status().message().find(message_part), std::string::npos) << r.status().message();
    }
  }
}

}  // namespace
}  // namespace trelix::sql
