// The connector's cost over its engines and caches:
// - a 2,000-row statement on SQLite run raw (prepared once, every column
//   read) against the same statement through Connector::ExecuteQuery (a
//   connector per call, pooled session, translation and statement caches,
//   the recordset built);
// - putting and getting a 300-row recordset in the in-process cache and in
//   Redis (TRELIX_TEST_REDIS; skipped without it);
// - client-side SHAPE grouping of 300 in-memory rows into 20 groups, over a
//   child that shares its cells with a cached copy and over one that holds
//   them alone (the usual provider result).

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/connector.h"
#include "base/memory_cache.h"
#include "base/redis_cache.h"
#include "base/shape.h"
#include "base/sql/translator.h"
#include "base/sqlite_driver.h"

namespace trelix::base {
namespace {

constexpr const char* kDatabase = "bench_specs";
constexpr const char* kStatement =
    "SELECT vehicle_id, option_id, schema_id, location, data_value, condition, msrp FROM equipment "
    "WHERE vehicle_id = 1001 ORDER BY schema_id, option_id";
constexpr const char* kStatement300 =
    "SELECT TOP 300 vehicle_id, option_id, schema_id, location, data_value, condition, msrp FROM equipment "
    "WHERE vehicle_id = 1001 ORDER BY schema_id, option_id";

// A temporary SQLite site with an equipment-like table: 2,000 rows of
// vehicle 1001 and 2,000 of vehicle 1002.
class BenchSite {
 public:
  BenchSite() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trelix_bench_XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir_ = pattern;
    connection_ = "sqlite:" + dir_;
    sqlite3* db = nullptr;
    sqlite3_open((dir_ + "/" + kDatabase + ".sqlite").c_str(), &db);
    std::string script =
        "BEGIN; CREATE TABLE equipment (vehicle_id int, option_id int, schema_id int, location nvarchar(10) COLLATE "
        "NOCASE, data_value nvarchar(50) COLLATE NOCASE, condition nvarchar(100) COLLATE NOCASE, msrp money);";
    for (int vehicle : {1001, 1002}) {
      for (int i = 0; i < 2000; ++i) {
        script += "INSERT INTO equipment VALUES (" + std::to_string(vehicle) + "," + std::to_string(i % 4) + "," +
                  std::to_string(1000 + (i * 7919) % 2000) + ",'" + (i % 3 ? "-" : "F") + "','Value " +
                  std::to_string(i % 50) + "'," + (i % 5 ? "'opt(" + std::to_string(i % 7) + ")'" : "NULL") + "," +
                  std::to_string((i % 997) * 10.5) + ");";
      }
    }
    script += "CREATE INDEX ix_vehicle ON equipment (vehicle_id); COMMIT;";
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    sqlite3_close(db);
  }
  ~BenchSite() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& dir() const { return dir_; }
  const std::string& connection() const { return connection_; }

