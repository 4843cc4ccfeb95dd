// The columns of aqsol-table, the Python module and the C library: names, what they hold, their
// units in either system, and their values in a row.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/state_rows.hpp"

namespace aqsol::table {

// What a column measures, which decides its unit and its conversion.
enum class Dimension {
  kText,
  kTemperature,          // C, or K
  kPressure,             // bar, or MPa
  kDensity,              // g/cm3 | kg/m3
  kDensityPerPressure,   // g/(cm3 bar) | kg/(m3 bar)
  kDensityPerKelvin,     // g/(cm3 K) | kg/(m3 K)
  kDensityPerKelvin2,    // g/(cm3 K2) | kg/(m3 K2)
  kMolarVolume,          // cm3/mol | m3/mol
  kMolarHeatCapacity,    // cal/(mol K) | J/(mol K); entropies too
  kMolarEnergy,          // cal/mol | J/mol
  kLnPressure,           // ln of a pressure-like quantity in bar (or MPa)
  kPressurePerMolality,  // bar/(mol/kg), or MPa/(mol/kg)
};

// The units of a table: calories, cm3 and g/cm3 as the calculator computes (the default), or SI;
// pressures in bar, or in MPa; temperatures in degrees Celsius, or in kelvin.
struct Units {
  bool si = false;
  bool megapascal = false;
  bool kelvin = false;
  bool isDefault() const { return !si && !megapascal && !kelvin; }
};

struct Column {
  std::string_view name;         // as in the header line and the JSON keys (P_bar: see columnName)
  std::string_view quantity;     // for axis labels, before the unit
  std::string_view description;  // for --help and the Python docstring; lines after the first
                                 // start with 13 spaces
  Dimension dimension;
  bool solute;  // empty of meaning without a solute: left out of a table of water alone
};

inline constexpr std::array<Column, 19> kColumns = {{
    {"solute", "solute", "", Dimension::kText, true},
    {"T_C", "temperature", "temperature", Dimension::kTemperature, false},
    {"P_bar", "pressure", "pressure of the state (the saturation pressure for sat)",
     Dimension::kPressure, false},
    {"phase", "phase",
     "liquid or vapour below the critical temperature (by the side of the critical\n"
     "             density the density lies on), supercritical at or above both the critical\n"
     "             temperature and pressure, vapour above the one and below the other",
     Dimension::kText, false},
    {"rho", "density of water", "density of pure water", Dimension::kDensity, false},
    {"drho_dP", "∂ρ/∂P of water", "(d rho/dP) at constant T", Dimension::kDensityPerPressure,
     false},
    {"drho_dT", "∂ρ/∂T of water", "(d rho/dT) at constant P", Dimension::kDensityPerKelvin, false},
    {"d2rho_dT2", "∂²ρ/∂T² of water",
     "(d2 rho/dT2) at constant P, central difference over T -/+ 0.5 K",
     Dimension::kDensityPerKelvin2, false},
    {"V_H2O", "molar volume of water", "molar volume of pure water", Dimension::kMolarVolume,
     false},
    {"Cp_H2O", "heat capacity of water", "isobaric molar heat capacity of pure water",
     Dimension::kMolarHeatCapacity, false},
    {"lnf_H2O", "ln fugacity of water", "ln of the fugacity of pure water", Dimension::kLnPressure,
     false},
    {"lnkH", "ln Henry constant",
     "ln of the Henry constant kH = lim f2/x2 as x2 -> 0 (mole-fraction scale)",
     Dimension::kLnPressure, true},
    {"V2", "partial molar volume of the solute",
     "partial molar volume of the solute at infinite dilution", Dimension::kMolarVolume, true},
    {"Cp2", "partial molar heat capacity of the solute",
     "partial molar heat capacity of the solute at infinite dilution",
     Dimension::kMolarHeatCapacity, true},
    {"Gaq", "Gibbs energy of the solute",
     "Gibbs energy of the dissolved solute, standard state the hypothetical ideal\n"
     "             solution of 1 mol/kg, on the scale of its ideal-gas Gibbs energy of formation",
     Dimension::kMolarEnergy, true},
    {"S2", "entropy of the solute",
     "partial molar entropy of the dissolved solute, same standard state",
     Dimension::kMolarHeatCapacity, true},
    {"K_aq_gas", "K(aq=>gas)",
     "kH Mw/1000: the Henry constant on the molality scale (gas fugacity over\n"
     "             molality)",
     Dimension::kPressurePerMolality, true},
    {"range", "where the model was not shown to work", "", Dimension::kText, false},
    {"status", "status", "", Dimension::kText, false},
}};

inline constexpr std::size_t kSoluteColumn = 0;
inline constexpr std::size_t kTemperatureColumn = 1;
inline constexpr std::size_t kPressureColumn = 2;
inline constexpr std::size_t kPhaseColumn = 3;
inline constexpr std::size_t kFirstValueColumn = 4;  // rho
inline constexpr std::size_t kLastWaterColumn = 10;  // lnf_H2O
inline constexpr std::size_t kLastValueColumn = 16;  // K_aq_gas
inline constexpr std::size_t kRangeColumn = 17;
inline constexpr std::size_t kStatusColumn = 18;
// The numbers of a row as the interfaces keep them: T_C, P_bar and the computed values.
inline constexpr std::size_t kRowNumberCount = kLastValueColumn - kTemperatureColumn;
static_assert(kLastValueColumn - kFirstValueColumn + 1 == kComputedValueCount,
              "a computed value without its column, or a column without its value");
static_assert(kLastWaterColumn - kFirstValueColumn + 1 == kWaterValueCount);
static_assert(kStatusColumn + 1 == kColumns.size());

// The name of column `index` in `units`: P_bar becomes P_MPa in MPa, T_C becomes T_K in kelvin;
// the others keep theirs.
std::string_view columnName(std::size_t index, const Units& units);

// The unit of a dimension, as "g/cm3" or "J/(mol K)" (for ln columns: "f in bar"); `pretty`
// writes exponents as superscripts, for plots.
std::string unitText(Dimension dimension, const Units& units, bool pretty = false);

// "density of water (g/cm³)": an axis label.
std::string columnLabel(std::size_t index, const Units& units);

// A value of column `index` computed in the default units, in `units` (the default units
// return it untouched, bit for bit).
double inUnits(double value, std::size_t index, const Units& units);

// A pressure typed in `units` (bar or MPa), in bar.
double pressureInBar(double value, const Units& units);

// A temperature typed in `units` (degrees Celsius or kelvin), in degrees Celsius.
double temperatureInCelsius(double value, const Units& units);

// What the columns from T_C to K_aq_gas hold and their units, cal first and SI after, one entry
// of a line or more each, for aqsol-table's --help and the Python module's docstring.
std::string valueColumnDefinitions();

// The index of the column called `name` (exact case) in `units`, if there is one.
std::optional<std::size_t> columnIndex(std::string_view name, const Units& units = {});

// The names of the numeric columns in `units`, comma-separated, for messages.
std::string numericColumnNames(const Units& units = {});

// A column as one table, dataset or call writes it, resolved once for its units.
struct ResolvedColumn {
  std::size_t index = 0;
  std::string name;      // as in the header: "P_MPa" in MPa
  std::string quantity;  // "density of pure water"
  std::string label;     // "density of water (g/cm³)": an axis label
  std::string unit;      // "g/cm3"; "1" for the ln columns (the ln of a ratio), as data files
                         // state it
};

// The columns a table, dataset or call writes: every column in the table's order, or all but
// the solute's, or those `chosen` (indices) in the order chosen; each resolved once for the
// units.
class ColumnSet {
 public:
  explicit ColumnSet(const Units& units = {}, bool solute = true,
                     const std::vector<std::size_t>& chosen = {});

  const Units& units() const { return units_; }
  bool solute() const { return solute_; }
  // Whether the set is every column of its table, in the table's order.
  bool complete() const { return complete_; }
  const std::vector<ResolvedColumn>& all() const { return columns_; }
  // Whether the set has column `index`, and the column (which it must have).
  bool has(std::size_t index) const;
  const ResolvedColumn& operator[](std::size_t index) const;
  // The columns from `first` to `last` (indices) that the set has.
  std::vector<ResolvedColumn> between(std::size_t first, std::size_t last) const;

 private:
  Units units_;
  bool solute_;
  bool complete_;
  std::vector<ResolvedColumn> columns_;
};

// The number in column `index` of a row in `units`: T_C always, P_bar when a pressure was
// found, the computed values when the row is ok; absent otherwise and for the text columns.
std::optional<double> columnValue(const Row& row, std::size_t index, const Units& units = {});

// Every number of a row in `units`, T_C to K_aq_gas without the phase, at once: columnValue's,
// NaN where it has none. For the interfaces that take whole rows.
void rowNumbers(const Row& row, const Units& units, std::span<double, kRowNumberCount> out);

// Where column `index` (a number column) is among rowNumbers' numbers.
constexpr std::size_t rowNumberIndex(std::size_t index) {
  return index < kPhaseColumn ? index - kTemperatureColumn : index - kTemperatureColumn - 1;
}

}  // namespace aqsol::table
