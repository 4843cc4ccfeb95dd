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

}  // namespace aqsol
