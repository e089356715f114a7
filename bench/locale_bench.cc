// Locale number formatting: the cost of one FormatLocaleNumber call, the
// way spec sheets and advantage sentences call it for every printed number.

#include <benchmark/benchmark.h>

#include <string>

#include "common/modLocaleUtilities.h"
#include "common/number_format.h"

namespace trelix {
namespace {

void BM_FormatLocaleNumber(benchmark::State& state) {
  const double values[] = {1234.5, -5, 0.125, 999999.99, 42, 1234567.891, 3.14159, 0};
  const int16_t language = static_cast<int16_t>(state.range(0));
  const int32_t decimals = static_cast<int32_t>(state.range(1));
  size_t i = 0;
  for (auto _ : state) {
    std::string text = FormatLocaleNumber(values[i++ & 7], decimals, language);
    benchmark::DoNotOptimize(text);
  }
}
// English, German, French (two-byte separator), locale 0; 0 and 2 decimals.
BENCHMARK(BM_FormatLocaleNumber)->Args({1, 2})->Args({3, 2})->Args({5, 2})->Args({22, 2})->Args({1, 0});

void BM_GetNumberFormat(benchmark::State& state) {
  NumberFormat format{2, 1, 3, ",", ".", 0};
  std::string out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetNumberFormat(1031, "-1234567.891", format, &out));
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_GetNumberFormat);

}  // namespace
}  // namespace trelix
