// The connector's parts without a server: type mapping and value parsing,
// connection strings, case folding, the result builder, the in-process
// cache's bound, an unreachable Redis, SHAPE parsing and grouping, the
// trace's JSON lines.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/column_types.h"
#include "base/connection_string.h"
#include "base/memory_cache.h"
#include "base/postgres_driver.h"
#include "base/redis_cache.h"
#include "base/result_builder.h"
#include "base/shape.h"
#include "base/text_fold.h"
#include "base/trace.h"

namespace trelix::base {
namespace {

// An open recordset of `fields` (name, type, defined size) holding `rows`.
RecordsetRef Table(std::initializer_list<std::tuple<const char*, DataType, int32_t>> fields,
                   std::vector<std::vector<Variant>> rows) {
  auto rs = std::make_shared<Recordset>();
  for (const auto& [name, type, size] : fields) rs->AppendField(name, type, size);
  rs->Open();
  for (auto& row : rows) rs->AppendRow(std::move(row));
  return rs;
}

TEST(ColumnTypes, DeclaredSqlServerTypesMapToFields) {
  struct Case {
    const char* declared;
    DataType type;
    int32_t size;
    int precision, scale;
  };
  using enum DataType;
  const Case cases[] = {
      {"int", kInteger, 0, 0, 0},       {"INT", kInteger, 0, 0, 0},   {"bigint", kBigInt, 0, 0, 0},
      {"smallint", kSmallInt, 0, 0, 0}, {"tinyint", kUnsignedTinyInt, 0, 0, 0}, {"bit", kBoolean, 0, 0, 0},
      {"nvarchar(50)", kVarWChar, 50, 0, 0}, {"NVARCHAR ( 10 )", kVarWChar, 10, 0, 0},
      {"nvarchar(max)", kLongVarWChar, 1073741823, 0, 0}, {"varchar(7)", kVarChar, 7, 0, 0},
      {"ntext", kLongVarWChar, 1073741823, 0, 0}, {"float", kDouble, 0, 0, 0}, {"real", kSingle, 0, 0, 0},
      {"money", kCurrency, 0, 0, 0},        {"decimal(9,2)", kNumeric, 0, 9, 2}, {"numeric", kNumeric, 0, 18, 0},
      {"datetime", kDBTimeStamp, 0, 0, 0},  {"dbo.nvarchar(20)", kVarWChar, 20, 0, 0},  // a schema-qualified domain
      {"\"nvarchar\"", kVarWChar, 4000, 0, 0},  // no length: as wide as an expression
  };
  for (const Case& c : cases) {
    auto field = FieldFromDeclaredType(c.declared);
    ASSERT_TRUE(field.has_value()) << c.declared;
    EXPECT_EQ(std::tuple(field->type, field->defined_size, field->precision, field->numeric_scale),
              std::tuple(c.type, c.size, c.precision, c.scale)) << c.declared;
  }
  // SQLite's own names and nonsense are typed by value instead.
  for (const char* other : {"INTEGER", "TEXT", "BLOB", "", "nvarchar(x)", "decimal(9"}) {
    EXPECT_FALSE(FieldFromDeclaredType(other).has_value()) << other;
  }
  // PostgreSQL's own names of the columns a site declared.
  for (auto [pg, ms] : std::initializer_list<std::pair<const char*, const char*>>{
           {"integer", "int"}, {"character varying(50)", "nvarchar(50)"}, {"text", "ntext"}, {"boolean", "bit"},
           {"double precision", "float"}, {"numeric(19,4)", "decimal(19,4)"},
           {"timestamp(3) without time zone", "datetime"}}) {
    EXPECT_EQ(SqlServerTypeOfPostgresType(pg).value_or("?"), ms);
  }
  EXPECT_FALSE(SqlServerTypeOfPostgresType("jsonb").has_value());
}

TEST(ColumnTypes, ValuesConvertOrFailClearly) {
  EXPECT_NEAR(*ParseDateTime("2024-01-02 03:04:05"), 45293.12783564815, 1e-9);
  EXPECT_NEAR(*ParseDateTime("2024-01-02T03:04:05.500Z"), 45293.12783564815 + 0.5 / 86400, 1e-9);
  EXPECT_EQ(*ParseDateTime("1899-12-30"), 0.0);
  EXPECT_NEAR(*ParseDateTime("1899-12-29 06:00:00"), -1.25, 1e-12);  // OLE dates count time forward
  for (const char* bad : {"2024-02-30", "2024-13-01", "24-01-01", "2024-01-01 25:00:00", "yesterday", ""}) {
    EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
  }
  for (auto [text, scaled] : std::initializer_list<std::pair<const char*, int64_t>>{
           {"1200.5", 12005000}, {"$1,200.50", 12005000}, {"-$0.01", -100}, {"($2.00)", -20000}, {"0.00005", 0},
           {"0.00015", 2}, {"0.000151", 2}, {"7", 70000}}) {
    ASSERT_TRUE(ParseCurrency(text).has_value()) << text;
    EXPECT_EQ(ParseCurrency(text)->scaled, scaled) << text;
  }
  for (const char* bad : {"", "$", "1.2.3", "abc", "99999999999999999999"}) EXPECT_FALSE(ParseCurrency(bad)) << bad;

  EXPECT_EQ(VariantFromText("t", DataType::kBoolean).value(), Variant(true));
  EXPECT_EQ(VariantFromText("42", DataType::kSmallInt).value(), Variant(int16_t{42}));
  EXPECT_EQ(VariantFromInteger(7, DataType::kCurrency).value(), Variant(Currency{70000}));
  EXPECT_FALSE(VariantFromInteger(70000, DataType::kSmallInt).ok());
  EXPECT_FALSE(VariantFromText("12abc", DataType::kInteger).ok());
  EXPECT_FALSE(VariantFromReal(1.5, DataType::kInteger).ok());
  EXPECT_EQ(SanitizeUtf8("a\xff" "b\xc3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(SanitizeUtf8("Émile"), "Émile");
}

TEST(ResultBuilder, NamesAreUniqueAndExpressionsTypedByTheirValues) {
  ResultBuilder builder;
  builder.AddColumn("id", FieldFromDeclaredType("int"));
  builder.AddColumn("id", FieldFromDeclaredType("int"));  // a.id, b.id
  builder.AddColumn("", std::nullopt);                    // unnamed expression
  builder.AddColumn("wide", std::nullopt);
  builder.AddColumn("mixed", std::nullopt);
  builder.AddColumn("nulls", std::nullopt);
  for (int64_t row : {1, 2}) {
    // A braced list evaluates its elements in order: the cells go in left to right.
    for (const Status& added : {builder.AddInteger(row), builder.AddInteger(row), builder.AddText("x"),
                                builder.AddInteger(row == 1 ? 5000000000 : 1),
                                row == 1 ? builder.AddInteger(1) : builder.AddReal(0.5), builder.AddNull()}) {
      ASSERT_TRUE(added.ok()) << added.message();
    }
    builder.EndRow();
  }
  auto rs = builder.Finish();
  ASSERT_TRUE(rs.ok()) << rs.status().message();
  const Recordset& r = *rs.value();
  EXPECT_EQ(std::tuple(r.Field(0).name, r.Field(1).name, r.Field(2).name), std::tuple("id", "id_2", "Expr3"));
  EXPECT_EQ(std::tuple(r.Field(2).type, r.Field(3).type, r.Field(4).type, r.Field(5).type),
            std::tuple(DataType::kVarWChar, DataType::kBigInt, DataType::kDouble, DataType::kInteger));
  EXPECT_EQ(r.RecordCount(), 2);
  EXPECT_EQ(r.Value(4), Variant(1.0));

  ResultBuilder bad;
  bad.AddColumn("qty", FieldFromDeclaredType("smallint"));
  Status status = bad.AddInteger(100000);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("qty"), std::string::npos);
}

TEST(ConnectionStrings, ParseOrFailClearly) {
  auto sqlite = ParseConnectionString("SQLite:/data/site");
  ASSERT_TRUE(sqlite.ok());
  EXPECT_EQ(std::tuple(sqlite->scheme, sqlite->rest), std::tuple("sqlite", "/data/site"));
  EXPECT_EQ(PostgresConninfo(ParseConnectionString("postgresql://u@h:5/db").value()), "postgresql://u@h:5/db");
  EXPECT_EQ(PostgresConninfo(ParseConnectionString("postgresql:host=h dbname=d").value()), "host=h dbname=d");
  for (const char* bad : {"", "nocolon", ":x", "we ird:x"}) EXPECT_FALSE(ParseConnectionString(bad).ok()) << bad;

  auto mssql = ParseSqlServerAddress("//sa:p%40ss@db.example:14330");
  ASSERT_TRUE(mssql.ok());
  EXPECT_EQ(std::tuple(mssql->user, mssql->password, mssql->host, mssql->port),
            std::tuple("sa", "p@ss", "db.example", 14330));
  EXPECT_EQ(ParseSqlServerAddress("//u:p@[::1]").value().host, "::1");
  for (const char* bad : {"sa@h", "//u:p@", "//u:p@h:0", "//u:p@h:99999", "//u:%zz@h"}) {
    EXPECT_FALSE(ParseSqlServerAddress(bad).ok()) << bad;
  }

  for (const char* good : {"demo_project", "Demo Specs", "a.b"}) EXPECT_TRUE(ValidateDatabaseName(good).ok()) << good;
  for (const char* bad : {"", "../etc", "a/b", "a\\b", ".hidden", "x\"y", "x;y", "a\nb"}) {
    EXPECT_FALSE(ValidateDatabaseName(bad).ok()) << bad;
  }

  // The connector's own option leaves the text the engine's client reads.
  for (auto [given, left, timeout_ms] : std::initializer_list<std::tuple<const char*, const char*, int>>{
           {"/data/site?statement_timeout=500", "/data/site", 500},
           {"//u@h/db?sslmode=disable&statement_timeout=0&x=1", "//u@h/db?sslmode=disable&x=1", 0},
           {"//u@h/db?statement_timeout=25", "//u@h/db", 25},
           {"host=h statement_timeout = 70 dbname=d", "host=h  dbname=d", 70},
           {"host=h dbname=d", "host=h dbname=d", 0},
           {"host=h my_statement_timeout=9", "host=h my_statement_timeout=9", 0}}) {
    std::string rest = given;
    auto options = TakeConnectorOptions(rest);
    ASSERT_TRUE(options.ok()) << given;
    EXPECT_EQ(std::tuple(rest, options->statement_timeout_ms), std::tuple(left, timeout_ms)) << given;
  }
  for (const char* bad : {"/d?statement_timeout=", "/d?statement_timeout=-1", "/d?statement_timeout=1s",
                          "host=h statement_timeout=99999999999"}) {
    std::string rest = bad;
    auto options = TakeConnectorOptions(rest);
    ASSERT_FALSE(options.ok()) << bad;
    EXPECT_NE(options.status().message().find("statement_timeout"), std::string::npos);
  }

  auto redis = ParseRedisUrl("redis://:secret@10.0.0.5:6380/3");
  ASSERT_TRUE(redis.ok());
  EXPECT_EQ(std::tuple(redis->host, redis->port, redis->database, redis->password),
            std::tuple("10.0.0.5", 6380, 3, "secret"));
  EXPECT_EQ(ParseRedisUrl("redis://cache").value().port, 6379);
  for (const char* bad : {"http://x", "redis://", "redis://h:", "redis://h:70000", "redis://h/x"}) {
    EXPECT_FALSE(ParseRedisUrl(bad).ok()) << bad;
  }
}

TEST(TextFold, IgnoresCaseKeepsAccentsAndAsciiOrder) {
  EXPECT_EQ(FoldCase("ÉCOLE"), FoldCase("école"));
  EXPECT_EQ(FoldCase("STRASSE"), FoldCase("straße"));
  EXPECT_NE(FoldCase("ecole"), FoldCase("école"));
  EXPECT_LT(CompareFolded("ab", "abc"), 0);
  EXPECT_LT(CompareFolded("Zebra", "école"), 0);  // code point order after folding
  EXPECT_EQ(CompareFolded("ÉCOLE", "école"), 0);
  std::string appended = "Key";  // appending folds only what it appends, ASCII or not
  for (const char* text : {"AbC", "abÉ", "STRASSE"}) AppendFoldCase(appended, text);
  EXPECT_EQ(appended, "Keyabc" + FoldCase("abÉ") + "strasse");
  // On ASCII the order is SQLite's NOCASE (lower case, then bytes): '_' (0x5F) after digits and 'Z'->'z' (0x7A).
  const char* ascii[] = {"a1", "a_", "A_", "aZ", "a~", ""};
  for (const char* a : ascii) {
    for (const char* b : ascii) {
      std::string la(a), lb(b);
      for (char& c : la) c = static_cast<char>(std::tolower(c));
      for (char& c : lb) c = static_cast<char>(std::tolower(c));
      const int expected = la < lb ? -1 : la > lb ? 1 : 0;
      EXPECT_EQ(CompareFolded(a, b), expected) << a << " vs " << b;
    }
  }
}

// Long texts are compared several bytes at a time: a difference, a case
// change or a non-ASCII character at any position of either text must give
// the order of the folded forms.
TEST(TextFold, CompareAgreesWithFoldedOrderAtEveryPosition) {
  auto sign = [](int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; };
  const std::string base = "Standard Equipment - Interior Trim Level 2 [A@Z`{~]";
  for (size_t pos = 0; pos < base.size(); ++pos) {
    std::vector<std::string> variants;
    for (const char* insert : {"A", "a", "Z", "z", "@", "[", "`", "{", "_", "\x7f", "É", "é", "ß"}) {
      std::string changed = base;
      changed.replace(pos, 1, insert);
      variants.push_back(changed);
    }
    std::string upper = base, lower = base;
    for (size_t i = pos; i < base.size(); ++i) {
      upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
      lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
    }
    // Two differences in one eight-byte stretch: the first decides.
    for (const char* pair : {"!~", "~!"}) {
      std::string changed = base;
      changed[pos] = pair[0];
      if (pos + 3 < changed.size()) changed[pos + 3] = pair[1];
      variants.push_back(changed);
    }
    variants.push_back(upper);
    variants.push_back(lower);
    variants.push_back(base.substr(0, pos));
    for (const std::string& a : variants) {
      std::string key = "K";
      AppendFoldCase(key, a);
      ASSERT_EQ(key, "K" + FoldCase(a));
      for (const std::string& b : {base, upper, variants.front(), variants.back()}) {
        const int expected = sign(FoldCase(a).compare(FoldCase(b)));
        ASSERT_EQ(CompareFolded(a, b), expected) << '"' << a << "\" vs \"" << b << '"';
        ASSERT_EQ(CompareFolded(b, a), -expected) << '"' << b << "\" vs \"" << a << '"';
      }
    }
  }
}

TEST(MemoryCache, BoundedLeastRecentlyUsedFirst) {
  std::vector<std::vector<Variant>> rows;
  for (int32_t i = 0; i < 20; ++i) rows.push_back({Variant(i)});
  const std::string xml = Table({{"n", DataType::kInteger, 0}}, rows)->SaveXml();
  const size_t bound = 6 * (3 * xml.size() + 100);  // room for about six entries
  MemoryCache cache(bound);
  for (int i = 0; i < 5; ++i) cache.Store("k" + std::to_string(i), xml);
  ASSERT_NE(cache.Lookup("k0"), nullptr);  // k0 is now the most recent
  for (int i = 5; i < 9; ++i) cache.Store("k" + std::to_string(i), xml);
  EXPECT_NE(cache.Lookup("k0"), nullptr);
  EXPECT_EQ(cache.Lookup("k1"), nullptr);
  EXPECT_NE(cache.Lookup("k8"), nullptr);
  EXPECT_LE(cache.bytes(), bound);
  EXPECT_EQ(cache.Lookup("k8")->RecordCount(), 20);

  cache.Store("k8", "<not xml");  // a replacement answers for the key from now on
  EXPECT_EQ(cache.Lookup("k8"), nullptr);
  EXPECT_EQ(cache.Lookup("k0", &xml)->RecordCount(), 20);
  const std::string other = xml + " ";
  EXPECT_EQ(cache.Lookup("k0", &other), nullptr);
  cache.Store("huge", std::string(bound, 'x'));  // larger than the bound: not kept
  EXPECT_EQ(cache.Lookup("huge"), nullptr);
}

TEST(RedisCache, UnreachableServerMissesAndReportsOnce) {
  std::vector<std::string> reports;
  SetCacheReporter([&](std::string_view message) { reports.emplace_back(message); });
  RedisCache cache(ParseRedisUrl("redis://127.0.0.1:1").value());
  const CacheScope scope{5, "sqlite:/x", "db"};
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) {
    cache.Put(scope, "k", "<xml/>");
    EXPECT_EQ(cache.Get(scope, "k"), nullptr);
  }
  // Calls while it is down do not wait on it.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  SetCacheReporter(nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("unavailable"), std::string::npos);
  EXPECT_EQ(RedisCache::RedisKey(scope, "GetSpecs1"), RedisCache::RedisKey({5, "sqlite:/x", "DB"}, "GetSpecs1"));
  EXPECT_NE(RedisCache::RedisKey(scope, "k"), RedisCache::RedisKey({6, "sqlite:/x", "db"}, "k"));
  EXPECT_EQ(RedisCache::RedisKey(scope, "k").find("sqlite"), std::string::npos);  // no connection text in keys
}

TEST(Shape, ParsesTheCommandForms) {
  const std::tuple<const char*, std::string, std::string, std::vector<std::string>> cases[] = {  // alias, chapter, BY
      {"SHAPE {SELECT 1} AS x COMPUTE x BY a, b", "x", "x", {"a", "b"}},
      {"shape {SELECT 1} x compute x kids by a", "x", "kids", {"a"}},
      {"SHAPE {SELECT '}' AS b, '{' AS c} AS [my rows] COMPUTE [my rows] AS 'kids' BY \"b\"", "my rows", "kids", {"b"}},
      {"SHAPE {SELECT {fn NOW()}} AS x COMPUTE x", "x", "x", {}},
      {"SHAPE {SELECT 1} COMPUTE y BY a", "y", "y", {"a"}},
  };
  for (const auto& [text, alias, chapter, by] : cases) {
    auto parsed = ParseShape(text);
    ASSERT_TRUE(parsed.ok()) << text << ": " << parsed.status().message();
    EXPECT_EQ(std::tie(parsed->alias, parsed->chapter_name, parsed->by), std::tie(alias, chapter, by)) << text;
  }
  // The per-thread cache answers each text with its own command, also once
  // more texts have passed than it keeps.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 12; ++i) {
      const std::string by = "a" + std::to_string(i);
      auto parsed = ParseShapeCached("SHAPE {SELECT " + std::to_string(i) + "} AS x COMPUTE x BY " + by);
      ASSERT_TRUE(parsed.ok()) << by;
      EXPECT_EQ(parsed.value()->provider_text, "SELECT " + std::to_string(i));
      EXPECT_EQ(parsed.value()->by, std::vector<std::string>{by});
    }
    EXPECT_FALSE(ParseShapeCached("SHAPE {SELECT 1} AS x COMPUTE y BY a").ok());
  }
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "SHAPE (";
  for (const char* bad :
       {"SHAPE {SELECT 1} AS x COMPUTE y BY a", "SHAPE {SELECT 1 AS x COMPUTE x", "SHAPE {SELECT 1} AS x",
        "SHAPE {SELECT 1} AS x COMPUTE x BY", "SHAPE {SELECT 1} AS x COMPUTE x BY a extra",
        "SHAPE {SELECT 1} AS x APPEND ({SELECT 2} RELATE a TO a)",
        "SHAPE {SELECT 1} AS x COMPUTE x, SUM(x.a) AS s BY a", "SELECT 1",
        "SHAPE ((SHAPE {x} AS a COMPUTE a) AS b COMPUTE b)", deep.c_str()}) {
    EXPECT_FALSE(ParseShape(bad).ok()) << bad;
  }
}

