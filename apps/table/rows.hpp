// Rows of aqsol-table: computing one (solute, T, P) state and writing it as CSV or TSV.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "apps/table/options.hpp"
#include "calculator/constants.hpp"
#include "calculator/infinite_dilution.hpp"
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
  std::string status;  // empty for ok
};

// Computes one row from a fresh water state, as one pass of the calculator does. Never throws;
// a state that cannot be computed gets a status message.
Row computeRow(const Constants& k, const SoluteParams& solute, double temperatureC,
               const PressureItem& pressure);

// Writes the header line.
void writeHeader(std::ostream& out, Format format);

// One row as text, with its line end: numbers in shortest round-trip form, empty values for a
// failed row.
std::string formatRow(Format format, const Row& row);

// Writes one row as formatRow makes it.
void writeRow(std::ostream& out, Format format, const Row& row);

// Computes every row of `options` on `threads` threads and writes them in order (solute, then
// T, then P), holding at most a small window of rows, so memory stays small for any grid. The
// output is the same for any thread count.
void writeTable(std::ostream& out, const Constants& k, const Options& options, unsigned threads);

}  // namespace aqsol::table
