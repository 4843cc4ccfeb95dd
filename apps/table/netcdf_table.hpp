// aqsol-table --format netcdf: the table as a CF-convention netCDF dataset.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "apps/table/options.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

struct NetcdfLibrary;

// Whether this build can write netCDF.
bool netcdfAvailable();

// What the dataset keeps of a row: its numbers from T_C to K_aq_gas in the table's units (NaN
// where absent), its phase (-1 for a failed row), range bits and status ("" for ok).
struct NetcdfRow {
  std::array<double, kRowNumberCount> numbers;
  signed char phase = -1;
  signed char range = 0;
  std::string status;
};
NetcdfRow netcdfRowOf(const Row& row, const Units& units);

// The dataset, written row by row in the table's order. Layout: dimensions solute (with
// solutes), then T_C and P_bar (P_MPa) for a grid, or state for a --states list. A grid's
// coordinates hold the values asked for, ascending (the options put them in that order).
// Where the saturation pressure was asked, the pressure dimension is `pressure_item`, the
// variable P_bar (P_MPa) is missing there and the flag variable `saturation` says so, and the
// variables name these as their coordinates; the variable `pressure` holds the pressure of
// every state. One variable per column with units (UDUNITS's names) and long_name; phase and
// range as CF flags; status as 0 or the number of its message in status_message (an unlimited
// dimension, one message per line).
class NetcdfTable {
 public:
  NetcdfTable() = default;
  NetcdfTable(const NetcdfTable&) = delete;
  NetcdfTable& operator=(const NetcdfTable&) = delete;
  ~NetcdfTable();

  // Creates the dataset at `path` for the rows of `options`.
  bool create(const std::string& path, const Options& options, std::string& error);
  // Adds row `index` (rows come in order).
  bool add(std::size_t index, const NetcdfRow& row, std::string& error);
  // Writes what is buffered and closes the file; a dataset assembled in memory is then written
  // to `fd` (the file `path` names, open for writing).
  bool finish(int fd, std::string& error);
  // Whether create() failed because the table exceeds the limits of the file's format.
  bool tooLarge() const { return tooLarge_; }

 private:
  struct Layout;
  bool check(int status, std::string& error);
  bool putText(int variable, const char* name, const std::string& value, std::string& error);
  bool defineDimensions(const Options& options, Layout& layout, std::string& error);
  bool defineCoordinates(const Options& options, Layout& layout, std::string& error);
  bool defineAlongRows(const char* name, int type, const Layout& layout, int& variable,
                       std::string& error);
  bool locate(int variable, const Layout& layout, std::string& error);
  bool defineValues(const ColumnSet& columns, const Layout& layout, std::string& error);
  bool defineFlags(const Layout& layout, std::string& error);
  bool defineGlobals(std::string& error);
  bool writeCoordinates(const Options& options, const Layout& layout, std::string& error);
  bool extendsRun(std::size_t index) const;
  bool flush(std::string& error);
  // Whether a state asks for the saturation pressure.
  static bool asksSaturation(const Options& options);
  // The flag variable `saturation` along `dimension`.
  bool defineSaturation(int dimension, int& variable, std::string& error);

  const NetcdfLibrary* lib_ = nullptr;
  int file_ = -1;
  std::vector<std::size_t> leading_;  // the sizes of the dimensions before the last
  std::size_t lineLength_ = 0;        // values along the last dimension
  bool solutes_ = false;
  std::vector<int> numberVariables_;        // rho ... (and pressure first)
  std::vector<std::size_t> numberSources_;  // where in a NetcdfRow each one's value is
  int phaseVariable_ = -1, rangeVariable_ = -1, statusVariable_ = -1, messageVariable_ = -1;
  // The rows buffered for one run: along the last dimension, or whole lines of it.
  std::size_t first_ = 0, count_ = 0;
  std::vector<std::vector<double>> numbers_;
  std::vector<signed char> phases_, ranges_;
  std::vector<int> statuses_;
  std::map<std::string, int> messages_;
  std::size_t valueCount_ = 0;  // numbers per row kept: pressure, then rho ... last column
  bool tooLarge_ = false;
  bool inMemory_ = false;  // assembled in memory, written to the file by finish()
};

}  // namespace aqsol::table