 private:
  std::string dir_, connection_;
};

BenchSite& Site() {
  static BenchSite site;
  return site;
}

// The engine alone: the translated statement prepared once, stepped through
// and every column read as the engine returns it.
void BM_SqliteRaw2000Rows(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2((Site().dir() + "/" + kDatabase + ".sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  InstallSqliteCollations(db);
  const std::string sql = sql::Translate(kStatement, sql::Dialect::kSqlite).value().text;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  int64_t rows = 0;
  for (auto _ : state) {
    int64_t checksum = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        switch (sqlite3_column_type(stmt, i)) {
          case SQLITE_INTEGER: checksum += sqlite3_column_int64(stmt, i); break;
          case SQLITE_FLOAT: checksum += static_cast<int64_t>(sqlite3_column_double(stmt, i)); break;
          case SQLITE_TEXT: checksum += sqlite3_column_bytes(stmt, i) + sqlite3_column_text(stmt, i)[0]; break;
          default: break;
        }
      }
      ++rows;
    }
    sqlite3_reset(stmt);
    benchmark::DoNotOptimize(checksum);
  }
  state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}
BENCHMARK(BM_SqliteRaw2000Rows)->Unit(benchmark::kMicrosecond);

void BM_ConnectorExecuteQuery2000Rows(benchmark::State& state) {
  const std::string connection = Site().connection();
  int64_t rows = 0;
  for (auto _ : state) {
    Connector connector;  // one per call, as the component creates it
    RecordsetRef rs = connector.ExecuteQuery(kStatement, kDatabase, connection);
    rows += rs->RecordCount();
    benchmark::DoNotOptimize(rs);
  }
  state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ConnectorExecuteQuery2000Rows)->Unit(benchmark::kMicrosecond);

std::shared_ptr<RecordsetCache> CacheFor(benchmark::State& state, bool redis) {
  if (!redis) return std::make_shared<MemoryCache>(64u << 20);
  const char* url = std::getenv("TRELIX_TEST_REDIS");
  if (!url) {
    state.SkipWithError("TRELIX_TEST_REDIS is not set");
    return nullptr;
  }
  auto address = ParseRedisUrl(url);
  if (!address.ok()) {
    state.SkipWithError(address.status().message().c_str());
    return nullptr;
  }
  return std::make_shared<RedisCache>(address.value());
}

const std::string& Xml300() {
  static const std::string xml = Connector().ExecuteQuery(kStatement300, kDatabase, Site().connection())->SaveXml();
  return xml;
}

// Cache handle 1, a key like the component's.
void BM_CachePut300Rows(benchmark::State& state) {
  auto cache = CacheFor(state, state.range(0) != 0);
  if (!cache) return;
  const std::string& xml = Xml300();
  for (auto _ : state) {
    Connector connector(nullptr, cache);
    connector.CacheRecordset("GetSpecsENG110010", xml, 1, Site().connection(), kDatabase);
  }
  state.SetLabel(state.range(0) ? "redis" : "in-process");
}
BENCHMARK(BM_CachePut300Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_CacheGet300Rows(benchmark::State& state) {
  auto cache = CacheFor(state, state.range(0) != 0);
  if (!cache) return;
  Connector(nullptr, cache).CacheRecordset("GetSpecsENG110010", Xml300(), 1, Site().connection(), kDatabase);
  for (auto _ : state) {
    Connector connector(nullptr, cache);
    RecordsetRef rs = connector.GetCachedRecordset("GetSpecsENG110010", 1, Site().connection(), kDatabase);
    if (!rs || rs->RecordCount() != 300) state.SkipWithError("cache miss");
    benchmark::DoNotOptimize(rs);
  }
  state.SetLabel(state.range(0) ? "redis" : "in-process");
}
BENCHMARK(BM_CacheGet300Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);


// 300 rows like a descriptions statement's: a group name spelt in two cases,
// an id, a description longer than a short-string buffer, a number.
RecordsetRef ShapeChild() {
  auto rs = std::make_shared<Recordset>();
  rs->AppendField("Section", DataType::kVarWChar, 50);
  rs->AppendField("ItemId", DataType::kInteger);
  rs->AppendField("Description", DataType::kVarWChar, 200);
  rs->AppendField("Weight", DataType::kDouble);
  rs->Open();
  for (int i = 0; i < 300; ++i) {
    const int group = (i * 7) % 20;
    std::string section = (i % 2 ? "Section " : "SECTION ") + std::to_string(group);
    rs->AppendRow({Variant(std::move(section)), Variant(int32_t{i}),
                   Variant("Standard description number " + std::to_string(i) + " of the vehicle"),
                   Variant(i * 0.25)});
  }
  return rs;
}

void BM_ShapeGroup300Rows(benchmark::State& state) {
  const bool shared = state.range(0) == 0;
  const auto command = ParseShape("SHAPE {q} AS rows COMPUTE rows BY Section");
  const RecordsetRef prepared = ShapeChild();
  for (auto _ : state) {
    RecordsetRef child;
    if (shared) {
      child = prepared->Clone();  // what a cache hit hands out: the cells shared
    } else {
      state.PauseTiming();
      child = ShapeChild();
      state.ResumeTiming();
    }
    auto shaped = ExecuteShape(command.value(), [&](const std::string&) -> Result<RecordsetRef> { return std::move(child); });
    if (!shaped.ok() || shaped.value()->RecordCount() != 20) state.SkipWithError("unexpected grouping");
    benchmark::DoNotOptimize(shaped);
  }
  state.SetLabel(shared ? "cells shared" : "cells held alone");
}
BENCHMARK(BM_ShapeGroup300Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelix::base
