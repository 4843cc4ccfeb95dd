// The twenty solutes of the calculator and the selection of the current one.
#pragma once

#include <span>
#include <string_view>

#include "calculator/constants.hpp"

namespace aqsol {

// Where a species file's solute was compared with a reference, for its range flags.
struct SoluteProvenance {
  double fromK = 0, toK = 0;  // the temperatures compared over (T_min_C..T_max_C); 0, 0: none
  bool deviates = false;      // its worst residual in ln kH exceeds the reference-deviates limit
};

// Parameters of one solute for the infinite-dilution model.
struct SoluteParams {
  std::string_view name;  // chemical formula, empty when none is selected
  double xi = 0;          // weight of the density term against the fugacity term, -
  double a = 0;           // constant part of the interaction term, cm3/g
  double b = 0;           // coefficient of (1000/T)^0.5 in the interaction term, cm3/g
  double gf298 = 0;       // Gibbs energy of formation of the ideal gas at 298.15 K, cal/mol
  double s298 = 0;        // entropy of the ideal gas at 298.15 K, cal/(mol K)
  double cpA = 0;         // ideal-gas Cp = cpA + cpB 1e-3 T - cpC 1e5 / T^2, cal/(mol K)
  double cpB = 0;
  double cpC = 0;
  // Null for the built-in solutes, whose flags come from the validity tables; a species file's
  // solute's otherwise (see species.hpp).
  const SoluteProvenance* provenance = nullptr;

  IdealGasData idealGas() const { return {gf298, s298, cpA, cpB, cpC}; }
};

// How many solutes one request may name, repeats and "all" counted: a mistyped or hostile list
// ("all,all,...") should not ask for a table of unbounded width.
inline constexpr std::size_t kMostSolutesNamed = 10'000;

// The solute table in menu order: entry n - 1 is menu number n (1 to 20).
std::span<const SoluteParams> soluteTable();

// Loads the solute whose menu number equals `number` exactly (3 and 3.0 select O2) into
// `current`. A number that matches no entry (2.5, 0, 21) leaves `current` unchanged.
void selectSolute(double number, SoluteParams& current);

// The solute a text names: its formula in any case ("co2"), or its menu number in plain
// decimal digits ("5"; not "5.0", "+5" or "5e0"); null for any other text.
const SoluteParams* findSolute(std::string_view text);

}  // namespace aqsol
