// Pure water: the state, start values, the density solver, derived properties and fugacity.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "calculator/constants.hpp"
#include "calculator/helmholtz.hpp"
#include "services/errors.hpp"

namespace aqsol {

// What the caller asks for: the state, T in K and P in bar (an entered 0 becomes the saturation
// pressure at waterStart).
struct WaterRequest {
  double T = 0;
  double P = 0;
};

// Start-value memory, kept between passes: x = 1 - T/Tc and the saturation pressure (bar) of
// the last temperature below the critical temperature.
struct WaterStartMemory {
  double x = 0;
  double Psat = 0;
};

// The density solver's working values: theta = -Tc/T, t = 1 + theta, delta = rho/rho_c (start
// value on entry, solution on exit), Phi and its derivatives at the last evaluation,
// Z = delta^2 dPhi/ddelta, dZ/ddelta and dZ/dtheta, and the evaluations it took.
struct DensitySolution {
  double theta = 0;
  double theta2 = 0;  // theta^2 as guarded_pow gives it
  double t = 0;
  double delta = 0;
  HelmholtzValues phi;
  double Z = 0;
  double dZ_dDelta = 0;
  double dZ_dTheta = 0;
  int evaluations = 0;  // Helmholtz evaluations of the last solve, retries included
};

// What a water computation returns: the derived properties at (T, P).
struct WaterResults {
  double rho = 0;        // density, g/cm3
  double drho_dP = 0;    // at constant T, g/(cm3 bar)
  double drho_dT = 0;    // at constant P, g/(cm3 K)
  double d2rho_dT2 = 0;  // at constant P, g/(cm3 K^2), central difference over 1 K
  double V1 = 0;         // molar volume, cm3/mol
  double Cp1 = 0;        // isobaric molar heat capacity, cal/(mol K)
  double H1 = 0;         // molar enthalpy, cal/mol
  double S1 = 0;         // molar entropy, cal/(mol K)
  double G1 = 0;         // molar Gibbs energy, cal/mol
  double lnf1 = 0;       // ln of the fugacity of water, fugacity in bar
};

// The state of pure water for one computation, in its four parts. The calculator program keeps
// one for its whole run (start-value memory carries from pass to pass); independent
// computations use their own. Each step writes only its own part: waterStart the request's P
// and the start memory (and the start value of delta), the density solver the solution,
// waterProperties and the fugacity (solveWater) the results.
struct WaterState : WaterRequest, WaterStartMemory, DensitySolution, WaterResults {};

enum class WaterStatus {
  kOk,
  kNoSaturationPressure,  // a pressure of 0 (saturation) asked at or above Tc
  kNotConverged,          // no start value led the density solver to a root
  kUnstable,              // the only root found is mechanically unstable (dZ/ddelta <= 0)
  kOutsideRange,          // Cp or d rho/dP of the solution is not positive
  kFrozen,                // below the homogeneous ice nucleation temperature: no liquid exists
  kRuntimeError,          // a guarded-maths error is pending in the error slot
};

// Saturation pressure (bar) at T (K) below Tc, from the vapour-pressure equation in
// x = 1 - T/Tc. Guarded-maths failures are raised into errors.
double saturationPressure(const Constants& k, double T, ErrorSlot& errors);

// Start values at (w.T, w.P): below Tc computes x and Psat; replaces a pressure of exactly 0 by
// Psat; sets w.delta to a vapour-like, saturated-liquid or compressed-liquid start value.
// Returns kNoSaturationPressure, changing nothing, when w.P is 0 and w.T is at or above Tc;
// at or above Tc with P > 0 the comparisons use the Psat kept from an earlier pass. Returns
// kRuntimeError when an error is pending in `errors` (raised here or before), else kOk.
WaterStatus waterStart(const Constants& k, WaterState& w, ErrorSlot& errors);

// T^2, T^3 and T^4 (T in K) as guarded_pow gives them, for the compressed-liquid start value.
struct TemperaturePowers {
  double T2 = 0, T3 = 0, T4 = 0;
};
TemperaturePowers temperaturePowers(double T);

// waterStart for a run of fresh states, most at the temperature of the one before (the pressures
// of a grid): the saturation pressure and the powers of the last temperature are kept and
// reused. The same doubles and statuses as waterStart.
class WaterStarts {
 public:
  WaterStatus start(const Constants& k, WaterState& w, ErrorSlot& errors);

