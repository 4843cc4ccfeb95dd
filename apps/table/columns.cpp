// The columns of aqsol-table and their values in a row.
#include "apps/table/columns.hpp"

#include "apps/table/rows.hpp"

namespace aqsol::table {

std::optional<std::size_t> columnIndex(std::string_view name) {
  for (std::size_t n = 0; n < kColumns.size(); ++n)
    if (kColumns[n].name == name) return n;
  return std::nullopt;
}

std::string numericColumnNames() {
  std::string names;
  for (std::size_t n = kTemperatureColumn; n <= kLastValueColumn; ++n) {
    if (!names.empty()) names += ", ";
    names += kColumns[n].name;
  }
  return names;
}

std::optional<double> columnValue(const Row& row, std::size_t index) {
  if (index == kTemperatureColumn) return row.temperatureC;
  if (index == kPressureColumn) return row.pressureBar;
  if (index < kFirstValueColumn || index > kLastValueColumn || !row.status.empty()) return {};
  return computedValues(row)[index - kFirstValueColumn];
}

}  // namespace aqsol::table
