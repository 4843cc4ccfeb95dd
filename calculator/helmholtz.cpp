// Dimensionless Helmholtz function of water, Phi(delta, theta), and its partial derivatives.
#include "calculator/helmholtz.hpp"

#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// A double sum over one table and its five partial derivatives.
struct TableSums {
  double S = 0, S_d = 0, S_dd = 0, S_t = 0, S_tt = 0, S_dt = 0;
};

// delta^k for k = -3..7, the powers the density functions and tables use.
struct DeltaPowers {
  static constexpr int kMinPower = -3;
  std::array<double, 11> pow{};
  double operator()(int k) const { return pow[k - kMinPower]; }
};

// The density functions g_i and their first and second delta-derivatives, i = 1..7.
struct DensityFunctions {
  std::array<double, 8> g{}, g_d{}, g_dd{};
};

// The exp(-delta^2) weight of the B-table and its delta-derivatives, with E1 = 1 - E.
struct ExpWeight {
  double E = 0, E_d = 0, E_dd = 0, E1 = 0;
};

// A weight function of (delta, theta) and its partial derivatives.
struct Weight {
  double W = 0, W_d = 0, W_dd = 0, W_t = 0, W_tt = 0, W_dt = 0;
};

DeltaPowers deltaPowers(double delta) {
  DeltaPowers p;
  whole_powers(delta, DeltaPowers::kMinPower, 7, p.pow.data());
  return p;
}

ExpWeight expWeight(double delta, ErrorSlot& errors) {
  ExpWeight w;
  const double delta2 = guarded_pow(errors, delta, 2);
  w.E = guarded_exp(errors, -delta2);
  w.E_d = -2 * delta * w.E;
  w.E_dd = -2 * w.E - 2 * delta * w.E_d;
  // Below about 2e-5, 1 - exp(-delta^2) loses its digits; its leading term is used instead.
  w.E1 = static_cast<float>(delta) < 0.00002f ? delta2 : 1 - w.E;
  return w;
}

DensityFunctions densityFunctions(double delta, double lnDelta, const DeltaPowers& dp,
                                  const ExpWeight& w) {
  DensityFunctions f;
  for (int i = 1; i <= 7; ++i) {
    const double m = i - 2;
    f.g[i] = w.E1 * dp(i - 2);
    f.g_d[i] = w.E1 * m * dp(i - 3) - w.E_d * dp(i - 2);
    f.g_dd[i] = w.E1 * m * (i - 3) * dp(i - 4) - 2 * w.E_d * m * dp(i - 3) - w.E_dd * dp(i - 2);
  }
  const double delta2 = dp(2);
  f.g[2] = w.E1 * lnDelta - delta2 * lnDelta + delta2 / 2;
  f.g_d[2] = w.E1 / delta - w.E_d * lnDelta - 2 * delta * lnDelta;
  f.g_dd[2] = -w.E1 / delta2 - 2 * w.E_d / delta - w.E_dd * lnDelta - 2 * lnDelta - 2;
  return f;
}

// Sum of T[i][j] g_i theta^(j-1) over a table (A and D).
TableSums sumOverDensityFunctions(const std::vector<TableEntry>& table, const DensityFunctions& f,
                                  const TemperatureTerms& tt) {
  TableSums s;
  for (const TableEntry& e : table) {
    const int i = e.i;
    const double j1 = e.j - 1, j2 = e.j - 2;
    s.S += e.value * f.g[i] * tt.thetaPower(e.j - 1);
    s.S_d += e.value * f.g_d[i] * tt.thetaPower(e.j - 1);
    s.S_dd += e.value * f.g_dd[i] * tt.thetaPower(e.j - 1);
    s.S_t += e.value * f.g[i] * j1 * tt.thetaPower(e.j - 2);
    s.S_tt += e.value * f.g[i] * j1 * j2 * tt.thetaPower(e.j - 3);
    s.S_dt += e.value * f.g_d[i] * j1 * tt.thetaPower(e.j - 2);
  }
  return s;
}

