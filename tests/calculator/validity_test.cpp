// Where the model was shown to work: the IAPWS R14-08 curves that bound the fluid, and the flags
// of computed states.
#include "calculator/validity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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
    return rangeText(outcome.range | comparedTemperatures(s).flagsAt(w.T));
  }
};

TEST_F(Flags, EachMarksWhereTheModelWasNotShownToWork) {
  EXPECT_EQ(flagsAt(25, 1), "");
  EXPECT_EQ(flagsAt(100, 1), "");  // steam, below its saturation pressure: stable
  EXPECT_EQ(flagsAt(-10, 1), "ice solute-extrapolated");
  EXPECT_EQ(flagsAt(3000, 1), "beyond-eos solute-extrapolated");
  EXPECT_EQ(flagsAt(380, 250), "near-critical solute-extrapolated");
  EXPECT_EQ(flagsAt(300, 1000), "");  // within CO2's range of the guideline
  EXPECT_EQ(flagsAt(370, 1000), "solute-extrapolated");
  EXPECT_EQ(flagsAt(25, 1, "NH3"), "");
  EXPECT_EQ(flagsAt(60, 1, "NH3"), "solute-extrapolated");
  EXPECT_EQ(rangeText(kRangeIce | kRangeMetastable | kRangeBeyondEos | kRangeNearCritical |
                      kRangeSoluteExtrapolated),
            "ice metastable beyond-eos near-critical solute-extrapolated");
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
