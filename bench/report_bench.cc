// The performance report (scripts/bench): the five page operations on
// generated sites, cached and uncached, on SQLite and PostgreSQL, each
// uncached figure beside its floor: the raw time of the very statements the
// call ran (noted through the connector trace), translated once and run
// straight on the engine (sqlite3 / libpq), every value read.
//
// Registered only when TRELIX_REPORT_SITES names a site list, one site a
// line (as scripts/bench writes it):
//
//   ROLE LABEL ENGINE LINES VEHICLES PROJECT SPECS CONNECTION
//
// ROLE "scale": the five operations cached, uncached and naive (Optimize
// indexes and the translation cache off), plus features over 2..10
// vehicles on the smallest one; ROLE "lines": GetSpecs, Compare and the
// one-category sheet, for the slopes against sheet lines and unrelated rows.
// Benchmark names: Report/OPERATION/MODE/ENGINE/LABEL. Counters (medians
// over the iterations): op_us, floor_us, ratio (op_us / floor_us), rows,
// statements, lines, vehicles, wall_clock (1: wall time, 0: thread CPU time),
// connector_share (the part of the call spent in the connector's statements),
// floor_snapshot_us and ratio_snapshot (the floor with the statements in one
// read transaction, as the operation itself runs them on SQLite).

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "base/connection_pool.h"
#include "base/connector.h"
#include "base/postgres_driver.h"
#include "base/shape.h"
#include "base/sql/translator.h"
#include "base/sqlite_driver.h"
#include "base/trace.h"
#include "common/com_error.h"
#include "common/recordset.h"
#include "ebrochure/categories.h"
#include "features/vehicle_features.h"
#include "keyadvantages/key_advantages.h"

