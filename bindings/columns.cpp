// The columns of aqsol-table, their units and their values in a row.
#include "bindings/columns.hpp"

#include <algorithm>
#include <limits>

#include "calculator/state_rows.hpp"

namespace aqsol::table {
namespace {

constexpr double kJoulesPerCalorie = 4.184;  // the thermochemical calorie
constexpr double kBarPerMegapascal = 10;
constexpr double kLn10 = 2.302585092994045684;  // ln(MPa/bar)
constexpr double kKelvinAtZeroCelsius = 273.15;

// One dimension's units and the factor from the default unit to the SI one.
struct UnitRow {
  Dimension dimension;
  std::string_view cal, si;  // "bar" in either is written "MPa" for a table in MPa
  double toSi;
};

constexpr UnitRow kUnits[] = {
    {Dimension::kTemperature, "C", "C", 1},
    {Dimension::kPressure, "bar", "bar", 1},
    {Dimension::kDensity, "g/cm3", "kg/m3", 1e3},
    {Dimension::kDensityPerPressure, "g/(cm3 bar)", "kg/(m3 bar)", 1e3},
    {Dimension::kDensityPerKelvin, "g/(cm3 K)", "kg/(m3 K)", 1e3},
    {Dimension::kDensityPerKelvin2, "g/(cm3 K2)", "kg/(m3 K2)", 1e3},
    {Dimension::kMolarVolume, "cm3/mol", "m3/mol", 1e-6},
    {Dimension::kMolarHeatCapacity, "cal/(mol K)", "J/(mol K)", kJoulesPerCalorie},
    {Dimension::kMolarEnergy, "cal/mol", "J/mol", kJoulesPerCalorie},
    {Dimension::kLnPressure, "bar", "bar", 1},
    {Dimension::kPressurePerMolality, "bar/(mol/kg)", "bar/(mol/kg)", 1},
};

const UnitRow* unitRow(Dimension dimension) {
  for (const UnitRow& row : kUnits)
    if (row.dimension == dimension) return &row;
  return nullptr;
}

// The factor from bar to MPa that a dimension's values take: pressures divide, quantities per
// pressure multiply; ln columns move by ln 10 instead.
double megapascalFactor(Dimension dimension) {
  switch (dimension) {
    case Dimension::kPressure:
    case Dimension::kPressurePerMolality:
      return 1 / kBarPerMegapascal;
    case Dimension::kDensityPerPressure:
      return kBarPerMegapascal;
    default:
      return 1;
  }
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// lnf_H2O -> f, lnkH -> kH: the quantity under the logarithm.
std::string_view lnSymbol(std::string_view name) {
  return name.substr(2, name.find('_') - 2);
}

}  // namespace

std::string_view columnName(std::size_t index, const Units& units) {
  if (index == kPressureColumn && units.megapascal) return "P_MPa";
  if (index == kTemperatureColumn && units.kelvin) return "T_K";
  return kColumns[index].name;
}

std::string unitText(Dimension dimension, const Units& units, bool pretty) {
  const UnitRow* row = unitRow(dimension);
  if (row == nullptr) return {};
  if (dimension == Dimension::kTemperature) return units.kelvin ? "K" : pretty ? "°C" : "C";
  std::string text(units.si ? row->si : row->cal);
  if (units.megapascal) replaceAll(text, "bar", "MPa");
  if (pretty) {
    replaceAll(text, "cm3", "cm³");
    replaceAll(text, "m3", "m³");
    replaceAll(text, "K2", "K²");
  }
  return text;
}

std::string columnLabel(std::size_t index, const Units& units) {
  const Column& column = kColumns[index];
  std::string unit = unitText(column.dimension, units, true);
  if (column.dimension == Dimension::kLnPressure)
    unit = std::string(lnSymbol(column.name)) + " in " + unit;
  return unit.empty() ? std::string(column.quantity)
                      : std::string(column.quantity) + " (" + unit + ")";
}

double inUnits(double value, std::size_t index, const Units& units) {
  const Dimension dimension = kColumns[index].dimension;
  if (dimension == Dimension::kTemperature)
    return units.kelvin ? value + kKelvinAtZeroCelsius : value;
  if (units.si) {
    const UnitRow* row = unitRow(dimension);
    if (row != nullptr && row->toSi != 1) value *= row->toSi;
  }
  if (units.megapascal) {
    if (dimension == Dimension::kLnPressure) return value - kLn10;
    if (const double factor = megapascalFactor(dimension); factor != 1) value *= factor;
  }
  return value;
}

double pressureInBar(double value, const Units& units) {
  return units.megapascal ? value * kBarPerMegapascal : value;
}

double temperatureInCelsius(double value, const Units& units) {
  return units.kelvin ? value - kKelvinAtZeroCelsius : value;
}

std::string valueColumnDefinitions() {
  const Units cal, si{true, false};
  std::string text;
  for (std::size_t n = kTemperatureColumn; n <= kLastValueColumn; ++n) {
    const Column& column = kColumns[n];
    std::string name(column.name);
    name.resize(11, ' ');
    text += "  " + name + std::string(column.description);
    if (column.dimension == Dimension::kLnPressure) {
      text += ", " + std::string(lnSymbol(column.name)) + " in bar (or MPa)";
    } else if (column.dimension == Dimension::kPressure ||
               column.dimension == Dimension::kPressurePerMolality ||
               column.dimension == Dimension::kTemperature) {
      text += ", " + unitText(column.dimension, cal) +
              (column.dimension == Dimension::kTemperature ? " (or K)" : " (or MPa)");
    } else if (column.dimension != Dimension::kText) {
      text += ", " + unitText(column.dimension, cal) + " | si " + unitText(column.dimension, si);
    }
    text += "\n";
  }
  return text;
}

std::optional<std::size_t> columnIndex(std::string_view name, const Units& units) {
  for (std::size_t n = 0; n < kColumns.size(); ++n)
    if (columnName(n, units) == name) return n;
  return std::nullopt;
}

std::string numericColumnNames(const Units& units) {
  std::string names;
  for (std::size_t n = kTemperatureColumn; n <= kLastValueColumn; ++n) {
    if (n == kPhaseColumn) continue;
    if (!names.empty()) names += ", ";
    names += columnName(n, units);
  }
  return names;
}

void rowNumbers(const Row& row, const Units& units, std::span<double, kRowNumberCount> out) {
  constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
  out[rowNumberIndex(kTemperatureColumn)] = inUnits(row.temperatureC, kTemperatureColumn, units);
  out[rowNumberIndex(kPressureColumn)] =
      row.pressureBar ? inUnits(*row.pressureBar, kPressureColumn, units) : kNotANumber;
  const std::size_t first = rowNumberIndex(kFirstValueColumn);
  if (!row.status.empty()) {
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(), kNotANumber);
    return;
  }
  const auto values = computedValues(row);
  const bool convert = !units.isDefault();  // the default units keep every bit
  for (std::size_t n = 0; n < values.size(); ++n)
    out[first + n] = convert ? inUnits(values[n], kFirstValueColumn + n, units) : values[n];
}

std::optional<double> columnValue(const Row& row, std::size_t index, const Units& units) {
  if (index == kTemperatureColumn) return inUnits(row.temperatureC, index, units);
  if (index == kPressureColumn) {
    if (!row.pressureBar) return {};
    return inUnits(*row.pressureBar, index, units);
  }
  if (index < kFirstValueColumn || index > kLastValueColumn || !row.status.empty()) return {};
  return inUnits(computedValues(row)[index - kFirstValueColumn], index, units);
}

ColumnSet::ColumnSet(const Units& units, bool solute, const std::vector<std::size_t>& chosen)
    : units_(units), solute_(solute), complete_(chosen.empty()) {
  std::vector<std::size_t> indices = chosen;
  for (std::size_t index = 0; complete_ && index < kColumns.size(); ++index)
    if (solute_ || !kColumns[index].solute) indices.push_back(index);
  for (std::size_t index : indices) {
    const Column& column = kColumns[index];
    columns_.push_back(
        {index, std::string(columnName(index, units)), std::string(column.quantity),
         columnLabel(index, units),
         column.dimension == Dimension::kLnPressure ? "1" : unitText(column.dimension, units)});
  }
}

bool ColumnSet::has(std::size_t index) const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [&](const ResolvedColumn& column) { return column.index == index; });
}

const ResolvedColumn& ColumnSet::operator[](std::size_t index) const {
  return *std::find_if(columns_.begin(), columns_.end(),
                       [&](const ResolvedColumn& column) { return column.index == index; });
}

std::vector<ResolvedColumn> ColumnSet::between(std::size_t first, std::size_t last) const {
  std::vector<ResolvedColumn> chosen;
  for (const ResolvedColumn& column : columns_)
    if (column.index >= first && column.index <= last) chosen.push_back(column);
  return chosen;
}

}  // namespace aqsol::table
