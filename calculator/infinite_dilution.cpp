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

Interaction interaction(const WaterState& w, const SoluteParams& s,
                        const SoluteTemperatureTerms& tt) {
  const double T = w.T, rho = w.rho, rhoT = w.drho_dT, rhoTT = w.d2rho_dT2;
  Interaction i;
  i.h = s.a + s.b * tt.rootT;
  i.D1 = s.a * (rho + T * rhoT) + tt.b15 * (0.5 * tt.Tm05 * rho + tt.Tp05 * rhoT);
  i.D2 = s.a * (2 * rhoT + T * rhoTT) +
         tt.b15 * (-0.25 * tt.Tm15 * rho + tt.Tm05 * rhoT + tt.Tp05 * rhoTT);
  return i;
}

}  // namespace

SoluteTemperatureTerms soluteTemperatureTerms(const Constants& k, const SoluteParams& s, double T,
                                              ErrorSlot& errors) {
  const IdealGasData solute = s.idealGas(), water = k.waterIdealGas();
  SoluteTemperatureTerms tt;
  tt.T = T;
  tt.G2ideal = idealGasG(k, solute, T, errors);
  tt.S2ideal = idealGasS(k, solute, T, errors);
  tt.Cp2ideal = idealGasCp(k, solute, T, errors);
  tt.S1ideal = idealGasS(k, water, T, errors);
  tt.Cp1ideal = idealGasCp(k, water, T, errors);
  tt.b15 = s.b * guarded_pow(errors, 10, 1.5);
  tt.Tm05 = guarded_pow(errors, T, -0.5);
  tt.Tp05 = guarded_pow(errors, T, 0.5);
  tt.rootT = guarded_pow(errors, 1000 / T, 0.5);
  tt.Tm15 = guarded_pow(errors, T, -1.5);
  tt.lnMolality = guarded_log(errors, 1000 / k.Mw);  // mole fraction -> molality
  tt.lnRT_Mw = guarded_log(errors, k.R_bar * T / k.Mw);
  tt.T2 = guarded_pow(errors, T, 2);
  return tt;
}

SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& s, const SoluteTemperatureTerms& tt,
                                      ErrorSlot& errors) {
  const double T = w.T, rho = w.rho, rhoP = w.drho_dP, rhoT = w.drho_dT, rhoTT = w.d2rho_dT2;
  const Interaction in = interaction(w, s, tt);
  const double lnIdealDensity = guarded_log(errors, k.R_bar * T * rho / k.Mw);
  const double R = k.R_cal;

  SoluteResults r;
  r.lnkH = (1 - s.xi) * w.lnf1 + s.xi * lnIdealDensity + rho * in.h;
  r.Gaq = tt.G2ideal - R * T * tt.lnMolality + R * T * (1 - s.xi) * w.lnf1 +
          R * T * s.xi * lnIdealDensity + R * T * rho * in.h;
  r.S2 = tt.S2ideal + R * tt.lnMolality + (1 - s.xi) * (w.S1 - tt.S1ideal) -
         R * s.xi * (guarded_log(errors, rho) + tt.lnRT_Mw + 1 + (T / rho) * rhoT) - R * in.D1;
  r.V2 = (1 - s.xi) * w.V1 + s.xi * k.R_bar * (T / rho) * rhoP + k.R_bar * T * in.h * rhoP;
  r.Cp2 =
      tt.Cp2ideal + (1 - s.xi) * (w.Cp1 - tt.Cp1ideal) -
      R * s.xi *
          (1 + 2 * (T / rho) * rhoT -
           guarded_pow(errors, T / rho, 2) * guarded_pow(errors, rhoT, 2) + (tt.T2 / rho) * rhoTT) -
      R * T * in.D2;
  return r;
}

SoluteResults computeInfiniteDilution(const Constants& k, const WaterState& w,
                                      const SoluteParams& s, ErrorSlot& errors) {
  return computeInfiniteDilution(k, w, s, soluteTemperatureTerms(k, s, w.T, errors), errors);
}

long double kAqToGas(const Constants& k, double lnkH, ErrorSlot& errors) {
  const auto e = static_cast<long double>(guarded_exp(errors, static_cast<long double>(lnkH)));
  return e * static_cast<long double>(k.Mw) / 1000.0L;
}

}  // namespace aqsol
