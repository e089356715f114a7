// The key advantage comparison on a generated site through the real
// connector (SQLite): Compare of two vehicles over about 100 advantages
// against the raw time of the statements it runs (ratio; the statements
// include the currency table read for every currency sentence), and the answer
// from the in-process cache, on the object that already holds its
// "unlimited" text and on a fresh object per call (as a page creates it).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"
#include "keyadvantages/key_advantages.h"

namespace trelix {
namespace {

// 250 sheet lines carry four advantages per ten lines, plus the two
// sentinel items: about 100 advantages over all categories.
constexpr int64_t kLines = 250;
constexpr int kVehicles = 20;
constexpr int64_t kFirstVehicle = 100001;

struct BenchSite {
  std::string connection;
  std::string project = "ka_bench_project";
  std::string specs = "ka_bench_specs";
  std::string dir;
  ~BenchSite() {
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
  }
};

const BenchSite& Site() {
  static BenchSite site = [] {
    BenchSite made;
    std::string dir = (std::filesystem::temp_directory_path() / "trelix_keyadv_bench_XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    made.dir = dir;
    made.connection = "sqlite:" + dir;
    datagen::ScaleOptions options;
    options.project_name = made.project;
    options.specs_name = made.specs;
    options.vehicles = kVehicles;
    options.lines = kLines;
    auto stats = datagen::GenerateScaled(made.connection, options);
    if (!stats.ok()) {
      fprintf(stderr, "site: %s\n", stats.status().message().c_str());
      std::abort();
    }
    base::RegisterConnector();
    return made;
  }();
  return site;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of this thread: the engine runs in the calling thread, so this
// measures the work without the waits of a busy machine.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int32_t Advantages(const BenchSite& site) {
  KeyAdvantages ka;
  return ka.getAdvantageDescriptions("", 1, site.specs, site.project, 0, 0, site.connection)->RecordCount();
}

std::string Pair(int64_t iteration) {
  const int64_t base = kFirstVehicle + iteration % (kVehicles - 1);
  return std::to_string(base) + "," + std::to_string(base + 1);
}

struct Statement {
  std::string sql;
  std::string database;
};

// Forwards to the real connector and notes every statement, so that the
// statements of one comparison (the currency table is read once per
// currency sentence) can be replayed on their own.
class NotingConnector : public ConnectorInterface {
 public:
  explicit NotingConnector(std::vector<Statement>& noted) : noted_(noted) {}
  void CacheRecordset(const std::string& key, const std::string& xml, int32_t handle, const std::string& connection,
                      const std::string& database) override {
    real_.CacheRecordset(key, xml, handle, connection, database);
  }
  RecordsetRef GetCachedRecordset(const std::string& key, int32_t handle, const std::string& connection,
                                  const std::string& database) override {
    return real_.GetCachedRecordset(key, handle, connection, database);
  }
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database,
                            const std::string& connection) override {
    noted_.push_back({sql, database});
    return real_.ExecuteQuery(sql, database, connection);
  }
  RecordsetRef ExecuteShape(const std::string& command, const std::string& database,
                            const std::string& connection) override {
    return real_.ExecuteShape(command, database, connection);
  }

 private:
  base::Connector real_;
  std::vector<Statement>& noted_;
};

// The statements one Compare of `vehicles` runs, in its order.
std::vector<Statement> StatementsOf(const BenchSite& site, const std::string& vehicles) {
  std::vector<Statement> noted;
  ObjectFactory previous = RegisterProgId(kConnectorProgId, [&noted]() -> ObjectRef {
    return std::make_shared<NotingConnector>(noted);
  });
  KeyAdvantages ka;
  Variant no_options;
  ka.Compare(vehicles, "", 1, site.specs, site.project, "EUR,GBP", "msrp", no_options, no_options, 0, 0, 0,
             site.connection, 25000, 27000);
  RegisterProgId(kConnectorProgId, std::move(previous));
  return noted;
}

void RunRawStatements(const BenchSite& site, const std::vector<Statement>& statements) {
  for (const Statement& statement : statements) {
    CreateConnector()->ExecuteQuery(statement.sql, statement.database, site.connection);
  }
}

RecordsetRef RunCompare(KeyAdvantages& ka, const BenchSite& site, const std::string& vehicles, int32_t cache) {
  Variant no_options;
  return ka.Compare(vehicles, "", 1, site.specs, site.project, "EUR,GBP", "msrp", no_options, no_options, 0, cache,
                    0, site.connection, 25000, 27000);
}

// Compare on a fresh object per call: iteration time is Compare; counters
// give both times and their ratio.
void BM_Compare(benchmark::State& state) {
  const BenchSite& site = Site();
  std::vector<std::vector<Statement>> statements;
  for (int64_t pair = 0; pair < kVehicles - 1; ++pair) statements.push_back(StatementsOf(site, Pair(pair)));
  double raw = 0, compare = 0, raw_cpu = 0, compare_cpu = 0;
  int64_t iteration = 0, rows = 0;
  size_t statement_count = 0;
  for (auto _ : state) {
    const int64_t pair = iteration++ % (kVehicles - 1);
    const std::string vehicles = Pair(pair);
    statement_count = statements[pair].size();
    const double cpu_start = ThreadCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    RunRawStatements(site, statements[pair]);
    auto middle = std::chrono::steady_clock::now();
    const double cpu_middle = ThreadCpuSeconds();
    KeyAdvantages ka;
    RecordsetRef result = RunCompare(ka, site, vehicles, 0);
    auto end = std::chrono::steady_clock::now();
    raw_cpu += cpu_middle - cpu_start;
    compare_cpu += ThreadCpuSeconds() - cpu_middle;
    rows = result->RecordCount();
    raw += Seconds(middle - start);
    compare += Seconds(end - middle);
    state.SetIterationTime(Seconds(end - middle));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["advantages"] = static_cast<double>(Advantages(site));
  state.counters["statements"] = static_cast<double>(statement_count);
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["raw_ms"] = raw * 1000 / n;
  state.counters["compare_ms"] = compare * 1000 / n;
  state.counters["ratio"] = raw > 0 ? compare / raw : 0;
  state.counters["raw_cpu_ms"] = raw_cpu * 1000 / n;
  state.counters["compare_cpu_ms"] = compare_cpu * 1000 / n;
  state.counters["cpu_ratio"] = raw_cpu > 0 ? compare_cpu / raw_cpu : 0;
}
BENCHMARK(BM_Compare)->UseManualTime()->Unit(benchmark::kMillisecond);

// The cached answer on an object that has loaded its "unlimited" text:
// cache lookup and loading the stored recordset only.
void BM_CompareCacheHit(benchmark::State& state) {
  const BenchSite& site = Site();
  constexpr int32_t kHandle = 11;
  const std::string vehicles = Pair(0);
  KeyAdvantages ka;
  RunCompare(ka, site, vehicles, kHandle);
  int64_t rows = 0;
  for (auto _ : state) rows = RunCompare(ka, site, vehicles, kHandle)->RecordCount();
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CompareCacheHit)->Unit(benchmark::kMicrosecond);

// The cached answer on a fresh object per call: its first comparison also
// reads the "unlimited" text from the database.
void BM_CompareCacheHitFreshObject(benchmark::State& state) {
  const BenchSite& site = Site();
  constexpr int32_t kHandle = 12;
  const std::string vehicles = Pair(0);
  {
    KeyAdvantages warm;
    RunCompare(warm, site, vehicles, kHandle);
  }
  for (auto _ : state) {
    KeyAdvantages ka;
    benchmark::DoNotOptimize(RunCompare(ka, site, vehicles, kHandle));
  }
}
BENCHMARK(BM_CompareCacheHitFreshObject)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelix
