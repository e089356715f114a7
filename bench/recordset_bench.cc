// The recordset engine on result sizes the component meets: equipment rows
// of a vehicle filtered per sheet line (indexed and not), Find over them,
// Sort, and the XML form that caches and the filter walk go through.

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "common/recordset.h"

namespace trelix {
namespace {

// Equipment-like rows: 100 schemas, 4 options, 50 distinct values.
std::shared_ptr<Recordset> Equipment(int rows, bool optimize) {
  auto rs = std::make_shared<Recordset>();
  rs->AppendField("vehicle_id", DataType::kInteger);
  rs->AppendField("schema_id", DataType::kInteger);
  rs->AppendField("option_id", DataType::kInteger);
  rs->AppendField("location", DataType::kVarWChar, 10);
  rs->AppendField("data_value", DataType::kVarWChar, 50);
  rs->AppendField("full_text", DataType::kVarWChar, 50);
  rs->AppendField("price", DataType::kCurrency);
  rs->AppendField("condition", DataType::kBSTR);
  rs->AppendField("content", DataType::kBSTR);
  rs->AppendField("changed", DataType::kDate);
  rs->Open();
  for (int i = 0; i < rows; ++i) {
    rs->AppendRow({Variant(int32_t{1001 + i % 2}), Variant(int32_t{i % 100}), Variant(int32_t{i % 4}),
                   Variant(i % 3 == 0 ? "F" : "-"), Variant("Value " + std::to_string(i % 50)),
                   Variant("Translated text " + std::to_string(i)), Variant(Currency{(i % 997) * 10000}),
                   i % 5 == 0 ? Variant::Null() : Variant("opt(" + std::to_string(i % 7) + ")"),
                   Variant("Standard content of the parent schema"), Variant::Date(45000 + i % 365)});
  }
  if (optimize) {
    for (const char* f : {"schema_id", "option_id", "vehicle_id", "location", "data_value"}) rs->SetOptimize(f, true);
  }
  return rs;
}

// Sets the filter of one sheet line and walks its rows.
int64_t FilterAndScan(Recordset& rs, int line) {
  rs.SetFilter(Variant("schema_id=" + std::to_string(line % 100)));
  int64_t sum = 0;
  while (!rs.IsEOF()) {
    sum += rs.Value(2).integer();
    rs.MoveNext();
  }
  return sum;
}

void BM_FilterScan(benchmark::State& state) {
  auto rs = Equipment(10000, state.range(0) != 0);
  int line = 0;
  for (auto _ : state) benchmark::DoNotOptimize(FilterAndScan(*rs, line++));
  state.SetLabel(state.range(0) ? "optimized" : "scan");
}
BENCHMARK(BM_FilterScan)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

double ThreadSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The same filters timed both ways in one run (thread CPU time, so that a
// busy machine does not skew it), to report the ratio directly. Each side
// runs a full round of the 100 schemas in turn.
void BM_FilterIndexSpeedup(benchmark::State& state) {
  auto plain = Equipment(10000, false);
  auto indexed = Equipment(10000, true);
  double plain_s = 0, indexed_s = 0;
  for (auto _ : state) {
    double t0 = ThreadSeconds();
    for (int line = 0; line < 100; ++line) benchmark::DoNotOptimize(FilterAndScan(*plain, line));
    double t1 = ThreadSeconds();
    for (int line = 0; line < 100; ++line) benchmark::DoNotOptimize(FilterAndScan(*indexed, line));
    double t2 = ThreadSeconds();
    plain_s += t1 - t0;
    indexed_s += t2 - t1;
  }
  state.counters["speedup"] = plain_s / indexed_s;
}
BENCHMARK(BM_FilterIndexSpeedup)->Unit(benchmark::kMillisecond);

// A sheet line as the brochure builder runs it: filter by schema and location,
// sort by price, find the sought value.
void BM_LineFilterSortFind(benchmark::State& state) {
  auto rs = Equipment(10000, state.range(0) != 0);
  int line = 0;
  for (auto _ : state) {
    const int schema = line % 100;
    rs->SetFilter(Variant("schema_id=" + std::to_string(schema) + " AND Location='F'"));
    rs->SetSort("price ASC");
    rs->Find("data_value='Value " + std::to_string(schema % 50) + "'");
    benchmark::DoNotOptimize(rs->IsEOF());
    ++line;
  }
  state.SetLabel(state.range(0) ? "optimized" : "scan");
}
BENCHMARK(BM_LineFilterSortFind)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Find every row holding one value, from the first row to EOF.
void BM_FindAll(benchmark::State& state) {
  auto rs = Equipment(10000, state.range(0) != 0);
  int value = 0;
  for (auto _ : state) {
    const std::string criteria = "data_value='Value " + std::to_string(value++ % 50) + "'";
    rs->MoveFirst();
    int hits = 0;
    for (rs->Find(criteria); !rs->IsEOF(); rs->Find(criteria, 1)) ++hits;
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(state.range(0) ? "optimized" : "scan");
}
BENCHMARK(BM_FindAll)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Sort10k(benchmark::State& state) {
  auto rs = Equipment(10000, false);
  bool flip = false;
  for (auto _ : state) {
    rs->SetSort(flip ? "data_value, price DESC" : "full_text DESC");
    flip = !flip;
  }
}
BENCHMARK(BM_Sort10k)->Unit(benchmark::kMillisecond);

void BM_SaveXml(benchmark::State& state) {
  auto rs = Equipment(static_cast<int>(state.range(0)), false);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string xml = rs->SaveXml();
    bytes = xml.size();
    benchmark::DoNotOptimize(xml);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_SaveXml)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadXml(benchmark::State& state) {
  const std::string xml = Equipment(static_cast<int>(state.range(0)), false)->SaveXml();
  for (auto _ : state) benchmark::DoNotOptimize(Recordset::LoadXml(xml));
  state.SetBytesProcessed(static_cast<int64_t>(xml.size() * state.iterations()));
}
BENCHMARK(BM_LoadXml)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelix
