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

// The index of the column called `name` (exact case), if there is one.
std::optional<std::size_t> columnIndex(std::string_view name);

// The names of the numeric columns, comma-separated, for messages.
std::string numericColumnNames();

// The number in column `index` of a row: T_C always, P_bar when a pressure was found, the
// computed values when the row is ok; absent otherwise and for the text columns.
std::optional<double> columnValue(const Row& row, std::size_t index);

}  // namespace aqsol::table
