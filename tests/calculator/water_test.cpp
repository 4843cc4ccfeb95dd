// Tests of the water model: start values, density solver, derived properties and fugacity.
#include "calculator/water.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "calculator/ideal_gas.hpp"
#include "calculator/validity.hpp"
#include "tests/calculator/water_fixture.hpp"

namespace aqsol {
namespace {

class Water : public WaterFixture {
 protected:
  // Molar volume (cm3/mol) behind a start value.
  double startVolume(const WaterState& w) const { return k.Mw / (w.delta * k.rho_c); }
};

TEST_F(Water, SaturationPressureAndSaturatedLiquidStart) {
  const WaterState w = startAt(298.15, 0);
  EXPECT_NEAR(w.Psat, 0.031724, 5e-7);
  EXPECT_EQ(w.P, w.Psat);
  EXPECT_NEAR(w.delta, 3.096251, 5e-7);
  EXPECT_NEAR(startAt(373.15, 1).Psat, 1.013949, 5e-7);
}

TEST_F(Water, StartBranchFollowsThePressureAgainstSaturation) {
  const double T = 373.15;
  const WaterState vapour = startAt(T, 1.0139);
  EXPECT_DOUBLE_EQ(vapour.delta, k.Mw * 1.0139 / (k.R_bar * T * k.rho_c));
  EXPECT_GT(startAt(T, 1.014).delta, 2.5);  // compressed liquid
  struct Band {
    double P, V;
  };
  for (const Band b : {Band{500, 17.297}, Band{1500, 17.437}, Band{20000, 14.172}})
    EXPECT_NEAR(startVolume(startAt(298.15, b.P)), b.V, 5e-4) << b.P;
}

TEST_F(Water, StartValueMemoryCarriesBetweenPasses) {
  WaterState w = startAt(298.15, 25);
  w.T = 700;
  w.P = 0.02;  // below the saturation pressure kept from 25 C: vapour branch
  EXPECT_EQ(waterStart(k, w, errors), WaterStatus::kOk);
  EXPECT_NEAR(w.Psat, 0.031724, 5e-7);
  EXPECT_DOUBLE_EQ(w.delta, k.Mw * 0.02 / (k.R_bar * 700 * k.rho_c));
}

TEST_F(Water, SaturationAboveTheCriticalTemperatureIsRefused) {
  for (double before : {0.0, 298.15}) {
    WaterState w;
    if (before > 0) w = startAt(before, 1);
    w.T = 700;
    w.P = 0;
    const double delta = w.delta, psat = w.Psat;
    EXPECT_EQ(waterStart(k, w, errors), WaterStatus::kNoSaturationPressure);
    EXPECT_EQ(w.P, 0.0);
    EXPECT_EQ(w.delta, delta);
    EXPECT_EQ(w.Psat, psat);
    EXPECT_EQ(waterOutcomeMessage({WaterStatus::kNoSaturationPressure, WaterStep::kStart, w.T, w.P},
                                  errors),
              "no saturation pressure at or above the critical temperature");
  }
}

// Newton iterations from given start values.
TEST_F(Water, DensitySolverFromGivenStarts) {
  struct Case {
    double T, P, start, delta, tolerance;
    int evaluations;
  };
  const Case cases[] = {
      // Iterates 3.104409, 3.089121, 3.088939, 3.088939: the fifth evaluation's step is below
      // 1e-12 of delta, and the solution is the density it was made at.
      {298.15, 1, 3.2362, 3.088939, 5e-7, 5},
      // The iteration from 0.05 ends on delta = 0.024311, where dZ/ddelta < 0: a root without
      // physical meaning, which is retried from other starts until the stable liquid root.
      {298.15, 1, 0.05, 3.088939, 5e-7, 0},
      {373.15, 1, 3.0, 2.969118, 5e-7, 4},
      {473.15, 1, 0.0014, 0.001426, 5e-7, 3},
  };
  for (const Case& c : cases) {
    WaterState w;
    w.delta = c.start;
    EXPECT_EQ(waterDensity(k, w, c.T, c.P, errors), WaterStatus::kOk) << c.start;
    EXPECT_NEAR(w.delta, c.delta, c.tolerance) << c.start;
    if (c.evaluations > 0) {
      EXPECT_EQ(w.evaluations, c.evaluations) << c.start;
    }
  }
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Water, PropertiesAt25CAnd1Bar) {
  const WaterState w = solvedAt(298.15, 1);
  EXPECT_NEAR(w.rho, 0.997041, 5e-7);
  EXPECT_NEAR(w.V1, 18.0687, 5e-5);
  EXPECT_NEAR(w.drho_dP, 4.5e-5, 5e-7);
  EXPECT_NEAR(w.drho_dT, -2.57e-4, 5e-7);
  EXPECT_NEAR(w.d2rho_dT2, -1e-5, 1e-6);
  EXPECT_NEAR(w.Cp1, 17.999, 5e-4);
  EXPECT_NEAR(w.S1, 16.686, 5e-4);
  EXPECT_NEAR(w.G1, -56689, 0.5);
  EXPECT_NEAR(w.lnf1, -3.4712, 5e-5);
  EXPECT_FALSE(errors.has_error());
}

// The properties write the results alone: the solution at T stays as the solver left it, and
// the re-solutions at T -/+ 0.5 K happen on copies.
// The properties come from Phi at the density the iteration ends on, converged far below
// what a printed digit shows: neighbouring states whose iterations take different numbers of
// steps lie on one smooth curve, and the second temperature derivative of a dilute vapour
// is the equation's own.
TEST_F(Water, PropertiesDoNotDependOnTheStepsTaken) {
  std::vector<WaterState> states;
  for (int n = 0; n <= 20; ++n) states.push_back(solvedAt(333.15, 0.1370 + 0.0001 * n));
  int differentSteps = 0;
  for (std::size_t n = 2; n < states.size(); ++n) {
    differentSteps += states[n].evaluations != states[n - 1].evaluations;
    // Second differences of a smooth curve at an even step are far below its first ones.
    for (auto value : {&WaterState::lnf1, &WaterState::Cp1, &WaterState::d2rho_dT2}) {
      const double first = states[n].*value - states[n - 1].*value;
      const double second = first - (states[n - 1].*value - states[n - 2].*value);
      EXPECT_LT(std::fabs(second), 1e-3 * std::fabs(first)) << n;
    }
  }
  EXPECT_GE(differentSteps, 0);
  // IAPWS-95 (python3-iapws, a central difference of its d rho/dT over 0.1 K): 2.10355e-10.
  EXPECT_NEAR(solvedAt(1273.15, 1).d2rho_dT2 / 2.10355e-10, 1, 0.005);
  EXPECT_NEAR(solvedAt(298.15, 0.01).d2rho_dT2 / solvedAt(298.15, 0.0101).d2rho_dT2, 1, 0.02);
}

// Near the critical temperature just above the saturation pressure, the iteration from the
// liquid start can wander to the vapour root; the stable liquid root is taken where it exists.
TEST_F(Water, TheStablePhaseIsPreferredToAMetastableRoot) {
  const WaterState w = solvedAt(373.0 + 273.15, 218.093);
  EXPECT_GT(w.delta, 1);
  EXPECT_GT(w.dZ_dDelta, 0);
  EXPECT_LT(solvedAt(373.0 + 273.15, 217.0).delta, 1);  // below Psat: the vapour
}

// Liquid water does not exist below the homogeneous ice nucleation temperature (-38 C at 1 bar,
// -92 C at 2,000 bar); the vapour below the sublimation pressure of ice does.
TEST_F(Water, NoLiquidBelowTheHomogeneousNucleationTemperature) {
  EXPECT_NEAR(homogeneousNucleationTemperature(1), 235.15, 1e-9);
  const double lineEnd = 1996;  // bar, where the line reaches 181 K
  EXPECT_NEAR(homogeneousNucleationTemperature(lineEnd), 181, 0.05);
  EXPECT_DOUBLE_EQ(homogeneousNucleationTemperature(8000), homogeneousNucleationTemperature(2500));
  double previous = 300;
  for (double P : {0.0, 0.5, 1.0, 10.0, 100.0, 500.0, 1000.0, 1500.0, 1990.0}) {
    const double T = homogeneousNucleationTemperature(P);
    EXPECT_LT(T, previous) << P;
    previous = T;
  }
  for (double tC : {-120.0, -60.0, -38.1}) {
    WaterState w = startAt(tC + 273.15, 1);
    const WaterOutcome outcome = solveWater(k, w, errors);
    EXPECT_EQ(outcome.status, WaterStatus::kFrozen) << tC;
    EXPECT_EQ(waterOutcomeMessage(outcome, errors)
                  .rfind("no liquid water below the homogeneous "
                         "ice nucleation temperature (235.15 K",
                         0),
              0u);
  }
  EXPECT_GT(solvedAt(-37.9 + 273.15, 1).delta, 2.9);    // supercooled, still liquid
  EXPECT_LT(solvedAt(-60 + 273.15, 1e-6).delta, 1e-3);  // vapour under the ice's pressure
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Water, PropertiesLeaveTheSolutionAsItWas) {
  WaterState w = startAt(298.15, 1);
  ASSERT_EQ(waterDensity(k, w, w.T, w.P, errors), WaterStatus::kOk);
  const DensitySolution solution = w;
  ASSERT_EQ(waterProperties(k, w, errors), WaterStatus::kOk);
  EXPECT_EQ(w.T, 298.15);
  const auto same = [](const DensitySolution& a, const DensitySolution& b) {
    return a.theta == b.theta && a.t == b.t && a.delta == b.delta && a.phi.Phi == b.phi.Phi &&
           a.phi.dPhi_dDelta == b.phi.dPhi_dDelta && a.Z == b.Z && a.dZ_dDelta == b.dZ_dDelta &&
           a.dZ_dTheta == b.dZ_dTheta && a.evaluations == b.evaluations;
  };
  EXPECT_TRUE(same(w, solution));
  EXPECT_EQ(w.rho, solution.delta * k.rho_c);
  // d2rho/dT2 comes from the solutions at 297.65 K and 298.65 K, each from the one before.
  DensitySolution colder = solution, warmer;
  ASSERT_EQ(waterDensity(k, colder, 297.65, 1, errors), WaterStatus::kOk);
  warmer = colder;
  ASSERT_EQ(waterDensity(k, warmer, 298.65, 1, errors), WaterStatus::kOk);
  EXPECT_NE(warmer.delta, solution.delta);
  EXPECT_LT(w.d2rho_dT2, 0);
}

TEST_F(Water, VapourBelowSaturationAndNearTheCriticalPoint) {
  EXPECT_NEAR(solvedAt(373.15, 0.3).rho, 0.0002, 5e-5);
  const WaterState critical = solvedAt(647.15, 220.6);
  EXPECT_GT(critical.rho, 0.2);
  EXPECT_LT(critical.rho, 0.4);
}

TEST_F(Water, IdealGasGibbsEnergyOfWaterAtTheReferenceTemperature) {
  EXPECT_EQ(idealGasG(k, k.waterIdealGas(), 298.15, errors), -54632.39);
}

// The prescribed start for a supercritical state at low pressure is liquid-like and cycles;
// the solver must still end, on the vapour root.
TEST_F(Water, SupercriticalLowPressureConvergesOnTheVapourRoot) {
  for (double P : {1.0, 0.5, 0.01}) {
    const WaterState w = solvedAt(973.15, P);
    EXPECT_NEAR(w.rho, k.Mw * P / (k.R_bar * 973.15), 1e-3 * w.rho) << P;
    EXPECT_LT(w.evaluations, 10) << P;  // the cycle is recognised, not run to the bound
  }
  EXPECT_GT(startAt(973.15, 1).delta, 0.1);
}

TEST_F(Water, FailuresAreReportedNotHidden) {
  WaterState w;
  w.delta = 1;
  EXPECT_EQ(waterDensity(k, w, 0, 1, errors), WaterStatus::kRuntimeError);
  EXPECT_EQ(errors.pending_error(), 5u);
  errors.clear();
  w = WaterState{};
  w.T = 298.15;
  w.P = -5;  // the vapour branch gives a negative start value
  ASSERT_EQ(waterStart(k, w, errors), WaterStatus::kOk);
  const WaterOutcome outcome = solveWater(k, w, errors);
  EXPECT_EQ(outcome.status, WaterStatus::kRuntimeError);
  EXPECT_EQ(outcome.step, WaterStep::kDensity);
  EXPECT_EQ(waterOutcomeMessage(outcome, errors),
            "error 5 (Illegal function call) while computing the density of water at "
            "T = 298.15 K, P = -5 bar");
  EXPECT_EQ(
      waterOutcomeMessage({WaterStatus::kNotConverged, WaterStep::kDensity, 973.15, 1}, errors),
      "the density of water did not converge at T = 973.15 K, P = 1 bar");
}

// Every state of a coarse grid over the whole range ends with a result or a clear status.
TEST_F(Water, EveryStateOfAWideGridEnds) {
  int solved = 0, refused = 0;
  for (double tC = 0.01; tC <= 1000; tC += 37)
    for (double P : {0.0, 0.01, 0.3, 1.0, 10.0, 221.0, 500.0, 1500.0, 4000.0, 9000.0, 20000.0}) {
      WaterState w;
      w.T = tC + 273.15;
      w.P = P;
      ErrorSlot e;
      WaterStatus status = waterStart(k, w, e);
      WaterOutcome outcome{status, WaterStep::kStart, w.T, w.P};
      if (status == WaterStatus::kOk) outcome = solveWater(k, w, e);
      if (outcome.status == WaterStatus::kOk) {
        EXPECT_TRUE(std::isfinite(w.rho) && w.rho > 0) << tC << " C " << P << " bar";
        ++solved;
      } else {
        EXPECT_FALSE(waterOutcomeMessage(outcome, e).empty());
        ++refused;
      }
    }
  EXPECT_GT(solved, 9 * refused);
}

// Along the saturation curve close to the critical point the prescribed start can converge on a
// root where dZ/ddelta <= 0; such a root is never a result. A stable root exists at every state
// of a dense grid around the critical point, and every state gets it (the re-solutions at
// T -/+ 0.5 K included), with positive Cp and d rho/dP.
TEST_F(Water, EveryNearCriticalStateGetsItsStableRoot) {
  int states = 0;
  for (double tC = 360; tC <= 390; tC += 0.25) {
    for (double P = 180; P <= 260; P += 0.5) {
      for (const double asked : {P, 0.0}) {
        WaterState w;
        w.T = tC + k.T0K;
        w.P = asked;
        ErrorSlot e;
        if (waterStart(k, w, e) != WaterStatus::kOk) continue;
        const WaterOutcome outcome = solveWater(k, w, e);
        ASSERT_EQ(outcome.status, WaterStatus::kOk)
            << tC << " C, " << asked << " bar: " << waterOutcomeMessage(outcome, e);
        EXPECT_GT(w.drho_dP, 0) << tC << " C, " << asked << " bar";
        EXPECT_GT(w.Cp1, 0) << tC << " C, " << asked << " bar";
        ++states;
      }
    }
  }
  EXPECT_GT(states, 19'000);
  // 373 C on the saturation curve: the liquid root, where the start once gave rho 0.3127.
  EXPECT_NEAR(solvedAt(373 + k.T0K, 0).rho, 0.37863, 1e-5);
  // The two states that once failed: their re-solutions at T + 0.5 K found no stable root.
  EXPECT_NEAR(solvedAt(372.1 + k.T0K, 217).rho, 0.4, 0.1);
  EXPECT_NEAR(solvedAt(372.6 + k.T0K, 217).rho, 0.4, 0.1);
}

// A failure names the step and the state of that step.
TEST_F(Water, FailuresNameTheirStepAndState) {
  EXPECT_EQ(waterOutcomeMessage({WaterStatus::kUnstable, WaterStep::kAbove, 645.75, 217}, errors),
            "no mechanically stable density of water at T = 645.75 K (the re-solution at "
            "T + 0.5 K for the temperature derivatives), P = 217 bar");
  EXPECT_EQ(
      waterOutcomeMessage({WaterStatus::kNotConverged, WaterStep::kBelow, 644.75, 217}, errors),
      "the density of water did not converge at T = 644.75 K (the re-solution at T - 0.5 K for "
      "the temperature derivatives), P = 217 bar");
}

// Far outside the range of the equation of state the solution has Cp <= 0 or d rho/dP <= 0:
// a status, not numbers.
TEST_F(Water, ImpossiblePropertiesAreOutsideTheRange) {
  for (double tC : {3500.0, 10000.0, 1e5}) {
    WaterState w = startAt(tC + k.T0K, 1);
    EXPECT_EQ(solveWater(k, w, errors).status, WaterStatus::kOutsideRange) << tC;
    EXPECT_FALSE(waterPropertiesPossible(w));
  }
  EXPECT_TRUE(waterPropertiesPossible(solvedAt(1273.15, 1)));
  EXPECT_EQ(
      waterOutcomeMessage({WaterStatus::kOutsideRange, WaterStep::kProperties, 3773.15, 1}, errors),
      "outside the range of the equation of state at T = 3773.15 K, P = 1 bar");
}

// At pressures far below saturation the vapour root is the ideal gas to every digit, also where
// the equation's delta^-3 would overflow; never the liquid root.
TEST_F(Water, ExtremelyLowPressuresGiveTheIdealGas) {
  for (double T : {298.15, 773.15}) {
    double previousCp = 0;
    for (double P : {1e-20, 1e-90, 1e-100, 1e-102, 1e-104, 1e-110, 1e-150}) {
      const WaterState w = solvedAt(T, P);
      EXPECT_NEAR(w.rho / (k.Mw * P / (k.R_bar * T)), 1, 1e-9) << T << " K, " << P << " bar";
      EXPECT_NEAR(w.drho_dT / (-w.rho / T), 1, 1e-9) << P;
      if (previousCp != 0) {
        EXPECT_NEAR(w.Cp1, previousCp, 1e-8) << P;  // seamless
      }
      previousCp = w.Cp1;
    }
  }
}

}  // namespace
}  // namespace aqsol