// Per parent row: the BY value `by` (or "NULL"; "" without `by`) and the
// chapter's values of `field`.
std::vector<std::pair<std::string, std::vector<int32_t>>> Groups(Recordset& parent, const char* by, const char* field) {
  std::vector<std::pair<std::string, std::vector<int32_t>>> groups;
  for (parent.MoveFirst(); !parent.IsEOF(); parent.MoveNext()) {
    const Variant value = by ? parent.Value(by) : Variant("");
    groups.emplace_back(value.IsNull() ? "NULL" : value.string(), std::vector<int32_t>{});
    auto chapter = parent.Value(0).As<Recordset>();
    for (int32_t i = 0; i < chapter->RecordCount(); ++i) {
      groups.back().second.push_back(static_cast<int32_t>(chapter->ValueAt(i, chapter->FieldIndex(field)).integer()));
    }
  }
  return groups;
}

RecordsetRef Categories() {
  return Table({{"cat", DataType::kVarWChar, 20}, {"n", DataType::kInteger, 0}},
               {{Variant("b"), Variant(int32_t{1})}, {Variant("A"), Variant(int32_t{2})},
                {Variant("B"), Variant(int32_t{3})}, {Variant::Null(), Variant(int32_t{4})},
                {Variant("a"), Variant(int32_t{5})}, {Variant::Null(), Variant(int32_t{6})}});
}