// Sum of B[i][j] delta^i theta^(j-1).
TableSums sumB(const std::vector<TableEntry>& table, const DeltaPowers& dp,
               const TemperatureTerms& tt) {
  TableSums s;
  for (const TableEntry& e : table) {
    const double i = e.i, j1 = e.j - 1, j2 = e.j - 2;
    s.S += e.value * dp(e.i) * tt.thetaPower(e.j - 1);
    s.S_d += e.value * i * dp(e.i - 1) * tt.thetaPower(e.j - 1);
    s.S_dd += e.value * i * (i - 1) * dp(e.i - 2) * tt.thetaPower(e.j - 1);
    s.S_t += e.value * dp(e.i) * j1 * tt.thetaPower(e.j - 2);
    s.S_tt += e.value * dp(e.i) * j1 * j2 * tt.thetaPower(e.j - 3);
    s.S_dt += e.value * i * dp(e.i - 1) * j1 * tt.thetaPower(e.j - 2);
  }
  return s;
}

// Sum of C[i][j] delta^(i+1) theta^(j+1).
TableSums sumC(const std::vector<TableEntry>& table, const DeltaPowers& dp,
               const TemperatureTerms& tt) {
  TableSums s;
  for (const TableEntry& e : table) {
    const double i1 = e.i + 1, i = e.i, j1 = e.j + 1, j = e.j;
    s.S += e.value * dp(e.i + 1) * tt.thetaPower(e.j + 1);
    s.S_d += e.value * i1 * dp(e.i) * tt.thetaPower(e.j + 1);
    s.S_dd += e.value * i1 * i * dp(e.i - 1) * tt.thetaPower(e.j + 1);
    s.S_t += e.value * dp(e.i + 1) * j1 * tt.thetaPower(e.j);
    s.S_tt += e.value * dp(e.i + 1) * j1 * j * tt.thetaPower(e.j - 1);
    s.S_dt += e.value * i1 * dp(e.i) * j1 * tt.thetaPower(e.j);
  }
  return s;
}

// Gaussian weight exp(q) around the critical point; a tiny negative constant where q < -88.
Weight gaussianWeight(const Constants& k, double d, double t, ErrorSlot& errors) {
  const double q =
      -k.q1 * t - k.q2 * d - k.q3 * guarded_pow(errors, t, 2) - k.q4 * guarded_pow(errors, d, 2);
  Weight g;
  g.W = static_cast<float>(q) < -88.0f ? -1.01e-38 : guarded_exp(errors, q);
  const double dq_dDelta = -k.q2 - 2 * k.q4 * d;
  const double dq_dTheta = -k.q1 - 2 * k.q3 * t;
  g.W_d = g.W * dq_dDelta;
  g.W_dd = g.W_d * dq_dDelta - 2 * k.q4 * g.W;
  g.W_t = g.W * dq_dTheta;
  g.W_tt = g.W_t * dq_dTheta - 2 * k.q3 * g.W;
  g.W_dt = g.W_t * dq_dDelta;
  return g;
}

// Switching function S of the crossover term: 0 far from the critical point, rising towards 1
// as the scaled distance r from it shrinks.
Weight crossoverSwitch(const Constants& k, double d, double t, ErrorSlot& errors) {
  const double dr = d / k.w_delta, tr = t / k.w_t;
  const double r = guarded_sqrt(errors, guarded_pow(errors, dr, 2) + guarded_pow(errors, tr, 2));
  const double u = guarded_pow(errors, r / k.k, 4);
  double w;
  if (static_cast<float>(u) > 88.0f) {
    w = 1e38;
  } else if (static_cast<float>(u) < 0.01f) {
    w = u;
  } else {
    w = guarded_exp(errors, u) - 1;
  }
  const double v = -1 / w;
  const double e = v < -88 ? 1.01e-38 : guarded_exp(errors, v);
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
  const double r_dd = (1 / r - guarded_pow(errors, dr, 2) / r3) / wd2;
  const double r_tt = (1 / r - guarded_pow(errors, tr, 2) / r3) / wt2;
  const double r_dt = -d * t / (r3 * guarded_pow(errors, k.w_delta * k.w_t, 2));
  s.W_d = Sr * r_d;
  s.W_dd = Srr * guarded_pow(errors, r_d, 2) + Sr * r_dd;
  s.W_t = Sr * r_t;
  s.W_tt = Srr * guarded_pow(errors, r_t, 2) + Sr * r_tt;
  s.W_dt = Srr * r_d * r_t + Sr * r_dt;
  return s;
}

}  // namespace