namespace trelix {
namespace {

constexpr int64_t kFirstVehicle = 100001;
constexpr int32_t kCacheHandle = 1;

struct Site {
  std::string role, label, engine;
  int64_t lines = 0, vehicles = 0;
  std::string project, specs, connection;
};

std::string VehicleList(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    if (i > 0) list += ',';
    list += std::to_string(kFirstVehicle + i);
  }
  return list;
}

// --- The operations, called as a page calls them: a fresh object per call ------------------------

struct Call {
  std::function<int64_t(int32_t cache)> run;  // returns the rows of the answer
  bool cacheable = true;
};

Call GetSpecsCall(const Site& s, std::string category) {
  return {[s, category](int32_t cache) {
    Categories categories;
    Variant options;
    return int64_t{categories
                       .GetSpecs(category, 1, static_cast<double>(kFirstVehicle), s.specs, s.project, "msrp", options,
                                 0, cache, s.connection)
                       ->RecordCount()};
  }};
}

Call CompareCall(const Site& s) {
  return {[s](int32_t cache) {
    KeyAdvantages ka;
    Variant none;
    return int64_t{ka.Compare(VehicleList(2), "", 1, s.specs, s.project, "EUR,GBP", "msrp", none, none, 0, cache, 0,
                              s.connection, 25000, 27000)
                       ->RecordCount()};
  }};
}

Call DescriptionsCall(const Site& s) {
  return {[s](int32_t cache) {
    Categories categories;
    return int64_t{categories.GetDescriptions("", 1, s.specs, s.project, 0, cache, s.connection)->RecordCount()};
  }};
}

// No cache handle: the operation always reads the database.
Call StandardDescriptionsCall(const Site& s) {
  return {[s](int32_t) {
            Categories categories;
            Variant vehicles = Variant::Array({Variant(static_cast<int32_t>(kFirstVehicle)),
                                               Variant(static_cast<int32_t>(kFirstVehicle + 1)),
                                               Variant(static_cast<int32_t>(kFirstVehicle + 2))});
            return int64_t{
                categories.StandardDescriptions("", 1, vehicles, s.specs, s.project, s.connection)->RecordCount()};
          },
          false};
}

Call FeaturesCall(const Site& s, int vehicles) {
  return {[s, vehicles](int32_t) {
            VehicleFeatures features;
            features.SetDatabaseConnectionString(s.connection);
            features.SetProjectDatabaseName(s.project);
            features.SetSpecsDatabaseName(s.specs);
            features.SetLanguageId(1);
            features.SetVehicleIdList(VehicleList(vehicles));
            features.DoFeatureComparison();
            return int64_t{features.Count()} * features.Item(1)->Count();
          },
          false};
}

// --- The floor -----------------------------------------------------------------------------------

struct Noted {
  std::string op, database, text;
};

// The statements (and SHAPE commands) one call runs, from the connector trace.
std::vector<Noted> NoteStatements(const Call& call) {
  std::vector<Noted> noted;
  std::mutex mu;
  base::SetTraceSink([&](const base::TraceEvent& e) {
    if (e.op != "ExecuteQuery" && e.op != "ExecuteShape") return;
    std::lock_guard lock(mu);
    noted.push_back({std::string(e.op), std::string(e.database), std::string(e.text)});
  });
  try {
    call.run(0);
  } catch (...) {
    base::SetTraceSink(nullptr);
    throw;
  }
  base::SetTraceSink(nullptr);
  return noted;
}

void AddProviderTexts(const base::ShapeCommand& shape, std::vector<std::string>& out) {
  if (shape.nested) {
    AddProviderTexts(*shape.nested, out);
  } else {
    out.push_back(shape.provider_text);
  }
}

struct EngineStatement {
  std::string database;
  sql::Translation translation;
};

// Translated exactly as the connector translates (column types from a
// session of the same database), once, outside the timing.
std::vector<EngineStatement> Translate(const Site& site, const std::vector<Noted>& noted) {
  auto pool = base::SharedConnectionPool();
  auto driver = pool->DriverFor(site.connection);
  if (!driver.ok()) throw std::runtime_error(driver.status().message());
  std::vector<EngineStatement> out;
  for (const Noted& n : noted) {
    std::vector<std::string> texts;
    if (n.op == "ExecuteShape") {
      auto shape = base::ParseShape(n.text);
      if (!shape.ok()) throw std::runtime_error(shape.status().message());
      AddProviderTexts(shape.value(), texts);
    } else {
      texts.push_back(n.text);
    }
    auto lease = pool->Acquire(driver.value(), site.connection, n.database);
    if (!lease.ok()) throw std::runtime_error(lease.status().message());
    base::Session* session = &*lease.value();
    sql::TranslateOptions options;
    options.column_types = [session](std::string_view db, std::string_view table, std::string_view column) {
      return session->ColumnType(db, table, column);
    };
    for (const std::string& text : texts) {
      auto translated = sql::Translate(text, driver.value()->dialect(), options);
      if (!translated.ok()) throw std::runtime_error(translated.status().message());
      out.push_back({n.database, std::move(translated.value())});
    }
  }
  return out;
}

class Floor {
 public:
  virtual ~Floor() = default;
  // Runs every statement once, reading every value; returns the rows read.
  // `one_snapshot`: all of them inside one read transaction per connection,
  // as an operation's statements run on SQLite (the file locks taken once);
  // engines whose operations read statement by statement ignore it.
  virtual int64_t Run(bool one_snapshot = false) = 0;
};

// SQLite: one connection per database (the others attached as the
// statements name them), each statement prepared once and no per-call
// mutex, as the driver keeps them.
class SqliteFloor : public Floor {
 public:
  SqliteFloor(const Site& site, std::vector<EngineStatement> statements) {
    const std::string dir = site.connection.substr(site.connection.find(':') + 1);
    for (EngineStatement& s : statements) {
      sqlite3*& db = handles_[s.database];
      if (!db) {
        if (sqlite3_open_v2((dir + "/" + s.database + ".sqlite").c_str(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK) {
          throw std::runtime_error("floor: cannot open " + s.database);
        }
        base::InstallSqliteCollations(db);
      }
      for (const std::string& other : s.translation.databases) {
        std::string& attached = attached_[s.database];
        if (attached.find("|" + other + "|") != std::string::npos) continue;
        const std::string sql = "ATTACH DATABASE '" + dir + "/" + other + ".sqlite' AS \"" + other + "\"";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
          throw std::runtime_error(std::string("floor: ") + sqlite3_errmsg(db));
        }
        attached += "|" + other + "|";
      }
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, s.translation.text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("floor: ") + sqlite3_errmsg(db));
      }
      statements_.push_back(stmt);
    }
  }
  ~SqliteFloor() override {
    for (sqlite3_stmt* stmt : statements_) sqlite3_finalize(stmt);
    for (auto& [name, db] : handles_) sqlite3_close(db);
  }
  int64_t Run(bool one_snapshot) override {
    int64_t rows = 0, checksum = 0;
    if (one_snapshot) {
      for (auto& [name, db] : handles_) sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    }
    for (sqlite3_stmt* stmt : statements_) {
      const int columns = sqlite3_column_count(stmt);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
          switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER: checksum += sqlite3_column_int64(stmt, i); break;
            case SQLITE_FLOAT: checksum += static_cast<int64_t>(sqlite3_column_double(stmt, i)); break;
            case SQLITE_NULL: break;
            default: checksum += sqlite3_column_bytes(stmt, i) + sqlite3_column_text(stmt, i)[0];
          }
        }
        ++rows;
      }
      sqlite3_reset(stmt);
    }
    if (one_snapshot) {
      for (auto& [name, db] : handles_) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    benchmark::DoNotOptimize(checksum);
    return rows;
  }

 private:
  std::map<std::string, sqlite3*> handles_;
  std::map<std::string, std::string> attached_;
  std::vector<sqlite3_stmt*> statements_;
};