TEST(Shape, GroupsInFirstAppearanceOrderIgnoringCaseOverTheChildsView) {
  // The provider's rows held alone (consumed), sharing their cells with a
  // cached copy, or kept by the runner: the last two must come out whole.
  auto view = [](RecordsetRef rs) {
    rs->SetFilter(Variant("n > 1"));
    rs->SetSort("n DESC");
    return rs;
  };
  const RecordsetRef cached = Categories(), kept = view(Categories());
  const std::string cached_xml = cached->SaveXml(), kept_xml = kept->SaveXml();
  using G = std::vector<std::pair<std::string, std::vector<int32_t>>>;
  const G whole = {{"b", {1, 3}}, {"A", {2, 5}}, {"NULL", {4, 6}}};
  const G viewed = {{"NULL", {6, 4}}, {"a", {5, 2}}, {"B", {3}}};
  const struct {
    const char* label;
    std::function<RecordsetRef()> rows;
    const G& groups;
    int32_t count;
  } cases[] = {
      {"cells held alone", [] { return Categories(); }, whole, 6},
      {"shared cells", [&] { return cached->Clone(); }, whole, 6},
      {"view of cells held alone", [&] { return view(Categories()); }, viewed, 5},
      {"view of shared cells", [&] { return view(cached->Clone()); }, viewed, 5},
      {"kept view", [&] { return kept; }, viewed, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto run = [&](const std::string&) -> Result<RecordsetRef> { return c.rows(); };
    auto grouped = ExecuteShape(ParseShape("SHAPE {q} AS rows COMPUTE rows BY cat").value(), run);
    ASSERT_TRUE(grouped.ok()) << grouped.status().message();
    EXPECT_EQ(Groups(*grouped.value(), "cat", "n"), c.groups);
    auto all = ExecuteShape(ParseShape("SHAPE {q} AS rows COMPUTE rows").value(), run);
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(all.value()->RecordCount(), 1);
    EXPECT_EQ(all.value()->Value("rows").As<Recordset>()->RecordCount(), c.count);
    EXPECT_FALSE(ExecuteShape(ParseShape("SHAPE {q} AS rows COMPUTE rows BY nope").value(), run).ok());
  }
  EXPECT_EQ(cached->SaveXml(), cached_xml);
  EXPECT_EQ(kept->SaveXml(), kept_xml);
  auto empty = [](const std::string&) -> Result<RecordsetRef> { return Table({{"cat", DataType::kVarWChar, 20}}, {}); };
  EXPECT_EQ(ExecuteShape(ParseShape("SHAPE {q} AS r COMPUTE r BY cat").value(), empty).value()->RecordCount(), 0);
}

TEST(Shape, GroupKeysOfEveryValueKind) {
  // Row ids that must share a group; every other pair must not.
  std::vector<std::vector<Variant>> rows = {
      {Variant("ab"), Variant("c")},        {Variant("a"), Variant("bc")},    {Variant("STRASSE"), Variant::Null()},
      {Variant("straße"), Variant()},       {Variant("\u212A"), Variant()},   {Variant("k"), Variant()},
      {Variant("É"), Variant()},            {Variant("é"), Variant()},        {Variant("e"), Variant()},
      {Variant(-0.0), Variant()},           {Variant(0.0), Variant()},        {Variant(Currency{0}), Variant()},
      {Variant(int32_t{0}), Variant()},     {Variant(int64_t{0}), Variant()}, {Variant("AB"), Variant("C")},
      {Variant::Date(0), Variant()},        {Variant(false), Variant()},
      // Rows in a row with the same values join without a key of their own;
      // the same key from other values or types still joins.
      {Variant("e"), Variant()},            {Variant("e"), Variant()},        {Variant("E"), Variant()},
      {Variant::Null(), Variant()},         {Variant(), Variant::Null()},     {Variant(int32_t{7}), Variant()},
      {Variant(int16_t{7}), Variant()},     {Variant(int16_t{7}), Variant()}, {Variant("ab"), Variant("c")},
      {Variant("ab"), Variant("d")},
  };
  const std::vector<std::vector<int32_t>> expected = {
      {0, 14, 25}, {1}, {2, 3}, {4, 5}, {6, 7}, {8, 17, 18, 19}, {9, 10, 15}, {11}, {12, 13, 16}, {20, 21},
      {22, 23, 24}, {26}};
  for (int32_t i = 0; i < static_cast<int32_t>(rows.size()); ++i) rows[i].push_back(Variant(i));
  auto run = [&](const std::string&) -> Result<RecordsetRef> {
    return Table({{"a", DataType::kVariant, 0}, {"b", DataType::kVariant, 0}, {"id", DataType::kInteger, 0}}, rows);
  };
  auto grouped = ExecuteShape(ParseShape("SHAPE {q} AS r COMPUTE r BY a, b").value(), run);
  ASSERT_TRUE(grouped.ok()) << grouped.status().message();
  std::vector<std::vector<int32_t>> ids;
  for (const auto& [by, group] : Groups(*grouped.value(), nullptr, "id")) ids.push_back(group);
  EXPECT_EQ(ids, expected);
}

TEST(Shape, MutatedCommandsFailCleanly) {
  // Commands come from callers: random edits of a real one must parse or
  // fail with a status, never crash or hang.
  const std::string base =
      "SHAPE (SHAPE {SELECT a, 'x}y' AS b FROM t} as [Std Content] COMPUTE [Std Content] BY a, b) as v "
      "compute v AS 'kids' by b";
  auto child =
      Table({{"a", DataType::kInteger, 0}, {"b", DataType::kVarWChar, 10}}, {{Variant(int32_t{1}), Variant("x}y")}});
  auto run = [&](const std::string&) -> Result<RecordsetRef> { return child->Clone(); };
  const std::string alphabet = "{}()[]'\",\" aSHAPEcomputeBYas";
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
  int parsed = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string text = base;
    for (int edits = 1 + next() % 4; edits > 0 && !text.empty(); --edits) {
      const size_t at = next() % text.size();
      switch (next() % 3) {
        case 0: text.erase(at, 1 + next() % 3); break;
        case 1: text.insert(at, 1, alphabet[next() % alphabet.size()]); break;
        default: text[at] = alphabet[next() % alphabet.size()];
      }
    }
    auto command = ParseShape(text);
    if (!command.ok()) continue;
    ++parsed;
    (void)ExecuteShape(command.value(), run);
  }
  EXPECT_GT(parsed, 0);
}

