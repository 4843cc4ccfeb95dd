// Dimensionless Helmholtz function of water, Phi(delta, theta), and its partial derivatives.
#include "calculator/helmholtz.hpp"

#include "calculator/helmholtz_terms.hpp"
#include "calculator/table_sums.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

DeltaPowers deltaPowers(double delta) {
  DeltaPowers p;
  whole_powers(delta, DeltaPowers::kMinPower, 7, p.pow.data());
  return p;
}

// delta2 = delta^2.
ExpWeight expWeight(double delta, double delta2, ErrorSlot& errors) {
  ExpWeight w;
  w.E = guarded_exp(errors, static_cast<long double>(-delta2));
  w.E_d = -2 * delta * w.E;
  w.E_dd = -2 * w.E - 2 * delta * w.E_d;
  // Below about 2e-5, 1 - exp(-delta^2) loses its digits; its leading term is used instead.
  w.E1 = static_cast<float>(delta) < 0.00002f ? delta2 : 1 - w.E;
  return w;
}

DensityFunctions densityFunctions(double delta, double lnDelta, const DeltaPowers& dp,
                                  const ExpWeight& w) {
  DensityFunctions f;
  terms::densityFunctions(delta, lnDelta, dp, w.E1, w.E_d, w.E_dd, f);
  return f;
}

// The parts of Phi for the shared formulas.
using PartsOfOneState = terms::Parts<double, TableSums, Weight>;

PartsOfOneState partsOf(const DensityEvaluation& e, const TemperatureTerms& tt) {
  return {e.delta,
          e.dp(2),
          e.lnDelta,
          e.E.E,
          e.E.E_d,
          e.E.E_dd,
          e.A,
          e.B,
          e.C,
          e.D,
          e.G,
          e.S,
          tt.Phi0,
          tt.dPhi0_dTheta,
          tt.d2Phi0_dTheta2,
          tt.Hs,
          tt.dHs_dTheta,
          tt.d2Hs_dTheta2,
          tt.Acr,
          tt.dAcr_dTheta};
}

// theta^k of the temperature terms, as the table sums ask for it.
auto thetaPowersOf(const TemperatureTerms& tt) {
  return [&tt](int k) { return tt.thetaPower(k); };
}

}  // namespace

TemperatureTerms temperatureTerms(const Constants& k, double T, ErrorSlot& errors) {
  TemperatureTerms tt;
  tt.T = T;
  tt.theta = -k.Tc / T;
  tt.t = 1 + tt.theta;
  tt.t2 = guarded_pow(errors, tt.t, 2);
  tt.tr2 = guarded_pow(errors, tt.t / k.w_t, 2);
  const double theta = tt.theta;
  whole_powers(theta, TemperatureTerms::kMinPower, 11, tt.thetaPow.data());

  // (-theta)^m for m = -6..1, the powers of the ideal part.
  std::array<double, 8> minusThetaPow;
  whole_powers(-theta, -6, 1, minusThetaPow.data());
  const auto minusTheta = [&](int m) { return minusThetaPow[m + 6]; };
  double sum0 = 0, sum1 = 0, sum2 = 0;
  for (int n = 1; n <= 6; ++n) {
    sum0 += k.c[n] * minusTheta(2 - n);
    sum1 += k.c[n] * (2 - n) * minusTheta(1 - n);
    sum2 += k.c[n] * (2 - n) * (1 - n) * minusTheta(-n);
  }
  const double lnMinusTheta = guarded_log(errors, -theta);
  tt.Phi0 = sum0 + (k.c[8] + k.c[7] * theta) * lnMinusTheta;
  tt.dPhi0_dTheta = -sum1 + k.c[7] * (lnMinusTheta + 1) + k.c[8] / theta;
  tt.d2Phi0_dTheta2 = sum2 + k.c[7] / theta - k.c[8] / guarded_pow(errors, theta, 2);

  tt.Hs = guarded_exp(errors, static_cast<long double>(-k.h * (theta + 3)));
  tt.dHs_dTheta = -k.h * tt.Hs;
  tt.d2Hs_dTheta2 = guarded_pow(errors, k.h, 2) * tt.Hs;

  tt.Acr = k.s0 + k.s1 * tt.t;
  tt.dAcr_dTheta = k.s1;
  return tt;
}

Weight gaussianWeight(const Constants& k, double d, const TemperatureTerms& tt, ErrorSlot& errors) {
  const double q = terms::gaussianExponent(k, tt.t, tt.t2, d, guarded_pow(errors, d, 2));
  Weight g;
  g.W =
      static_cast<float>(q) < -88.0f ? -1.01e-38 : guarded_exp(errors, static_cast<long double>(q));
  terms::gaussianDerivatives(k, d, tt.t, g);
  return g;
}