// PostgreSQL: one connection per schema, each statement sent as the driver
// sends it (extended protocol, text results), every value read.
class PostgresFloor : public Floor {
 public:
  PostgresFloor(const Site& site, std::vector<EngineStatement> statements) {
    std::string url = site.connection;
    if (url.rfind("postgresql:postgresql:", 0) == 0 || url.rfind("postgresql:postgres:", 0) == 0) {
      url = url.substr(url.find(':') + 1);
    }
    for (EngineStatement& s : statements) {
      PGconn*& conn = connections_[s.database];
      if (!conn) {
        conn = PQconnectdb(url.c_str());
        if (PQstatus(conn) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn));
        std::string schema = s.database;  // the driver's schema: the name in lower case
        std::transform(schema.begin(), schema.end(), schema.begin(), [](unsigned char c) { return std::tolower(c); });
        // The session as the driver sets it up: search path and planner costs.
        PGresult* set =
            PQexec(conn, (std::string(base::kPlannerSetup) + "; SET search_path TO \"" + schema + "\"").c_str());
        PQclear(set);
      }
      statements_.push_back({conn, std::move(s.translation.text)});
    }
  }
  ~PostgresFloor() override {
    for (auto& [name, conn] : connections_) PQfinish(conn);
  }
  int64_t Run(bool) override {
    int64_t rows = 0, checksum = 0;
    for (const auto& [conn, text] : statements_) {
      PGresult* result = PQexecParams(conn, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
      if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        const std::string message = PQresultErrorMessage(result);
        PQclear(result);
        throw std::runtime_error("floor: " + message);
      }
      const int n = PQntuples(result), columns = PQnfields(result);
      for (int r = 0; r < n; ++r) {
        for (int i = 0; i < columns; ++i) {
          if (!PQgetisnull(result, r, i)) checksum += PQgetlength(result, r, i) + PQgetvalue(result, r, i)[0];
        }
      }
      rows += n;
      PQclear(result);
    }
    benchmark::DoNotOptimize(checksum);
    return rows;
  }

 private:
  std::map<std::string, PGconn*> connections_;
  std::vector<std::pair<PGconn*, std::string>> statements_;
};

std::unique_ptr<Floor> MakeFloor(const Site& site, const Call& call, size_t* statement_count) {
  std::vector<EngineStatement> statements = Translate(site, NoteStatements(call));
  *statement_count = statements.size();
  if (site.engine == "sqlite") return std::make_unique<SqliteFloor>(site, std::move(statements));
  return std::make_unique<PostgresFloor>(site, std::move(statements));
}