TemperatureTerms temperatureTerms(const Constants& k, double T, ErrorSlot& errors) {
  TemperatureTerms tt;
  tt.theta = -k.Tc / T;
  tt.t = 1 + tt.theta;
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

  tt.Hs = guarded_exp(errors, -k.h * (theta + 3));
  tt.dHs_dTheta = -k.h * tt.Hs;
  tt.d2Hs_dTheta2 = guarded_pow(errors, k.h, 2) * tt.Hs;

  tt.Acr = k.s0 + k.s1 * tt.t;
  tt.dAcr_dTheta = k.s1;
  return tt;
}

HelmholtzValues evaluateHelmholtz(const Constants& k, double delta, const TemperatureTerms& tt,
                                  ErrorSlot& errors) {
  const double d = delta - 1;
  const DeltaPowers dp = deltaPowers(delta);
  const double lnDelta = guarded_log(errors, delta);
  const ExpWeight E = expWeight(delta, errors);
  const DensityFunctions f = densityFunctions(delta, lnDelta, dp, E);
  const TableSums A = sumOverDensityFunctions(k.A, f, tt);
  const TableSums B = sumB(k.B, dp, tt);
  const TableSums C = sumC(k.C, dp, tt);
  const TableSums D = sumOverDensityFunctions(k.D, f, tt);
  const Weight G = gaussianWeight(k, d, tt.t, errors);
  const Weight S = crossoverSwitch(k, d, tt.t, errors);

  HelmholtzValues v;
  v.Phi = tt.Phi0 + lnDelta + A.S + E.E * B.S + G.W * C.S + tt.Hs * D.S + S.W * tt.Acr;
  v.dPhi_dDelta = 1 / delta + A.S_d + E.E_d * B.S + E.E * B.S_d + G.W_d * C.S + G.W * C.S_d +
                  tt.Hs * D.S_d + tt.Acr * S.W_d;
  v.d2Phi_dDelta2 = -1 / dp(2) + A.S_dd + E.E_dd * B.S + 2 * E.E_d * B.S_d + E.E * B.S_dd +
                    G.W_dd * C.S + 2 * G.W_d * C.S_d + G.W * C.S_dd + tt.Hs * D.S_dd +
                    tt.Acr * S.W_dd;
  v.dPhi_dTheta = tt.dPhi0_dTheta + A.S_t + E.E * B.S_t + G.W_t * C.S + G.W * C.S_t +
                  tt.dHs_dTheta * D.S + tt.Hs * D.S_t + S.W_t * tt.Acr + S.W * tt.dAcr_dTheta;
  v.d2Phi_dTheta2 = tt.d2Phi0_dTheta2 + A.S_tt + E.E * B.S_tt + G.W_tt * C.S + 2 * G.W_t * C.S_t +
                    G.W * C.S_tt + tt.d2Hs_dTheta2 * D.S + 2 * tt.dHs_dTheta * D.S_t +
                    tt.Hs * D.S_tt + S.W_tt * tt.Acr + 2 * S.W_t * tt.dAcr_dTheta;
  v.d2Phi_dDelta_dTheta = A.S_dt + E.E_d * B.S_t + E.E * B.S_dt + G.W_dt * C.S + G.W_d * C.S_t +
                          G.W_t * C.S_d + G.W * C.S_dt + tt.dHs_dTheta * D.S_d + tt.Hs * D.S_dt +
                          tt.dAcr_dTheta * S.W_d + tt.Acr * S.W_dt;
  return v;
}

}  // namespace aqsol
