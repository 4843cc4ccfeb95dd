// The formulas that make Phi and its derivatives from their parts, written once for one state
// (Number = double) and for several states in vector lanes (Number a vector of doubles), so that
// every lane takes exactly the operations of the one-state evaluation, in the same order.
#pragma once

#include "calculator/constants.hpp"

namespace aqsol::terms {

// The density functions g_i (i = 1..7) and their first and second delta-derivatives into f.g,
// f.g_d and f.g_dd, from the powers dp(n) = delta^n (n = -3..5), ln delta and the exp(-delta^2)
// weight's E1 = 1 - E (or its leading term), E_d and E_dd.
template <class Number, class Powers, class Functions>
[[gnu::always_inline]] inline void densityFunctions(Number delta, Number lnDelta, const Powers& dp,
                                                    Number E1, Number E_d, Number E_dd,
                                                    Functions& f) {
#pragma GCC unroll 8
  for (int i = 1; i <= 7; ++i) {
    if (i == 2) continue;  // a form of its own, below
    const double m = i - 2;
    f.g[i] = E1 * dp(i - 2);
    f.g_d[i] = E1 * m * dp(i - 3) - E_d * dp(i - 2);
    f.g_dd[i] = E1 * m * static_cast<double>(i - 3) * dp(i - 4) - 2.0 * E_d * m * dp(i - 3) -
                E_dd * dp(i - 2);
  }
  const Number delta2 = dp(2);
  f.g[2] = E1 * lnDelta - delta2 * lnDelta + delta2 / 2.0;
  f.g_d[2] = E1 / delta - E_d * lnDelta - 2.0 * delta * lnDelta;
  f.g_dd[2] = -E1 / delta2 - 2.0 * E_d / delta - E_dd * lnDelta - 2.0 * lnDelta - 2.0;
}

// The exponent q of the Gaussian weight exp(q) at t = 1 + theta (t2 = t^2) and d = delta - 1
// (d2 = d^2).
template <class Number>
[[gnu::always_inline]] inline Number gaussianExponent(const Constants& k, Number t, Number t2,
                                                      Number d, Number d2) {
  return -k.q1 * t - k.q2 * d - k.q3 * t2 - k.q4 * d2;
}

// The Gaussian weight's derivatives into g from its value g.W.
template <class Number, class WeightOfNumber>
[[gnu::always_inline]] inline void gaussianDerivatives(const Constants& k, Number d, Number t,
                                                       WeightOfNumber& g) {
  const Number dq_dDelta = -k.q2 - 2.0 * k.q4 * d;
  const Number dq_dTheta = -k.q1 - 2.0 * k.q3 * t;
  g.W_d = g.W * dq_dDelta;
  g.W_dd = g.W_d * dq_dDelta - 2.0 * k.q4 * g.W;
  g.W_t = g.W * dq_dTheta;
  g.W_tt = g.W_t * dq_dTheta - 2.0 * k.q3 * g.W;
  g.W_dt = g.W_t * dq_dDelta;
}

// The parts Phi is made of at one density and temperature: delta, delta^2, ln delta, the
// exp(-delta^2) weight and its delta-derivatives, the four table sums with their derivatives
// (S, S_d, S_dd, S_t, S_tt, S_dt), the Gaussian weight G and crossover switch S with theirs
// (W, W_d, W_dd, W_t, W_tt, W_dt), and the temperature terms.
template <class Number, class Sums, class WeightOfNumber>
struct Parts {
  Number delta, delta2, lnDelta;
  Number E, E_d, E_dd;
  const Sums &A, &B, &C, &D;
  const WeightOfNumber &G, &S;
  Number Phi0, dPhi0_dTheta, d2Phi0_dTheta2;  // ideal part
  Number Hs, dHs_dTheta, d2Hs_dTheta2;        // fourth weight
  Number Acr, dAcr_dTheta;                    // crossover amplitude
};

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number dPhi_dDelta(const Parts<Number, Sums, WeightOfNumber>& p) {
  return 1.0 / p.delta + p.A.S_d + p.E_d * p.B.S + p.E * p.B.S_d + p.G.W_d * p.C.S +
         p.G.W * p.C.S_d + p.Hs * p.D.S_d + p.Acr * p.S.W_d;
}

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number d2Phi_dDelta2(const Parts<Number, Sums, WeightOfNumber>& p) {
  return -1.0 / p.delta2 + p.A.S_dd + p.E_dd * p.B.S + 2.0 * p.E_d * p.B.S_d + p.E * p.B.S_dd +
         p.G.W_dd * p.C.S + 2.0 * p.G.W_d * p.C.S_d + p.G.W * p.C.S_dd + p.Hs * p.D.S_dd +
         p.Acr * p.S.W_dd;
}

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number Phi(const Parts<Number, Sums, WeightOfNumber>& p) {
  return p.Phi0 + p.lnDelta + p.A.S + p.E * p.B.S + p.G.W * p.C.S + p.Hs * p.D.S + p.S.W * p.Acr;
}

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number dPhi_dTheta(const Parts<Number, Sums, WeightOfNumber>& p) {
  return p.dPhi0_dTheta + p.A.S_t + p.E * p.B.S_t + p.G.W_t * p.C.S + p.G.W * p.C.S_t +
         p.dHs_dTheta * p.D.S + p.Hs * p.D.S_t + p.S.W_t * p.Acr + p.S.W * p.dAcr_dTheta;
}

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number d2Phi_dTheta2(const Parts<Number, Sums, WeightOfNumber>& p) {
  return p.d2Phi0_dTheta2 + p.A.S_tt + p.E * p.B.S_tt + p.G.W_tt * p.C.S + 2.0 * p.G.W_t * p.C.S_t +
         p.G.W * p.C.S_tt + p.d2Hs_dTheta2 * p.D.S + 2.0 * p.dHs_dTheta * p.D.S_t +
         p.Hs * p.D.S_tt + p.S.W_tt * p.Acr + 2.0 * p.S.W_t * p.dAcr_dTheta;
}

template <class Number, class Sums, class WeightOfNumber>
[[gnu::always_inline]] inline Number d2Phi_dDelta_dTheta(
    const Parts<Number, Sums, WeightOfNumber>& p) {
  return p.A.S_dt + p.E_d * p.B.S_t + p.E * p.B.S_dt + p.G.W_dt * p.C.S + p.G.W_d * p.C.S_t +
         p.G.W_t * p.C.S_d + p.G.W * p.C.S_dt + p.dHs_dTheta * p.D.S_d + p.Hs * p.D.S_dt +
         p.dAcr_dTheta * p.S.W_d + p.Acr * p.S.W_dt;
}

}  // namespace aqsol::terms
