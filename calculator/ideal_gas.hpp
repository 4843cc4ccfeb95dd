// Ideal-gas Gibbs energy, entropy and heat capacity from data at 298.15 K.
#pragma once

#include "calculator/constants.hpp"
#include "services/errors.hpp"

namespace aqsol {

// G(T) in cal/mol, integrated from T0 = 298.15 K. T <= 0 raises error 5.
double idealGasG(const Constants& k, const IdealGasData& d, double T, ErrorSlot& errors);

// S(T) in cal/(mol K). T <= 0 raises error 5.
double idealGasS(const Constants& k, const IdealGasData& d, double T, ErrorSlot& errors);

// Cp(T) in cal/(mol K).
double idealGasCp(const Constants& k, const IdealGasData& d, double T, ErrorSlot& errors);

}  // namespace aqsol
