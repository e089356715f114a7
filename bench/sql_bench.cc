// Dialect translation of the brochure sheet's equipment query: translated every
// time, and through the translation cache (the repeated-statement path of
// the connector).

#include <benchmark/benchmark.h>

#include <string>

#include "base/sql/translator.h"

namespace {

using trelix::sql::Dialect;

// The equipment query as the brochure sheet builds it, for a sheet of `lines`
// lines (every other one with a location).
std::string EquipmentQuery(int lines) {
  std::string where = " (eq.vehicle_id=1001) AND (";
  for (int i = 0; i < lines; ++i) {
    where += i == 0 ? " (" : " OR (";
    where += "(eq.Schema_id=" + std::to_string(100 + i) + ")";
    if (i % 2) where += " AND (eq.location='F')";
    where += ")";
  }
  where += ")";
  return "SELECT eq.option_id, eq.record_id, eq.schema_id, eq.location, \r\n\teq.data_value, \r\n\teq.condition, "
         "scht.full_text, \r\n\tol.msrp, st.content from schema_text scht RIGHT OUTER JOIN  schema_info LEFT OUTER "
         "JOIN  equipment eq ON schema_info.schema_id = eq.schema_id LEFT OUTER JOIN   option_list ol ON "
         "eq.vehicle_id = ol.vehicle_id AND eq.option_id = ol.option_id ON scht.schema_id = eq.schema_id AND  "
         "scht.data_value = eq.data_value And scht.language_id = 1 left outer join standard_text st on st.vehicle_id "
         "= eq.vehicle_id and schema_info.parent_schema_id = st.schema_id And st.language_id = 1 where " +
         where + " order by eq.schema_id, msrp ASC";
}

Dialect DialectOf(const benchmark::State& state) {
  return state.range(1) == 0 ? Dialect::kSqlite : Dialect::kPostgres;
}

void BM_TranslateEquipmentQuery(benchmark::State& state) {
  const std::string text = EquipmentQuery(static_cast<int>(state.range(0)));
  const Dialect dialect = DialectOf(state);
  for (auto _ : state) {
    auto r = trelix::sql::Translate(text, dialect);
    if (!r.ok()) state.SkipWithError(r.status().message().c_str());
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_TranslateCachedEquipmentQuery(benchmark::State& state) {
  const std::string text = EquipmentQuery(static_cast<int>(state.range(0)));
  const Dialect dialect = DialectOf(state);
  trelix::sql::SetTranslationCacheEnabled(true);
  (void)trelix::sql::TranslateCached(text, dialect);
  for (auto _ : state) {
    auto r = trelix::sql::TranslateCached(text, dialect);
    if (!r.ok()) state.SkipWithError(r.status().message().c_str());
    benchmark::DoNotOptimize(r);
  }
}

// Sheet lines: the sample sheet (4), a long sheet (60) and large ones (300,
// 1000: a statement per vehicle, so rarely a cache hit); dialect 0 SQLite,
// 1 PostgreSQL.
BENCHMARK(BM_TranslateEquipmentQuery)->ArgsProduct({{4, 60, 300, 1000}, {0, 1}});
BENCHMARK(BM_TranslateCachedEquipmentQuery)->ArgsProduct({{4, 60}, {0, 1}});
BENCHMARK(BM_TranslateCachedEquipmentQuery)->ArgsProduct({{4}, {0}})->Threads(2)->Name("BM_TranslateCachedEquipmentQuery/threads");

}  // namespace
