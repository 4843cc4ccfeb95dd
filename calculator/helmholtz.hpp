// Dimensionless Helmholtz function of water, Phi(delta, theta), and its partial derivatives.
#pragma once

#include <array>

#include "calculator/constants.hpp"
#include "services/errors.hpp"

namespace aqsol {

// Phi and its first and second partial derivatives in delta = rho/rho_c and theta = -Tc/T.
struct HelmholtzValues {
  double Phi = 0;
  double dPhi_dDelta = 0;
  double d2Phi_dDelta2 = 0;
  double dPhi_dTheta = 0;
  double d2Phi_dTheta2 = 0;
  double d2Phi_dDelta_dTheta = 0;
};

// The parts of Phi that depend on temperature alone, computed once per density solve.
struct TemperatureTerms {
  static constexpr int kMinPower = -2, kMaxPower = 11;  // theta^k is stored for k = -2..11
  static constexpr int kPowerCount = kMaxPower - kMinPower + 1;
  double T = 0;      // K, the temperature they are of
  double theta = 0;  // -Tc/T
  double t = 0;      // 1 + theta
  double t2 = 0;     // t^2
  double tr2 = 0;    // (t / w_t)^2, the crossover distance's temperature part
  std::array<double, kPowerCount> thetaPow{};             // thetaPow[k - kMinPower] = theta^k
  double Phi0 = 0, dPhi0_dTheta = 0, d2Phi0_dTheta2 = 0;  // ideal part
  double Hs = 0, dHs_dTheta = 0, d2Hs_dTheta2 = 0;        // fourth weight exp(-h (theta + 3))
  double Acr = 0, dAcr_dTheta = 0;                        // crossover amplitude (linear in t)

  double thetaPower(int k) const { return thetaPow[k - kMinPower]; }
};

// Temperature terms at T (K). Guarded-maths failures (T < 0) are raised into errors.
TemperatureTerms temperatureTerms(const Constants& k, double T, ErrorSlot& errors);

// A double sum over one table and its five partial derivatives.
struct TableSums {
  double S = 0, S_d = 0, S_dd = 0, S_t = 0, S_tt = 0, S_dt = 0;
};

// delta^k for k = -3..7, the powers the density functions and tables use.
struct DeltaPowers {
  static constexpr int kMinPower = -3, kMaxPower = 7;
  static constexpr int kCount = kMaxPower - kMinPower + 1;
  std::array<double, kCount> pow{};
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

// Phi's first and second delta-derivatives at one reduced density, which is all a Newton step
// on delta needs, with the density-dependent parts the remaining derivatives are built from.
// The table sums hold S, S_d and S_dd until completeHelmholtz adds the theta-derivatives.
struct DensityEvaluation {
  double delta = 0;
  double lnDelta = 0;
  DeltaPowers dp;
  ExpWeight E;
  DensityFunctions f;
  TableSums A, B, C, D;
  Weight G, S;  // Gaussian weight and crossover switch
  double dPhi_dDelta = 0;
  double d2Phi_dDelta2 = 0;
};

// The Gaussian weight exp(q) around the critical point and its derivatives at d = delta - 1 (a
// tiny negative constant where q < -88). Guarded-maths failures are raised into errors.
Weight gaussianWeight(const Constants& k, double d, const TemperatureTerms& tt, ErrorSlot& errors);

// The crossover switch at d = delta - 1: 0 far from the critical point, rising towards 1 as the
// scaled distance r from it shrinks, with its derivatives. Failures are raised into errors.
Weight crossoverSwitch(const Constants& k, double d, const TemperatureTerms& tt, ErrorSlot& errors);

// Fills e at reduced density delta and the given temperature terms. Guarded-maths failures
// (delta <= 0, overflowing exponentials) are raised into errors; the values are then those the
// neutral results of the failed operations give.
void evaluateDensityDerivatives(const Constants& k, double delta, const TemperatureTerms& tt,
                                ErrorSlot& errors, DensityEvaluation& e);

// Phi and all its derivatives from an evaluation at the same temperature terms; adds the
// theta-derivative sums to e. The values are the same doubles evaluateHelmholtz
// gives.
HelmholtzValues completeHelmholtz(const Constants& k, DensityEvaluation& e,
                                  const TemperatureTerms& tt);

// Phi and its derivatives at reduced density delta and the given temperature terms: both steps
// above. Failures as for evaluateDensityDerivatives.
HelmholtzValues evaluateHelmholtz(const Constants& k, double delta, const TemperatureTerms& tt,
                                  ErrorSlot& errors);

}  // namespace aqsol
