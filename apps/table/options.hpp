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
  bool stateList = false;  // --states: the rows are the states of a list, not the grid T x P
  std::string statesFile;  // --states FILE ("-": standard input)
  // The list's first states (all of them where the list is read whole, for a netCDF dataset or
  // a plot), read by loadStateList; the reader reads the others in blocks while rows are made.
  StateBlock states;
  std::shared_ptr<StateReader> stateReader;
  std::vector<std::string> keep;     // --keep: columns of the list carried into the table
  std::vector<std::size_t> columns;  // --columns: the columns written, in order; empty: all
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
  // Whether the rows of a list are made as its states are read, a block at a time, rather than
  // once the whole list is read.
  bool streamsStates() const { return stateList && format != Format::kNetcdf && plotFile.empty(); }
  // The rows of a solute: 0 where a list streams and its length is not known until it ends.
  std::size_t statesPerSolute() const {
    if (stateList)
      return streamsStates() && stateReader && !stateReader->atEnd() ? 0 : states.states.size();
    return temperaturesC.size() * pressures.size();
  }
  std::size_t rowCount() const {
    return std::max<std::size_t>(1, solutes.size()) * statesPerSolute();
  }
};

// Upper bound on the rows of a table without --force: a mistyped step should not start a
// computation of years.
inline constexpr std::size_t kMaxRowsUnforced = 1'000'000'000;

// The states of a streamed list read before anything is written; later blocks are larger.
inline constexpr std::size_t kFirstStreamedStates = 256;
inline constexpr std::size_t kLargestStateBlock = 65'536;

// Upper bound on the rows of a plot: beyond it a curve is a blot and gnuplot slow.
inline constexpr std::size_t kMaxPlotRows = 1'000'000;

using requests::quoted;

// Parses the arguments after the program name. Returns true and fills `options` on success;
// otherwise returns false with `error` naming the offending argument. A --states list is named
// but not read: loadStateList reads it.
bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error);

// Opens the --states list of parsed options (a file or standard input) and reads its first
// states, or all of them where the list is read whole, and makes the checks that need them.
// False with `error` giving the line of a bad state.
bool loadStateList(Options& options, std::string& error);

// The column plotted along x when --x is not given: the one of T_C and P_bar with more distinct
// values (T_C when they have as many).
std::size_t defaultXColumn(const Options& options);

// A note for temperatures that all look like kelvin typed as degrees Celsius (298.15, 373.15),
// or empty.
std::string kelvinHabitNote(const Options& options);

// The usage text printed by --help.
std::string_view usageText();

// The OPTIONS section of the manual page, in roff: the options --help lists, from the same
// table.
std::string manualOptions();

}  // namespace aqsol::table