 private:
  double T_ = 0;              // K; 0 K is never below Tc with a saturation pressure kept
  TemperaturePowers powers_;  // of T_ (all 0 at 0 K)
  double Psat_ = 0;
  bool known_ = false;  // Psat_ was computed at T_ (below Tc) without an error
};

// Solves the equation of state for delta at T (K) and P (bar) by Newton iteration from
// s.delta, and leaves theta, t, delta, Phi and the Z values of the solution in s. When the
// iteration from w.delta does not converge within its bound, or converges to a mechanically
// unstable root (dZ/ddelta <= 0), it is retried from the ideal-gas start and from liquid-like
// starts, accepting only a stable root of the phase w.delta chose (below Tc: vapour for delta < 1,
// liquid otherwise). Where P/(rho_c R_w T) is below 1e-103 the gas is ideal to every digit and that
// solution is returned without iterating. Returns kOk, kNotConverged, kUnstable (only an unstable
// root was found), or kRuntimeError when a guarded-maths error was raised (T <= 0 raises error 5).
WaterStatus waterDensity(const Constants& k, DensitySolution& s, double T, double P,
                         ErrorSlot& errors);

// Below Tc, where s holds a stable root on the other side of the saturation curve from the
// state's phase (a metastable fluid), looks for a stable root of the state's phase as
// waterDensity's retries do, and puts it in s. True when one was found; s is unchanged
// otherwise (the metastable root stands).
bool solveForStablePhase(const Constants& k, DensitySolution& s, double T, double P);

// How many states the density solver may evaluate at once: one, four (AVX2 with fused
// multiply-add) or eight (AVX-512). Every width gives the same doubles.
enum class LaneWidth { kOne = 1, kFour = 4, kEight = 8 };

// The widest lane width this processor runs.
LaneWidth widestLaneWidth();

// One density solve for waterDensityMany: the arguments of waterDensity and, after it, its
// status.
struct DensitySolve {
  DensitySolution* solution = nullptr;
  double T = 0;  // K
  double P = 0;  // bar
  ErrorSlot* errors = nullptr;
  WaterStatus status = WaterStatus::kOk;
};

// What waterDensityMany leaves in a solution: everything waterDensity leaves, or only what the
// temperature derivative of the density needs (theta, delta, Z, dZ/ddelta, dZ/dtheta and Phi's
// delta-derivatives), Phi, dPhi/dtheta and d2Phi/dtheta2 being then unspecified.
enum class DensityResults { kAll, kForDerivatives };

// Does every solve exactly as waterDensity(k, *solution, T, P, *errors) does it, with the same
// doubles (those `results` asks for), statuses and errors, evaluating up to `widest` states at
// once as far as the processor allows (and AQSOL_LANES, see cpuTargets). A solve whose iteration
// leaves the ordinary range (very low densities, failures, retries) is done alone. The solves
// must have distinct states and error slots.
void waterDensityMany(const Constants& k, std::span<DensitySolve> solves,
                      LaneWidth widest = LaneWidth::kEight,
                      DensityResults results = DensityResults::kAll);

// The steps of solving water at one state, as failure messages name them.
enum class WaterStep {
  kStart,       // start values (and the saturation pressure for P = 0)
  kDensity,     // the density at (T, P)
  kBelow,       // the re-solution at T - 0.5 K for the temperature derivatives
  kAbove,       // the re-solution at T + 0.5 K
  kProperties,  // the derived properties at (T, P)
  kFugacity,    // the fugacity at (T, P)
};

// How a water computation ended: kOk, or the status of the step that failed first and the state
// (T in K, P in bar) that step was at.
struct WaterOutcome {
  WaterStatus status = WaterStatus::kOk;
  WaterStep step = WaterStep::kDensity;
  double T = 0;
  double P = 0;
  unsigned range = 0;  // kOk: where the state lies against the model's tested range (RangeFlag)
};

// Density, its derivatives, molar volume, Cp, H, S and G into w's results from its solution at
// (w.T, w.P); the second temperature derivative re-solves at T - 0.5 K and T + 0.5 K, on copies
// of the solution, which stays as it was. Returns the status of the re-solutions.
WaterStatus waterProperties(const Constants& k, WaterState& w, ErrorSlot& errors);

// One state for waterPropertiesMany, the status waterProperties gives it, and the re-solution
// that gave a status other than kOk (kBelow or kAbove).
struct PropertiesJob {
  WaterState* w = nullptr;
  ErrorSlot* errors = nullptr;
  WaterStatus status = WaterStatus::kOk;
  WaterStep failedStep = WaterStep::kBelow;
};

// waterProperties for every job, its re-solutions done together by waterDensityMany (same
// doubles, statuses and errors as one job at a time).
void waterPropertiesMany(const Constants& k, std::span<PropertiesJob> jobs,
                         LaneWidth widest = LaneWidth::kEight);

// Whether the properties of a solution are physically possible: Cp and d rho/dP positive.
// Far outside the range of the equation of state they are not.
bool waterPropertiesPossible(const WaterState& w);

// The whole water computation after waterStart: the density at (w.T, w.P), the derived
// properties with their re-solutions at T -/+ 0.5 K, and the fugacity; every front end takes
// its water from here. A step that finds no root (kNotConverged, kUnstable) ends the
// computation; a runtime error does not (the steps after it run as they would, the error
// pending), but the outcome names the step that raised it. kOutsideRange when the properties
// are not physically possible.
WaterOutcome solveWater(const Constants& k, WaterState& w, ErrorSlot& errors,
                        LaneWidth widest = LaneWidth::kOne);

// One state for solveWaterMany, and its outcome.
struct WaterJob {
  WaterState* w = nullptr;
  ErrorSlot* errors = nullptr;
  WaterOutcome outcome;
};

// solveWater for every job, the states solved together (same doubles, outcomes and errors as
// one job at a time).
void solveWaterMany(const Constants& k, std::span<WaterJob> jobs,
                    LaneWidth widest = LaneWidth::kEight);

// The message for a failed outcome, for example "the density of water did not converge at
// T = 973.15 K, P = 1 bar" or "no mechanically stable density of water at T = 645.75 K (the
// re-solution at T + 0.5 K for the temperature derivatives), P = 217 bar"; a runtime error
// names the error and the quantity: "error 6 (Overflow) while computing the density of water at
// T = 100273.15 K, P = 1 bar". Empty for kOk.
std::string waterOutcomeMessage(const WaterOutcome& outcome, const ErrorSlot& errors);

// "error N (Name) while computing QUANTITY at T = ... K, P = ... bar" for the error pending.
std::string runtimeErrorMessage(const ErrorSlot& errors, std::string_view quantity, double T,
                                double P);

}  // namespace aqsol
