// Command-line options of aqsol-table: the states, the output format and file, progress, plots.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/solutes.hpp"

namespace aqsol::table {

// One pressure of the --P list: a value in bar, or the saturation pressure at each temperature.
struct PressureItem {
  bool saturation = false;
  double bar = 0;
};

enum class Format { kCsv, kTsv, kJson };  // JSON: JSON Lines, one object per row

struct Options {
  bool help = false;
  std::vector<SoluteParams> solutes;
  std::vector<double> temperaturesC;  // degrees Celsius
  std::vector<PressureItem> pressures;
  Format format = Format::kCsv;
  unsigned threads = 0;    // worker threads; 0: one per core
  bool quiet = false;      // no progress line
  bool force = false;      // allow a table of more than kMaxRowsUnforced rows
  std::string outputFile;  // empty: standard output
  std::string plotFile;    // empty: no plot
  std::size_t plotY = 0;   // column index of the plotted value
  std::size_t plotX = 0;   // column index of x: T_C or P_bar

  std::size_t rowCount() const { return solutes.size() * temperaturesC.size() * pressures.size(); }
};

// Upper bound on the rows of a table without --force: a mistyped step should not start a
// computation of years.
inline constexpr std::size_t kMaxRowsUnforced = 1'000'000'000;

// Upper bound on the rows of a plot: beyond it a curve is a blot and gnuplot slow.
inline constexpr std::size_t kMaxPlotRows = 1'000'000;

// Upper bound on --threads.
inline constexpr unsigned kMaxThreads = 256;

// Upper bound on the values one list may expand to, so that a mistyped step cannot ask for an
// endless table.
inline constexpr std::size_t kMaxListValues = 1'000'000;

// Parses the arguments after the program name. Returns true and fills `options` on success;
// otherwise returns false with `error` naming the offending argument.
bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error);

// Appends the solutes of a comma-separated LIST of names (any case), menu numbers 1-20 and
// `all`. Returns false with `error` naming the item on an unknown solute.
bool parseSoluteList(std::string_view list, std::vector<SoluteParams>& solutes, std::string& error);

// Expands a numeric LIST: comma-separated values and ranges start:stop:step (stop included when
// reached within rounding). Returns false with `error` set on a malformed item.
bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error);

// The column plotted along x when --x is not given: P_bar when there are more pressures than
// temperatures, else T_C.
std::size_t defaultXColumn(const Options& options);

// The usage text printed by --help.
std::string_view usageText();

}  // namespace aqsol::table
