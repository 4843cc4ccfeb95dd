// One Newton iteration on the reduced density of water, one step at a time.
#pragma once

#include <cmath>

#include "calculator/helmholtz.hpp"
#include "calculator/newton_terms.hpp"
#include "calculator/water.hpp"

namespace aqsol {

// Evaluations allowed for one start value. Ordinary states need 2 to 6, near-critical ones a
// few dozen; a start that has not converged by then is cycling or diverging.
inline constexpr int kMaxEvaluations = 200;

// Below this reduced density the ideal gas is exact to every digit a double holds (the
// residual part is of relative size delta), and delta^-3 in the equation overflows.
inline constexpr double kIdealGasLimitDelta = 1e-103;

// The state of a Newton iteration on delta toward the reduced pressure P/(rho_c R_w T). The
// caller evaluates Phi's delta-derivatives at `delta` while goesOn() and passes each evaluation
// to step(); convergence is |step| <= 1e-6 judged in single precision. Whoever drives it (one
// state at a time, or several states in vector lanes) takes exactly the same steps.
class NewtonIteration {
 public:
  NewtonIteration(double start, double reducedP) : delta_(start), reducedP_(reducedP) {}

  double delta() const { return delta_; }
  bool goesOn() const { return static_cast<float>(std::fabs(step_)) > 1e-6f; }

  // Counts one more evaluation; false when the bound is reached (the iteration has failed).
  bool countEvaluation(DensitySolution& s) {
    if (++evaluations_ > kMaxEvaluations) return false;
    ++s.evaluations;
    return true;
  }

  double reducedP() const { return reducedP_; }

  // One Newton step from dPhi/ddelta and d2Phi/ddelta2 at delta(): sets s.Z and s.delta. False
  // when the iteration has failed (a non-finite iterate, or a second restart, which would cycle).
  bool step(double dPhi_dDelta, double d2Phi_dDelta2, DensitySolution& s) {
    return step(newtonTerms(delta_, dPhi_dDelta, d2Phi_dDelta2, reducedP_), s);
  }

  // The same step from its terms, computed elsewhere from delta() and reducedP().
  bool step(const NewtonTerms<double>& terms, DensitySolution& s) {
    s.Z = terms.Z;
    step_ = terms.step;
    delta_ += step_;
    if (!std::isfinite(delta_)) return false;
    // Too dense to be meaningful: pull the iterate back into the range of the equation.
    if (static_cast<float>(delta_) > 9.2f) {
      do delta_ /= 3;
      while (!(static_cast<float>(delta_) < 9.2f));
    }
    lastWasReset_ = static_cast<float>(delta_) < 0;
    if (lastWasReset_) {
      // The iteration from 0.05 is always the same: a second restart would cycle for ever.
      if (wasReset_) return false;
      wasReset_ = true;
      delta_ = 0.05;
    }
    s.delta = delta_;
    return true;
  }

  // After the last step: kNotConverged when the iteration ended on a restart value or a
  // non-positive delta, which are no roots; kOk otherwise.
  WaterStatus outcome() const {
    return lastWasReset_ || !(delta_ > 0) ? WaterStatus::kNotConverged : WaterStatus::kOk;
  }

  // dZ/ddelta at the final delta from the last evaluation's delta-derivatives.
  double dZ_dDelta(double dPhi_dDelta, double d2Phi_dDelta2) const {
    return 2 * delta_ * dPhi_dDelta + delta_ * delta_ * d2Phi_dDelta2;
  }

  // The solution after a kOk outcome: Phi and its derivatives from the last evaluation, and
  // the Z derivatives at the final delta (Z stays that of the last evaluation), into s.
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
  double step_ = 1;
  int evaluations_ = 0;
  bool wasReset_ = false;      // the iterate went negative and restarted from 0.05
  bool lastWasReset_ = false;  // the last step was such a restart
};

}  // namespace aqsol
