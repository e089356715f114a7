// Stored-expression evaluation and the VB conversions on the brochure's
// hot paths: ConditionMet per equipment row, Calculate per formatted line,
// CStr of a Double and CDbl of a text per value.

#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "common/Utilitys.h"
#include "common/vb_runtime.h"
#include "common/vbscript_engine.h"

namespace trelix {
namespace {

void BM_ConditionMetCached(benchmark::State& state) {
  const std::string stored = "({12} or {15}) and not {20}";
  const std::string list = " 12 20 ";
  for (auto _ : state) {
    std::string condition = stored;  // callers pass a working copy
    benchmark::DoNotOptimize(ConditionMet(condition, list));
  }
}
BENCHMARK(BM_ConditionMetCached);

void BM_ConditionMetFirstParse(benchmark::State& state) {
  const std::string list = " 12 20 ";
  vbscript::ScriptEngine& engine = vbscript::ThreadScriptEngine();
  for (auto _ : state) {
    engine.ClearCache();
    std::string condition = "({12} or {15}) and not {20}";
    benchmark::DoNotOptimize(ConditionMet(condition, list));
  }
}
BENCHMARK(BM_ConditionMetFirstParse);

void BM_EvalArithmetic(benchmark::State& state) {
  vbscript::ScriptEngine engine;
  for (auto _ : state) benchmark::DoNotOptimize(engine.Eval("(1 + 7) * 2 - 3 & \" km\""));
}
BENCHMARK(BM_EvalArithmetic);

void BM_Calculate(benchmark::State& state) {
  vb::SetDecimalSeparatorOverride('.');
  const Variant formula("1234.5*0.621371");
  for (auto _ : state) benchmark::DoNotOptimize(Calculate(formula));
  vb::SetDecimalSeparatorOverride(std::nullopt);
}
BENCHMARK(BM_Calculate);

void BM_CStrDouble(benchmark::State& state) {
  vb::SetDecimalSeparatorOverride('.');
  double value = 767.0863585;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vb::CStr(Variant(value)));
    value += 0.25;
  }
  vb::SetDecimalSeparatorOverride(std::nullopt);
}
BENCHMARK(BM_CStrDouble);

void BM_CDblText(benchmark::State& state) {
  vb::SetDecimalSeparatorOverride('.');
  const Variant text(" 1,234.5678 ");
  for (auto _ : state) benchmark::DoNotOptimize(vb::CDbl(text));
  vb::SetDecimalSeparatorOverride(std::nullopt);
}
BENCHMARK(BM_CDblText);

}  // namespace
}  // namespace trelix