// --- Benchmarks ----------------------------------------------------------------------------------

// The clock of a figure. In-process work (SQLite, cache hits) is timed as
// the calling thread's CPU time: on a shared machine wall time also counts
// the slices other processes get. PostgreSQL works in its own process, so
// its figures are wall time.
double Seconds(bool wall) {
  if (wall) return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool WallClock(const Site& site) { return site.engine != "sqlite"; }

// Medians: a stray slow iteration (another process's burst) moves them least.
double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void SetCommonCounters(benchmark::State& state, const Site& site, int64_t rows, const std::vector<double>& times,
                       bool wall) {
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["lines"] = static_cast<double>(site.lines);
  state.counters["vehicles"] = static_cast<double>(site.vehicles);
  state.counters["op_us"] = Median(times) * 1e6;
  state.counters["wall_clock"] = wall ? 1 : 0;
}

// The share of a call's wall time spent inside the connector's statement
// calls (translation, engine, result recordset), from the trace of a few
// extra calls: the rest is the operation's own work.
double ConnectorShare(const Call& call) {
  std::atomic<int64_t> traced_ns{0};
  base::SetTraceSink([&](const base::TraceEvent& e) {
    if (e.op == "ExecuteQuery" || e.op == "ExecuteShape") traced_ns += static_cast<int64_t>(e.ms * 1e6);
  });
  double total = 0;
  try {
    for (int i = 0; i < 5; ++i) {
      const double t0 = Seconds(true);
      call.run(0);
      total += Seconds(true) - t0;
    }
  } catch (...) {
    base::SetTraceSink(nullptr);
    throw;
  }
  base::SetTraceSink(nullptr);
  return total > 0 ? static_cast<double>(traced_ns.load()) * 1e-9 / total : 0;
}

// Uncached: the call and its floor in turn, so that whatever else the
// machine does weighs on both alike.
void RunUncached(benchmark::State& state, const Site& site, const Call& call) {
  const bool wall = WallClock(site);
  try {
    size_t statements = 0;
    std::unique_ptr<Floor> floor = MakeFloor(site, call, &statements);
    floor->Run();  // warm: the engine's catalogue and page caches
    call.run(0);   // warm: sessions, statement and translation caches
    std::vector<double> floor_times, call_times, snapshot_floor_times;
    int64_t rows = 0, floor_rows = 0;
    bool floor_first = true;  // alternates, so that neither side always follows the other
    for (auto _ : state) {
      double call_s = 0, floor_s = 0;
      for (int side = 0; side < 2; ++side) {
        const double t0 = Seconds(wall);
        if ((side == 0) == floor_first) {
          floor_rows = floor->Run();
          floor_s = Seconds(wall) - t0;
        } else {
          rows = call.run(0);
          call_s = Seconds(wall) - t0;
        }
      }
      const double t0 = Seconds(wall);
      floor->Run(true);
      snapshot_floor_times.push_back(Seconds(wall) - t0);
      floor_first = !floor_first;
      floor_times.push_back(floor_s);
      call_times.push_back(call_s);
      state.SetIterationTime(call_s);
    }
    SetCommonCounters(state, site, rows, call_times, wall);
    state.counters["connector_share"] = ConnectorShare(call);
    const double floor_median = Median(floor_times);
    state.counters["floor_us"] = floor_median * 1e6;
    state.counters["floor_rows"] = static_cast<double>(floor_rows);
    state.counters["statements"] = static_cast<double>(statements);
    state.counters["ratio"] = floor_median > 0 ? Median(call_times) / floor_median : 0;
    // The same statements in one read transaction: what the operation's own
    // snapshot saves is not counted as its own speed.
    const double snapshot_floor_median = Median(snapshot_floor_times);
    state.counters["floor_snapshot_us"] = snapshot_floor_median * 1e6;
    state.counters["ratio_snapshot"] = snapshot_floor_median > 0 ? Median(call_times) / snapshot_floor_median : 0;
  } catch (const ComError& e) {
    state.SkipWithError(e.description().c_str());
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// A hit of the in-process cache: in-process work on every engine.
void RunCached(benchmark::State& state, const Site& site, const Call& call) {
  try {
    call.run(kCacheHandle);  // fills the cache
    std::vector<double> times;
    int64_t rows = 0;
    for (auto _ : state) {
      const double t0 = Seconds(false);
      rows = call.run(kCacheHandle);
      times.push_back(Seconds(false) - t0);
      state.SetIterationTime(times.back());
    }
    SetCommonCounters(state, site, rows, times, false);
  } catch (const ComError& e) {
    state.SkipWithError(e.description().c_str());
  }
}

// The straightforward port: no Optimize indexes, every statement translated
// afresh.
void RunNaive(benchmark::State& state, const Site& site, const Call& call) {
  const bool wall = WallClock(site);
  SetRecordsetIndexesEnabled(false);
  sql::SetTranslationCacheEnabled(false);
  try {
    int64_t rows = call.run(0);
    std::vector<double> times;
    for (auto _ : state) {
      const double t0 = Seconds(wall);
      rows = call.run(0);
      times.push_back(Seconds(wall) - t0);
      state.SetIterationTime(times.back());
    }
    SetCommonCounters(state, site, rows, times, wall);
  } catch (const ComError& e) {
    state.SkipWithError(e.description().c_str());
  }
  SetRecordsetIndexesEnabled(true);
  sql::SetTranslationCacheEnabled(true);
}

using Runner = void (*)(benchmark::State&, const Site&, const Call&);

void Register(const std::string& name, Runner runner, const Site& site, Call call) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [runner, site, call](benchmark::State& state) {
                                 base::RegisterConnector();
                                 runner(state, site, call);
                               })
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
}

std::vector<Site> ReadSites(const char* path) {
  std::vector<Site> sites;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Site s;
    if (fields >> s.role >> s.label >> s.engine >> s.lines >> s.vehicles >> s.project >> s.specs >> s.connection) {
      sites.push_back(s);
    }
  }
  return sites;
}

