// Solving many states at once in vector lanes gives every bit the one-state solver gives.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "calculator/lane_block.hpp"
#include "services/cpu_targets.hpp"
#include "services/guarded_math.hpp"
#include "tests/calculator/density_runs.hpp"
#include "tests/calculator/water_fixture.hpp"

namespace aqsol {
namespace {

// Every double of a state, as bits (so -0 and NaN payloads count), and its evaluation count.
std::vector<uint64_t> bitsOf(const WaterState& w) {
  const double values[] = {w.T,
                           w.P,
                           w.x,
                           w.Psat,
                           w.theta,
                           w.t,
                           w.delta,
                           w.phi.Phi,
                           w.phi.dPhi_dDelta,
                           w.phi.d2Phi_dDelta2,
                           w.phi.dPhi_dTheta,
                           w.phi.d2Phi_dTheta2,
                           w.phi.d2Phi_dDelta_dTheta,
                           w.Z,
                           w.dZ_dDelta,
                           w.dZ_dTheta,
                           w.rho,
                           w.drho_dP,
                           w.drho_dT,
                           w.d2rho_dT2,
                           w.V1,
                           w.Cp1,
                           w.H1,
                           w.S1,
                           w.G1,
                           w.lnf1};
  std::vector<uint64_t> bits;
  for (double v : values) bits.push_back(std::bit_cast<uint64_t>(v));
  bits.push_back(static_cast<uint64_t>(w.evaluations));
  return bits;
}

// The bound on evaluations from one start value.
constexpr int kMaxEvaluationsOfOneStart = 200;

using Case = DensityCase;

class WaterManyTest : public WaterFixture {
 protected:
  // The states of a pass over the whole range: waterStart's start values from the saturation
  // curve to 20,000 bar and 0.01 to 2000 C, and odd start values, temperatures and pressures
  // that leave the lanes' path at the start or on the way.
  std::vector<Case> broadCases() {
    std::vector<Case> cases;
    for (double tC = 0.01; tC <= 2000; tC += tC < 400 ? 23.7 : 157) {
      for (double P : {0.0, 1e-110, 1e-6, 0.1, 1.0, 50.0, 220.0, 221.0, 500.0, 3000.0, 20000.0}) {
        WaterState w;
        w.T = tC + 273.15;
        w.P = P;
        ErrorSlot scratch;
        if (waterStart(k, w, scratch) != WaterStatus::kOk) continue;
        cases.push_back({w.T, w.P, w.delta});
      }
    }
    const Case odd[] = {{647.0, 220.5, 1.0},
                        {647.2, 221.0, 1.1},
                        {660, 250, 0.9},
                        {373.15, 1, 3.0},
                        {298.15, 1, 0.05},
                        {298.15, 1, 1e-4},
                        {298.15, 1, 20},
                        {298.15, 1, NAN},
                        {298.15, NAN, 3},
                        {0, 1, 3},
                        {-5, 1, 3},
                        {1e-7, 1, 3},
                        {1e8, 1, 3},
                        {298.15, 0, 3},
                        {298.15, -10, 3},
                        {646.2, 218.036, 1.2},
                        {700, 1e-300, 3},
                        {500, 1e-100, 2},
                        // an iterate where (delta - 1)^2 lies 0.0012 ulp from a midpoint, which the
                        // library's pow rounds the other way
                        {605.3742275120164, 0.11709845253375825, 3.8289463645380333}};
    for (const Case& c : odd) cases.push_back(c);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> T(250, 1300), logP(-3, 4.3), start(0.001, 4);
    for (int n = 0; n < 400; ++n)
      cases.push_back({T(random), std::pow(10, logP(random)), start(random)});
    return cases;
  }
};

// The tests of one lane width, against one state at a time; a width the processor lacks (or that
// AQSOL_LANES rules out) is reported as skipped.
class WaterLanes : public WaterManyTest, public testing::WithParamInterface<LaneWidth> {
 protected:
  void SetUp() override {
    const int width = static_cast<int>(GetParam());
    if (width > cpuTargets().widestLanes())
      GTEST_SKIP() << "this processor has no " << width << "-lane path";
    if (width > cpuTargets().lanes()) GTEST_SKIP() << "AQSOL_LANES rules out " << width << " lanes";
  }
};

INSTANTIATE_TEST_SUITE_P(Widths, WaterLanes, testing::Values(LaneWidth::kFour, LaneWidth::kEight),
                         [](const testing::TestParamInfo<LaneWidth>& width) {
                           return std::to_string(static_cast<int>(width.param)) + "Lanes";
                         });

// Every case solved alone and in the lanes of the width under test: the same statuses, errors
// and bits.
void expectLanesMatchOneAtATime(const Constants& k, const std::vector<Case>& cases,
                                LaneWidth width) {
  const DensityRun alone = solveOneAtATime(k, cases), many = solveInLanes(k, cases, width);
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE(testing::Message()
                 << "width " << static_cast<int>(width) << ", T = " << cases[n].T
                 << " K, P = " << cases[n].P << " bar, start " << cases[n].start);
    EXPECT_EQ(many.statuses[n], alone.statuses[n]);
    EXPECT_EQ(many.errors[n].pending_error(), alone.errors[n].pending_error());
    EXPECT_EQ(bitsOf(many.states[n]), bitsOf(alone.states[n]));
  }
}

TEST_P(WaterLanes, DensitySolvesMatchTheOneStateSolverBitForBit) {
  expectLanesMatchOneAtATime(k, broadCases(), GetParam());
}

// Solves for the temperature derivative give the values it needs with the one-state solver's
// bits, and no stale values where the others would be.
TEST_P(WaterLanes, SolvesForDerivativesMatchTheOneStateSolverInWhatTheyGive) {
  const std::vector<Case> cases = broadCases();
  const DensityRun alone = solveOneAtATime(k, cases),
                   many = solveInLanes(k, cases, GetParam(), DensityResults::kForDerivatives);
  const auto given = [](const WaterState& w) {
    return std::vector<uint64_t>{std::bit_cast<uint64_t>(w.theta),
                                 std::bit_cast<uint64_t>(w.delta),
                                 std::bit_cast<uint64_t>(w.Z),
                                 std::bit_cast<uint64_t>(w.dZ_dDelta),
                                 std::bit_cast<uint64_t>(w.dZ_dTheta),
                                 std::bit_cast<uint64_t>(w.phi.dPhi_dDelta),
                                 std::bit_cast<uint64_t>(w.phi.d2Phi_dDelta2)};
  };
  int inLanes = 0;
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE(testing::Message() << "T = " << cases[n].T << " K, P = " << cases[n].P
                                    << " bar, start " << cases[n].start);
    EXPECT_EQ(many.statuses[n], alone.statuses[n]);
    EXPECT_EQ(many.errors[n].pending_error(), alone.errors[n].pending_error());
    if (alone.statuses[n] != WaterStatus::kOk) continue;
    EXPECT_EQ(given(many.states[n]), given(alone.states[n]));
    if (std::isnan(many.states[n].phi.Phi)) ++inLanes;
  }
  EXPECT_GT(inLanes, static_cast<int>(cases.size()) / 2) << "most solves should be in lanes";
}

// Runs of states at a few temperatures in a random order, as a grid's rows and their
// re-solutions come: a lane that takes a state at the temperature it held keeps its terms, one
// that takes another temperature's loads them.
TEST_P(WaterLanes, StatesSharingTemperaturesMatchTheOneStateSolverBitForBit) {
  const double temperatures[] = {300, 300.5, 299.5, 640, 1000, 0x1.0000000000001p+9};
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> logP(0, 3.5), start(0.5, 3.5);
  std::uniform_int_distribution<int> pick(0, 5), runLength(1, 12);
  std::vector<Case> cases;
  while (cases.size() < 600) {
    const double T = temperatures[pick(random)];
    for (int n = runLength(random); n > 0; --n)
      cases.push_back({T, std::pow(10, logP(random)), start(random)});
  }
  cases.push_back({0x1p+9, 100, 1});  // the neighbouring double of a temperature above
  expectLanesMatchOneAtATime(k, cases, GetParam());
}

// Iterates that the lanes leave to the iteration itself (above 9 in delta, pulled back from
// above 9.2, thrown below zero and restarted, or ending at once from the root) and those beside
// them in the same block, with the evaluations each took.
TEST_P(WaterLanes, StepsOutsideTheLanesOrdinaryRangeMatchTheOneStateSolverBitForBit) {
  std::vector<Case> cases;
  for (const double start : {9.99, 9.5, 9.05, 8.9, 3.1, 0.002, 1.0})
    for (const double T : {280.0, 298.15, 500.0, 700.0})
      for (const double P : {0.01, 1.0, 300.0, 5000.0}) cases.push_back({T, P, start});
  // Iterations that go above 9.2 on the way (found by a search).
  cases.insert(cases.end(), {{850.12442625029064, 9122.8008610247743, 0.19149413804908641},
                             {602.74772107687875, 1.7547696780628539, 8.5640308055246628},
                             {287.24437077395197, 10832.264565027755, 1.3906871388825695},
                             {451.15333958028225, 1583.7945585761408, 2.3382466575732916}});
  expectLanesMatchOneAtATime(k, cases, GetParam());
}

