// The columns of aqsol-table: names, what they hold and their units, and their values in a row.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace aqsol::table {

struct Row;

struct Column {
  std::string_view name;   // as in the header line and the JSON keys
  std::string_view label;  // quantity and unit, for axis labels
};

inline constexpr std::array<Column, 18> kColumns = {{
    {"solute", "solute"},
    {"T_C", "temperature (°C)"},
    {"P_bar", "pressure (bar)"},
    {"rho", "density of water (g/cm³)"},
    {"drho_dP", "∂ρ/∂P of water (g/(cm³ bar))"},
    {"drho_dT", "∂ρ/∂T of water (g/(cm³ K))"},
    {"d2rho_dT2", "∂²ρ/∂T² of water (g/(cm³ K²))"},
    {"V_H2O", "molar volume of water (cm³/mol)"},
    {"Cp_H2O", "heat capacity of water (cal/(mol K))"},
    {"lnf_H2O", "ln fugacity of water (f in bar)"},
    {"lnkH", "ln Henry constant (kH in bar)"},
    {"V2", "partial molar volume of the solute (cm³/mol)"},
    {"Cp2", "partial molar heat capacity of the solute (cal/(mol K))"},
    {"Gaq", "Gibbs energy of the solute (cal/mol)"},
    {"S2", "entropy of the solute (cal/(mol K))"},
    {"K_aq_gas", "K(aq=>gas) (bar/(mol/kg))"},
    {"range", "where the model was not shown to work"},
    {"status", "status"},
}};

inline constexpr std::size_t kTemperatureColumn = 1;
inline constexpr std::size_t kPressureColumn = 2;
inline constexpr std::size_t kFirstValueColumn = 3;  // rho
inline constexpr std::size_t kLastValueColumn = 15;  // K_aq_gas
inline constexpr std::size_t kRangeColumn = 16;

// What the columns from T_C to K_aq_gas hold, one line or more each, for aqsol-table's --help and
// the Python module's docstring.
inline constexpr std::string_view kValueColumnDefinitions =
    R"(  T_C        temperature, C
  P_bar      pressure of the state (the saturation pressure for sat), bar
  rho        density of pure water, g/cm3
  drho_dP    (d rho/dP) at constant T, g/(cm3 bar)
  drho_dT    (d rho/dT) at constant P, g/(cm3 K)
  d2rho_dT2  (d2 rho/dT2) at constant P, central difference over T -/+ 0.5 K, g/(cm3 K2)
  V_H2O      molar volume of pure water, cm3/mol
  Cp_H2O     isobaric molar heat capacity of pure water, cal/(mol K)
  lnf_H2O    ln of the fugacity of pure water, f in bar
  lnkH       ln of the Henry constant kH = lim f2/x2 as x2 -> 0 (mole-fraction scale), kH in bar
  V2         partial molar volume of the solute at infinite dilution, cm3/mol
  Cp2        partial molar heat capacity of the solute at infinite dilution, cal/(mol K)
  Gaq        Gibbs energy of the dissolved solute, standard state the hypothetical ideal
             solution of 1 mol/kg, on the scale of its ideal-gas Gibbs energy of formation,
             cal/mol
  S2         partial molar entropy of the dissolved solute, same standard state, cal/(mol K)
  K_aq_gas   kH Mw/1000: the Henry constant on the molality scale (gas fugacity over
             molality), bar/(mol/kg)
)";

// The index of the column called `name` (exact case), if there is one.
std::optional<std::size_t> columnIndex(std::string_view name);

// The names of the numeric columns, comma-separated, for messages.
std::string numericColumnNames();

// The number in column `index` of a row: T_C always, P_bar when a pressure was found, the
// computed values when the row is ok; absent otherwise and for the text columns.
std::optional<double> columnValue(const Row& row, std::size_t index);

}  // namespace aqsol::table
