// Tests of the fit of (xi, a, b) to Henry constants: a solute's own ln kH gives its parameters
// back, noise gives parameters within their standard errors as often as it should, and data
// that cannot tell the parameters apart are refused.
#include "calculator/solute_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "calculator/state_rows.hpp"

namespace aqsol {
namespace {

class SoluteFitTest : public testing::Test {
 protected:
  ErrorSlot errors;
  const Constants k = setupConstants(errors);

  // ln kH of `solute` on a grid of liquid and supercritical states, 0-350 C.
  std::vector<HenryPoint> ownPoints(const SoluteParams& solute) {
    std::vector<RowRequest> requests;
    for (double t = 0.5; t <= 350; t += 25)
      for (double p : {0.0, 250.0, 1000.0}) requests.push_back({&solute, t, {p == 0, p}});
    std::vector<Row> rows(requests.size());
    computeRows(k, requests, rows);
    std::vector<HenryPoint> points;
    for (std::size_t n = 0; n < rows.size(); ++n)
      if (rows[n].status.empty())
        points.push_back({requests[n].temperatureC, requests[n].pressure, rows[n].solute.lnkH});
    return points;
  }
};

TEST_F(SoluteFitTest, ASolutesOwnHenryConstantsGiveItsParametersBack) {
  const SoluteParams co2 = *findSolute("CO2");
  const std::vector<HenryPoint> points = ownPoints(co2);
  ASSERT_GE(points.size(), 40u);
  const SoluteFit fit = fitSolute(k, points);
  ASSERT_TRUE(fit.error.empty()) << fit.error;
  EXPECT_NEAR(fit.xi, co2.xi, 1e-9 * std::fabs(co2.xi));
  EXPECT_NEAR(fit.a, co2.a, 1e-9 * std::fabs(co2.a));
  EXPECT_NEAR(fit.b, co2.b, 1e-9 * std::fabs(co2.b));
  EXPECT_LT(fit.worstResidual, 1e-10);
  for (double se : fit.standardErrors) EXPECT_LT(se, 1e-9);
  EXPECT_EQ(fit.pointsUsed, points.size());
  EXPECT_DOUBLE_EQ(fit.correlation[1][1], 1);
}

TEST_F(SoluteFitTest, NoisyDataGiveParametersWithinTheirStandardErrorsTwoTimesInThree) {
  const SoluteParams co2 = *findSolute("CO2");
  const std::vector<HenryPoint> exact = ownPoints(co2);
  std::mt19937_64 random(20261208);
  std::normal_distribution<double> noise(0, 0.01);
  constexpr int kTrials = 200;
  int within[3] = {};
  double chi = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    std::vector<HenryPoint> points = exact;
    for (HenryPoint& p : points) {
      p.lnkH += noise(random);
      p.uncertainty = trial % 2 == 0 ? 0.01 : 0;  // stated, or from the scatter
    }
    const SoluteFit fit = fitSolute(k, points);
    ASSERT_TRUE(fit.error.empty()) << fit.error;
    const double found[] = {fit.xi, fit.a, fit.b}, truth[] = {co2.xi, co2.a, co2.b};
    for (int n = 0; n < 3; ++n)
      within[n] += std::fabs(found[n] - truth[n]) <= fit.standardErrors[n];
    if (trial % 2 == 0) chi += fit.reducedChiSquare / (kTrials / 2);
  }
  for (int n = 0; n < 3; ++n) {
    EXPECT_GT(within[n], kTrials * 58 / 100) << n;  // 68 %, less three standard deviations
    EXPECT_LT(within[n], kTrials * 78 / 100) << n;
  }
  EXPECT_NEAR(chi, 1, 0.1);
}

TEST_F(SoluteFitTest, DataThatCannotTellTheParametersApartAreRefused) {
  const SoluteParams co2 = *findSolute("CO2");
  std::vector<HenryPoint> points = ownPoints(co2);
  std::vector<HenryPoint> oneState(6, points[4]);
  SoluteFit fit = fitSolute(k, oneState);
  EXPECT_EQ(fit.error,
            "the data cannot tell xi, a and b apart (they need several temperatures, and "
            "densities that differ)");
  points.resize(3);
  fit = fitSolute(k, points);
  EXPECT_EQ(fit.error, "a fit needs at least 4 points whose water can be computed (found 3)");
  // A point whose water cannot be computed is left out, its residual NaN.
  points = ownPoints(co2);
  points.push_back({400, {true, 0}, 5});  // no saturation pressure above the critical point
  fit = fitSolute(k, points);
  ASSERT_TRUE(fit.error.empty());
  EXPECT_TRUE(std::isnan(fit.residuals.back()));
  EXPECT_EQ(fit.pointsUsed, points.size() - 1);
}

}  // namespace
}  // namespace aqsol
