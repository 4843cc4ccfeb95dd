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
  static constexpr int kMinPower = -2;                    // theta^k is stored for k = -2..11
  double theta = 0;                                       // -Tc/T
  double t = 0;                                           // 1 + theta
  std::array<double, 14> thetaPow{};                      // thetaPow[k - kMinPower] = theta^k
  double Phi0 = 0, dPhi0_dTheta = 0, d2Phi0_dTheta2 = 0;  // ideal part
  double Hs = 0, dHs_dTheta = 0, d2Hs_dTheta2 = 0;        // fourth weight exp(-h (theta + 3))
  double Acr = 0, dAcr_dTheta = 0;                        // crossover amplitude (linear in t)

  double thetaPower(int k) const { return thetaPow[k - kMinPower]; }
};

// Temperature terms at T (K). Guarded-maths failures (T < 0) are raised into errors.
TemperatureTerms temperatureTerms(const Constants& k, double T, ErrorSlot& errors);

// Phi and its derivatives at reduced density delta and the given temperature terms.
// Guarded-maths failures (delta <= 0, overflowing exponentials) are raised into errors; the
// values are then those the neutral results of the failed operations give.
HelmholtzValues evaluateHelmholtz(const Constants& k, double delta, const TemperatureTerms& tt,
                                  ErrorSlot& errors);

}  // namespace aqsol
