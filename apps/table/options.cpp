// Command-line options of aqsol-table: solutes, temperatures, pressures and output format.
#include "apps/table/options.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "apps/table/state_list.hpp"
#include "bindings/columns.hpp"

namespace aqsol::table {
namespace {

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

enum class NumberText { kOk, kNotANumber, kOutOfRange };

// -0 as 0: a zero is written "0" whatever sign it was typed or rounded with.
double withoutNegativeZero(double value) {
  return value + 0.0;
}

// A decimal number: an optional sign, digits, a point, an exponent. Numbers that overflow or
// underflow a double are out of range.
NumberText parseNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return NumberText::kNotANumber;
  }
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ptr != end || text.empty()) return NumberText::kNotANumber;
  if (ec == std::errc::result_out_of_range) return NumberText::kOutOfRange;
  if (ec != std::errc() || std::isnan(value)) return NumberText::kNotANumber;
  value = withoutNegativeZero(value);
  return std::isfinite(value) ? NumberText::kOk : NumberText::kOutOfRange;
}

// The number of decimal places a number is written with: "0.25" has 2, "1e-3" 3, "5" 0.
int decimalPlaces(std::string_view text) {
  int places = 0;
  const std::size_t exponent = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, exponent);
  if (const std::size_t point = mantissa.find('.'); point != std::string_view::npos)
    places = static_cast<int>(mantissa.size() - point - 1);
  if (exponent != std::string_view::npos) {
    int power = 0;
    std::string_view digits = text.substr(exponent + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::from_chars(digits.data(), digits.data() + digits.size(), power);
    places = std::clamp(places - power, 0, 400);
  }
  return places;
}

// A value of a range rounded to `places` decimal places, so that 0:1:0.1 gives 0.3 rather than
// 0.30000000000000004; beyond 17 places (where doubles stop holding them) it stays as it is.
double roundedTo(double value, int places) {
  if (places > 17 || !std::isfinite(value)) return value;
  if (places == 0 && std::trunc(value) == value) return value;  // whole already
  // The decimal text of exactly `places` places, read back: both conversions exact, as printf's
  // and strtod's, and quicker (a long range's values are each rounded here).
  char text[400];  // the largest double's 309 digits, a point, 17 places and a sign
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
  double rounded = value;
  if (written.ec == std::errc()) std::from_chars(text, written.ptr, rounded);
  return withoutNegativeZero(rounded);
}

// Appends start, start + step, ... up to stop, each value rounded to the decimal places of
// start and step as written; the last value snaps to stop within rounding.
bool expandRange(std::string_view item, std::vector<double>& values, std::string& error) {
  const std::vector<std::string_view> parts = splitOn(item, ':');
  double numbers[3];
  if (parts.size() != 3) {
    error = "malformed range " + quoted(item) + " (expected start:stop:step)";
    return false;
  }
  for (int n = 0; n < 3; ++n) {
    const NumberText read = parseNumber(parts[n], numbers[n]);
    if (read == NumberText::kOk) continue;
    error = "range " + quoted(item) + ": " + quoted(parts[n]) +
            (read == NumberText::kOutOfRange ? " is out of range" : " is not a number");
    return false;
  }
  const double start = numbers[0], stop = numbers[1], step = numbers[2];
  if (start == stop) {
    values.push_back(start);
    return true;
  }
  const double steps = (stop - start) / step;
  if (step == 0 || std::isnan(steps) || steps < -1e-9) {
    error = "range " + quoted(item) + " never reaches its stop value";
    return false;
  }
  if (!std::isfinite(steps) || std::floor(steps + 1e-9) + 1 + static_cast<double>(values.size()) >
                                   static_cast<double>(kMaxListValues)) {
    error = "range " + quoted(item) + " has too many values (at most " +
            std::to_string(kMaxListValues) + " in a list)";
    return false;
  }
  const double count = std::floor(steps + 1e-9) + 1;
  const int places = std::max(decimalPlaces(parts[0]), decimalPlaces(parts[2]));
  for (double n = 0; n < count; ++n) {
    const double v = start + n * step;
    if (!std::isfinite(v)) {
      error = "range " + quoted(item) + " reaches values too large to be numbers";
      return false;
    }
    values.push_back(std::fabs(v - stop) <= 1e-9 * std::fabs(step) ? stop : roundedTo(v, places));
  }
  return true;
}

bool parseTemperatureList(std::string_view list, std::vector<double>& temperatures,
                          std::string& error) {
  if (!parseNumberList(list, temperatures, error)) return false;
  for (double tC : temperatures) {
    error = requests::temperatureProblem(tC);
    if (!error.empty()) return false;
  }
  return true;
}

