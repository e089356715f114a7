// GetSpecs on generated sites through the real connector (SQLite):
// GetSpecs of a 1,000-line sheet against the raw time of the statements it
// runs (ratio), at 1x and 4x equipment rows per vehicle, and the cache hit of
// a 300-line sheet.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <time.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"
#include "ebrochure/categories.h"
#include "ebrochure/spec_sheet_sql.h"

namespace trelix {
namespace {

constexpr int kVehicles = 20;
constexpr int64_t kFirstVehicle = 100001;

struct BenchSite {
  std::string connection;
  std::string project = "bench_project";
  std::string specs = "bench_specs";
};

// One generated site per (lines, rows per vehicle), made on first use and
// removed at exit.
const BenchSite& Site(int64_t lines, double rows_per_vehicle) {
  struct Sites {
    std::map<std::pair<int64_t, double>, BenchSite> made;
    std::vector<std::string> dirs;
    ~Sites() {
      std::error_code ignored;
      for (const std::string& dir : dirs) std::filesystem::remove_all(dir, ignored);
    }
  };
  static Sites sites;
  auto found = sites.made.find({lines, rows_per_vehicle});
  if (found != sites.made.end()) return found->second;
  std::string dir = (std::filesystem::temp_directory_path() / "trelix_ebrochure_bench_XXXXXX").string();
  if (!mkdtemp(dir.data())) std::abort();
  sites.dirs.push_back(dir);
  BenchSite site;
  site.connection = "sqlite:" + dir;
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
  return sites.made.emplace(std::make_pair(lines, rows_per_vehicle), site).first->second;
}

// CPU time of this thread: the engines run in-process, so it covers the
// statements' work and is far less disturbed by other load than wall time.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The four statements of one sheet, run as GetSpecs runs them.
void RunRawStatements(const BenchSite& site, double vehicle) {
  ConnectorRef connector = CreateConnector();
  connector->ExecuteQuery(ebrochure::UnlimitedTextQuery(1), site.project, site.connection);
  RecordsetRef sheet = connector->ExecuteQuery(ebrochure::SheetQuery("", 1, 0), site.project, site.connection);
  Categories where;
  const std::string clause = where.BuildWhereClause(*sheet, vehicle);
  connector->ExecuteQuery(ebrochure::EquipmentQuery(clause, 1, "msrp"), site.specs, site.connection);
  connector->ExecuteQuery(ebrochure::ParentQuery(std::to_string(static_cast<int64_t>(vehicle)), site.project),
                          site.specs, site.connection);
}

// GetSpecs on a fresh object per call (as a page creates it), the sheet's
// statements alone for comparison: iteration time is the CPU time of
// GetSpecs; counters give both and their ratio.
void BM_GetSpecs(benchmark::State& state) {
  const double rows_per_vehicle = static_cast<double>(state.range(1));
  const BenchSite& site = Site(state.range(0), rows_per_vehicle);
  double raw = 0, specs = 0;
  int64_t lines = 0, iteration = 0;
  for (auto _ : state) {
    const double vehicle = static_cast<double>(kFirstVehicle + iteration++ % kVehicles);
    try {
      const double start = ThreadSeconds();
      RunRawStatements(site, vehicle);
      const double middle = ThreadSeconds();
      Categories categories;
      Variant options;
      RecordsetRef result =
          categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, 0, site.connection);
      const double end = ThreadSeconds();
      lines = result->RecordCount();
      raw += middle - start;
      specs += end - middle;
      state.SetIterationTime(end - middle);
    } catch (const ComError& error) {
      state.SkipWithError(error.description().c_str());
      return;
    }
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["raw_ms"] = raw * 1000 / static_cast<double>(state.iterations());
  state.counters["getspecs_ms"] = specs * 1000 / static_cast<double>(state.iterations());
  state.counters["ratio"] = raw > 0 ? specs / raw : 0;
}
BENCHMARK(BM_GetSpecs)
    ->ArgNames({"lines", "rows_x"})
    ->Args({300, 1})
    ->Args({300, 4})
    ->Args({1000, 1})
    ->Args({1000, 4})
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
  const BenchSite& site = Site(state.range(0), static_cast<double>(state.range(1)));
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
    const double start = ThreadSeconds();
    for (const auto& [prefix, rows] : answers) benchmark::DoNotOptimize(rows->Clone());
    const double middle = ThreadSeconds();
    Categories categories;
    Variant options;
    RecordsetRef result =
        categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, 0, site.connection);
    const double end = ThreadSeconds();
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

// A sheet answered from the in-process cache: lookup and load only.
void BM_GetSpecsCacheHit(benchmark::State& state) {
  const BenchSite& site = Site(state.range(0), 1.0);
  constexpr int32_t kHandle = 1;
  const double vehicle = static_cast<double>(kFirstVehicle);
  Variant options;
  {
    Categories warm;
    warm.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, kHandle, site.connection);
  }
  int64_t lines = 0;
  for (auto _ : state) {
    Categories categories;
    RecordsetRef result =
        categories.GetSpecs("", 1, vehicle, site.specs, site.project, "msrp", options, 0, kHandle, site.connection);
    lines = result->RecordCount();
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_GetSpecsCacheHit)->ArgName("lines")->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelix
