// Properties of a solute at infinite dilution in water.
#pragma once

#include "calculator/constants.hpp"
#include "calculator/solutes.hpp"
#include "calculator/water.hpp"
#include "services/errors.hpp"

namespace aqsol {

// The standard properties of a dissolved solute at infinite dilution.
struct SoluteResults {
  double lnkH = 0;  // ln Henry constant, kH in bar
  double V2 = 0;    // partial molar volume, cm3/mol
  double Cp2 = 0;   // partial molar heat capacity, cal/(mol K)
  double Gaq = 0;   // Gibbs energy, molality standard state, cal/mol
  double S2 = 0;    // partial molar entropy, molality standard state, cal/(mol K)
};

// Solute properties at the water state w (T, rho and its derivatives, V1, Cp1, S1, lnf1 as
// solveWater leaves them). Guarded-maths failures (T <= 0, rho <= 0) are raised into errors.
SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& solute, ErrorSlot& errors);

// K(aq=>gas) = exp(lnkH) Mw / 1000 in bar/(mol/kg), the products held in extended precision.
// lnkH above 709.782712893 raises error 6 and gives 0.
long double kAqToGas(const Constants& k, double lnkH, ErrorSlot& errors);

}  // namespace aqsol
