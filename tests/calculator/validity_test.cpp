// Where the model was shown to work: the IAPWS R14-08 curves that bound the fluid, and the flags
// of computed states.
#include "calculator/validity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "calculator/validity_tables.hpp"
#include "tests/calculator/water_fixture.hpp"

namespace aqsol {
namespace {

// Check values computed with python3-iapws (its R14-08 functions), in bar.
TEST(IceCurves, AgreeWithIapwsR1408) {
  const auto near = [](double value, double expected) {
    return std::fabs(value / expected - 1) < 1e-9;
  };
  EXPECT_TRUE(near(sublimationPressureOfIce(50), 1.9349584868088947e-45));
  EXPECT_TRUE(near(sublimationPressureOfIce(230), 8.947352740189152e-05));
  EXPECT_TRUE(near(sublimationPressureOfIce(273.16), 0.00611657));
  EXPECT_TRUE(near(meltingPressureOfIceIh(251.165), 2085.6656603297674));
  EXPECT_TRUE(near(meltingPressureOfIceIh(260), 1382.6811300221789));
  EXPECT_TRUE(near(upperMeltingPressure(254), 2686.846466336108));   // ice III
  EXPECT_TRUE(near(upperMeltingPressure(260), 4025.8260272932193));  // ice V
  EXPECT_TRUE(near(upperMeltingPressure(300), 9961.095071277145));   // ice VI
  EXPECT_TRUE(near(upperMeltingPressure(400), 28166.42589771838));   // ice VII
  EXPECT_TRUE(near(upperMeltingPressure(700), 195544.06252476468));
}

TEST(IceCurves, TheStablePhaseAcrossTheDiagram) {
  EXPECT_TRUE(iceIsStable(263.15, 1));       // -10 C, 1 bar: ice Ih
  EXPECT_FALSE(iceIsStable(263.15, 1e-4));   // below the sublimation pressure: vapour
  EXPECT_FALSE(iceIsStable(263.15, 1500));   // between ice Ih and ice III: liquid
  EXPECT_TRUE(iceIsStable(263.15, 5000));    // ice V
  EXPECT_TRUE(iceIsStable(243.15, 2500));    // below the Ih-III-liquid triple point
  EXPECT_FALSE(iceIsStable(298.15, 1));      // water
  EXPECT_TRUE(iceIsStable(293.15, 10'000));  // 20 C, 10 kbar: ice VI
  EXPECT_FALSE(iceIsStable(800, 100'000));   // above the ice VII equation's end
  EXPECT_TRUE(iceIsStable(20, 1e-30));
}

class Flags : public WaterFixture {
 protected:
  std::string flagsAt(double tC, double P, const char* solute = "CO2") {
    WaterState w = startAt(tC + k.T0K, P);
    const WaterOutcome outcome = solveWater(k, w, errors);
    EXPECT_EQ(outcome.status, WaterStatus::kOk) << tC << " C, " << P << " bar";
    SoluteParams s;
    for (const SoluteParams& candidate : soluteTable())
      if (candidate.name == solute) s = candidate;
    return rangeText(outcome.range | SoluteComparison(s).flagsAt(w.T));
  }
};

TEST_F(Flags, EachMarksWhereTheModelWasNotShownToWork) {
  EXPECT_EQ(flagsAt(25, 1), "");
  EXPECT_EQ(flagsAt(200, 1, "Ar"), "");  // steam, below its saturation pressure: stable
  // Steam next to its saturation pressure: d2rho_dT2 is 6 % from IAPWS-95's.
  EXPECT_EQ(flagsAt(100, 1), "water-deviates");
  EXPECT_EQ(flagsAt(-10, 1), "ice solute-extrapolated");
  EXPECT_EQ(flagsAt(3000, 1), "beyond-eos solute-extrapolated");
  EXPECT_EQ(flagsAt(380, 250), "water-deviates solute-extrapolated");
  EXPECT_EQ(flagsAt(359, 184.6), "water-deviates");        // the saturated liquid
  EXPECT_EQ(flagsAt(200, 15.52, "Ar"), "water-deviates");  // the vapour beside saturation: Cp
  EXPECT_EQ(flagsAt(430, 400), "water-deviates solute-extrapolated");  // the ridge
  EXPECT_EQ(flagsAt(150, 1000), "");                    // within CO2's range of the guideline
  EXPECT_EQ(flagsAt(300, 1000), "reference-deviates");  // ln kH of CO2 is 0.1 off there
  EXPECT_EQ(flagsAt(25, 1, "NH3"), "");
  EXPECT_EQ(flagsAt(60, 1, "NH3"), "solute-extrapolated");
  EXPECT_EQ(flagsAt(25, 1, "SO2"), "reference-deviates");  // its one reference departs
  EXPECT_EQ(flagsAt(200, 15.5, "Ne"), "water-deviates reference-deviates");
  for (const char* unreferenced : {"HCl", "C3H8", "H3BO3"})
    EXPECT_EQ(flagsAt(25, 1, unreferenced), "unreferenced");
  EXPECT_EQ(rangeText((1u << kRangeFlagCount) - 1),
            "ice metastable beyond-eos water-deviates solute-extrapolated reference-deviates "
            "unreferenced");
}

// The tables are well formed: every bin's intervals in order and apart, none empty, and each
// solute's departures side by side.
TEST(FlagTables, AreOrderedAndDisjoint) {
  using namespace validity_tables;
  EXPECT_EQ(kWaterDeviatesFirst[0][0], 0);
  EXPECT_EQ(kWaterDeviatesFirst[1][0], kWaterDeviatesFirst[0][kBinCount]);
  for (const auto& first : kWaterDeviatesFirst) {
    for (int bin = 0; bin < kBinCount; ++bin) {
      ASSERT_LE(first[bin], first[bin + 1]);
      for (unsigned n = first[bin]; n < first[bin + 1]; ++n) {
        EXPECT_LT(kWaterDeviates[n].lo, kWaterDeviates[n].hi) << bin;
        if (n > first[bin]) {
          EXPECT_LT(kWaterDeviates[n - 1].hi, kWaterDeviates[n].lo);
        }
      }
    }
  }
  for (std::size_t n = 1; n < kReferenceDeviatesCount; ++n) {
    const SoluteInterval &a = kReferenceDeviates[n - 1], &b = kReferenceDeviates[n];
    if (std::string(a.name) == b.name) {
      EXPECT_LT(a.hi, b.lo);
    }
    for (std::size_t m = 0; m + 1 < n; ++m) {
      if (std::string(kReferenceDeviates[m].name) == b.name) {
        EXPECT_STREQ(a.name, b.name);
      }
    }
  }
}

// A root across the saturation curve from the stable phase: the liquid root at a pressure just
// below the saturation pressure, which a liquid start value reaches.
TEST_F(Flags, ALiquidRootBelowTheSaturationPressureIsMetastable) {
  WaterState w = startAt(150 + k.T0K, 5);  // Psat(150 C) is about 4.76 bar
  w.P = 4.5;
  ASSERT_EQ(waterDensity(k, w, w.T, w.P, errors), WaterStatus::kOk);
  ASSERT_GT(w.delta, 1);
  EXPECT_EQ(rangeText(waterRangeFlags(k, w.T, w.P, w.delta, w.Psat)), "metastable");
}

}  // namespace
}  // namespace aqsol
