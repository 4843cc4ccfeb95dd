// Newton solver for the reduced density of water at a given temperature and pressure.
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "calculator/newton_iteration.hpp"
#include "calculator/water.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// Liquid-like start values (reduced densities) tried after the prescribed and ideal-gas starts.
constexpr double kLiquidLikeStarts[] = {3.0, 2.0, 1.0};

// Newton iteration on delta from w.delta at the given temperature terms and reduced pressure
// P/(rho_c R_w T).
WaterStatus iterate(const Constants& k, const TemperatureTerms& tt, double reducedP, WaterState& w,
                    ErrorSlot& errors) {
  NewtonIteration iteration(w.delta, reducedP);
  DensityEvaluation e;  // the last evaluation: its delta-derivatives drive the steps
  while (iteration.goesOn()) {
    if (!iteration.countEvaluation(w)) return WaterStatus::kNotConverged;
    evaluateDensityDerivatives(k, iteration.delta(), tt, errors, e);
    if (errors.has_error()) return WaterStatus::kRuntimeError;
    if (!iteration.step(e.dPhi_dDelta, e.d2Phi_dDelta2, w)) return WaterStatus::kNotConverged;
  }
  return iteration.finish(k, e, tt, w);
}

// Which roots a retry may accept: below the critical temperature those on the side of the
// critical density that the phase of the state lies on; at or above it any.
enum class Phase { kAny, kVapour, kLiquid };

// The phase of the state below Tc: vapour below the saturation pressure, liquid from it up.
Phase phaseAt(const Constants& k, double T, double P) {
  if (!(T < k.Tc)) return Phase::kAny;
  ErrorSlot scratch;
  return P < saturationPressure(k, T, scratch) ? Phase::kVapour : Phase::kLiquid;
}

bool belongsTo(Phase phase, double delta) {
  return phase == Phase::kAny || (phase == Phase::kVapour ? delta < 1 : delta >= 1);
}

// Retries the solve from further start values when the one given did not lead to a stable
// root, accepting only a mechanically stable root (dZ/ddelta > 0) of the given phase. Errors
// raised while trying them are kept out of the caller's slot: a failed retry is simply not used.
bool retryFromOtherStarts(const Constants& k, const TemperatureTerms& tt, double T, double P,
                          double reducedP, Phase phase, WaterState& w) {
  const double idealGasStart = k.Mw * P / (k.R_bar * T * k.rho_c);
  for (double start :
       {idealGasStart, kLiquidLikeStarts[0], kLiquidLikeStarts[1], kLiquidLikeStarts[2]}) {
    if (!(start > 0)) continue;
    WaterState trial = w;
    trial.delta = start;
    ErrorSlot scratch;
    const WaterStatus status = iterate(k, tt, reducedP, trial, scratch);
    w.evaluations = trial.evaluations;
    if (status == WaterStatus::kOk && trial.dZ_dDelta > 0 && belongsTo(phase, trial.delta)) {
      w = trial;
      return true;
    }
  }
  return false;
}

// The solution at a reduced density so low that the gas is ideal, Phi = Phi0 + ln delta, found
// as the iteration finds it there: its first step is far below the convergence bound, so it
// ends after one evaluation at the start value (whose Z it keeps) and one step to the root
// reducedP. A start value that is not near that root (a liquid-like start above Tc) is
// replaced by the root itself.
WaterStatus idealGasLimit(const TemperatureTerms& tt, double reducedP, WaterState& w,
                          ErrorSlot& errors) {
  const double start = w.delta > reducedP / 2 && w.delta < reducedP * 2 ? w.delta : reducedP;
  w.evaluations = 1;
  w.phi.Phi = tt.Phi0 + guarded_log(errors, start);
  w.phi.dPhi_dDelta = 1 / start;
  w.phi.d2Phi_dDelta2 = -(w.phi.dPhi_dDelta * w.phi.dPhi_dDelta);
  w.phi.dPhi_dTheta = tt.dPhi0_dTheta;
  w.phi.d2Phi_dTheta2 = tt.d2Phi0_dTheta2;
  w.phi.d2Phi_dDelta_dTheta = 0;
  w.Z = start;  // delta^2 dPhi/ddelta at the start value
  w.delta = reducedP;
  w.dZ_dDelta = 1;
  w.dZ_dTheta = 0;
  return errors.has_error() ? WaterStatus::kRuntimeError : WaterStatus::kOk;
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
  if (reducedP > 0 && reducedP < kIdealGasLimitDelta) return idealGasLimit(tt, reducedP, w, errors);
  const WaterStatus status = iterate(k, tt, reducedP, w, errors);
  const bool unstable = status == WaterStatus::kOk && !(w.dZ_dDelta > 0);
  if (status != WaterStatus::kNotConverged && !unstable) return status;
  if (retryFromOtherStarts(k, tt, T, P, reducedP, phaseAt(k, T, P), w)) return WaterStatus::kOk;
  return unstable ? WaterStatus::kUnstable : WaterStatus::kNotConverged;
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
    case WaterStatus::kUnstable:
      std::snprintf(text, sizeof text,
                    "no mechanically stable density of water at T = %.10g K, P = %.10g bar", T, P);
      return text;
    case WaterStatus::kOutsideRange:
      std::snprintf(text, sizeof text,
                    "outside the range of the equation of state at T = %.10g K, P = %.10g bar", T,
                    P);
      return text;
    case WaterStatus::kRuntimeError:
      std::snprintf(text, sizeof text, "error %u: %s", errors.pending_error(),
                    std::string(error_message(errors.pending_error())).c_str());
      return text;
  }
  return {};
}

}  // namespace aqsol
