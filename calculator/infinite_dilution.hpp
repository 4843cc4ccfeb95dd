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

// The parts of one solute's properties that depend on the temperature alone, computed once for
// all the pressures at that temperature.
struct SoluteTemperatureTerms {
  double T = 0;                                             // K
  double G2ideal = 0, S2ideal = 0, Cp2ideal = 0;            // the solute's ideal gas
  double S1ideal = 0, Cp1ideal = 0;                         // water's ideal gas
  double b15 = 0, Tm05 = 0, Tp05 = 0, Tm15 = 0, rootT = 0;  // b 10^1.5, T^-0.5, T^0.5,
                                                            // T^-1.5, (1000/T)^0.5
  double lnMolality = 0, lnRT_Mw = 0, T2 = 0;               // ln(1000/Mw), ln(R T/Mw), T^2
};

// The terms at T (K). Guarded-maths failures (T <= 0) are raised into errors.
SoluteTemperatureTerms soluteTemperatureTerms(const Constants& k, const SoluteParams& solute,
                                              double T, ErrorSlot& errors);

// Solute properties at the water state w (T, rho and its derivatives, V1, Cp1, S1, lnf1 as
// solveWater leaves them), given the terms at w.T. Guarded-maths failures (rho <= 0) are raised
// into errors.
SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& solute,
                                      const SoluteTemperatureTerms& terms, ErrorSlot& errors);

// Both steps: the terms at w.T, then the properties. The error raised first is the one the
// calculation raises first (the temperature terms can fail only where the first of them does).
SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& solute, ErrorSlot& errors);

// K(aq=>gas) = exp(lnkH) Mw / 1000 in bar/(mol/kg), the products held in extended precision.
// lnkH above 709.782712893 raises error 6 and gives 0.
long double kAqToGas(const Constants& k, double lnkH, ErrorSlot& errors);

}  // namespace aqsol
