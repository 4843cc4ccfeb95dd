// Benchmarks of the calculator core: one Helmholtz evaluation and one full state.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