TEST(Trace, JsonLinesAndFile) {
  EXPECT_EQ(TraceJsonLine({"ExecuteQuery", "demo_project", "SELECT 'a\"b'\n", 0, 0.4204}),
            R"({"op":"ExecuteQuery","database":"demo_project","text":"SELECT 'a\"b'\n","handle":0,"ms":0.42})");
  EXPECT_EQ(TraceJsonLine({"CacheRecordset", "p", "bad\xff", 3, 1}),
            "{\"op\":\"CacheRecordset\",\"database\":\"p\",\"text\":\"bad\xEF\xBF\xBD\",\"handle\":3,\"ms\":1.0}");

  const std::string path = (std::filesystem::temp_directory_path() / ("trace_" + std::to_string(getpid()))).string();
  ASSERT_TRUE(TraceToFile(path).ok());
  { TraceScope scope("GetCachedRecordset", "p", "K1", 9); }
  { TraceScope scope("ExecuteShape", "s", "SHAPE", 0); }
  SetTraceSink(nullptr);
  { TraceScope scope("ExecuteQuery", "s", "not traced", 0); }
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(R"({"op":"GetCachedRecordset","database":"p","text":"K1","handle":9,"ms":)", 0), 0u);
  EXPECT_EQ(lines[1].rfind(R"({"op":"ExecuteShape")", 0), 0u);
  EXPECT_FALSE(TraceToFile("/nonexistent/dir/trace").ok());
}

}  // namespace
}  // namespace trelix::base
