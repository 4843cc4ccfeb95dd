// Newton solver for the reduced density of water at a given temperature and pressure.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <vector>

#include "calculator/newton_iteration.hpp"
#include "calculator/validity.hpp"
#include "calculator/water.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// Liquid-like start values (reduced densities) tried after the prescribed and ideal-gas starts.
constexpr double kLiquidLikeStarts[] = {3.0, 2.0, 1.0};

// Newton iteration on delta from s.delta at the given temperature terms and reduced pressure
// P/(rho_c R_w T).
WaterStatus iterate(const Constants& k, const TemperatureTerms& tt, double reducedP,
                    DensitySolution& s, ErrorSlot& errors) {
  NewtonIteration iteration(s.delta, reducedP);
  DensityEvaluation e;  // the last evaluation: its delta-derivatives drive the steps
  while (iteration.goesOn()) {
    if (!iteration.countEvaluation(s)) return WaterStatus::kNotConverged;
    evaluateDensityDerivatives(k, iteration.delta(), tt, errors, e);
    if (errors.has_error()) return WaterStatus::kRuntimeError;
    if (!iteration.step(e.dPhi_dDelta, e.d2Phi_dDelta2, s)) return WaterStatus::kNotConverged;
  }
  return iteration.finish(k, e, tt, s);
}

// Which roots a retry may accept: below the critical temperature those on the side of the
// critical density that the phase of the state lies on; at or above it any.
enum class RootSide { kAny, kVapour, kLiquid };

// The phase of the state below Tc: vapour below the saturation pressure, liquid from it up.
RootSide phaseAt(const Constants& k, double T, double P) {
  if (!(T < k.Tc)) return RootSide::kAny;
  ErrorSlot scratch;
  return P < saturationPressure(k, T, scratch) ? RootSide::kVapour : RootSide::kLiquid;
}

bool belongsTo(RootSide phase, double delta) {
  return phase == RootSide::kAny || (phase == RootSide::kVapour ? delta < 1 : delta >= 1);
}

// Retries the solve from further start values when the one given did not lead to a stable
// root, accepting only a mechanically stable root (dZ/ddelta > 0) of the given phase. Errors
// raised while trying them are kept out of the caller's slot: a failed retry is simply not used.
bool retryFromOtherStarts(const Constants& k, const TemperatureTerms& tt, double T, double P,
                          double reducedP, RootSide phase, DensitySolution& s) {
  const double idealGasStart = k.Mw * P / (k.R_bar * T * k.rho_c);
  for (double start :
       {idealGasStart, kLiquidLikeStarts[0], kLiquidLikeStarts[1], kLiquidLikeStarts[2]}) {
    if (!(start > 0)) continue;
    DensitySolution trial = s;
    trial.delta = start;
    ErrorSlot scratch;
    const WaterStatus status = iterate(k, tt, reducedP, trial, scratch);
    s.evaluations = trial.evaluations;
    if (status == WaterStatus::kOk && trial.dZ_dDelta > 0 && belongsTo(phase, trial.delta)) {
      s = trial;
      return true;
    }
  }
  return false;
}

// Z(delta) - P/(rho_c R_w T): zero at a root, rising through it at a stable one. NaN where the
// equation cannot be evaluated.
double pressureExcess(const Constants& k, const TemperatureTerms& tt, double reducedP,
                      double delta) {
  ErrorSlot scratch;
  DensityEvaluation e;
  evaluateDensityDerivatives(k, delta, tt, scratch, e);
  return scratch.has_error() ? std::numeric_limits<double>::quiet_NaN()
                             : delta * delta * e.dPhi_dDelta - reducedP;
}

