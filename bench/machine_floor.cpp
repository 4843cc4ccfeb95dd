// The machine floor: counts from the calculator's own formulas and solves, rates measured here.
#include "bench/machine_floor.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "calculator/helmholtz_terms.hpp"
#include "calculator/solutes.hpp"
#include "calculator/state_rows.hpp"
#include "calculator/table_sums.hpp"
#include "calculator/water.hpp"
#include "services/cpu_targets.hpp"
#include "services/dragonbox.hpp"
#include "services/library_math.hpp"

namespace aqsol::bench {
namespace {

// A double that counts the arithmetic operations done on it (not those on constants alone,
// which the compiler folds).
struct Counted {
  double value = 0;
  Counted(double v = 0) : value(v) {}  // NOLINT: constants mix with counted values as doubles do
  static inline long operations = 0;
};

Counted operator+(Counted a, Counted b) {
  ++Counted::operations;
  return a.value + b.value;
}
Counted operator-(Counted a, Counted b) {
  ++Counted::operations;
  return a.value - b.value;
}
Counted operator*(Counted a, Counted b) {
  ++Counted::operations;
  return a.value * b.value;
}
Counted operator/(Counted a, Counted b) {
  ++Counted::operations;
  return a.value / b.value;
}
Counted operator-(Counted a) {
  ++Counted::operations;
  return -a.value;
}
Counted& operator+=(Counted& a, Counted b) {
  return a = a + b;
}

struct CountedFunctions {
  Counted g[8], g_d[8], g_dd[8];
};
struct CountedSums {
  Counted S, S_d, S_dd, S_t, S_tt, S_dt;
};
struct CountedWeight {
  Counted W, W_d, W_dd, W_t, W_tt, W_dt;
};

// Operations of a Newton step's evaluation and of completing it, as the shared formulas do them
// (the whole powers of delta and the weights' special cases left out).
struct FormulaOperations {
  long step = 0, completion = 0;
};

FormulaOperations formulaOperations(const Constants& k) {
  const auto powers = [](int n) { return Counted(1.0 + n); };
  const auto theta = [](int n) { return Counted(0.5 + n); };
  const Counted delta = 2.5, lnDelta = 0.9, E = 0.1, E_d = -0.5, E_dd = 0.7, d = 1.5, t = 0.3;
  CountedFunctions f;
  CountedSums A, B, C, D;
  CountedWeight G, S;
  const terms::Parts<Counted, CountedSums, CountedWeight> parts{
      delta, 6.25, lnDelta, E, E_d, E_dd, A, B, C, D, G, S, 1, 2, 3, 4, 5, 6, 7, 8};
  FormulaOperations counted;
  Counted::operations = 0;
  terms::densityFunctions(delta, lnDelta, powers, Counted(1) - E, E_d, E_dd, f);
  terms::sumTables(f, powers, theta, A, B, C, D);
  terms::gaussianExponent(k, t, t * t, d, d * d);
  terms::gaussianDerivatives(k, d, t, G);
  terms::dPhi_dDelta(parts);
  terms::d2Phi_dDelta2(parts);
  counted.step = Counted::operations;
  Counted::operations = 0;
  terms::densityFunctions(delta, lnDelta, powers, Counted(1) - E, E_d, E_dd, f);
  terms::sumTables_theta(f, powers, theta, A, B, C, D);
  terms::gaussianDerivatives(k, d, t, G);
  terms::Phi(parts);
  terms::dPhi_dTheta(parts);
  terms::d2Phi_dTheta2(parts);
  terms::d2Phi_dDelta_dTheta(parts);
  counted.completion = Counted::operations;
  return counted;
}

// The liquid grid's states (T in K, P in bar).
std::vector<std::pair<double, double>> gridStates() {
  std::vector<std::pair<double, double>> states;
  for (int t = 0; t < 119; ++t)
    for (int p = 0; p < 96; ++p) states.emplace_back(278.15 + 2.5 * t, 50.0 + 10 * p);
  return states;
}

// Newton steps a row takes on average: its density solve and the two at T -/+ 0.5 K that the
// second temperature derivative takes, each from the solution before it.
double stepsPerRow(const Constants& k) {
  long steps = 0;
  const auto states = gridStates();
  for (const auto& [T, P] : states) {
    ErrorSlot errors;
    WaterState w;
    w.T = T;
    w.P = P;
    waterStart(k, w, errors);
    DensitySolution s = w;
    waterDensity(k, s, T, P, errors);
    steps += s.evaluations;
    waterDensity(k, s, T - 0.5, P, errors);
    steps += s.evaluations;
    waterDensity(k, s, T + 0.5, P, errors);
    steps += s.evaluations;
  }
  return static_cast<double>(steps) / static_cast<double>(states.size());
}

using Clock = std::chrono::steady_clock;

// The least of several timings of `work`, in nanoseconds.
template <class Work>
double leastNanoseconds(const Work& work) {
  double least = 1e300;
  for (int repeat = 0; repeat < 7; ++repeat) {
    const auto start = Clock::now();
    work();
    least = std::min(least, std::chrono::duration<double, std::nano>(Clock::now() - start).count());
  }
  return least;
}

// Nanoseconds per lane per multiply or add at the vector units' full rate: many independent
// chains of a separately rounded multiply and add, as the table sums do them. Inlined into a
// function compiled for V's instructions.
template <class V>
[[gnu::always_inline]] inline double nanosecondsPerOperation() {
  constexpr int kChains = 12, kRounds = 1 << 16;
  constexpr int kWidth = static_cast<int>(sizeof(V) / sizeof(double));
  V factor, term;
  for (int lane = 0; lane < kWidth; ++lane) {
    factor[lane] = 0.999999;
    term[lane] = 1e-9;
  }
  double least = 1e300;
  for (int repeat = 0; repeat < 7; ++repeat) {
    V sums[kChains];
    for (V& s : sums) s = factor;
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round)
      for (V& s : sums) {
        s = s * factor + term;
        __asm__ volatile("" : "+v"(s));  // neither fused nor hoisted
      }
    least = std::min(least, std::chrono::duration<double, std::nano>(Clock::now() - start).count());
  }
  return least / (2.0 * kChains * kRounds * kWidth);
}

[[gnu::target("avx512f")]] double nanosecondsPerOperation8() {
  return nanosecondsPerOperation<double __attribute__((vector_size(64)))>();
}
[[gnu::target("avx2,fma")]] double nanosecondsPerOperation4() {
  return nanosecondsPerOperation<double __attribute__((vector_size(32)))>();
}
double nanosecondsPerOperation1() {
  return nanosecondsPerOperation<double __attribute__((vector_size(16)))>() * 2;  // one lane used
}

// Nanoseconds per value of the exponential and logarithm as the lanes compute them (the
// library's own calls where the lanes cannot).
double nanosecondsPerExpOrLog(int lanes) {
  constexpr std::size_t kCount = 1 << 14;
  std::vector<double> x(kCount), out(kCount);
  for (std::size_t i = 0; i < kCount; ++i) x[i] = 1e-3 + 10.0 * static_cast<double>(i) / kCount;
  const double ns = leastNanoseconds([&] {
    if (lanes == 1 || !libraryMathInLanes() ||
        !transcribedExpMany(lanes, x.data(), out.data(), kCount) ||
        !transcribedLogMany(lanes, x.data(), out.data(), kCount)) {
      for (std::size_t i = 0; i < kCount; ++i) out[i] = std::exp(-x[i]) + std::log(x[i]);
    }
    __asm__ volatile("" : : "r"(out.data()) : "memory");
  });
  return ns / (2.0 * kCount);
}

// Nanoseconds per number for the shortest digits alone (Dragonbox, no text), over the values
// of the grid's rows.
double nanosecondsPerShortestDigits(const Constants& k, std::size_t& numbersPerRow) {
  SoluteParams co2;
  selectSolute(5, co2);
  std::vector<RowRequest> requests;
  for (const auto& [T, P] : gridStates()) requests.push_back({&co2, T - k.T0K, {false, P}});
  std::vector<Row> rows(requests.size());
  computeRows(k, requests, rows);
  std::vector<double> values;
  for (const Row& row : rows) {
    values.push_back(row.temperatureC);
    values.push_back(row.pressureBar.value_or(0));
    for (const double v : computedValues(row)) values.push_back(v);
  }
  numbersPerRow = values.size() / rows.size();
  long sink = 0;
  const double ns = leastNanoseconds([&] {
    for (const double v : values) {
      const auto decimal = fmt::detail::dragonbox::to_decimal(v);
      sink += decimal.exponent + static_cast<long>(decimal.significand);
    }
    __asm__ volatile("" : : "r"(sink));
  });
  return ns / static_cast<double>(values.size());
}

MachineFloor measureFloor(int lanes) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  const FormulaOperations operations = formulaOperations(k);
  const double steps = stepsPerRow(k);
  constexpr double kSolvesPerRow = 3;
  const double operation = lanes == 8   ? nanosecondsPerOperation8()
                           : lanes == 4 ? nanosecondsPerOperation4()
                                        : nanosecondsPerOperation1();
  const double expOrLog = nanosecondsPerExpOrLog(lanes);
  std::size_t numbersPerRow = 0;
  const double digits = nanosecondsPerShortestDigits(k, numbersPerRow);
  MachineFloor floor;
  // Each step takes a logarithm and two exponentials (the Gaussian weight's where it is not
  // negligible).
  floor.computeMicroseconds =
      (steps * (static_cast<double>(operations.step) * operation + 3 * expOrLog) +
       kSolvesPerRow * static_cast<double>(operations.completion) * operation) *
      1e-3;
  floor.textMicroseconds = static_cast<double>(numbersPerRow) * digits * 1e-3;
  char text[512];
  std::snprintf(text, sizeof text,
                "%.2f Newton steps a row (%ld operations each) and 3 completions (%ld each) at "
                "%.3f ns an operation a lane; 3 exp or log a step at %.2f ns; %zu numbers a row "
                "at %.1f ns of digits",
                steps, operations.step, operations.completion, operation, expOrLog, numbersPerRow,
                digits);
  floor.explanation = text;
  return floor;
}

}  // namespace

const MachineFloor& machineFloor(int lanes) {
  static std::mutex mutex;
  static std::map<int, MachineFloor> floors;
  const std::lock_guard lock(mutex);
  const auto found = floors.find(lanes);
  if (found != floors.end()) return found->second;
  return floors.emplace(lanes, measureFloor(lanes)).first->second;
}

}  // namespace aqsol::bench
