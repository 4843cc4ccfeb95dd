// Fitting a solute's (xi, a, b) to measured Henry constants. ln kH is linear in the three
// parameters once the water's properties at each state are known:
//   ln kH - ln f1 = xi (ln(R_bar T rho / Mw) - ln f1) + a rho + b rho (1000/T)^0.5
// so weighted linear least squares, against the calculator's own water, gives them exactly.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "calculator/constants.hpp"
#include "calculator/solutes.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol {

// One measurement: the state and ln kH there (kH in bar), with its standard uncertainty
// (0: none given; then every point weighs the same and the scatter of the residuals sets the
// standard errors).
struct HenryPoint {
  double temperatureC = 0;
  PressureItem pressure;
  double lnkH = 0;
  double uncertainty = 0;
};

struct SoluteFit {
  std::string error;  // why no fit could be made; empty when it was
  double xi = 0, a = 0, b = 0;
  std::array<double, 3> standardErrors{};  // of xi, a, b
  std::array<std::array<double, 3>, 3> correlation{};
  std::vector<double> residuals;     // measured - fitted ln kH per point (NaN: its water failed)
  std::vector<double> pressuresBar;  // the pressure of each point (the saturation one found)
  double worstResidual = 0, rmsResidual = 0;
  std::size_t pointsUsed = 0;
  double reducedChiSquare = 0;  // with uncertainties given: sum of (residual/u)^2 / (n - 3)
};

// The fewest points a fit takes: one more than the parameters, so that their scatter says
// something.
inline constexpr std::size_t kFewestFitPoints = 4;

// Fits (xi, a, b) to the points. Points whose water cannot be computed are left out (their
// residual NaN). Refused, with `error` set, for fewer than kFewestFitPoints usable points or
// data that cannot tell the three apart (a single temperature, say).
SoluteFit fitSolute(const Constants& k, std::span<const HenryPoint> points);

// `solute` with the fit's parameters.
SoluteParams withFit(SoluteParams solute, const SoluteFit& fit);

}  // namespace aqsol
