// The feature comparison on 10 vehicles x 500 features (a generated
// benchmark site on SQLite; on PostgreSQL too when TRELIX_TEST_PG is set):
// the whole DoFeatureComparison against the raw time of the three
// statements it runs (counter "ratio"; the target is 1.2), and the memory
// the result graph holds per feature object.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "common/object_factory.h"
#include "features/vehicle_features.h"

namespace trelix {
namespace {

constexpr int kVehicles = 10;
constexpr int kFeatures = 500;  // one standard feature per ten sheet lines
constexpr const char* kProject = "fbench_project";
constexpr const char* kSpecs = "fbench_specs";

// The site of an engine, generated once per run; "" when it cannot be had.
std::string Site(bool postgres) {
  static std::map<bool, std::string> made;
  auto found = made.find(postgres);
  if (found != made.end()) return found->second;
  std::string connection;
  if (postgres) {
    const char* url = std::getenv("TRELIX_TEST_PG");
    connection = url ? url : "";
  } else {
    const auto dir = std::filesystem::temp_directory_path() / ("trelix_features_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    connection = "sqlite:" + dir.string();
  }
  if (!connection.empty()) {
    datagen::ScaleOptions options;
    options.project_name = kProject;
    options.specs_name = kSpecs;
    options.vehicles = kVehicles;
    options.lines = kFeatures * 10;
    if (!datagen::GenerateScaled(connection, options).ok()) connection.clear();
  }
  base::RegisterConnector();
  made[postgres] = connection;
  return connection;
}

std::string VehicleList() {
  std::string list;
  for (int i = 1; i <= kVehicles; ++i) {
    if (i > 1) list += ',';
    list += std::to_string(100000 + i);
  }
  return list;
}

void Configure(VehicleFeatures& features, const std::string& connection) {
  features.SetDatabaseConnectionString(connection);
  features.SetProjectDatabaseName(kProject);
  features.SetSpecsDatabaseName(kSpecs);
  features.SetLanguageId(1);
  features.SetVehicleIdList(VehicleList());
}

// A connector that passes every call to the real one and notes the
// statements, so that the raw timing runs exactly what the comparison runs.
struct Statement {
  std::string sql, database, connection;
};
class NotingConnector : public base::Connector {
 public:
  explicit NotingConnector(std::vector<Statement>* noted) : noted_(noted) {}
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database,
                            const std::string& connection) override {
    noted_->push_back({sql, database, connection});
    return base::Connector::ExecuteQuery(sql, database, connection);
  }

 private:
  std::vector<Statement>* noted_;
};

std::vector<Statement> StatementsOf(const std::string& connection) {
  std::vector<Statement> noted;
  ObjectFactory previous =
      RegisterProgId(kConnectorProgId, [&noted]() -> ObjectRef { return std::make_shared<NotingConnector>(&noted); });
  VehicleFeatures features;
  Configure(features, connection);
  features.DoFeatureComparison();
  RegisterProgId(kConnectorProgId, std::move(previous));
  return noted;
}

double RawSeconds(const std::vector<Statement>& statements) {
  const auto start = std::chrono::steady_clock::now();
  for (const Statement& statement : statements) {
    RecordsetRef rs = CreateConnector()->ExecuteQuery(statement.sql, statement.database, statement.connection);
    benchmark::DoNotOptimize(rs->RecordCount());
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DoFeatureComparison(benchmark::State& state) {
  const bool postgres = state.range(0) != 0;
  const std::string connection = Site(postgres);
  if (connection.empty()) {
    state.SkipWithError(postgres ? "TRELIX_TEST_PG is not set" : "no benchmark site");
    return;
  }
  const std::vector<Statement> statements = StatementsOf(connection);
  double raw = 0, total = 0;
  int32_t features_loaded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    raw += RawSeconds(statements);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    VehicleFeatures features;
    Configure(features, connection);
    features.DoFeatureComparison();
    features_loaded = features.Count() * features.Item(1)->Count();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["features"] = features_loaded;
  state.counters["raw_ms"] = benchmark::Counter(raw * 1000 / static_cast<double>(state.iterations()));
  state.counters["ratio"] = raw > 0 ? total / raw : 0;
  state.SetLabel(postgres ? "PostgreSQL" : "SQLite");
}
BENCHMARK(BM_DoFeatureComparison)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Heap bytes the result graph holds per feature (VehicleFeatureInfo with its
// texts, its collection entry and key, and its share of the VehicleId).
void BM_FeatureGraphMemory(benchmark::State& state) {
  const std::string connection = Site(false);
  if (connection.empty()) {
    state.SkipWithError("no benchmark site");
    return;
  }
  double bytes_per_feature = 0;
  for (auto _ : state) {
    VehicleFeatures features;
    Configure(features, connection);
    features.DoFeatureComparison();  // warm: statement caches, pools
    features.DoFeatureComparison();
    const size_t with_graph = mallinfo2().uordblks;
    const int32_t count = features.Count() * features.Item(1)->Count();
    features.Deactivate();  // releases the graph
    const size_t without_graph = mallinfo2().uordblks;
    bytes_per_feature = static_cast<double>(with_graph - without_graph) / count;
  }
  state.counters["bytes_per_feature"] = bytes_per_feature;
  state.counters["sizeof_feature"] = sizeof(VehicleFeatureInfo);
}
BENCHMARK(BM_FeatureGraphMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelix
