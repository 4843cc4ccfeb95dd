// Command-line options of aqsol-table: the states, the output format and file, progress, plots.
#pragma once

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/number_lists.hpp"
#include "apps/table/state_list.hpp"
#include "bindings/columns.hpp"
#include "bindings/requests.hpp"
#include "calculator/solute_set.hpp"
#include "calculator/solutes.hpp"
#include "calculator/state_rows.hpp"
#include "services/ascii_text.hpp"

namespace aqsol::table {

// JSON: JSON Lines, one object per row; netCDF: a CF dataset (to a file).
enum class Format { kCsv, kTsv, kJson, kNetcdf };

struct Options {
  bool help = false;
  bool version = false;
  std::shared_ptr<SoluteSet> species;  // the solutes with --species files; null: the built-in
  std::vector<SoluteParams> solutes;   // none: the water alone
  std::vector<double> temperaturesC;   // degrees Celsius
  std::vector<PressureItem> pressures;
  bool stateList = false;         // --states: the rows are `states`, not the grid T x P
  std::string statesFile;         // --states FILE ("-": standard input)
  std::vector<StateItem> states;  // in the order read, by loadStateList
  Format format = Format::kCsv;
  Units units;
  unsigned threads = 0;      // worker threads, as requests::readThreads gives them (0 before)
  bool quiet = false;        // no progress line
  bool force = false;        // allow a table of more than kMaxRowsUnforced rows
  std::string outputFile;    // empty: standard output
  std::string plotFile;      // empty: no plot
  std::size_t plotY = 0;     // column index of the plotted value
  std::size_t plotX = 0;     // column index of x: T_C or P_bar
  bool plotXChosen = false;  // --x given

  bool withSolute() const { return !solutes.empty(); }
  const SoluteSet& soluteSet() const { return species ? *species : builtInSolutes(); }
  std::size_t statesPerSolute() const {
    return stateList ? states.size() : temperaturesC.size() * pressures.size();
  }
  std::size_t rowCount() const {
    return std::max<std::size_t>(1, solutes.size()) * statesPerSolute();
  }
};

// Upper bound on the rows of a table without --force: a mistyped step should not start a
// computation of years.
inline constexpr std::size_t kMaxRowsUnforced = 1'000'000'000;

// Upper bound on the rows of a plot: beyond it a curve is a blot and gnuplot slow.
inline constexpr std::size_t kMaxPlotRows = 1'000'000;

using requests::quoted;

// Parses the arguments after the program name. Returns true and fills `options` on success;
// otherwise returns false with `error` naming the offending argument. A --states list is named
// but not read: loadStateList reads it.
bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error);

// Reads the --states list of parsed options (a file or standard input) and makes the checks
// that need its states. False with `error` giving the line of a bad state.
bool loadStateList(Options& options, std::string& error);

// The column plotted along x when --x is not given: the one of T_C and P_bar with more distinct
// values (T_C when they have as many).
std::size_t defaultXColumn(const Options& options);

// The usage text printed by --help.
std::string_view usageText();

// The OPTIONS section of the manual page, in roff: the options --help lists, from the same
// table.
std::string manualOptions();

}  // namespace aqsol::table
