// Tests of the constants and coefficient tables as read from the data text.
#include "calculator/constants.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "calculator/eos_tables.hpp"
#include "calculator/helmholtz.hpp"
#include "services/data_reader.hpp"

namespace aqsol {
namespace {

TEST(Constants, ListsComeFromTheDataTextInOrder) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  ASSERT_FALSE(errors.has_error());
  EXPECT_EQ(k.a[1], -7.85823);
  EXPECT_EQ(k.a[6], 1.77516);
  EXPECT_EQ(k.b[3], -0.512506);
  EXPECT_EQ(k.b[6], -675615.0);
  EXPECT_EQ(k.c[1], 7.07501275112);
  EXPECT_EQ(k.c[7], 0.11359287);
  EXPECT_EQ(k.c[8], 2.4131785);
}

TEST(Constants, DataTextHoldsExactlyTwentyNumbers) {
  ErrorSlot errors;
  DataReader reader(kCalculatorDataText);
  for (int n = 0; n < 20; ++n) reader.read_number(errors);
  EXPECT_FALSE(errors.has_error());
  reader.read_number(errors);
  EXPECT_EQ(errors.pending_error(), 4u);
}

TEST(Constants, TablesHoldTheirNonZeroEntriesInRowMajorOrder) {
  EXPECT_EQ(kRowMajorA.size(), 18u);
  EXPECT_EQ(kRowMajorB.size(), 25u);
  EXPECT_EQ(kRowMajorC.size(), 12u);
  EXPECT_EQ(kRowMajorD.size(), 9u);
  const auto rowMajor = [](const auto& table) {
    return std::is_sorted(table.begin(), table.end(), [](const auto& x, const auto& y) {
      return x.i != y.i ? x.i < y.i : x.j < y.j;
    });
  };
  EXPECT_TRUE(rowMajor(kRowMajorA) && rowMajor(kRowMajorB) && rowMajor(kRowMajorC) &&
              rowMajor(kRowMajorD));
  // The B table needs twelve temperature columns although column 11 is empty.
  EXPECT_EQ(kRowMajorB[4].j, 12);
  EXPECT_EQ(kRowMajorB[4].value, 0.0005364384732);
  EXPECT_EQ(kRowMajorA.front().i, 1);
  EXPECT_EQ(kRowMajorA.front().value, 0.7529422956);
}

}  // namespace
}  // namespace aqsol

namespace aqsol {
namespace {

// Every derivative of the Helmholtz function agrees with central finite differences of the
// function (or of its first derivatives) over a grid of densities and temperatures, the
// crossover region near the critical point included.
TEST(Helmholtz, DerivativesAgreeWithCentralDifferences) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  const auto at = [&](double delta, double theta) {
    return evaluateHelmholtz(k, delta, temperatureTerms(k, -k.Tc / theta, errors), errors);
  };
  const auto close = [](double analytic, double numeric, double scale) {
    return std::fabs(analytic - numeric) <= 2e-6 * (std::fabs(numeric) + scale);
  };
  int compared = 0;
  for (double delta : {0.05, 0.3, 0.8, 1.0, 1.2, 1.6, 2.4, 3.1})
    for (double T : {280.0, 400.0, 600.0, 640.0, 646.0, 650.0, 700.0, 1000.0}) {
      const double theta = -k.Tc / T;
      const double hd = 1e-5 * delta, ht = 1e-5 * std::fabs(theta);
      const HelmholtzValues v = at(delta, theta);
      const HelmholtzValues dp = at(delta + hd, theta), dm = at(delta - hd, theta);
      const HelmholtzValues tp = at(delta, theta + ht), tm = at(delta, theta - ht);
      const std::string where = "delta " + std::to_string(delta) + ", T " + std::to_string(T);
      const double scale_d = std::fabs(v.dPhi_dDelta) + 1, scale_t = std::fabs(v.dPhi_dTheta) + 1;
      EXPECT_TRUE(close(v.dPhi_dDelta, (dp.Phi - dm.Phi) / (2 * hd), scale_d)) << where;
      EXPECT_TRUE(close(v.d2Phi_dDelta2, (dp.dPhi_dDelta - dm.dPhi_dDelta) / (2 * hd),
                        std::fabs(v.d2Phi_dDelta2) + scale_d))
          << where;
      EXPECT_TRUE(close(v.dPhi_dTheta, (tp.Phi - tm.Phi) / (2 * ht), scale_t)) << where;
      EXPECT_TRUE(close(v.d2Phi_dTheta2, (tp.dPhi_dTheta - tm.dPhi_dTheta) / (2 * ht),
                        std::fabs(v.d2Phi_dTheta2) + scale_t))
          << where;
      EXPECT_TRUE(close(v.d2Phi_dDelta_dTheta, (tp.dPhi_dDelta - tm.dPhi_dDelta) / (2 * ht),
                        std::fabs(v.d2Phi_dDelta_dTheta) + scale_d))
          << where;
      ++compared;
    }
  EXPECT_FALSE(errors.has_error());
  EXPECT_EQ(compared, 64);
}

}  // namespace
}  // namespace aqsol