// Solves that reach the bound on evaluations in every lane at once are redone alone, and the
// solves that take their lanes start from their own start values (found by fuzzing).
TEST_P(WaterLanes, LanesFreedAtTheEvaluationBoundStartTheirNextSolveAfresh) {
  std::vector<Case> cases(8, {226.39505607690546, 8.733261623828437e-06, 2.3529411764705883});
  cases.push_back({537.5051499198901, 31553.410762437412, 0.038910505836575876});
  cases.push_back({298.15, 1, 3.1});
  {
    const LaneWidth width = GetParam();
    std::vector<WaterState> alone(cases.size()), many(cases.size());
    std::vector<ErrorSlot> aloneErrors(cases.size()), manyErrors(cases.size());
    std::vector<DensitySolve> solves;
    for (std::size_t n = 0; n < cases.size(); ++n) {
      alone[n].delta = many[n].delta = cases[n].start;
      solves.push_back({&many[n], cases[n].T, cases[n].P, &manyErrors[n]});
    }
    waterDensityMany(k, solves, width);
    for (std::size_t n = 0; n < cases.size(); ++n) {
      EXPECT_EQ(solves[n].status,
                waterDensity(k, alone[n], cases[n].T, cases[n].P, aloneErrors[n]));
      EXPECT_EQ(bitsOf(many[n]), bitsOf(alone[n]))
          << "width " << static_cast<int>(width) << ", " << n;
    }
    EXPECT_GT(alone[0].evaluations, kMaxEvaluationsOfOneStart);
  }
}

