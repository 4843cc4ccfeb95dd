// One Newton iteration on the reduced density of water, one step at a time.
#pragma once

#include <cmath>

#include "calculator/helmholtz.hpp"
#include "calculator/newton_terms.hpp"
#include "calculator/water.hpp"

namespace aqsol {

// Below this reduced density the ideal gas is exact to every digit a double holds (the
// residual part is of relative size delta), and delta^-3 in the equation overflows.
inline constexpr double kIdealGasLimitDelta = 1e-103;

// The state of a Newton iteration on delta toward the reduced pressure P/(rho_c R_w T). The
// caller evaluates Phi's delta-derivatives at `delta` while goesOn() and passes each evaluation
// to step(). Whoever drives it (one state at a time, or several states in vector lanes) takes
// exactly the same steps.
class NewtonIteration {
 public:
  NewtonIteration(double start, double reducedP) : delta_(start), reducedP_(reducedP) {}

  double delta() const { return delta_; }
  bool goesOn() const { return !converged_; }

  // Counts one more evaluation; false when the bound is reached (the iteration has failed).
  bool countEvaluation(DensitySolution& s) {
    if (++evaluations_ > kMaxEvaluations) return false;
    ++s.evaluations;
    return true;
  }

  double reducedP() const { return reducedP_; }
  int evaluations() const { return evaluations_; }
  double lastStepSize() const { return lastStepSize_; }

  // Takes up the iteration where steps taken elsewhere (in vector lanes, by the same rule, none
  // of them leaving the ordinary path: no restart, no pull-back, not converged) have left it: at
  // `delta`, after `evaluations` evaluations, the last step of size lastStepSize; s as those
  // steps would have left it.
  void resume(double delta, double lastStepSize, int evaluations, DensitySolution& s) {
    delta_ = delta;
    lastStepSize_ = lastStepSize;
    s.evaluations += evaluations - evaluations_;
    evaluations_ = evaluations;
    s.delta = delta;
  }

  // An iteration's state before its first step: lastStepSize() is this.
  static constexpr double kNoLastStep = __builtin_inf();

  // One Newton step from dPhi/ddelta and d2Phi/ddelta2 at delta(): sets s.Z and, unless the
  // iteration has converged at delta(), s.delta. False when the iteration has failed (a
  // non-finite iterate, or a second restart, which would cycle).
  bool step(double dPhi_dDelta, double d2Phi_dDelta2, DensitySolution& s) {
    return step(newtonTerms(delta_, dPhi_dDelta, d2Phi_dDelta2, reducedP_), s);
  }

  // The same step from its terms, computed elsewhere from delta() and reducedP().
  bool step(const NewtonTerms<double>& terms, DensitySolution& s) {
    s.Z = terms.Z;
    const double size = std::fabs(terms.step), scale = std::fabs(delta_);
    if (!std::isfinite(terms.step)) return false;
    converged_ = endsIteration(size, scale, lastStepSize_);
    if (converged_) return true;
    lastStepSize_ = size;
    delta_ += terms.step;
    if (!std::isfinite(delta_)) return false;
    // Too dense to be meaningful: pull the iterate back into the range of the equation.
    if (static_cast<float>(delta_) > 9.2f) {
      do delta_ /= 3;
      while (!(static_cast<float>(delta_) < 9.2f));
      lastStepSize_ = kNoLastStep;
    }
    if (static_cast<float>(delta_) < 0) {
      // The iteration from 0.05 is always the same: a second restart would cycle for ever.
      if (wasReset_) return false;
      wasReset_ = true;
      delta_ = 0.05;
      lastStepSize_ = kNoLastStep;
    }
    s.delta = delta_;
    return true;
  }

  // After the last step: kNotConverged when the iteration ended on a non-positive delta, which
  // is no root; kOk otherwise.
  WaterStatus outcome() const {
    return !(delta_ > 0) ? WaterStatus::kNotConverged : WaterStatus::kOk;
  }

  // dZ/ddelta at the final delta from the last evaluation's delta-derivatives (made there).
  double dZ_dDelta(double dPhi_dDelta, double d2Phi_dDelta2) const {
    return 2 * delta_ * dPhi_dDelta + delta_ * delta_ * d2Phi_dDelta2;
  }

  // The solution after a kOk outcome: Phi, its derivatives and the Z values from the last
  // evaluation, which was made at the final delta, into s.
  void accept(const HelmholtzValues& phi, DensitySolution& s) const {
    s.phi = phi;
    s.dZ_dDelta = dZ_dDelta(s.phi.dPhi_dDelta, s.phi.d2Phi_dDelta2);
    s.dZ_dTheta = delta_ * delta_ * s.phi.d2Phi_dDelta_dTheta;
  }

  // outcome(), and on kOk accept() with the last evaluation completed.
  WaterStatus finish(const Constants& k, DensityEvaluation& e, const TemperatureTerms& tt,
                     DensitySolution& s) const {
    const WaterStatus status = outcome();
    if (status == WaterStatus::kOk) accept(completeHelmholtz(k, e, tt), s);
    return status;
  }

 private:
  double delta_;
  double reducedP_;
  double lastStepSize_ = kNoLastStep;  // |the step taken last|; none before: the noise test
                                       // needs two steps from the same path
  int evaluations_ = 0;
  bool converged_ = false;
  bool wasReset_ = false;  // the iterate went negative and restarted from 0.05
};

}  // namespace aqsol
