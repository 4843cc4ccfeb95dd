// Benchmarks of the calculator core: one Helmholtz evaluation, one full state, and the states of
// a grid as aqsol-table computes them.
#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

#include "apps/table/rows.hpp"
#include "bench/machine_floor.hpp"
#include "bench/machine_floor_rate.hpp"
#include "calculator/infinite_dilution.hpp"
#include "calculator/water.hpp"

namespace {

using namespace aqsol;

const Constants& constants() {
  static const Constants k = [] {
    ErrorSlot errors;
    return setupConstants(errors);
  }();
  return k;
}

void BM_HelmholtzEvaluation(benchmark::State& state) {
  const Constants& k = constants();
  ErrorSlot errors;
  const TemperatureTerms tt = temperatureTerms(k, 298.15, errors);
  double delta = 3.0889;
  for (auto _ : state) {
    benchmark::DoNotOptimize(delta);
    benchmark::DoNotOptimize(evaluateHelmholtz(k, delta, tt, errors));
  }
}
BENCHMARK(BM_HelmholtzEvaluation);

// What one Newton step evaluates: Phi's delta-derivatives only.
void BM_NewtonStepEvaluation(benchmark::State& state) {
  const Constants& k = constants();
  ErrorSlot errors;
  const TemperatureTerms tt = temperatureTerms(k, 298.15, errors);
  double delta = 3.0889;
  DensityEvaluation e;
  for (auto _ : state) {
    benchmark::DoNotOptimize(delta);
    evaluateDensityDerivatives(k, delta, tt, errors, e);
    benchmark::DoNotOptimize(e.d2Phi_dDelta2);
  }
}
BENCHMARK(BM_NewtonStepEvaluation);

// One pass of the physics: start values, density, water properties and fugacity, and CO2 at
// infinite dilution, at a liquid, a vapour and a near-critical state.
void BM_FullState(benchmark::State& state) {
  const Constants& k = constants();
  const double T = static_cast<double>(state.range(0)) / 100,
               P = static_cast<double>(state.range(1)) / 100;
  SoluteParams co2;
  selectSolute(5, co2);
  for (auto _ : state) {
    ErrorSlot errors;
    WaterState w;
    w.T = T;
    w.P = P;
    waterStart(k, w, errors);
    solveWater(k, w, errors);
    benchmark::DoNotOptimize(computeInfiniteDilution(k, w, co2, errors));
  }
}
BENCHMARK(BM_FullState)->Args({29815, 100})->Args({47315, 100})->Args({64715, 22060});

// The liquid grid 5-300 C x 50-1000 bar with CO2 (11,424 states) as aqsol-table computes it, a
// chunk of 64 rows at a time, without the text: evaluating up to 1, 4 or 8 states at once.
void BM_GridStates(benchmark::State& state) {
  const Constants& k = constants();
  const auto width = static_cast<LaneWidth>(state.range(0));
  if (static_cast<int>(widestLaneWidth()) < static_cast<int>(width)) {
    state.SkipWithError("this processor lacks the instructions for this width");
    return;
  }
  SoluteParams co2;
  selectSolute(5, co2);
  std::vector<RowRequest> requests;
  for (int t = 0; t < 119; ++t)
    for (int p = 0; p < 96; ++p) requests.push_back({&co2, 5 + 2.5 * t, {false, 50.0 + 10 * p}});
  std::vector<Row> rows(64);
  const bench::MachineFloor& floor = bench::machineFloor(static_cast<int>(width));
  const double start = bench::threadNanoseconds();
  for (auto _ : state) {
    for (std::size_t first = 0; first < requests.size(); first += 64) {
      const std::size_t count = std::min<std::size_t>(64, requests.size() - first);
      computeRows(k, std::span(requests).subspan(first, count), std::span(rows).first(count),
                  width);
    }
    benchmark::DoNotOptimize(rows.data());
  }
  // Processor time, as the floor's rates are.
  const double perState = (bench::threadNanoseconds() - start) * 1e-3 /
                          static_cast<double>(state.iterations() * requests.size());
  state.counters["floor_us"] = floor.computeMicroseconds;
  state.counters["x_floor"] = perState / floor.computeMicroseconds;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(requests.size()));
  state.counters["time_per_state"] = benchmark::Counter(
      static_cast<double>(requests.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GridStates)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// The text of the same grid's rows as aqsol-table writes them to a CSV file, a chunk of 64 rows at
// a time, beside the floor of the text (the shortest digits of its numbers alone).
void BM_RowText(benchmark::State& state) {
  const Constants& k = constants();
  SoluteParams co2;
  selectSolute(5, co2);
  std::vector<RowRequest> requests;
  for (int t = 0; t < 119; ++t)
    for (int p = 0; p < 96; ++p) requests.push_back({&co2, 5 + 2.5 * t, {false, 50.0 + 10 * p}});
  std::vector<Row> rows(requests.size());
  computeRows(k, requests, rows);
  const table::TableStyle style;
  std::string text;
  const bench::MachineFloor& floor = bench::machineFloor(static_cast<int>(widestLaneWidth()));
  for (auto _ : state) {
    for (std::size_t first = 0; first < rows.size(); first += 64) {
      text.clear();
      table::appendRows(
          style, std::span(rows).subspan(first, std::min<std::size_t>(64, rows.size() - first)),
          text);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.counters["floor_us"] = floor.textMicroseconds;
  state.counters["time_per_row"] = benchmark::Counter(
      static_cast<double>(rows.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RowText)->Unit(benchmark::kMillisecond);

// The machine floor per state of the grid on the widest lanes (no time of its own): for the
// computation (compute_us) and for the text (text_us), with what it was made from.
void BM_MachineFloor(benchmark::State& state) {
  const bench::MachineFloor& floor = bench::machineFloor(static_cast<int>(widestLaneWidth()));
  for (auto _ : state) benchmark::DoNotOptimize(floor.computeMicroseconds);
  state.counters["compute_us"] = floor.computeMicroseconds;
  state.counters["text_us"] = floor.textMicroseconds;
  state.SetLabel(floor.explanation);
}
BENCHMARK(BM_MachineFloor)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
