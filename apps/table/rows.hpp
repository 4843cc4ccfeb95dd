// Rows of aqsol-table: computing one (solute, T, P) state and its text as CSV, TSV or JSON.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "apps/table/columns.hpp"
#include "apps/table/options.hpp"
#include "calculator/constants.hpp"
#include "calculator/infinite_dilution.hpp"
#include "calculator/validity.hpp"
#include "calculator/water.hpp"

namespace aqsol::table {

// One computed row. `pressureBar` is the pressure used (absent when none could be found);
// `water` and `solute` are meaningful only when `status` is empty (ok).
struct Row {
  std::string_view soluteName;
  double temperatureC = 0;
  std::optional<double> pressureBar;
  WaterState water;
  SoluteResults solute;
  double kAqGas = 0;
  Phase phase = Phase::kLiquid;  // ok rows: the phase of the water
  unsigned range = 0;            // ok rows: RangeFlag bits, where the model was not shown to work
  std::string status;            // empty for ok
};

// One state to compute: the solute (none for the water part alone), temperature and pressure.
struct RowRequest {
  const SoluteParams* solute = nullptr;
  double temperatureC = 0;
  PressureItem pressure;
};

// Row `index` of the table `options` asks for: solutes outermost, then the states (T, then P
// for a grid; in their order for a list).
RowRequest requestFor(const Options& options, std::size_t index);

// How a table is written: its format, its units, and whether it has the solute's columns.
struct TableStyle {
  Format format = Format::kCsv;
  Units units;
  bool solute = true;
};

// Whether column `index` is part of a table of this style.
bool hasColumn(const TableStyle& style, std::size_t index);

// Computes rows[n] for requests[n] from a fresh water state each, as one pass of the calculator
// does, with the water of all the rows solved together (several states at once where the
// processor allows; the results are those of one state at a time). Never throws; a state that
// cannot be computed gets a status message, as does one with a solute and a value that is not
// finite. Without a solute the row holds the water part alone.
// rows.size() must equal requests.size(). `widest` limits the lanes (for comparisons).
void computeRows(const Constants& k, std::span<const RowRequest> requests, std::span<Row> rows,
                 LaneWidth widest = LaneWidth::kEight);

// computeRows for one state with a solute.
Row computeRow(const Constants& k, const SoluteParams& solute, double temperatureC,
               const PressureItem& pressure);

// computeRows for one state without a solute.
Row computeWaterRow(const Constants& k, double temperatureC, const PressureItem& pressure);

// Gives an ok row the status "the properties are not finite at this state" when one of
// `values` is not finite.
void checkFinite(Row& row, std::span<const double> values);

// The row's computed values in column order, from rho to K_aq_gas.
std::array<double, 13> computedValues(const Row& row);

// The header line with its line end (empty for JSON, whose objects name their values).
std::string headerText(const TableStyle& style);

// One row as text, with its line end: numbers in shortest round-trip form; for a failed row
// empty values (null in JSON), an empty phase and range.
std::string formatRow(const TableStyle& style, const Row& row);

}  // namespace aqsol::table
