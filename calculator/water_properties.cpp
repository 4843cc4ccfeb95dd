// Derived properties and fugacity of water from the solution of its equation of state.
#include <cmath>
#include <vector>

#include "calculator/ideal_gas.hpp"
#include "calculator/validity.hpp"
#include "calculator/water.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// Enthalpy, entropy and Gibbs energy offsets that put the equation's energies on the scale of
// the ideal-gas data (cal/mol, cal/(mol K), cal/mol).
constexpr double kEnthalpyOffset = 68775.6501;
constexpr double kEntropyOffset = 15.105041;
constexpr double kGibbsOffset = 16609.847;
constexpr double kBarCm3PerCal = 41.84;

// d rho/dT at constant P (g/(cm3 K)) from the solver's current solution, using
// d theta/dT = theta^2/Tc and -1/T = theta/Tc.
double drho_dTAtSolution(const Constants& k, const DensitySolution& w) {
  return k.rho_c * (w.theta2 / k.Tc) * (-w.dZ_dTheta / w.dZ_dDelta) +
         k.rho_c * w.Z * (w.theta / k.Tc) / w.dZ_dDelta;
}

// The start value of a re-solution at T + dT from the solution at T: delta moved along the
// isobar by its temperature derivative there (drho_dT in g/(cm3 K)), which leaves the Newton
// iteration a step or two; delta itself where that move is over 1 % of it (near the critical
// point, where the isobar is too steep for a straight line to stay on its branch).
double resolutionStart(const Constants& k, double delta, double drho_dT, double dT) {
  const double moved = drho_dT / k.rho_c * dT;
  return std::fabs(moved) <= 0.01 * delta ? delta + moved : delta;
}

// Appends a solve to the list, made in its place there (a copy from a temporary would wait on
// the stores that had just made it).
void addSolve(std::vector<DensitySolve>& solves, DensitySolution* solution, double T, double P,
              ErrorSlot* errors) {
  DensitySolve& solve = solves.emplace_back();
  solve.solution = solution;
  solve.T = T;
  solve.P = P;
  solve.errors = errors;
}

// Cp, H, S and G from the solution at (w.T, w.P).
void energies(const Constants& k, WaterState& w, ErrorSlot& errors) {
  const double theta = w.theta, delta = w.delta;
  const double theta2 = w.theta2;
  const double cv_Rw = -theta2 * w.phi.d2Phi_dTheta2;
  const double cp_Rw = cv_Rw + guarded_pow(errors, theta * w.dZ_dTheta - w.Z, 2) /
                                   (guarded_pow(errors, delta, 2) * w.dZ_dDelta);
  w.Cp1 = k.Mw * k.R_w / kBarCm3PerCal * cp_Rw;
  w.H1 = k.Mw * k.R_w * k.Tc * (-w.phi.dPhi_dTheta - w.Z / (delta * theta)) / kBarCm3PerCal -
         kEnthalpyOffset;
  w.S1 = k.Mw * k.R_w * (theta * w.phi.dPhi_dTheta - w.phi.Phi) / kBarCm3PerCal + kEntropyOffset;
  w.G1 = w.H1 - w.T * w.S1 + kGibbsOffset;
}

}  // namespace

WaterStatus waterProperties(const Constants& k, WaterState& w, ErrorSlot& errors) {
  PropertiesJob job{&w, &errors};
  waterPropertiesMany(k, {&job, 1}, LaneWidth::kOne);
  return job.status;
}

void waterPropertiesMany(const Constants& k, std::span<PropertiesJob> jobs, LaneWidth widest) {
  // The second derivative is the central difference of d rho/dT over T -/+ 0.5 K: each job's
  // solution is copied, solved at T - 0.5 K and then at T + 0.5 K, each from a start moved from
  // the solution at T along the isobar, and d rho/dT at T - 0.5 K kept meanwhile. The job's own
  // solution stays that at T.
  std::vector<DensitySolution> resolved;  // each made from its job's solution, not cleared first
  resolved.reserve(jobs.size());          // so that the solves' pointers into it stay valid
  std::vector<double> below(jobs.size()), aboveStart(jobs.size());
  std::vector<DensitySolve> solves;
  solves.reserve(jobs.size());
  for (std::size_t n = 0; n < jobs.size(); ++n) {
    WaterState& w = *jobs[n].w;
    ErrorSlot& errors = *jobs[n].errors;
    w.rho = w.delta * k.rho_c;
    w.drho_dP = 1 / (w.dZ_dDelta * k.R_w * w.T);
    w.drho_dT = drho_dTAtSolution(k, w);
    w.V1 = k.Mw / w.rho;
    energies(k, w, errors);
    resolved.push_back(w);
    resolved[n].delta = resolutionStart(k, w.delta, w.drho_dT, -0.5);
    aboveStart[n] = resolutionStart(k, w.delta, w.drho_dT, 0.5);
    addSolve(solves, &resolved[n], w.T - 0.5, w.P, &errors);
  }
  waterDensityMany(k, solves, widest, DensityResults::kForDerivatives);

  std::vector<DensitySolve> above;
  std::vector<std::size_t> aboveJob;
  above.reserve(jobs.size());
  aboveJob.reserve(jobs.size());
  for (std::size_t n = 0; n < jobs.size(); ++n) {
    jobs[n].status = solves[n].status;
    jobs[n].failedStep = WaterStep::kBelow;
    below[n] = drho_dTAtSolution(k, resolved[n]);
    if (jobs[n].status != WaterStatus::kOk) continue;
    resolved[n].delta = aboveStart[n];
    addSolve(above, &resolved[n], jobs[n].w->T + 0.5, jobs[n].w->P, jobs[n].errors);
    aboveJob.push_back(n);
  }
  waterDensityMany(k, above, widest, DensityResults::kForDerivatives);
  for (std::size_t m = 0; m < above.size(); ++m) {
    jobs[aboveJob[m]].status = above[m].status;
    jobs[aboveJob[m]].failedStep = WaterStep::kAbove;
  }

  for (std::size_t n = 0; n < jobs.size(); ++n)
    jobs[n].w->d2rho_dT2 = drho_dTAtSolution(k, resolved[n]) - below[n];
}