TEST_P(WaterLanes, PropertiesMatchTheOneStateSolverBitForBit) {
  // Solved states, their re-solutions at T -/+ 0.5 K done together.
  std::vector<WaterState> solved;
  for (const Case& c : broadCases()) {
    WaterState w;
    w.T = c.T;
    w.P = c.P;
    w.delta = c.start;
    ErrorSlot scratch;
    if (waterDensity(k, w, c.T, c.P, scratch) == WaterStatus::kOk) solved.push_back(w);
  }
  ASSERT_GT(solved.size(), 300u);
  std::vector<WaterState> alone = solved;
  std::vector<ErrorSlot> aloneErrors(solved.size());
  std::vector<WaterStatus> aloneStatus;
  for (std::size_t n = 0; n < solved.size(); ++n)
    aloneStatus.push_back(waterProperties(k, alone[n], aloneErrors[n]));
  {
    const LaneWidth width = GetParam();
    std::vector<WaterState> many = solved;
    std::vector<ErrorSlot> manyErrors(solved.size());
    std::vector<PropertiesJob> jobs;
    for (std::size_t n = 0; n < solved.size(); ++n) jobs.push_back({&many[n], &manyErrors[n]});
    waterPropertiesMany(k, jobs, width);
    for (std::size_t n = 0; n < solved.size(); ++n) {
      SCOPED_TRACE(testing::Message() << "width " << static_cast<int>(width) << ", T = "
                                      << solved[n].T << " K, P = " << solved[n].P << " bar");
      EXPECT_EQ(jobs[n].status, aloneStatus[n]);
      EXPECT_EQ(manyErrors[n].pending_error(), aloneErrors[n].pending_error());
      EXPECT_EQ(bitsOf(many[n]), bitsOf(alone[n]));
    }
  }
}

// The start values of a run of states, the saturation pressure reused at a repeated
// temperature, are waterStart's, errors included (a negative temperature's overflows).
TEST_F(WaterManyTest, StartsOfARunAreWaterStartsBitForBit) {
  const double temperatures[] = {298.15, 298.15, 500, 500, 700, 700, -1, -1, 0, 298.15};
  const double pressures[] = {1, 0, 1000, 1e-3, 0, 300, 1, 0, 5, 1500, 2500, 4000, 8000, 2e4};
  WaterStarts starts;
  for (double T : temperatures) {
    for (double P : pressures) {
      WaterState alone, run;
      alone.T = run.T = T;
      alone.P = run.P = P;
      ErrorSlot aloneErrors, runErrors;
      SCOPED_TRACE(testing::Message() << "T = " << T << " K, P = " << P << " bar");
      EXPECT_EQ(starts.start(k, run, runErrors), waterStart(k, alone, aloneErrors));
      EXPECT_EQ(runErrors.pending_error(), aloneErrors.pending_error());
      EXPECT_EQ(bitsOf(run), bitsOf(alone));
    }
  }
}

// The lanes take a power delta^n, or the square of delta - 1 from 1e-3 in size, as its correctly
// rounded value unless it lies within kLanePowerMidpointMargin ulps of a rounding midpoint: the
// library's pow must round every power further from one correctly. Checked against exact powers
// in quadruple precision over numbers spread logarithmically across the lanes' range.
TEST(LanePowers, TheLibrarysPowRoundsCorrectlyOutsideTheLanesMargin) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> logDelta(std::log(lanes::kLaneMinDelta), std::log(10.0));
  int disagreements = 0;
  for (int sample = 0; sample < 300'000; ++sample) {
    const double delta = std::exp(logDelta(random));
    std::vector<std::pair<double, int>> powers;  // x and n of x^n
    for (int n = -3; n <= 7; ++n) powers.push_back({delta, n});
    powers.push_back({-delta, 2});
    for (const auto& [x, n] : powers) {
      __float128 exact = 1;
      for (int m = 0; m < std::abs(n); ++m) exact *= x;
      if (n < 0) exact = 1 / exact;
      const double nearest = static_cast<double>(exact);
      const __float128 off = exact - nearest;
      const double neighbour =
          std::nextafter(nearest, off < 0 ? 0.0 : std::numeric_limits<double>::infinity());
      const double ulp = std::fabs(neighbour - nearest);
      const double fromMidpoint = 0.5 - static_cast<double>(off < 0 ? -off : off) / ulp;
      const double library = library_pow(x, n);
      if (library == nearest) continue;
      ++disagreements;
      ASSERT_LT(fromMidpoint, lanes::kLanePowerMidpointMargin) << x << "^" << n;
    }
  }
  EXPECT_GT(disagreements, 0) << "no power near a midpoint was tried";
}

}  // namespace
}  // namespace aqsol
