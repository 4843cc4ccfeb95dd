// Properties of a solute at infinite dilution in water.
#include "calculator/infinite_dilution.hpp"

#include "calculator/ideal_gas.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// The solute-water interaction h = a + b (1000/T)^0.5 (cm3/g) and the first and second
// temperature derivatives of T rho h.
struct Interaction {
  double h = 0;
  double D1 = 0;
  double D2 = 0;
};

Interaction interaction(const WaterState& w, const SoluteParams& s, ErrorSlot& errors) {
  const double T = w.T, rho = w.rho, rhoT = w.drho_dT, rhoTT = w.d2rho_dT2;
  const double b15 = s.b * guarded_pow(errors, 10, 1.5);
  const double Tm05 = guarded_pow(errors, T, -0.5), Tp05 = guarded_pow(errors, T, 0.5);
  Interaction i;
  i.h = s.a + s.b * guarded_pow(errors, 1000 / T, 0.5);
  i.D1 = s.a * (rho + T * rhoT) + b15 * (0.5 * Tm05 * rho + Tp05 * rhoT);
  i.D2 = s.a * (2 * rhoT + T * rhoTT) +
         b15 * (-0.25 * guarded_pow(errors, T, -1.5) * rho + Tm05 * rhoT + Tp05 * rhoTT);
  return i;
}

}  // namespace

SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& s, ErrorSlot& errors) {
  const double T = w.T, rho = w.rho, rhoP = w.drho_dP, rhoT = w.drho_dT, rhoTT = w.d2rho_dT2;
  const IdealGasData solute = s.idealGas(), water = k.waterIdealGas();
  const double G2ideal = idealGasG(k, solute, T, errors);
  const double S2ideal = idealGasS(k, solute, T, errors);
  const double Cp2ideal = idealGasCp(k, solute, T, errors);
  const double S1ideal = idealGasS(k, water, T, errors);
  const double Cp1ideal = idealGasCp(k, water, T, errors);
  const Interaction in = interaction(w, s, errors);
  const double lnIdealDensity = guarded_log(errors, k.R_bar * T * rho / k.Mw);
  const double lnMolality = guarded_log(errors, 1000 / k.Mw);  // mole fraction -> molality
  const double R = k.R_cal;

  SoluteResults r;
  r.lnkH = (1 - s.xi) * w.lnf1 + s.xi * lnIdealDensity + rho * in.h;
  r.Gaq = G2ideal - R * T * lnMolality + R * T * (1 - s.xi) * w.lnf1 +
          R * T * s.xi * lnIdealDensity + R * T * rho * in.h;
  r.S2 = S2ideal + R * lnMolality + (1 - s.xi) * (w.S1 - S1ideal) -
         R * s.xi *
             (guarded_log(errors, rho) + guarded_log(errors, k.R_bar * T / k.Mw) + 1 +
              (T / rho) * rhoT) -
         R * in.D1;
  r.V2 = (1 - s.xi) * w.V1 + s.xi * k.R_bar * (T / rho) * rhoP + k.R_bar * T * in.h * rhoP;
  r.Cp2 = Cp2ideal + (1 - s.xi) * (w.Cp1 - Cp1ideal) -
          R * s.xi *
              (1 + 2 * (T / rho) * rhoT -
               guarded_pow(errors, T / rho, 2) * guarded_pow(errors, rhoT, 2) +
               (guarded_pow(errors, T, 2) / rho) * rhoTT) -
          R * T * in.D2;
  return r;
}

long double kAqToGas(const Constants& k, double lnkH, ErrorSlot& errors) {
  const auto e = static_cast<long double>(guarded_exp(errors, static_cast<long double>(lnkH)));
  return e * static_cast<long double>(k.Mw) / 1000.0L;
}

}  // namespace aqsol
