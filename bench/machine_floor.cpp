// The machine floor: counts from the calculator's own formulas and solves, rates measured here.
#include "bench/machine_floor.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "bench/machine_floor_rate.hpp"
#include "bench/machine_floor_targets.hpp"
#include "calculator/helmholtz_terms.hpp"
#include "calculator/lane_block.hpp"
#include "calculator/solutes.hpp"
#include "calculator/state_rows.hpp"
#include "calculator/table_sums.hpp"
#include "calculator/water.hpp"
#include "services/cpu_targets.hpp"
#include "services/dragonbox.hpp"
#include "services/library_math.hpp"

namespace aqsol::bench {
namespace {

// A double that records the arithmetic operations done on it, so that those a result needs can
// be counted, as the compiler keeps only those where the formulas are inlined. Constants (the
// tables' values, the equation's coefficients) are folded: an operation on constants alone is
// not recorded. Inputs (delta, its powers and weights, the temperature terms) are recorded as
// operations of no cost.
struct Counted {
  double value = 0;
  int node = -1;                       // the operation that made it, or -1 for a constant
  Counted(double v = 0) : value(v) {}  // NOLINT: constants mix with counted values as doubles do

  struct Operation {
    int a = -1, b = -1;  // the operands' nodes (-1: a constant)
    bool input = false;
  };
  static inline std::vector<Operation> tape;

  static Counted made(double v, Operation operation) {
    Counted c(v);
    c.node = static_cast<int>(tape.size());
    tape.push_back(operation);
    return c;
  }
  static Counted input(double v) { return made(v, {-1, -1, true}); }
  static Counted operation(double v, Counted a, Counted b = {}) {
    return a.node < 0 && b.node < 0 ? Counted(v) : made(v, {a.node, b.node, false});
  }

  // How many operations the results need, inputs aside.
  static long neededFor(std::initializer_list<Counted> results) {
    std::vector<bool> needed(tape.size());
    std::vector<int> pending;
    for (const Counted& r : results) pending.push_back(r.node);
    long count = 0;
    while (!pending.empty()) {
      const int n = pending.back();
      pending.pop_back();
      if (n < 0 || needed[static_cast<std::size_t>(n)]) continue;
      needed[static_cast<std::size_t>(n)] = true;
      const Operation& o = tape[static_cast<std::size_t>(n)];
      if (!o.input) ++count;
      pending.push_back(o.a);
      pending.push_back(o.b);
    }
    return count;
  }
};

Counted operator+(Counted a, Counted b) {
  return Counted::operation(a.value + b.value, a, b);
}
Counted operator-(Counted a, Counted b) {
  return Counted::operation(a.value - b.value, a, b);
}
Counted operator*(Counted a, Counted b) {
  return Counted::operation(a.value * b.value, a, b);
}
Counted operator/(Counted a, Counted b) {
  return Counted::operation(a.value / b.value, a, b);
}
Counted operator-(Counted a) {
  return Counted::operation(-a.value, a);
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

// Operations of a Newton step's evaluation, of completing it with Phi and all its
// theta-derivatives (a row's density solve), and of completing it with the mixed derivative
// alone (the re-solutions at T -/+ 0.5 K), as the shared formulas do them and as far as their
// results need them (the whole powers of delta and the weights' special cases left out).
struct FormulaOperations {
  long step = 0, completion = 0, mixedCompletion = 0;
};

// The parts of Phi at one state with every input a recorded input: the sums and weights given
// are filled by the formulas, or are inputs where a step kept them for its completion.
struct CountedState {
  CountedFunctions f;
  CountedSums A, B, C, D;
  CountedWeight G, S;
  Counted delta = Counted::input(2.5), delta2 = Counted::input(6.25), lnDelta = Counted::input(0.9),
          E = Counted::input(0.1), E_d = Counted::input(-0.5), E_dd = Counted::input(0.7),
          d = Counted::input(1.5), t = Counted::input(0.3);
  Counted powers[11], thetaPowers[14];

  CountedState() {
    for (int n = 0; n < 11; ++n) powers[n] = Counted::input(1.0 + n);
    for (int n = 0; n < 14; ++n) thetaPowers[n] = Counted::input(0.5 + n);
  }
  auto dp() const {
    return [this](int n) { return powers[n + 3]; };
  }
  auto theta() const {
    return [this](int n) { return thetaPowers[n + 2]; };
  }
  terms::Parts<Counted, CountedSums, CountedWeight> parts() const {
    const auto in = [](double v) { return Counted::input(v); };
    return {delta, delta2, lnDelta, E,     E_d,   E_dd,  A,     B,     C,     D,
            G,     S,      in(1),   in(2), in(3), in(4), in(5), in(6), in(7), in(8)};
  }
};

FormulaOperations formulaOperations(const Constants& k) {
  FormulaOperations counted;
  {
    Counted::tape.clear();
    CountedState x;
    x.G.W = Counted::input(0.2);  // the exponential, counted apart
    terms::densityFunctions(x.delta, x.lnDelta, x.dp(), Counted(1) - x.E, x.E_d, x.E_dd, x.f);
    terms::sumTables(x.f, x.dp(), x.theta(), x.A, x.B, x.C, x.D);
    terms::gaussianDerivatives(k, x.d, x.t, x.G);
    const auto parts = x.parts();
    counted.step = Counted::neededFor({terms::dPhi_dDelta(parts), terms::d2Phi_dDelta2(parts),
                                       terms::gaussianExponent(k, x.t, x.t * x.t, x.d, x.d * x.d)});
  }
  for (const bool mixedOnly : {false, true}) {
    Counted::tape.clear();
    CountedState x;
    x.G.W = Counted::input(0.2);
    x.B.S = Counted::input(0.4);  // kept by the step
    x.C.S = Counted::input(0.6);
    x.C.S_d = Counted::input(0.8);
    terms::densityFunctions(x.delta, x.lnDelta, x.dp(), Counted(1) - x.E, x.E_d, x.E_dd, x.f);
    terms::sumDensityFunctions<kRowMajorA>(x.f, x.theta(), x.A);
    terms::sumDensityFunctions<kRowMajorD>(x.f, x.theta(), x.D);
    terms::sumTables_theta(x.f, x.dp(), x.theta(), x.A, x.B, x.C, x.D);
    terms::gaussianDerivatives(k, x.d, x.t, x.G);
    const auto parts = x.parts();
    const Counted mixed = terms::d2Phi_dDelta_dTheta(parts);
    if (mixedOnly) {
      counted.mixedCompletion = Counted::neededFor({mixed});
    } else {
      counted.completion = Counted::neededFor(
          {terms::Phi(parts), terms::dPhi_dTheta(parts), terms::d2Phi_dTheta2(parts), mixed});
    }
  }
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

// The least of several timings of `work` in this thread's processor time, in nanoseconds.
template <class Work>
double leastNanoseconds(const Work& work) {
  double least = 1e300;
  for (int repeat = 0; repeat < 7; ++repeat) {
    const double start = threadNanoseconds();
    work();
    least = std::min(least, threadNanoseconds() - start);
  }
  return least;
}

double nanosecondsPerOperation(int lanes) {
  switch (targetWithLanes(lanes, cpuTargets().widest)) {
    case CpuTarget::kAvx512:
      return targets::avx512::kFloor.nanosecondsPerOperation();
    case CpuTarget::kAvx2:
      return targets::avx2::kFloor.nanosecondsPerOperation();
    case CpuTarget::kBaseline:
      break;
  }
  return baselineNanosecondsPerOperation();
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

// Nanoseconds per value of the whole powers the lanes take from the library's pow (those near a
// rounding midpoint), as the lanes compute them (the library's own calls where they cannot).
double nanosecondsPerPower(int lanes) {
  constexpr std::size_t kCount = 1 << 14;
  std::vector<double> x(kCount), n(kCount), out(kCount);
  for (std::size_t i = 0; i < kCount; ++i) {
    x[i] = 1e-3 + 10.0 * static_cast<double>(i) / kCount;
    n[i] = static_cast<double>(static_cast<int>(i % 11) - 3);
  }
  const double ns = leastNanoseconds([&] {
    if (lanes == 1 || !libraryMathInLanes() ||
        !transcribedPowMany(lanes, x.data(), n.data(), out.data(), kCount)) {
      for (std::size_t i = 0; i < kCount; ++i) out[i] = std::pow(x[i], n[i]);
    }
    __asm__ volatile("" : : "r"(out.data()) : "memory");
  });
  return ns / kCount;
}

// Nanoseconds per number for the shortest digits alone (Dragonbox, no text), over the computed
// values of the grid's rows (the texts of a grid's temperatures and pressures are made once).
double nanosecondsPerShortestDigits(const Constants& k, std::size_t& numbersPerRow) {
  SoluteParams co2;
  selectSolute(5, co2);
  std::vector<RowRequest> requests;
  for (const auto& [T, P] : gridStates()) requests.push_back({&co2, T - k.T0K, {false, P}});
  std::vector<Row> rows(requests.size());
  computeRows(k, requests, rows);
  std::vector<double> values;
  for (const Row& row : rows) {
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

// Operations of a row outside the shared formulas, which the counting type does not reach,
// counted from their code. Each Newton step: the whole powers of delta (deltaPowers: six
// double-double products by delta of 7 operations, a reciprocal of 9, two double-double products
// of 9 and nine midpoint checks of 2: 87); exp(-delta^2)'s derivatives and 1 - E (7) and the
// Gaussian's exact square with its check (5); the state moved into and out of the lanes (delta
// and the 11 results a step keeps: 12).
constexpr long kStepOperationsBeyondFormulas = 87 + 7 + 5 + 12;
// Each row: the start of its solve (11) and of its two re-solutions along the isobar (14 each);
// the water's properties from the solution (energies, volume, fugacity, the density's
// derivatives and their central difference: 45); the solute's properties (its interaction and
// computeInfiniteDilution: 100); the temperature terms of water and solute, about 300 operations
// once a temperature, over the grid's 96 states a temperature (3).
constexpr long kRowOperationsBeyondFormulas = 11 + 2 * 14 + 45 + 100 + 3;
// Each step's exp and log (ln delta, exp(-delta^2), the Gaussian weight's exp), and each row's
// from the solute (ln of the ideal density and of the density, and exp(ln kH)).
constexpr int kExpOrLogPerStep = 3, kExpOrLogPerRow = 3;
// The whole powers a step checks (delta^-3..7 but 1 and 0, and the Gaussian's square), of which
// the library's pow takes those within the margin of a midpoint: a fraction 2m / (1 - 2m).
constexpr int kPowersPerStep = 10;
constexpr double kPowerNearMidpoint =
    2 * lanes::kLanePowerMidpointMargin / (1 - 2 * lanes::kLanePowerMidpointMargin);

MachineFloor measureFloor(int lanes) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  const FormulaOperations operations = formulaOperations(k);
  const double steps = stepsPerRow(k);
  const double operation = nanosecondsPerOperation(lanes);
  const double expOrLog = nanosecondsPerExpOrLog(lanes);
  const double power = nanosecondsPerPower(lanes);
  std::size_t numbersPerRow = 0;
  const double digits = nanosecondsPerShortestDigits(k, numbersPerRow);
  const double stepOperations =
      static_cast<double>(operations.step + kStepOperationsBeyondFormulas);
  // A row's density solve is completed whole, its two re-solutions with the mixed derivative
  // alone.
  const double rowOperations = static_cast<double>(
      operations.completion + 2 * operations.mixedCompletion + kRowOperationsBeyondFormulas);
  const double arithmetic = (steps * stepOperations + rowOperations) * operation;
  const double transcendental = (steps * kExpOrLogPerStep + kExpOrLogPerRow) * expOrLog;
  const double powers = steps * kPowersPerStep * kPowerNearMidpoint * power;
  MachineFloor floor;
  floor.computeMicroseconds = (arithmetic + transcendental + powers) * 1e-3;
  floor.textMicroseconds = static_cast<double>(numbersPerRow) * digits * 1e-3;
  char text[768];
  std::snprintf(text, sizeof text,
                "arithmetic %.3f us: %.2f Newton steps a row of %.0f operations (%ld of the "
                "formulas), %.0f a row besides (completions %ld + 2 x %ld, the rest %ld), at "
                "%.4f ns an operation a lane; exp and log %.3f us: %.1f a row at %.2f ns; whole "
                "powers from pow %.3f us: %.2f a row at %.2f ns; text %.3f us: %zu numbers a row "
                "at %.1f ns of digits",
                arithmetic * 1e-3, steps, stepOperations, operations.step, rowOperations,
                operations.completion, operations.mixedCompletion, kRowOperationsBeyondFormulas,
                operation, transcendental * 1e-3, steps * kExpOrLogPerStep + kExpOrLogPerRow,
                expOrLog, powers * 1e-3, steps * kPowersPerStep * kPowerNearMidpoint, power,
                floor.textMicroseconds, numbersPerRow, digits);
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
