// The arithmetic of one Newton step on the reduced density, written once for one state
// (Number = double) and for several states in vector lanes (Number a vector of doubles).
//
// Included, like helmholtz_terms.hpp, by each source that instantiates it after its processor
// target is set.
#pragma once

namespace aqsol {

// Z = delta^2 dPhi/ddelta at delta and the Newton step toward the reduced pressure, from Phi's
// delta-derivatives there.
template <class Number>
struct NewtonTerms {
  Number Z, step;
};

template <class Number>
[[gnu::always_inline]] inline NewtonTerms<Number> newtonTerms(Number delta, Number dPhi_dDelta,
                                                              Number d2Phi_dDelta2,
                                                              Number reducedP) {
  const Number Z = delta * delta * dPhi_dDelta;
  const Number dZ = 2.0 * delta * dPhi_dDelta + delta * delta * d2Phi_dDelta2;
  return {Z, -(Z - reducedP) / dZ};
}

// Evaluations allowed for one start value. Ordinary states need 2 to 6, near-critical ones a
// few dozen; a start that has not converged by then is cycling or diverging.
inline constexpr int kMaxEvaluations = 200;

// Convergence: the iteration ends on the density it last evaluated Phi at, once the Newton step
// from there is within kConvergedStep of it (relative), so that the solution is the root to
// that fraction and every property comes from Phi at the solution itself. Where rounding noise
// in Z keeps the steps from shrinking further (near the critical point, where dZ/ddelta
// vanishes), a step within kNoisyStep that is not below half the one before also ends it.
inline constexpr double kConvergedStep = 1e-12;
inline constexpr double kNoisyStep = 1e-6;

// Whether a step of size |step| (finite) from a delta of size |delta| ends the iteration, the
// step before having been of size lastSize (never NaN; infinite before the second step).
template <class Number>
[[gnu::always_inline]] inline auto endsIteration(Number size, Number scale, Number lastSize) {
  return (size <= kConvergedStep * scale) | ((size <= kNoisyStep * scale) & (size >= lastSize / 2));
}

}  // namespace aqsol
