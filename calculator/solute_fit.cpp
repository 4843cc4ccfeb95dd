// Weighted linear least squares for (xi, a, b), by Householder QR of the weighted design.
#include "calculator/solute_fit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

constexpr int kParameters = 3;

// Below this ratio of the smallest to the largest diagonal of R (columns scaled to unit length),
// the data do not tell the parameters apart.
constexpr double kLeastConditionRatio = 1e-9;

// The weighted design: one row per usable point, its three columns and its target.
struct Design {
  std::vector<std::array<double, kParameters>> rows;
  std::vector<double> targets;
  std::vector<std::size_t> pointOf;  // the point each row came from
};

// The row of a point: the water's part of ln kH and the three parameters' factors there.
bool designRow(const Constants& k, const Row& water, std::array<double, kParameters>& row,
               double& lnf1) {
  if (!water.status.empty()) return false;
  ErrorSlot errors;
  const WaterState& w = water.water;
  lnf1 = w.lnf1;
  const double lnIdealDensity = guarded_log(errors, k.R_bar * w.T * w.rho / k.Mw);
  const double rootT = guarded_pow(errors, 1000 / w.T, 0.5);
  row = {lnIdealDensity - w.lnf1, w.rho, w.rho * rootT};
  return !errors.has_error();
}

Design designOf(const Constants& k, std::span<const HenryPoint> points, SoluteFit& fit) {
  std::vector<RowRequest> requests;
  for (const HenryPoint& p : points) requests.push_back({nullptr, p.temperatureC, p.pressure});
  std::vector<Row> water(points.size());
  computeRows(k, requests, water);
  Design d;
  fit.residuals.assign(points.size(), kNotANumber);
  fit.pressuresBar.assign(points.size(), kNotANumber);
  for (std::size_t n = 0; n < points.size(); ++n) {
    std::array<double, kParameters> row;
    double lnf1 = 0;
    if (water[n].pressureBar) fit.pressuresBar[n] = *water[n].pressureBar;
    if (!designRow(k, water[n], row, lnf1)) continue;
    const double weight = points[n].uncertainty > 0 ? 1 / points[n].uncertainty : 1;
    for (double& x : row) x *= weight;
    d.rows.push_back(row);
    d.targets.push_back((points[n].lnkH - lnf1) * weight);
    d.pointOf.push_back(n);
  }
  return d;
}

// Householder QR in place: `a` becomes R in its first rows (upper triangle); the reflections are
// applied to `b` too. Returns the diagonal of R.
std::array<double, kParameters> householder(std::vector<std::array<double, kParameters>>& a,
                                            std::vector<double>& b) {
  const std::size_t m = a.size();
  std::array<double, kParameters> diagonal{};
  for (int j = 0; j < kParameters; ++j) {
    double norm = 0;
    for (std::size_t i = static_cast<std::size_t>(j); i < m; ++i) norm = std::hypot(norm, a[i][j]);
    const double alpha = a[static_cast<std::size_t>(j)][j] > 0 ? -norm : norm;
    std::vector<double> v(m, 0);
    for (std::size_t i = static_cast<std::size_t>(j); i < m; ++i) v[i] = a[i][j];
    v[static_cast<std::size_t>(j)] -= alpha;
    double vv = 0;
    for (std::size_t i = static_cast<std::size_t>(j); i < m; ++i) vv += v[i] * v[i];
    diagonal[static_cast<std::size_t>(j)] = alpha;
    if (vv == 0) continue;
    const auto reflect = [&](auto&& element) {
      double dot = 0;
      for (std::size_t i = static_cast<std::size_t>(j); i < m; ++i) dot += v[i] * element(i);
      const double scale = 2 * dot / vv;
      for (std::size_t i = static_cast<std::size_t>(j); i < m; ++i) element(i) -= scale * v[i];
    };
    for (int c = j; c < kParameters; ++c)
      reflect([&](std::size_t i) -> double& { return a[i][c]; });
    reflect([&](std::size_t i) -> double& { return b[i]; });
  }
  return diagonal;
}

// The columns scaled to unit length, so that the condition test does not depend on units.
std::array<double, kParameters> columnNorms(const Design& d) {
  std::array<double, kParameters> norms{};
  for (const auto& row : d.rows)
    for (int c = 0; c < kParameters; ++c) norms[c] = std::hypot(norms[c], row[c]);
  return norms;
}

// R^-1 for an upper-triangular R (3 x 3).
std::array<std::array<double, kParameters>, kParameters> inverseUpper(
    const std::vector<std::array<double, kParameters>>& r) {
  std::array<std::array<double, kParameters>, kParameters> inverse{};
  for (int j = 0; j < kParameters; ++j) {
    inverse[j][j] = 1 / r[j][j];
    for (int i = j - 1; i >= 0; --i) {
      double sum = 0;
      for (int k = i + 1; k <= j; ++k) sum += r[i][k] * inverse[k][j];
      inverse[i][j] = -sum / r[i][i];
    }
  }
  return inverse;
}

// The parameters' covariance (R^T R)^-1 = R^-1 R^-T, scaled by `scale`, as standard errors and
// correlations.
void uncertainties(const std::vector<std::array<double, kParameters>>& r, double scale,
                   SoluteFit& fit) {
  const auto inverse = inverseUpper(r);
  double covariance[kParameters][kParameters];
  for (int i = 0; i < kParameters; ++i)
    for (int j = 0; j < kParameters; ++j) {
      double sum = 0;
      for (int k = std::max(i, j); k < kParameters; ++k) sum += inverse[i][k] * inverse[j][k];
      covariance[i][j] = sum * scale;
    }
  for (int i = 0; i < kParameters; ++i) fit.standardErrors[i] = std::sqrt(covariance[i][i]);
  for (int i = 0; i < kParameters; ++i)
    for (int j = 0; j < kParameters; ++j)
      fit.correlation[i][j] = covariance[i][j] / (fit.standardErrors[i] * fit.standardErrors[j]);
}

// The residuals in ln kH of every point used, the worst and RMS of them; returns the weighted
// sum of their squares.
double measureResiduals(const Design& d, std::span<const HenryPoint> points,
                        const std::array<double, kParameters>& solution, SoluteFit& fit) {
  double squares = 0, weightedSquares = 0;
  for (std::size_t r = 0; r < d.rows.size(); ++r) {
    const HenryPoint& p = points[d.pointOf[r]];
    const double weight = p.uncertainty > 0 ? 1 / p.uncertainty : 1;
    double fitted = 0;
    for (int c = 0; c < kParameters; ++c) fitted += d.rows[r][c] * solution[c];
    const double weighted = d.targets[r] - fitted;
    const double residual = weighted / weight;
    fit.residuals[d.pointOf[r]] = residual;
    squares += residual * residual;
    weightedSquares += weighted * weighted;
    fit.worstResidual = std::max(fit.worstResidual, std::fabs(residual));
  }
  fit.pointsUsed = d.rows.size();
  fit.rmsResidual = std::sqrt(squares / static_cast<double>(d.rows.size()));
  return weightedSquares;
}

}  // namespace

SoluteFit fitSolute(const Constants& k, std::span<const HenryPoint> points) {
  SoluteFit fit;
  Design d = designOf(k, points, fit);
  if (d.rows.size() < kFewestFitPoints) {
    fit.error = "a fit needs at least " + std::to_string(kFewestFitPoints) +
                " points whose water can be computed (found " + std::to_string(d.rows.size()) + ")";
    return fit;
  }
  const auto norms = columnNorms(d);
  std::vector<std::array<double, kParameters>> scaled = d.rows;
  for (auto& row : scaled)
    for (int c = 0; c < kParameters; ++c) row[c] /= norms[c] > 0 ? norms[c] : 1;
  std::vector<double> target = d.targets;
  const auto diagonal = householder(scaled, target);
  double largest = 0, smallest = kInfinity;
  for (double v : diagonal) {
    largest = std::max(largest, std::fabs(v));
    smallest = std::min(smallest, std::fabs(v));
  }
  if (!(smallest > kLeastConditionRatio * largest)) {
    fit.error =
        "the data cannot tell xi, a and b apart (they need several temperatures, and "
        "densities that differ)";
    return fit;
  }
  std::array<double, kParameters> solution{};
  for (int i = kParameters - 1; i >= 0; --i) {
    double sum = target[static_cast<std::size_t>(i)];
    for (int j = i + 1; j < kParameters; ++j) sum -= scaled[i][j] * solution[j];
    solution[i] = sum / scaled[i][i];
  }
  for (int c = 0; c < kParameters; ++c) solution[c] /= norms[c] > 0 ? norms[c] : 1;
  fit.xi = solution[0];
  fit.a = solution[1];
  fit.b = solution[2];
  const double weightedSquares = measureResiduals(d, points, solution, fit);
  const bool uncertain = std::all_of(points.begin(), points.end(),
                                     [](const HenryPoint& p) { return p.uncertainty > 0; });
  const double degrees = static_cast<double>(d.rows.size() - kParameters);
  fit.reducedChiSquare = uncertain ? weightedSquares / degrees : 0;
  // R of the unscaled design: the scaled one's columns times their norms.
  std::vector<std::array<double, kParameters>> r(kParameters);
  for (int i = 0; i < kParameters; ++i)
    for (int j = 0; j < kParameters; ++j) r[i][j] = j >= i ? scaled[i][j] * norms[j] : 0;
  uncertainties(r, uncertain ? 1 : weightedSquares / degrees, fit);
  return fit;
}

SoluteParams withFit(SoluteParams solute, const SoluteFit& fit) {
  solute.xi = fit.xi;
  solute.a = fit.a;
  solute.b = fit.b;
  return solute;
}

}  // namespace aqsol