// The reduced densities the isotherm is scanned at, on the side of the critical density the
// phase lies on: geometric steps up to 0.05, then steps of 0.005 up to the densest the solver
// allows.
std::vector<double> scanDensities(RootSide phase) {
  constexpr double kGeometricEnd = 0.05, kLinearStep = 0.005, kDensest = 9.2;
  std::vector<double> deltas;
  const double first = phase == RootSide::kLiquid ? 1 : 1e-4;
  const double last = phase == RootSide::kVapour ? 1 : kDensest;
  for (double d = first; d < kGeometricEnd; d *= 1.1) deltas.push_back(d);
  const double linearStart = std::max(first, kGeometricEnd);
  for (int n = 0; linearStart + n * kLinearStep < last; ++n)
    deltas.push_back(linearStart + n * kLinearStep);
  deltas.push_back(last);
  return deltas;
}

// The last resort when no start value led to a stable root of the state's phase: the isotherm
// is scanned on that side of the critical density for a rise of Z through the reduced pressure,
// the interval narrowed by bisection, and the root taken by Newton iteration from there, as the
// solver takes any root. Below Tc the vapour takes the first such root, the liquid the last;
// above Tc the first. Bounded (about 2,000 evaluations) and deterministic.
bool bracketStableRoot(const Constants& k, const TemperatureTerms& tt, double reducedP,
                       RootSide phase, DensitySolution& s) {
  constexpr int kBisections = 60;
  const std::vector<double> deltas = scanDensities(phase);
  double lower = 0, upper = 0;
  double before = pressureExcess(k, tt, reducedP, deltas[0]);
  for (std::size_t n = 1; n < deltas.size(); ++n) {
    const double after = pressureExcess(k, tt, reducedP, deltas[n]);
    if (before < 0 && after >= 0) {
      lower = deltas[n - 1];
      upper = deltas[n];
      if (phase != RootSide::kLiquid) break;
    }
    before = after;
  }
  if (upper == 0) return false;
  for (int n = 0; n < kBisections; ++n) {
    const double middle = lower + (upper - lower) / 2;
    (pressureExcess(k, tt, reducedP, middle) < 0 ? lower : upper) = middle;
  }
  DensitySolution trial = s;
  trial.delta = lower + (upper - lower) / 2;
  ErrorSlot scratch;
  const WaterStatus status = iterate(k, tt, reducedP, trial, scratch);
  if (status != WaterStatus::kOk || !(trial.dZ_dDelta > 0) || !belongsTo(phase, trial.delta))
    return false;
  s = trial;
  return true;
}

// The solution at a reduced density so low that the gas is ideal, Phi = Phi0 + ln delta: the root
// is delta = reducedP itself, where Z = delta and dZ/ddelta = 1.
WaterStatus idealGasLimit(const TemperatureTerms& tt, double reducedP, DensitySolution& s,
                          ErrorSlot& errors) {
  s.evaluations = 1;
  s.delta = reducedP;
  s.phi.Phi = tt.Phi0 + guarded_log(errors, reducedP);
  s.phi.dPhi_dDelta = 1 / reducedP;
  s.phi.d2Phi_dDelta2 = -(s.phi.dPhi_dDelta * s.phi.dPhi_dDelta);
  s.phi.dPhi_dTheta = tt.dPhi0_dTheta;
  s.phi.d2Phi_dTheta2 = tt.d2Phi0_dTheta2;
  s.phi.d2Phi_dDelta_dTheta = 0;
  s.Z = reducedP;
  s.dZ_dDelta = 1;
  s.dZ_dTheta = 0;
  return errors.has_error() ? WaterStatus::kRuntimeError : WaterStatus::kOk;
}

}  // namespace

WaterStatus waterDensity(const Constants& k, DensitySolution& s, double T, double P,
                         ErrorSlot& errors) {
  if (!(T > 0)) {  // ln(-theta) has no value at or below 0 K
    errors.raise_error(kIllegalFunctionCall);
    return WaterStatus::kRuntimeError;
  }
  const TemperatureTerms tt = temperatureTerms(k, T, errors);
  s.theta = tt.theta;
  s.theta2 = tt.thetaPower(2);
  s.t = tt.t;
  if (errors.has_error()) return WaterStatus::kRuntimeError;
  const double reducedP = P / (k.rho_c * k.R_w * T);
  s.evaluations = 0;
  if (reducedP > 0 && reducedP < kIdealGasLimitDelta) return idealGasLimit(tt, reducedP, s, errors);
  const WaterStatus status = iterate(k, tt, reducedP, s, errors);
  const bool unstable = status == WaterStatus::kOk && !(s.dZ_dDelta > 0);
  if (status != WaterStatus::kNotConverged && !unstable) return status;
  const RootSide phase = phaseAt(k, T, P);
  if (retryFromOtherStarts(k, tt, T, P, reducedP, phase, s) ||
      bracketStableRoot(k, tt, reducedP, phase, s))
    return WaterStatus::kOk;
  return unstable ? WaterStatus::kUnstable : WaterStatus::kNotConverged;
}

