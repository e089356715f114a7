// GetSpecs on generated sites through the real connector, on SQLite and
// (with TRELIX_BENCH_PG or TRELIX_TEST_PG) PostgreSQL: GetSpecs of 300- and
// 1,000-line sheets against the floor, the raw time of the very statements
// it sends (taken from the trace, translated beforehand, run straight
// through the engine's driver), with their ratio; at 1x and 4x equipment
// rows per vehicle; and the cache hit of a 300-line sheet.

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "base/driver.h"
#include "base/postgres_driver.h"
#include "base/sql/translator.h"
#include "base/sqlite_driver.h"
#include "base/trace.h"
#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"
#include "common/recordset_json.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_sheet_sql.h"

namespace trelix {
namespace {

constexpr int kVehicles = 20;
constexpr int64_t kFirstVehicle = 100001;

std::string PostgresUrl() {
  for (const char* name : {"TRELIX_BENCH_PG", "TRELIX_TEST_PG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}

struct BenchSite {
  bool postgres = false;
  std::string connection;
  std::string project = "bench_project";
  std::string specs = "bench_specs";
};

// One generated site per (engine, lines, rows per vehicle), made on first
// use and removed at exit. PostgreSQL schemas carry the process id.
const BenchSite* Site(bool postgres, int64_t lines, double rows_per_vehicle) {
  struct Sites {
    std::map<std::tuple<bool, int64_t, double>, BenchSite> made;
    std::vector<std::string> dirs;
    ~Sites() {
      std::error_code ignored;
      for (const std::string& dir : dirs) std::filesystem::remove_all(dir, ignored);
      for (const auto& [key, site] : made) {
        if (!site.postgres) continue;
        PGconn* conn = PQconnectdb(site.connection.c_str());
        const std::string drop = "SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + site.project +
                                 " CASCADE; DROP SCHEMA IF EXISTS " + site.specs + " CASCADE";
        if (PQstatus(conn) == CONNECTION_OK) PQclear(PQexec(conn, drop.c_str()));
        PQfinish(conn);
      }
    }
  };
  static Sites sites;
  const auto key = std::make_tuple(postgres, lines, rows_per_vehicle);
  auto found = sites.made.find(key);
  if (found != sites.made.end()) return &found->second;
  BenchSite site;
  site.postgres = postgres;
  if (postgres) {
    site.connection = PostgresUrl();
    if (site.connection.empty()) return nullptr;
    std::string suffix = "_";
    suffix += std::to_string(lines);
    suffix += '_';
    suffix += std::to_string(static_cast<int>(rows_per_vehicle));
    suffix += '_';
    suffix += std::to_string(::getpid());
    site.project += suffix;
    site.specs += suffix;
  } else {
    std::string dir = (std::filesystem::temp_directory_path() / "trelix_ebrochure_bench_XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    sites.dirs.push_back(dir);
    site.connection = "sqlite:" + dir;
  }
  datagen::ScaleOptions options;
  options.project_name = site.project;
  options.specs_name = site.specs;
  options.vehicles = kVehicles;
  options.lines = lines;
  options.rows_per_vehicle = rows_per_vehicle;
  auto stats = datagen::GenerateScaled(site.connection, options);
  if (!stats.ok()) {
    fprintf(stderr, "site: %s\n", stats.status().message().c_str());
    std::abort();
  }
  base::RegisterConnector();
  return &sites.made.emplace(key, site).first->second;
}

// CPU time of this thread: SQLite runs in-process, so it covers the
// statements' work and is far less disturbed by other load than wall time.
// PostgreSQL works in its server process: there only wall time tells.
double Seconds(bool postgres) {
  if (postgres) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

Recordset* GetSpecs(const BenchSite& site, double vehicle, RecordsetRef* keep) {
  Categories categories;
  Variant options;
  *keep = categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, 0, site.connection);
  return keep->get();
}

// The statements GetSpecs sends for each vehicle, as the trace shows them,
// ready to run through the driver: translated as the connector translates
// them, on one session per database opened beforehand (as the connector's
// pool keeps them), and each run once so that both sides start warm.
class Floor {
 public:
  explicit Floor(const BenchSite& site)
      : site_(site), driver_(site.postgres ? base::MakePostgresDriver() : base::MakeSqliteDriver()) {}

  void Add(int64_t vehicle) {
    std::vector<std::pair<std::string, std::string>> traced;
    std::mutex mu;
    base::SetTraceSink([&](const base::TraceEvent& event) {
      if (event.op != "ExecuteQuery") return;
      std::lock_guard<std::mutex> lock(mu);
      traced.emplace_back(std::string(event.database), std::string(event.text));
    });
    RecordsetRef ignored;
    GetSpecs(site_, static_cast<double>(vehicle), &ignored);
    base::SetTraceSink(nullptr);
    std::vector<Statement>& statements = vehicles_[vehicle];
    for (const auto& [database, text] : traced) {
      base::Session* session = SessionFor(database);
      sql::TranslateOptions options;
      options.column_types = [session](std::string_view db, std::string_view table, std::string_view column) {
        return session->ColumnType(db, table, column);
      };
      auto translated = sql::Translate(text, driver_->dialect(), options);
      if (!translated.ok()) Abort("translate", translated.status());
      statements.push_back(Statement{session, translated->text, translated->databases, database, text});
    }
    Run(vehicle);
  }

  // The same statements as the component sends them, through the
  // connector (translation cache, pool, recordset): the connector's share.
  void RunThroughConnector(int64_t vehicle) {
    for (const Statement& s : vehicles_.at(vehicle)) {
      ConnectorRef connector = CreateConnector();
      benchmark::DoNotOptimize(connector->ExecuteQuery(s.tsql, s.database, site_.connection));
    }
  }

  // Runs the vehicle's statements once, all rows read into recordsets.
  void Run(int64_t vehicle) {
    for (const Statement& s : vehicles_.at(vehicle)) {
      auto rows = s.session->Execute(s.text, s.databases);
      if (!rows.ok()) Abort("statement", rows.status());
      benchmark::DoNotOptimize(rows.value());
    }
  }

 private:
  struct Statement {
    base::Session* session;
    std::string text;
    std::vector<std::string> databases;
    std::string database, tsql;
  };
  static void Abort(const char* what, const Status& status) {
    fprintf(stderr, "floor %s: %s\n", what, status.message().c_str());
    std::abort();
  }
  base::Session* SessionFor(const std::string& database) {
    auto& session = sessions_[database];
    if (!session) {
      auto opened = driver_->Open(site_.connection, database);
      if (!opened.ok()) Abort("session", opened.status());
      session = std::move(opened.value());
    }
    return session.get();
  }
  const BenchSite& site_;
  std::unique_ptr<base::Driver> driver_;
  std::map<std::string, std::unique_ptr<base::Session>> sessions_;
  std::map<int64_t, std::vector<Statement>> vehicles_;
};

// GetSpecs on a fresh object per call (as a page creates it), uncached,
// over the site's vehicles in turn, each call beside the floor of its own
// statements and those statements through the connector: iteration time is
// GetSpecs'; counters give all three and the ratio to the floor.
void GetSpecsAgainstFloor(benchmark::State& state, bool postgres) {
  const double rows_per_vehicle = static_cast<double>(state.range(1));
  const BenchSite* site = Site(postgres, state.range(0), rows_per_vehicle);
  if (!site) {
    state.SkipWithError("no PostgreSQL server (TRELIX_BENCH_PG / TRELIX_TEST_PG)");
    return;
  }
  Floor floors(*site);
  try {
    for (int64_t v = kFirstVehicle; v < kFirstVehicle + kVehicles; ++v) floors.Add(v);
  } catch (const ComError& error) {
    state.SkipWithError(error.description().c_str());
    return;
  }
  double floor = 0, connector = 0, specs = 0;
  int64_t lines = 0, iteration = 0;
  for (auto _ : state) {
    const int64_t vehicle = kFirstVehicle + iteration++ % kVehicles;
    try {
      const double start = Seconds(postgres);
      floors.Run(vehicle);
      const double through = Seconds(postgres);
      floors.RunThroughConnector(vehicle);
      const double middle = Seconds(postgres);
      RecordsetRef result;
      lines = GetSpecs(*site, static_cast<double>(vehicle), &result)->RecordCount();
      const double end = Seconds(postgres);
      floor += through - start;
      connector += middle - through;
      specs += end - middle;
      state.SetIterationTime(end - middle);
    } catch (const ComError& error) {
      state.SkipWithError(error.description().c_str());
      return;
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["floor_ms"] = floor * 1000 / n;
  state.counters["connector_ms"] = connector * 1000 / n;
  state.counters["getspecs_ms"] = specs * 1000 / n;
  state.counters["ratio"] = floor > 0 ? specs / floor : 0;
}

void BM_GetSpecsSqlite(benchmark::State& state) { GetSpecsAgainstFloor(state, false); }
void BM_GetSpecsPostgres(benchmark::State& state) { GetSpecsAgainstFloor(state, true); }
BENCHMARK(BM_GetSpecsSqlite)
    ->ArgNames({"lines", "rows_x"})
    ->Args({300, 1})
    ->Args({1000, 1})
    ->Args({1000, 4})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSpecsPostgres)
    ->ArgNames({"lines", "rows_x"})
    ->Args({300, 1})
    ->Args({1000, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A connector that answers each statement with a copy of rows read once
// from the real site: GetSpecs then costs only its own work (copies aside),
// which shows how the per-line resolution scales with the equipment rows.
class MemoryConnector : public ConnectorInterface {
 public:
  explicit MemoryConnector(const std::map<std::string, RecordsetRef>* answers) : answers_(answers) {}
  void CacheRecordset(const std::string&, const std::string&, int32_t, const std::string&, const std::string&) override {}
  RecordsetRef GetCachedRecordset(const std::string&, int32_t, const std::string&, const std::string&) override {
    return nullptr;
  }
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string&, const std::string&) override {
    for (const auto& [prefix, rows] : *answers_) {
      if (sql.rfind(prefix, 0) == 0) return rows->Clone();
    }
    throw ComError(-2147217900, "bench", "no rows for the statement");
  }
  RecordsetRef ExecuteShape(const std::string&, const std::string&, const std::string&) override { return nullptr; }

 private:
  const std::map<std::string, RecordsetRef>* answers_;
};

void BM_GetSpecsOwnWork(benchmark::State& state) {
  const BenchSite& site = *Site(false, state.range(0), static_cast<double>(state.range(1)));
  const double vehicle = static_cast<double>(kFirstVehicle);
  const std::string id = std::to_string(kFirstVehicle);
  // Every item of a generated site has one sheet line, so the vehicle's rows
  // are the sheet's equipment rows; the OR list of the real statement is
  // left out (it is the statement's text, not its rows).
  std::map<std::string, RecordsetRef> answers;
  ConnectorRef real = CreateConnector();
  answers["SELECT application_text"] =
      real->ExecuteQuery(ebrochure::UnlimitedTextQuery(1), site.project, site.connection);
  answers["SELECT eb.row_id"] = real->ExecuteQuery(ebrochure::SheetQuery("", 1, 0), site.project, site.connection);
  answers["SELECT eq.option_id"] = real->ExecuteQuery(
      ebrochure::EquipmentQuery(" (eq.vehicle_id=" + id + ")", 1, "msrp"), site.specs, site.connection);
  answers["SELECT DISTINCT"] =
      real->ExecuteQuery(ebrochure::ParentQuery(id, site.project), site.specs, site.connection);
  ObjectFactory previous = RegisterProgId(kConnectorProgId, [&answers]() -> ObjectRef {
    return std::make_shared<MemoryConnector>(&answers);
  });
  double copies = 0;
  int64_t lines = 0;
  for (auto _ : state) {
    const double start = Seconds(false);
    for (const auto& [prefix, rows] : answers) benchmark::DoNotOptimize(rows->Clone());
    const double middle = Seconds(false);
    Categories categories;
    Variant options;
    RecordsetRef result =
        categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, 0, site.connection);
    const double end = Seconds(false);
    copies += middle - start;
    lines = result->RecordCount();
    state.SetIterationTime(end - middle);
  }
  RegisterProgId(kConnectorProgId, std::move(previous));
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["equipment_rows"] = static_cast<double>(answers["SELECT eq.option_id"]->RecordCount());
  state.counters["copies_ms"] = copies * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_GetSpecsOwnWork)
    ->ArgNames({"lines", "rows_x"})
    ->Args({1000, 1})
    ->Args({1000, 4})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A sheet answered from the in-process cache: lookup and load only
// (json:0), and with the JSON text the service answers with (json:1).
void BM_GetSpecsCacheHit(benchmark::State& state) {
  const BenchSite& site = *Site(false, state.range(0), 1.0);
  const bool json = state.range(1) != 0;
  constexpr int32_t kHandle = 1;
  const double vehicle = static_cast<double>(kFirstVehicle);
  Variant options;
  {
    Categories warm;
    warm.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, kHandle, site.connection);
  }
  int64_t lines = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    Categories categories;
    RecordsetRef result =
        categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, kHandle, site.connection);
    lines = result->RecordCount();
    if (json) bytes = RecordsetToJson(*result).size();
  }
  state.counters["lines"] = static_cast<double>(lines);
  if (json) state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GetSpecsCacheHit)->ArgNames({"lines", "json"})->Args({300, 0})->Args({300, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelix
