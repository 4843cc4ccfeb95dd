// Newton solver for the reduced density of water at a given temperature and pressure.
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "calculator/water.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// Evaluations allowed for one start value. Ordinary states need 2 to 6, near-critical ones a
// few dozen; a start that has not converged by then is cycling or diverging.
constexpr int kMaxEvaluations = 200;

// Liquid-like start values (reduced densities) tried after the prescribed and ideal-gas starts.
constexpr double kLiquidLikeStarts[] = {3.0, 2.0, 1.0};

// Newton iteration on delta from w.delta at the given temperature terms and reduced pressure
// P/(rho_c R_w T). Convergence is |step| <= 1e-6 judged in single precision.
WaterStatus iterate(const Constants& k, const TemperatureTerms& tt, double reducedP, WaterState& w,
                    ErrorSlot& errors) {
  double delta = w.delta;
  double step = 1;
  int evaluations = 0;
  bool was_reset = false;  // the iterate went negative and restarted from 0.05
  bool last_was_reset = false;
  DensityEvaluation e;  // the last evaluation: its delta-derivatives drive the steps
  while (static_cast<float>(std::fabs(step)) > 1e-6f) {
    if (++evaluations > kMaxEvaluations) return WaterStatus::kNotConverged;
    ++w.evaluations;
    evaluateDensityDerivatives(k, delta, tt, errors, e);
    if (errors.has_error()) return WaterStatus::kRuntimeError;
    w.Z = delta * delta * e.dPhi_dDelta;
    const double dZ = 2 * delta * e.dPhi_dDelta + delta * delta * e.d2Phi_dDelta2;
    step = -(w.Z - reducedP) / dZ;
    delta += step;
    if (!std::isfinite(delta)) return WaterStatus::kNotConverged;
    // Too dense to be meaningful: pull the iterate back into the range of the equation.
    if (static_cast<float>(delta) > 9.2f) {
      do delta /= 3;
      while (!(static_cast<float>(delta) < 9.2f));
    }
    last_was_reset = static_cast<float>(delta) < 0;
    if (last_was_reset) {
      // The iteration from 0.05 is always the same: a second restart would cycle for ever.
      if (was_reset) return WaterStatus::kNotConverged;
      was_reset = true;
      delta = 0.05;
    }
    w.delta = delta;
  }
  // A restart value is not a root, nor is a non-positive delta.
  if (last_was_reset || !(delta > 0)) return WaterStatus::kNotConverged;
  w.phi = completeHelmholtz(k, e, tt);
  // Z stays that of the last evaluation; Z' and Z_theta take the final delta.
  w.dZ_dDelta = 2 * delta * w.phi.dPhi_dDelta + delta * delta * w.phi.d2Phi_dDelta2;
  w.dZ_dTheta = delta * delta * w.phi.d2Phi_dDelta_dTheta;
  return WaterStatus::kOk;
}

// Retries the solve from further start values when the one given did not converge. Errors
// raised while trying them are kept out of the caller's slot: a failed retry is simply not used.
WaterStatus retryFromOtherStarts(const Constants& k, const TemperatureTerms& tt, double T, double P,
                                 double reducedP, WaterState& w) {
  const double idealGasStart = k.Mw * P / (k.R_bar * T * k.rho_c);
  for (double start :
       {idealGasStart, kLiquidLikeStarts[0], kLiquidLikeStarts[1], kLiquidLikeStarts[2]}) {
    if (!(start > 0)) continue;
    WaterState trial = w;
    trial.delta = start;
    ErrorSlot scratch;
    const WaterStatus status = iterate(k, tt, reducedP, trial, scratch);
    w.evaluations = trial.evaluations;
    if (status == WaterStatus::kOk && trial.dZ_dDelta > 0) {
      w = trial;
      return WaterStatus::kOk;
    }
  }
  return WaterStatus::kNotConverged;
}

}  // namespace

WaterStatus waterDensity(const Constants& k, WaterState& w, double T, double P, ErrorSlot& errors) {
  if (!(T > 0)) {  // ln(-theta) has no value at or below 0 K
    errors.raise_error(kIllegalFunctionCall);
    return WaterStatus::kRuntimeError;
  }
  const TemperatureTerms tt = temperatureTerms(k, T, errors);
  w.theta = tt.theta;
  w.t = tt.t;
  if (errors.has_error()) return WaterStatus::kRuntimeError;
  const double reducedP = P / (k.rho_c * k.R_w * T);
  w.evaluations = 0;
  const WaterStatus status = iterate(k, tt, reducedP, w, errors);
  if (status != WaterStatus::kNotConverged) return status;
  return retryFromOtherStarts(k, tt, T, P, reducedP, w);
}

std::string waterStatusMessage(WaterStatus status, double T, double P, const ErrorSlot& errors) {
  char text[160];
  switch (status) {
    case WaterStatus::kOk:
      return {};
    case WaterStatus::kNoSaturationPressure:
      return "no saturation pressure at or above the critical temperature";
    case WaterStatus::kNotConverged:
      std::snprintf(text, sizeof text,
                    "the density of water did not converge at T = %.10g K, P = %.10g bar", T, P);
      return text;
    case WaterStatus::kRuntimeError:
      std::snprintf(text, sizeof text, "error %u: %s", errors.pending_error(),
                    std::string(error_message(errors.pending_error())).c_str());
      return text;
  }
  return {};
}

}  // namespace aqsol
