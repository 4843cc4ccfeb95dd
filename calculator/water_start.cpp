// Start values of the water density solver and the saturation pressure of water.
#include "calculator/water.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {

double saturationPressure(const Constants& k, double T, ErrorSlot& errors) {
  const double x = 1 - T / k.Tc;
  const auto& a = k.a;
  const double L = a[1] * x + a[2] * guarded_pow(errors, x, 1.5) +
                   a[3] * guarded_pow(errors, x, 3) + a[4] * guarded_pow(errors, x, 3.5) +
                   a[5] * guarded_pow(errors, x, 4) + a[6] * guarded_pow(errors, x, 7.5);
  return k.Pc * guarded_exp(errors, static_cast<long double>((k.Tc / T) * L));
}

namespace {

// Reduced density of the saturated liquid from x = 1 - T/Tc.
double saturatedLiquidDelta(const Constants& k, double x, ErrorSlot& errors) {
  const auto& b = k.b;
  return 1 + b[1] * guarded_pow(errors, x, 1.0 / 3) + b[2] * guarded_pow(errors, x, 2.0 / 3) +
         b[3] * guarded_pow(errors, x, 5.0 / 3) + b[4] * guarded_pow(errors, x, 16.0 / 3) +
         b[5] * guarded_pow(errors, x, 43.0 / 3) + b[6] * guarded_pow(errors, x, 110.0 / 3);
}

// Empirical molar volume (cm3/mol) of compressed liquid or dense fluid at T (K), by pressure
// band (bar); the first band that holds P is used.
double compressedLiquidVolume(double T, const TemperaturePowers& p, double P) {
  if (P <= 1000)
    return 116.271 - 1.03596 * T + 0.00390561 * p.T2 - 6.2842e-6 * p.T3 + 3.7039e-9 * p.T4;
  if (P <= 2000) return 5.851212 + 0.0822269 * T - 0.000199974 * p.T2 + 1.82853e-7 * p.T3;
  if (P <= 3000) return 23.666 - 0.04115 * T + 6.96e-5 * p.T2 - 1.462e-8 * p.T3;
  if (P <= 5000) return 13.956 + 0.002059 * T + 1.3935e-5 * p.T2;
  if (P <= 10000) return 13.737 + 0.0032645 * T + 4.822e-6 * p.T2;
  return 11.894 + 0.007639 * T;
}

// waterStart, with the saturation pressure at w.T taken from knownPsat and the powers of w.T
// from knownPowers when they are given.
WaterStatus startValues(const Constants& k, WaterState& w, ErrorSlot& errors,
                        const double* knownPsat, const TemperaturePowers* knownPowers) {
  if (w.T < k.Tc) {
    w.x = 1 - w.T / k.Tc;
    w.Psat = knownPsat != nullptr ? *knownPsat : saturationPressure(k, w.T, errors);
  } else if (w.P == 0) {
    return WaterStatus::kNoSaturationPressure;
  }
  if (w.P == 0) w.P = w.Psat;
  if (w.P < w.Psat) {
    w.delta = k.Mw / (k.R_bar * w.T / w.P) / k.rho_c;  // ideal gas
  } else if (w.P == w.Psat) {
    w.delta = saturatedLiquidDelta(k, w.x, errors);
  } else {
    const TemperaturePowers powers = knownPowers ? *knownPowers : temperaturePowers(w.T);
    w.delta = k.Mw / compressedLiquidVolume(w.T, powers, w.P) / k.rho_c;
  }
  return errors.has_error() ? WaterStatus::kRuntimeError : WaterStatus::kOk;
}

}  // namespace

TemperaturePowers temperaturePowers(double T) {
  ErrorSlot never_raised;  // whole exponents raise no error
  return {guarded_pow(never_raised, T, 2), guarded_pow(never_raised, T, 3),
          guarded_pow(never_raised, T, 4)};
}

WaterStatus waterStart(const Constants& k, WaterState& w, ErrorSlot& errors) {
  return startValues(k, w, errors, nullptr, nullptr);
}

WaterStatus WaterStarts::start(const Constants& k, WaterState& w, ErrorSlot& errors) {
  if (!(w.T == T_)) {
    T_ = w.T;
    powers_ = temperaturePowers(w.T);
    known_ = false;
    if (w.T < k.Tc) {
      ErrorSlot scratch;
      Psat_ = saturationPressure(k, w.T, scratch);
      known_ = !scratch.has_error();
    }
  }
  return startValues(k, w, errors, known_ ? &Psat_ : nullptr, &powers_);
}

}  // namespace aqsol
