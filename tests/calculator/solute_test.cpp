// Tests of the solute table, the ideal-gas functions and the infinite-dilution model.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "calculator/ideal_gas.hpp"
#include "calculator/infinite_dilution.hpp"
#include "tests/calculator/water_fixture.hpp"

namespace aqsol {
namespace {

SoluteParams select(double number) {
  SoluteParams s;
  selectSolute(number, s);
  return s;
}

TEST(SoluteTable, SelectionByExactMenuNumber) {
  EXPECT_EQ(select(1).name, "H2");
  EXPECT_EQ(select(1).xi, 0.309);
  EXPECT_EQ(select(3.0).name, "O2");
  EXPECT_EQ(select(5).gf298, -94254);
  EXPECT_EQ(select(5).cpC, 2.06);
  EXPECT_EQ(select(9).name, "SO2");
  EXPECT_EQ(select(10).name, "CH4");
  EXPECT_EQ(select(16).a, 11.642);
  EXPECT_EQ(select(16).b, -7.4244);
  EXPECT_EQ(select(20).name, "H2Se");
  EXPECT_EQ(soluteTable().size(), 20u);
}

TEST(SoluteTable, NumbersMatchingNoEntryLeaveTheSelectionUnchanged) {
  for (double n : {2.5, 7.5, 0.0, 21.0, -3.0}) EXPECT_TRUE(select(n).name.empty()) << n;
  SoluteParams s = select(4);
  selectSolute(2.5, s);
  EXPECT_EQ(s.name, "H2S");
}

using Solutes = WaterFixture;

TEST_F(Solutes, IdealGasFunctions) {
  struct Case {
    int number;
    double T, G, S, Cp;
  };
  const Case cases[] = {
      {1, 373.15, -2402.673, 32.779888, 6.897239},
      {5, 373.15, -98166.078, 53.195271, 9.874165},
  };
  for (const Case& c : cases) {
    const IdealGasData d = select(c.number).idealGas();
    EXPECT_NEAR(idealGasG(k, d, c.T, errors), c.G, 5e-4) << c.number;
    EXPECT_NEAR(idealGasS(k, d, c.T, errors), c.S, 5e-7) << c.number;
    EXPECT_NEAR(idealGasCp(k, d, c.T, errors), c.Cp, 5e-7) << c.number;
  }
  for (const SoluteParams& s : soluteTable()) {
    EXPECT_EQ(idealGasG(k, s.idealGas(), 298.15, errors), s.gf298) << s.name;
    EXPECT_EQ(idealGasS(k, s.idealGas(), 298.15, errors), s.s298) << s.name;
  }
  for (double T : {273.15, 500.0, 1200.0}) {
    EXPECT_EQ(idealGasCp(k, select(6).idealGas(), T, errors), 4.968);
    EXPECT_EQ(idealGasCp(k, select(7).idealGas(), T, errors), 4.968);
  }
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Solutes, HenryConstantsAt25CAnd1Bar) {
  const WaterState w = solvedAt(298.15, 1);
  struct Case {
    int number;
    double lnkH, kH;
  };
  for (const Case c :
       {Case{1, 11.1746, 7.13e4}, Case{5, 7.3896, 1.62e3}, Case{10, 10.6448, 4.20e4}}) {
    const SoluteResults r = computeInfiniteDilution(k, w, select(c.number), errors);
    EXPECT_NEAR(r.lnkH, c.lnkH, 5e-5) << c.number;
    EXPECT_NEAR(std::exp(r.lnkH), c.kH, 0.005 * c.kH) << c.number;
    EXPECT_NEAR(static_cast<double>(kAqToGas(k, r.lnkH, errors)), std::exp(r.lnkH) * 0.0180152,
                1e-12 * std::exp(r.lnkH));
  }
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Solutes, InteractionTermOfHydrogen) {
  // With xi = 0 and no ideal-gas data, lnkH = lnf1 + rho h, with h of H2 at 298.15 K.
  const WaterState w = solvedAt(298.15, 1);
  SoluteParams s;
  s.a = -8.4596;
  s.b = 10.8301;
  const SoluteResults r = computeInfiniteDilution(k, w, s, errors);
  EXPECT_NEAR((r.lnkH - w.lnf1) / w.rho, 11.374617, 5e-7);
  EXPECT_NEAR(r.V2, w.V1 + k.R_bar * w.T * ((r.lnkH - w.lnf1) / w.rho) * w.drho_dP, 1e-9);
}

TEST_F(Solutes, NoSoluteReducesToWater) {
  const WaterState w = solvedAt(350, 50);
  const SoluteResults r = computeInfiniteDilution(k, w, SoluteParams{}, errors);
  EXPECT_DOUBLE_EQ(r.lnkH, w.lnf1);
  EXPECT_DOUBLE_EQ(r.V2, w.V1);
}

TEST_F(Solutes, PureDensityTermWhenXiIsOne) {
  const WaterState w = solvedAt(400, 100);
  SoluteParams s;
  s.xi = 1;
  const SoluteResults r = computeInfiniteDilution(k, w, s, errors);
  EXPECT_DOUBLE_EQ(r.lnkH, std::log(k.R_bar * w.T * w.rho / k.Mw));
  EXPECT_DOUBLE_EQ(r.V2, k.R_bar * (w.T / w.rho) * w.drho_dP);
}

TEST_F(Solutes, OverflowingHenryConstantRaisesSix) {
  EXPECT_EQ(kAqToGas(k, 710, errors), 0.0L);
  EXPECT_EQ(errors.pending_error(), 6u);
}

// The core keeps no shared mutable state: threads computing different states at once get the
// same results as one thread computing them in turn.
TEST_F(Solutes, ConcurrentComputationsAgreeWithSequentialOnes) {
  const double temperatures[] = {280, 330, 450, 600, 700, 900};
  auto lnkH = [&](double T) {
    ErrorSlot e;
    WaterState w;
    w.T = T;
    w.P = 300;
    waterStart(k, w, e);
    solveWater(k, w, e);
    return computeInfiniteDilution(k, w, select(5), e).lnkH;
  };
  std::vector<double> sequential, concurrent(std::size(temperatures));
  for (double T : temperatures) sequential.push_back(lnkH(T));
  std::vector<std::thread> threads;
  for (std::size_t n = 0; n < std::size(temperatures); ++n)
    threads.emplace_back([&, n] { concurrent[n] = lnkH(temperatures[n]); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(sequential, concurrent);
}

}  // namespace
}  // namespace aqsol