bool solveForStablePhase(const Constants& k, DensitySolution& s, double T, double P) {
  if (!(T > 0 && T < k.Tc)) return false;
  ErrorSlot scratch;
  const TemperatureTerms tt = temperatureTerms(k, T, scratch);
  if (scratch.has_error()) return false;
  const RootSide phase = phaseAt(k, T, P);
  if (belongsTo(phase, s.delta)) return false;
  const double reducedP = P / (k.rho_c * k.R_w * T);
  DensitySolution trial = s;
  if (!retryFromOtherStarts(k, tt, T, P, reducedP, phase, trial) &&
      !bracketStableRoot(k, tt, reducedP, phase, trial))
    return false;
  s = trial;
  return true;
}

namespace {

// What a runtime error stopped computing, by step.
const char* quantityOf(WaterStep step) {
  switch (step) {
    case WaterStep::kStart:
      return "the start values of water";
    case WaterStep::kDensity:
      return "the density of water";
    case WaterStep::kFugacity:
      return "the fugacity of water";
    default:
      return "the properties of water";
  }
}

// " (the re-solution at T + 0.5 K ...)" after the temperature of a re-solution.
const char* resolutionOf(WaterStep step) {
  switch (step) {
    case WaterStep::kBelow:
      return " (the re-solution at T - 0.5 K for the temperature derivatives)";
    case WaterStep::kAbove:
      return " (the re-solution at T + 0.5 K for the temperature derivatives)";
    default:
      return "";
  }
}

// Below the homogeneous ice nucleation temperature.
std::string frozenMessage(double T, double P) {
  char text[256];
  std::snprintf(text, sizeof text,
                "no liquid water below the homogeneous ice nucleation temperature (%.2f K at "
                "this pressure) at T = %.10g K, P = %.10g bar",
                homogeneousNucleationTemperature(P), T, P);
  return text;
}

}  // namespace

std::string runtimeErrorMessage(const ErrorSlot& errors, std::string_view quantity, double T,
                                double P) {
  char text[256];
  std::snprintf(text, sizeof text,
                "error %u (%s) while computing %.*s at T = %.10g K, P = %.10g bar",
                errors.pending_error(), std::string(error_message(errors.pending_error())).c_str(),
                static_cast<int>(quantity.size()), quantity.data(), T, P);
  return text;
}

std::string waterOutcomeMessage(const WaterOutcome& outcome, const ErrorSlot& errors) {
  const char* what = nullptr;
  switch (outcome.status) {
    case WaterStatus::kOk:
      return {};
    case WaterStatus::kNoSaturationPressure:
      return "no saturation pressure at or above the critical temperature";
    case WaterStatus::kNotConverged:
      what = "the density of water did not converge";
      break;
    case WaterStatus::kUnstable:
      what = "no mechanically stable density of water";
      break;
    case WaterStatus::kOutsideRange:
      what = "outside the range of the equation of state";
      break;
    case WaterStatus::kFrozen:
      return frozenMessage(outcome.T, outcome.P);
    case WaterStatus::kRuntimeError:
      return runtimeErrorMessage(errors, quantityOf(outcome.step), outcome.T, outcome.P);
  }
  char text[256];
  std::snprintf(text, sizeof text, "%s at T = %.10g K%s, P = %.10g bar", what, outcome.T,
                resolutionOf(outcome.step), outcome.P);
  return text;
}

}  // namespace aqsol