void RegisterSite(const Site& s, bool smallest_scale) {
  const std::string tail = "/" + s.engine + "/" + s.label;
  if (s.role == "lines") {
    Register("Report/GetSpecs/lines" + tail, RunUncached, s, GetSpecsCall(s, ""));
    Register("Report/Compare/lines" + tail, RunUncached, s, CompareCall(s));
    // One 50-line category: the other categories' rows are unrelated.
    Register("Report/GetSpecsCategory/lines" + tail, RunUncached, s, GetSpecsCall(s, "CAT01"));
    return;
  }
  const std::vector<std::pair<std::string, Call>> calls = {
      {"GetSpecs", GetSpecsCall(s, "")},
      {"Compare", CompareCall(s)},
      {"DoFeatureComparison", FeaturesCall(s, 10)},
      {"GetDescriptions", DescriptionsCall(s)},
      {"StandardDescriptions", StandardDescriptionsCall(s)},
  };
  for (const auto& [op, call] : calls) {
    Register("Report/" + op + "/uncached" + tail, RunUncached, s, call);
    if (call.cacheable) Register("Report/" + op + "/cached" + tail, RunCached, s, call);
    Register("Report/" + op + "/naive" + tail, RunNaive, s, call);
  }
  if (smallest_scale) {
    for (int n = 2; n <= 10; n += 2) {
      Register("Report/DoFeatureComparison/vehicles" + tail + "/" + std::to_string(n), RunUncached, s,
               FeaturesCall(s, n));
    }
  }
}

const bool registered = [] {
  const char* path = std::getenv("TRELIX_REPORT_SITES");
  if (!path) return false;
  std::vector<Site> sites = ReadSites(path);
  std::map<std::string, int64_t> smallest;  // engine -> fewest vehicles of a scale site
  for (const Site& s : sites) {
    if (s.role != "scale") continue;
    auto [it, fresh] = smallest.emplace(s.engine, s.vehicles);
    if (!fresh && s.vehicles < it->second) it->second = s.vehicles;
  }
  for (const Site& s : sites) RegisterSite(s, s.role == "scale" && smallest[s.engine] == s.vehicles);
  return true;
}();

}  // namespace
}  // namespace trelix
