// Ideal-gas Gibbs energy, entropy and heat capacity from data at 298.15 K.
#include "calculator/ideal_gas.hpp"

#include "services/guarded_math.hpp"

namespace aqsol {

double idealGasG(const Constants& k, const IdealGasData& d, double T, ErrorSlot& errors) {
  const double T0 = k.T0;
  return d.g298 - d.s298 * (T - T0) - d.cpA * (T * guarded_log(errors, T / T0) - (T - T0)) -
         (d.cpB * 1e-3 / 2) * guarded_pow(errors, T - T0, 2) +
         (d.cpC * 1e5 / 2) * guarded_pow(errors, T / T0 - 1, 2) / T;
}

double idealGasS(const Constants& k, const IdealGasData& d, double T, ErrorSlot& errors) {
  const double T0 = k.T0;
  return d.s298 + d.cpA * guarded_log(errors, T / T0) + d.cpB * 1e-3 * (T - T0) +
         (d.cpC * 1e5 / 2) * (1 / guarded_pow(errors, T, 2) - 1 / guarded_pow(errors, T0, 2));
}

double idealGasCp(const Constants&, const IdealGasData& d, double T, ErrorSlot& errors) {
  return d.cpA + d.cpB * 1e-3 * T - d.cpC * 1e5 / guarded_pow(errors, T, 2);
}

}  // namespace aqsol