namespace {

// ln f and V of water from its Gibbs energy and that of the ideal gas at its temperature.
void fugacityFrom(const Constants& k, double G1ideal, WaterState& w) {
  w.lnf1 = (w.G1 - G1ideal) / (k.R_cal * w.T);
  w.V1 = k.Mw / w.rho;
}

// The ideal-gas Gibbs energy of water at the last temperature asked, for the states that follow
// at it (a grid's pressures). A computation that raised an error is not kept.
class IdealGasMemo {
 public:
  double gibbsAt(const Constants& k, double T, ErrorSlot& errors) {
    if (T == T_) return G_;
    ErrorSlot scratch;
    const double G = idealGasG(k, k.waterIdealGas(), T, scratch);
    if (scratch.has_error()) return idealGasG(k, k.waterIdealGas(), T, errors);
    T_ = T;
    G_ = G;
    return G;
  }

 private:
  double T_ = 0;  // 0 K is never asked
  double G_ = 0;
};

}  // namespace

bool waterPropertiesPossible(const WaterState& w) {
  return w.Cp1 > 0 && w.drho_dP > 0;
}

namespace {

bool foundNoRoot(WaterStatus status) {
  return status == WaterStatus::kNotConverged || status == WaterStatus::kUnstable;
}

// Keeps the first failure of a job: the outcome names the step that failed first.
void fail(WaterJob& job, WaterStatus status, WaterStep step, double T, double P) {
  if (job.outcome.status == WaterStatus::kOk) job.outcome = {status, step, T, P};
}

// A runtime error pending after `step` fails the job there, unless a step before failed.
void noteError(WaterJob& job, WaterStep step) {
  if (job.errors->has_error()) fail(job, WaterStatus::kRuntimeError, step, job.w->T, job.w->P);
}

}  // namespace

WaterOutcome solveWater(const Constants& k, WaterState& w, ErrorSlot& errors, LaneWidth widest) {
  WaterJob job{&w, &errors, {}};
  solveWaterMany(k, {&job, 1}, widest);
  return job.outcome;
}

void solveWaterMany(const Constants& k, std::span<WaterJob> jobs, LaneWidth widest) {
  std::vector<DensitySolve> solves;
  solves.reserve(jobs.size());
  std::vector<WaterJob*> solved;
  solved.reserve(jobs.size());
  for (WaterJob& job : jobs) {
    job.outcome = {};
    if (belowIceNucleation(job.w->T, job.w->P)) {
      fail(job, WaterStatus::kFrozen, WaterStep::kDensity, job.w->T, job.w->P);
      continue;
    }
    addSolve(solves, job.w, job.w->T, job.w->P, job.errors);
    solved.push_back(&job);
  }
  waterDensityMany(k, solves, widest);
  // A metastable root where the iteration wandered across the saturation curve (near Tc): the
  // stable phase's root where there is one.
  for (std::size_t n = 0; n < solved.size(); ++n) {
    WaterState& w = *solved[n]->w;
    if (solves[n].status == WaterStatus::kOk && !solved[n]->errors->has_error() &&
        isMetastable(k, w.T, w.P, w.delta, w.Psat))
      solveForStablePhase(k, w, w.T, w.P);
  }
  std::vector<PropertiesJob> properties;
  std::vector<WaterJob*> going;
  properties.reserve(jobs.size());
  going.reserve(jobs.size());
  for (std::size_t n = 0; n < solved.size(); ++n) {
    WaterJob& job = *solved[n];
    if (foundNoRoot(solves[n].status)) {
      fail(job, solves[n].status, WaterStep::kDensity, job.w->T, job.w->P);
      continue;
    }
    noteError(job, WaterStep::kDensity);
    properties.push_back({job.w, job.errors});
    going.push_back(&job);
  }
  waterPropertiesMany(k, properties, widest);
  IdealGasMemo idealGas;
  for (std::size_t m = 0; m < going.size(); ++m) {
    WaterJob& job = *going[m];
    WaterState& w = *job.w;
    const PropertiesJob& p = properties[m];
    if (foundNoRoot(p.status)) {
      fail(job, p.status, p.failedStep, p.failedStep == WaterStep::kBelow ? w.T - 0.5 : w.T + 0.5,
           w.P);
      continue;
    }
    noteError(job, WaterStep::kProperties);
    if (!job.errors->has_error() && !waterPropertiesPossible(w))
      fail(job, WaterStatus::kOutsideRange, WaterStep::kProperties, w.T, w.P);
    fugacityFrom(k, idealGas.gibbsAt(k, w.T, *job.errors), w);
    noteError(job, WaterStep::kFugacity);
    if (job.outcome.status == WaterStatus::kOk)
      job.outcome.range = waterRangeFlags(k, w.T, w.P, w.delta, w.Psat);
  }
}

}  // namespace aqsol