Weight crossoverSwitch(const Constants& k, double d, const TemperatureTerms& tt,
                       ErrorSlot& errors) {
  const double t = tt.t;
  const double dr = d / k.w_delta, dr2 = guarded_pow(errors, dr, 2);
  const double r = guarded_sqrt(errors, dr2 + tt.tr2);
  const double u = guarded_pow(errors, r / k.k, 4);
  double w;
  if (static_cast<float>(u) > 88.0f) {
    w = 1e38;
  } else if (static_cast<float>(u) < 0.01f) {
    w = u;
  } else {
    w = guarded_exp(errors, static_cast<long double>(u)) - 1;
  }
  const double v = -1 / w;
  const double e = v < -88 ? 1.01e-38 : guarded_exp(errors, static_cast<long double>(v));
  Weight s;
  s.W = 1 - e;
  if (s.W == 0) return s;

  const double L = guarded_log(errors, w + 1);
  const double inv_w = 1 / w, inv_w2 = 1 / guarded_pow(errors, w, 2);
  const double Sr = -(4 / k.k) * e * (inv_w + inv_w2) * guarded_pow(errors, L, 0.75);
  const double Srr = -(12 / guarded_pow(errors, k.k, 2)) * e * (inv_w + inv_w2) *
                     guarded_sqrt(errors, L) * ((inv_w2 - inv_w - 1) * (4.0 / 3.0) * L + 1);
  const double r3 = guarded_pow(errors, r, 3);
  const double wd2 = guarded_pow(errors, k.w_delta, 2), wt2 = guarded_pow(errors, k.w_t, 2);
  const double r_d = d / (r * wd2);
  const double r_t = t / (r * wt2);
  const double r_dd = (1 / r - dr2 / r3) / wd2;
  const double r_tt = (1 / r - tt.tr2 / r3) / wt2;
  const double r_dt = -d * t / (r3 * guarded_pow(errors, k.w_delta * k.w_t, 2));
  s.W_d = Sr * r_d;
  s.W_dd = Srr * guarded_pow(errors, r_d, 2) + Sr * r_dd;
  s.W_t = Sr * r_t;
  s.W_tt = Srr * guarded_pow(errors, r_t, 2) + Sr * r_tt;
  s.W_dt = Srr * r_d * r_t + Sr * r_dt;
  return s;
}

void evaluateDensityDerivatives(const Constants& k, double delta, const TemperatureTerms& tt,
                                ErrorSlot& errors, DensityEvaluation& e) {
  e.delta = delta;
  e.A = e.B = e.C = e.D = TableSums{};
  const double d = delta - 1;
  e.dp = deltaPowers(delta);
  e.lnDelta = guarded_log(errors, delta);
  e.E = expWeight(delta, e.dp(2), errors);
  e.f = densityFunctions(delta, e.lnDelta, e.dp, e.E);
  terms::sumTables(e.f, e.dp, thetaPowersOf(tt), e.A, e.B, e.C, e.D);
  e.G = gaussianWeight(k, d, tt, errors);
  e.S = crossoverSwitch(k, d, tt, errors);

  const PartsOfOneState parts = partsOf(e, tt);
  e.dPhi_dDelta = terms::dPhi_dDelta(parts);
  e.d2Phi_dDelta2 = terms::d2Phi_dDelta2(parts);
}

HelmholtzValues completeHelmholtz(const Constants&, DensityEvaluation& e,
                                  const TemperatureTerms& tt) {
  terms::sumTables_theta(e.f, e.dp, thetaPowersOf(tt), e.A, e.B, e.C, e.D);

  const PartsOfOneState parts = partsOf(e, tt);
  HelmholtzValues v;
  v.Phi = terms::Phi(parts);
  v.dPhi_dDelta = e.dPhi_dDelta;
  v.d2Phi_dDelta2 = e.d2Phi_dDelta2;
  v.dPhi_dTheta = terms::dPhi_dTheta(parts);
  v.d2Phi_dTheta2 = terms::d2Phi_dTheta2(parts);
  v.d2Phi_dDelta_dTheta = terms::d2Phi_dDelta_dTheta(parts);
  return v;
}

HelmholtzValues evaluateHelmholtz(const Constants& k, double delta, const TemperatureTerms& tt,
                                  ErrorSlot& errors) {
  DensityEvaluation e;
  evaluateDensityDerivatives(k, delta, tt, errors, e);
  return completeHelmholtz(k, e, tt);
}

}  // namespace aqsol