// A pressure read as a number in `units`, in bar: 0 is the saturation pressure.
bool pressureItem(double value, const Units& units, PressureItem& pressure, std::string& error) {
  error = requests::pressureProblem(value, units);
  pressure = {value == 0, pressureInBar(value, units)};
  return error.empty();
}

bool parsePressureList(std::string_view list, const Units& units,
                       std::vector<PressureItem>& pressures, std::string& error) {
  for (std::string_view item : splitOn(list, ',')) {
    if (equalsIgnoringCase(item, "sat")) {
      pressures.push_back({true, 0});
      continue;
    }
    std::vector<double> values;
    if (!parseNumberList(item, values, error)) return false;
    if (pressures.size() + values.size() > kMaxListValues) {
      error = "pressure list has too many values";
      return false;
    }
    for (double p : values)
      if (!pressureItem(p, units, pressures.emplace_back(), error)) return false;
  }
  return true;
}

bool parseFormat(std::string_view value, Format& format, std::string& error) {
  if (value == "csv") {
    format = Format::kCsv;
  } else if (value == "tsv") {
    format = Format::kTsv;
  } else if (value == "json") {
    format = Format::kJson;
  } else if (value == "netcdf") {
    format = Format::kNetcdf;
  } else {
    error = "unknown format " + quoted(value) + " (use csv, tsv, json or netcdf)";
    return false;
  }
  return true;
}

}  // namespace

bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error) {
  for (std::string_view item : splitOn(list, ',')) {
    if (item.find(':') != std::string_view::npos) {
      if (!expandRange(item, values, error)) return false;
      continue;
    }
    double v;
    const NumberText read = parseNumber(item, v);
    if (read != NumberText::kOk) {
      error = read == NumberText::kOutOfRange ? quoted(item) + " is out of range"
                                              : "not a number: " + quoted(item);
      return false;
    }
    if (values.size() >= kMaxListValues) {
      error = "list has too many values (at most " + std::to_string(kMaxListValues) + ")";
      return false;
    }
    values.push_back(v);
  }
  return true;
}

bool parseTemperature(std::string_view text, double& temperatureC, std::string& error) {
  std::vector<double> one;
  if (text.find_first_of(",:") != std::string_view::npos) {
    error = "not a number: " + quoted(text);
    return false;
  }
  if (!parseTemperatureList(text, one, error)) return false;
  temperatureC = one.front();
  return true;
}

bool parsePressure(std::string_view text, const Units& units, PressureItem& pressure,
                   std::string& error) {
  if (equalsIgnoringCase(text, "sat")) {
    pressure = {true, 0};
    return true;
  }
  double value;
  const NumberText read = parseNumber(text, value);
  if (read != NumberText::kOk) {
    error = read == NumberText::kOutOfRange ? quoted(text) + " is out of range"
                                            : "not a number: " + quoted(text);
    return false;
  }
  return pressureItem(value, units, pressure, error);
}

namespace {

// A column to plot against: T_C or P_bar (P_MPa).
bool parseXColumn(std::string_view value, const Options& options, std::size_t& column,
                  std::string& error) {
  const std::optional<std::size_t> index = columnIndex(value, options.units);
  if (index != kTemperatureColumn && index != kPressureColumn) {
    error = quoted(value) + " is not a column to plot against (use T_C or " +
            std::string(columnName(kPressureColumn, options.units)) + ")";
    return false;
  }
  column = *index;
  return true;
}

// A numeric column of the table to plot.
bool parseYColumn(std::string_view value, const Options& options, std::size_t& column,
                  std::string& error) {
  const std::optional<std::size_t> index = columnIndex(value, options.units);
  if (!index || *index < kTemperatureColumn || *index > kLastValueColumn ||
      *index == kPhaseColumn) {
    error = quoted(value) + " is not a column to plot (use one of " +
            numericColumnNames(options.units) + ")";
    return false;
  }
  if (kColumns[*index].solute && !options.withSolute()) {
    error = quoted(value) + " is a solute's column: name the solute with --solute";
    return false;
  }
  column = *index;
  return true;
}

bool parseFileName(std::string_view value, std::string& file, std::string& error) {
  if (value.empty()) {
    error = "empty file name";
    return false;
  }
  file = value;
  return true;
}

bool hasPlotExtension(std::string_view file) {
  for (std::string_view extension : {".png", ".svg", ".pdf"})
    if (file.size() > extension.size() && file.ends_with(extension)) return true;
  return false;
}

// The checks that concern several options together, once all are read.
bool checkTogether(const Options& options, bool haveY, bool haveX, std::string& error) {
  const double rows = static_cast<double>(std::max<std::size_t>(1, options.solutes.size())) *
                      (options.stateList ? static_cast<double>(options.states.size())
                                         : static_cast<double>(options.temperaturesC.size()) *
                                               static_cast<double>(options.pressures.size()));
  if (rows > static_cast<double>(kMaxRowsUnforced) && !options.force) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "the table would have %.0f rows, more than %zu; add --force to make it anyway",
                  rows, kMaxRowsUnforced);
    error = text;
    return false;
  }
  std::string why;
  if (options.format == Format::kNetcdf && options.outputFile.empty()) {
    why = "--format netcdf needs --output FILE";
  } else if (options.plotFile.empty()) {
    if (haveY || haveX) why = std::string(haveY ? "--y" : "--x") + " needs --plot FILE";
  } else if (!hasPlotExtension(options.plotFile)) {
    why = "--plot: " + quoted(options.plotFile) + " must end in .png, .svg or .pdf";
  } else if (!haveY) {
    why = "--plot needs --y COLUMN (one of " + numericColumnNames(options.units) + ")";
  } else if (options.rowCount() > kMaxPlotRows) {
    why = "--plot: at most " + std::to_string(kMaxPlotRows) + " rows can be plotted";
  }
  if (why.empty()) return true;
  error = why;
  return false;
}

// A netCDF grid's coordinates ascend, each value once (CF): the temperatures and the pressures
// sorted, the saturation pressure, which has no value of its own, first.
void orderCoordinates(Options& options) {
  std::vector<double>& t = options.temperaturesC;
  std::sort(t.begin(), t.end());
  t.erase(std::unique(t.begin(), t.end()), t.end());
  std::vector<PressureItem>& p = options.pressures;
  const auto before = [](const PressureItem& a, const PressureItem& b) {
    return a.saturation != b.saturation ? a.saturation : a.bar < b.bar;
  };
  const auto same = [](const PressureItem& a, const PressureItem& b) {
    return a.saturation == b.saturation && (a.saturation || a.bar == b.bar);
  };
  std::sort(p.begin(), p.end(), before);
  p.erase(std::unique(p.begin(), p.end(), same), p.end());
}

// What is settled once the states are known: the order of a netCDF grid, the x of a plot, and
// the checks of the whole.
bool finishOptions(Options& options, std::string& error) {
  if (options.format == Format::kNetcdf && !options.stateList) orderCoordinates(options);
  if (!options.plotXChosen) options.plotX = defaultXColumn(options);
  return checkTogether(options, options.plotY != 0, options.plotXChosen, error);
}

// The options that take no value.
bool takeFlag(std::string_view name, Options& options) {
  if (name == "--quiet" || name == "-q") {
    options.quiet = true;
  } else if (name == "--force") {
    options.force = true;
  } else {
    return false;
  }
  return true;
}

// The options, in their order, with their values.
using NamedValues = std::vector<std::pair<std::string_view, std::string_view>>;

// The options that others are read by: the units.
bool readUnits(const NamedValues& named, Options& options, std::string& error) {
  for (const auto& [name, value] : named) {
    std::string why;
    if ((name == "--units" && !requests::readUnits(value, options.units, why)) ||
        (name == "--pressure-unit" && !requests::readPressureUnit(value, options.units, why))) {
      error = std::string(name) + ": " + why;
      return false;
    }
  }
  return true;
}

// Every other option with a value; the plot's columns in `y` and `x` (empty when not given).
bool readValues(const NamedValues& named, Options& options, std::string_view& y,
                std::string_view& x, std::string& error) {
  for (const auto& [name, value] : named) {
    std::string why;
    bool ok = true;
    if (name == "--solute") {
      ok = requests::readSolutes(value, options.solutes, why);
    } else if (name == "--T") {
      ok = parseTemperatureList(value, options.temperaturesC, why);
    } else if (name == "--P") {
      ok = parsePressureList(value, options.units, options.pressures, why);
    } else if (name == "--states") {
      ok = parseFileName(value, options.statesFile, why);
      options.stateList = true;
    } else if (name == "--format") {
      ok = parseFormat(value, options.format, why);
    } else if (name == "--threads") {
      ok = requests::readThreads(value, options.threads, why);
    } else if (name == "--output" || name == "-o") {
      ok = parseFileName(value, options.outputFile, why);
    } else if (name == "--plot") {
      ok = parseFileName(value, options.plotFile, why);
    } else if (name == "--y") {
      y = value;
    } else if (name == "--x") {
      x = value;
    }
    if (!ok) {
      error = std::string(name) + ": " + why;
      return false;
    }
  }
  return true;
}

bool takesValue(std::string_view name) {
  for (std::string_view known :
       {"--solute", "--T", "--P", "--states", "--format", "--units", "--pressure-unit", "--threads",
        "--output", "-o", "--plot", "--y", "--x"})
    if (name == known) return true;
  return false;
}

// The grid's options or the list's, not both; each given once.
bool checkStates(const NamedValues& named, std::string& error) {
  int lists = 0, temperatures = 0, pressures = 0;
  for (const auto& item : named) {
    lists += item.first == "--states";
    temperatures += item.first == "--T";
    pressures += item.first == "--P";
  }
  if (lists > 1) {
    error = "--states may be given once";
  } else if (lists == 1 && (temperatures > 0 || pressures > 0)) {
    error = "--states gives the states: it goes without --T and --P";
  } else if (lists == 0 && (temperatures == 0 || pressures == 0)) {
    error = temperatures == 0 ? "--T is required (or --states FILE)"
                              : "--P is required (or --states FILE)";
  } else {
    return true;
  }
  return false;
}

}  // namespace

bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error) {
  for (std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") options.help = true;
    if (arg == "--version") options.version = true;
    if (options.help || options.version) return true;
  }
  NamedValues named;
  for (std::size_t n = 0; n < args.size(); ++n) {
    std::string_view name = args[n];
    if (takeFlag(name, options)) continue;
    std::string_view value;
    const std::size_t eq = name.find('=');
    const bool joined = name.starts_with("--") && eq != name.npos;
    if (joined) name = name.substr(0, eq);
    if (!takesValue(name)) {
      error = "unknown option " + quoted(name);
      return false;
    }
    if (joined) {
      value = args[n].substr(eq + 1);
    } else if (n + 1 < args.size()) {
      value = args[++n];
    } else {
      error = quoted(name) + ": missing value";
      return false;
    }
    named.emplace_back(name, value);
  }
  std::string_view y, x;
  if (!checkStates(named, error) || !readUnits(named, options, error) ||
      !readValues(named, options, y, x, error))
    return false;
  std::string why;
  if (!y.empty() && !parseYColumn(y, options, options.plotY, why)) {
    error = "--y: " + why;
    return false;
  }
  if (!x.empty() && !parseXColumn(x, options, options.plotX, why)) {
    error = "--x: " + why;
    return false;
  }
  options.plotXChosen = !x.empty();
  return options.stateList || finishOptions(options, error);
}

bool loadStateList(Options& options, std::string& error) {
  std::string why;
  if (!readStateList(options.statesFile, options.units, options.states, why)) {
    error = "--states: " + why;
    return false;
  }
  return finishOptions(options, error);
}

namespace {

template <class Value>
std::size_t distinctCount(std::vector<Value> values) {
  std::sort(values.begin(), values.end());
  return static_cast<std::size_t>(std::unique(values.begin(), values.end()) - values.begin());
}

}  // namespace

std::size_t defaultXColumn(const Options& options) {
  std::vector<double> temperatures = options.temperaturesC;
  std::vector<std::pair<bool, double>> pressures;
  for (const PressureItem& p : options.pressures) pressures.emplace_back(p.saturation, p.bar);
  for (const StateItem& s : options.states) {
    temperatures.push_back(s.temperatureC);
    pressures.emplace_back(s.pressure.saturation, s.pressure.bar);
  }
  return distinctCount(std::move(pressures)) > distinctCount(std::move(temperatures))
             ? kPressureColumn
             : kTemperatureColumn;
}

std::string_view usageText() {
  static const std::string text =
      std::string(R"(usage: aqsol-table [--solute LIST] --T LIST --P LIST [options]
       aqsol-table [--solute LIST] --states FILE [options]

Properties of pure water and of a solute at infinite dilution in water, one row per
(solute, T, P), ordered by solute, then T, then P; without --solute, of water alone.

  --solute LIST   solute names (any case), menu numbers 1-20, or all:
                  H2 N2 O2 H2S CO2 Ar Ne NH3 SO2 CH4 C2H4 C2H6 C3H8 C4H10 C6H6
                  HCl HF H3BO3 H3AsO3 H2Se
                  Without it the table has the water's columns only.
  --T LIST        temperatures in degrees Celsius
  --P LIST        pressures in bar (MPa with --pressure-unit MPa); sat (or 0) for the
                  saturation pressure at each T
  --states FILE   the states as a list of (T, P) pairs instead of the grid --T x --P: a CSV
                  or whitespace table (- for standard input) whose header names the
                  columns T_C and P_bar (or P_MPa); other columns are ignored, blank lines
                  and lines starting with # skipped, sat allowed. One row per pair (per
                  solute), in the order of the file
  --format F      csv (default), tsv, json (JSON Lines: one object per row with the
                  header's names as keys, null for the values of a failed row), or netcdf
                  (a CF dataset on the dimensions solute, T_C, P_bar, or solute, state for
                  --states; needs --output FILE)
  --units U       cal (default: cal, cm3, g/cm3, as the calculator computes) or si (J, m3,
                  kg/m3); temperatures stay in C
  --pressure-unit U  bar (default) or MPa: the pressures given and written (the column
                  is then P_MPa), and every quantity per pressure or in ln of a pressure
  --output FILE   write the table to FILE instead of standard output; -o FILE for short.
                  A regular file (links followed) appears only when complete, keeping
                  its mode; a device, FIFO or /dev/stdout is written as it is
  --plot FILE     also draw a plot with gnuplot: FILE.png, FILE.svg or FILE.pdf
  --y COLUMN      the column to plot: T_C, P_bar, rho ... K_aq_gas
  --x COLUMN      plot against T_C or P_bar (default: the one with more distinct values);
                  one curve per solute and per value of the other (per solute for
                  --states); failed rows leave gaps, and a curve breaks where it crosses
                  between liquid and vapour
  --threads N     compute rows on N threads (default: one per core); the output is the same
  --quiet, -q     no progress line (shown on standard error, when it is a terminal, for a
                  table going elsewhere that takes over a second)
  --force         make a table of more than 1,000,000,000 rows
  --help          this text
  --version       the version

LIST is comma-separated values and ranges start:stop:step (stop included; values rounded
to the decimal places of start and step), at most 1,000,000 values, e.g.
  --T 25,50:300:50   --P sat,1,100:1000:100
A solute named twice is computed twice, in the order named.

Columns (docs/model.md has the equations), with their units: cal | si:
  solute     the solute's name (not in a table of water alone)
)") + valueColumnDefinitions() +
      R"(  range      empty where every column was compared with a reference and agreed within
             the stated tolerance; else one or more of:
               ice            the stable phase of water is a solid (IAPWS R14-08); the
                              values are those of the metastable fluid
               metastable     the root lies across the saturation curve from the stable
                              phase (superheated liquid, supersaturated vapour)
               beyond-eos     above 1,000 C or 10,000 bar, or below -95 C: beyond the
                              comparison with IAPWS-95
               water-deviates the water departs from IAPWS-95 by more than 1 % in rho
                              or 5 % in Cp_H2O, drho_dP, drho_dT or d2rho_dT2
               solute-extrapolated  outside the temperatures over which the solute's
                              Henry constant was compared with a reference (IAPWS G7-04's
                              range for H2 N2 O2 CO2 Ar Ne CH4 C2H6 H2S; 0-50 C around
                              the measured value at 25 C for NH3 SO2 C6H6)
               reference-deviates  ln kH departs from that reference by more than 0.1
               unreferenced   ln kH was compared with no reference (C2H4 C3H8 C4H10 HCl
                              HF H3BO3 H3AsO3 H2Se)
  status     ok, or why the row could not be computed (its values are then empty)

Examples:
  aqsol-table --T 25,100 --P 1                     water alone
  aqsol-table --solute CO2,CH4 --T 0:350:5 --P sat --y lnkH --plot kh.png -o kh.csv
  aqsol-table --solute all --T 25 --P 1 --format json | jq .lnkH
  printf 'T_C,P_bar\n25,1\n300,100\n' | aqsol-table --solute H2S --states -
  aqsol-table --solute CO2 --T 25 --P 1 --units si --pressure-unit MPa

Exit status: 0 on success (failed rows included), 1 when the table or plot could not be
made (a folder, a missing folder, out of memory), 2 on a bad argument (the table and the
plot naming one file too, a bad line of a --states list, a netCDF table beyond the format's
limits), 3 on a write error (a full disk, a file size limit, in every format). A closed
pipe ends it by SIGPIPE (status 141 in the shell), or with status 3 where SIGPIPE is
ignored.
)";
  return text;
}

}  // namespace aqsol::table
