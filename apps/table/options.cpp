// Command-line options of aqsol-table: solutes, temperatures, pressures and output format.
#include "apps/table/options.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "apps/table/plot.hpp"
#include "apps/table/state_list.hpp"
#include "bindings/columns.hpp"
#include "services/shortest_number.hpp"

namespace aqsol::table {
namespace {

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

// The columns a table writes, named as in its header, each once.
bool parseColumnList(std::string_view list, const Options& options,
                     std::vector<std::size_t>& columns, std::string& error) {
  const ColumnSet all(options.units, options.withSolute());
  for (std::string_view name : splitOn(list, ',')) {
    const std::optional<std::size_t> index = columnIndex(name, options.units);
    if (!index || !all.has(*index)) {
      std::string names;
      for (const ResolvedColumn& column : all.all())
        names += (names.empty() ? "" : ", ") + column.name;
      error = quoted(name) + " is not a column of this table (" + names + ")";
      return false;
    }
    if (std::find(columns.begin(), columns.end(), *index) != columns.end()) {
      error = quoted(name) + " is named twice";
      return false;
    }
    columns.push_back(*index);
  }
  return true;
}

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

// The checks that concern several options together, once all are read.
bool checkTogether(const Options& options, bool haveY, bool haveX, std::string& error) {
  const double rows = static_cast<double>(std::max<std::size_t>(1, options.solutes.size())) *
                      (options.stateList ? static_cast<double>(options.statesPerSolute())
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
  } else if (!options.keep.empty() && !options.stateList) {
    why = "--keep names columns of a --states list";
  } else if (!options.keep.empty() && options.format == Format::kNetcdf) {
    why = "--keep writes the list's columns as text: use --format csv, tsv or json";
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

// What reading the options gathers besides the options: the plot's columns, named in the
// units, which are read first.
struct Reading {
  Options& options;
  std::string_view y, x, columns;
};

bool takeSolutes(std::string_view value, Reading& r, std::string& why) {
  return requests::readSolutes(value, r.options.soluteSet(), r.options.solutes, why);
}
bool takeSpecies(std::string_view value, Reading& r, std::string& why) {
  if (!r.options.species) r.options.species = std::make_shared<SoluteSet>();
  return r.options.species->addSpeciesFile(std::string(value), why);
}
bool takeTemperatures(std::string_view value, Reading& r, std::string& why) {
  return parseTemperatureList(value, r.options.units, r.options.temperaturesC, why);
}
bool takePressures(std::string_view value, Reading& r, std::string& why) {
  return parsePressureList(value, r.options.units, r.options.pressures, why);
}
bool takeFormat(std::string_view value, Reading& r, std::string& why) {
  return parseFormat(value, r.options.format, why);
}
bool takeUnits(std::string_view value, Reading& r, std::string& why) {
  return requests::readUnits(value, r.options.units, why);
}
bool takePressureUnit(std::string_view value, Reading& r, std::string& why) {
  return requests::readPressureUnit(value, r.options.units, why);
}
bool takeTemperatureUnit(std::string_view value, Reading& r, std::string& why) {
  return requests::readTemperatureUnit(value, r.options.units, why);
}
bool takeKeep(std::string_view value, Reading& r, std::string& why) {
  for (std::string_view name : splitOn(value, ',')) {
    if (name.empty()) {
      why = "an empty column name in " + quoted(value);
      return false;
    }
    r.options.keep.emplace_back(name);
  }
  return true;
}
bool takeThreads(std::string_view value, Reading& r, std::string& why) {
  return requests::readThreads(value, r.options.threads, why);
}

// A file name into an option.
template <std::string Options::*kFile>
bool takeFile(std::string_view value, Reading& r, std::string& why) {
  return parseFileName(value, r.options.*kFile, why);
}

bool takeStates(std::string_view value, Reading& r, std::string& why) {
  r.options.stateList = true;
  return takeFile<&Options::statesFile>(value, r, why);
}

// An option without a value: a switch turned on.
template <bool Options::*kSwitch>
bool takeSwitch(std::string_view, Reading& r, std::string&) {
  r.options.*kSwitch = true;
  return true;
}

// A plot's column or the table's, kept until the units are known.
template <std::string_view Reading::*kColumn>
bool takeColumn(std::string_view value, Reading& r, std::string&) {
  r.*kColumn = value;
  return true;
}

// When an option is read: the units before the lists written in them.
enum class Round { kAtOnce, kUnits, kSpecies, kValues };

struct OptionEntry {
  std::string_view name;     // "--output"
  std::string_view alias;    // "-o", or empty
  std::string_view metavar;  // what its value is called; empty for an option without one
  Round round;
  bool (*take)(std::string_view value, Reading& reading, std::string& why);
  std::string_view help;  // sentences; "\n" where a line must break
};

// Every option, in the order --help and the manual page list them.
constexpr OptionEntry kOptions[] = {
    {"--solute", "", "LIST", Round::kValues, takeSolutes,
     "solute names (any case), menu numbers 1-20, or all:\nH2 N2 O2 H2S CO2 Ar Ne NH3 SO2 CH4 "
     "C2H4 C2H6 C3H8 C4H10 C6H6 HCl HF H3BO3 H3AsO3 H2Se\nWithout it the table has the water's "
     "columns only. A solute named twice is computed twice, in the order named."},
    {"--species", "", "FILE", Round::kSpecies, takeSpecies,
     "solutes of your own, or built-in ones replaced, from a species file (CSV: name, xi, a, b, "
     "gf298, s298, cpA, cpB, cpC, and optionally source, T_min_C and T_max_C, worst_residual, "
     "replaces; docs/model.md describes it); may be given more than once. Every line is "
     "checked before anything is computed"},
    {"--T", "", "LIST", Round::kValues, takeTemperatures,
     "temperatures in degrees Celsius (kelvin with --temperature-unit K)"},
    {"--P", "", "LIST", Round::kValues, takePressures,
     "pressures in bar (MPa with --pressure-unit MPa); sat (or 0) for the saturation pressure "
     "at each T"},
    {"--states", "", "FILE", Round::kValues, takeStates,
     "the states as a list of (T, P) pairs instead of the grid --T x --P: a table separated by "
     "semicolons, commas, or blanks and tabs (- for standard input) whose header names the "
     "columns T_C or T_K and P_bar or P_MPa; "
     "other columns are ignored (or kept: --keep), blank lines and lines starting with # "
     "skipped, sat allowed. One row per pair (per solute), in the order of the file, written as "
     "the list is read, in little memory for any length; a bad pair stops the table at its "
     "line"},
    {"--keep", "", "LIST", Round::kValues, takeKeep,
     "with --states: columns of the list (a well, a depth) written as they are, first in every "
     "row, so that the rows need no joining back; not with --format netcdf"},
    {"--format", "", "F", Round::kValues, takeFormat,
     "csv (default), tsv, json (JSON Lines: one object per row with the header's names as keys, "
     "null for the values of a failed row), or netcdf (a CF dataset on the dimensions solute, "
     "T_C, P_bar, or solute, state for --states; needs --output FILE)"},
    {"--units", "", "U", Round::kUnits, takeUnits,
     "cal (default: cal, cm3, g/cm3, as the calculator computes) or si (J, m3, kg/m3), in any "
     "case"},
    {"--temperature-unit", "", "U", Round::kUnits, takeTemperatureUnit,
     "C (default) or K, in any case: the temperatures given and written (the column is then "
     "T_K, T_C + 273.15)"},
    {"--pressure-unit", "", "U", Round::kUnits, takePressureUnit,
     "bar (default) or MPa, in any case: the pressures given and written (the column is then "
     "P_MPa), and every quantity per pressure or in ln of a pressure"},
    {"--columns", "", "LIST", Round::kValues, takeColumn<&Reading::columns>,
     "write only these columns, in this order (names as in the header: solute, T_C, P_bar, "
     "phase, rho ... K_aq_gas, range, status); a netCDF dataset keeps its coordinates and flags "
     "and writes these of the values"},
    {"--output", "-o", "FILE", Round::kValues, takeFile<&Options::outputFile>,
     "write the table to FILE instead of standard output. A regular file (links followed) "
     "appears only when complete, keeping its mode; a device, FIFO or /dev/stdout is written "
     "as it is"},
    {"--plot", "", "FILE", Round::kValues, takeFile<&Options::plotFile>,
     "also draw a plot with gnuplot: FILE.png, FILE.svg or FILE.pdf"},
    {"--y", "", "COLUMN", Round::kValues, takeColumn<&Reading::y>,
     "the column to plot: T_C, P_bar, rho ... K_aq_gas"},
    {"--x", "", "COLUMN", Round::kValues, takeColumn<&Reading::x>,
     "plot against T_C or P_bar (default: the one with more distinct values); one curve per "
     "solute and per value of the other (per solute for --states); failed rows leave gaps, and "
     "a curve breaks where it crosses between liquid and vapour"},
    {"--threads", "", "N", Round::kValues, takeThreads,
     "compute rows on N threads, 1 to 256; 0 (default) is one per core. The output is the same"},
    {"--quiet", "-q", "", Round::kValues, takeSwitch<&Options::quiet>,
     "no progress line (shown on standard error, when it is a terminal, for a table going "
     "elsewhere that takes over a second)"},
    {"--force", "", "", Round::kValues, takeSwitch<&Options::force>,
     "make a table of more than 1,000,000,000 rows"},
    {"--help", "-h", "", Round::kAtOnce, takeSwitch<&Options::help>,
     "the options and the columns with their units"},
    {"--version", "", "", Round::kAtOnce, takeSwitch<&Options::version>,
     "the version and the processor path"},
};

const OptionEntry* findOption(std::string_view name) {
  for (const OptionEntry& option : kOptions)
    if (name == option.name || (!option.alias.empty() && name == option.alias)) return &option;
  return nullptr;
}

// The options as given, each with its value (empty for one without).
using NamedValues = std::vector<std::pair<const OptionEntry*, std::string_view>>;

// Splits the arguments into options and values: --name value, --name=value, or a name alone.
bool splitArguments(std::span<const std::string_view> args, NamedValues& named,
                    std::string& error) {
  for (std::size_t n = 0; n < args.size(); ++n) {
    std::string_view name = args[n];
    const std::size_t eq = name.find('=');
    const bool joined = name.starts_with("--") && eq != name.npos;
    if (joined) name = name.substr(0, eq);
    const OptionEntry* option = findOption(name);
    if (option == nullptr || (joined && option->metavar.empty())) {
      error = "unknown option " + quoted(joined ? args[n] : name);
      return false;
    }
    std::string_view value;
    if (joined) {
      value = args[n].substr(eq + 1);
    } else if (!option->metavar.empty()) {
      if (n + 1 == args.size()) {
        error = quoted(name) + ": missing value";
        return false;
      }
      value = args[++n];
    }
    named.emplace_back(option, value);
  }
  return true;
}

// Reads the options of one round, in the order given.
bool readRound(const NamedValues& named, Round round, Reading& reading, std::string& error) {
  for (const auto& [option, value] : named) {
    std::string why;
    if (option->round != round || option->take(value, reading, why)) continue;
    error = std::string(option->name) + ": " + why;
    return false;
  }
  return true;
}

// The grid's options or the list's, not both; each given once.
bool checkStates(const NamedValues& named, std::string& error) {
  int lists = 0, temperatures = 0, pressures = 0;
  for (const auto& item : named) {
    lists += item.first->take == takeStates;
    temperatures += item.first->take == takeTemperatures;
    pressures += item.first->take == takePressures;
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

// The plot's columns, once the units they are named in are known.
bool readPlotColumns(const Reading& reading, Options& options, std::string& error) {
  std::string why;
  if (!reading.y.empty() && !parseYColumn(reading.y, options, options.plotY, why)) {
    error = "--y: " + why;
    return false;
  }
  if (!reading.x.empty() && !parseXColumn(reading.x, options, options.plotX, why)) {
    error = "--x: " + why;
    return false;
  }
  options.plotXChosen = !reading.x.empty();
  if (reading.columns.empty() || parseColumnList(reading.columns, options, options.columns, why))
    return true;
  error = "--columns: " + why;
  return false;
}

}  // namespace

bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error) {
  Reading reading{options, {}, {}, {}};
  // --help and --version answer whatever else is given, even a bad option after them.
  for (std::string_view arg : args) {
    const OptionEntry* option = findOption(arg);
    std::string ignored;
    if (option != nullptr && option->round == Round::kAtOnce) option->take(arg, reading, ignored);
    if (options.help || options.version) return true;
  }
  NamedValues named;
  if (!splitArguments(args, named, error) || !checkStates(named, error) ||
      !readRound(named, Round::kUnits, reading, error) ||
      !readRound(named, Round::kSpecies, reading, error) ||
      !readRound(named, Round::kValues, reading, error) ||
      !readPlotColumns(reading, options, error))
    return false;
  return options.stateList || finishOptions(options, error);
}

bool loadStateList(Options& options, std::string& error) {
  std::vector<std::string_view> kept(options.keep.begin(), options.keep.end());
  auto reader = std::make_shared<StateReader>(options.units, StateColumns{{}, kept});
  options.stateReader = reader;
  std::string why;
  const bool again = options.streamsStates() && options.solutes.size() > 1;
  // The first states are read at once, so that a list without a header or with a bad first
  // state is refused before anything is written.
  const std::size_t first =
      options.streamsStates() ? kFirstStreamedStates : std::numeric_limits<std::size_t>::max() / 2;
  if (!reader->open(options.statesFile, again, why) || !reader->read(first, options.states, why)) {
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

std::string kelvinHabitNote(const Options& options) {
  const auto looksKelvin = [](double t) {
    const double hundredths = std::round(t * 100);
    return t >= 273.15 && t <= 1273.15 && std::fmod(hundredths, 100) == 15 &&
           std::abs(t * 100 - hundredths) < 1e-6;
  };
  const std::vector<double>& t = options.temperaturesC;
  if (options.units.kelvin || t.empty() || !std::all_of(t.begin(), t.end(), looksKelvin)) return {};
  char first[kShortestNumberRoom];
  return "note: --T is in degrees Celsius (" + std::string(first, writeShortest(first, t.front())) +
         " °C); for kelvin add --temperature-unit K";
}

std::size_t defaultXColumn(const Options& options) {
  std::vector<double> temperatures = options.temperaturesC;
  std::vector<std::pair<bool, double>> pressures;
  for (const PressureItem& p : options.pressures) pressures.emplace_back(p.saturation, p.bar);
  for (const StateItem& s : options.states.states) {
    temperatures.push_back(s.temperatureC);
    pressures.emplace_back(s.pressure.saturation, s.pressure.bar);
  }
  return distinctCount(std::move(pressures)) > distinctCount(std::move(temperatures))
             ? kPressureColumn
             : kTemperatureColumn;
}

namespace {

// The width --help's lines keep within, and where an option's text begins.
constexpr std::size_t kHelpWidth = 90;
constexpr std::size_t kHelpIndent = 18;

// "--output FILE, -o FILE": an option as --help names it.
std::string optionLabel(const OptionEntry& option) {
  const auto one = [&](std::string_view name) {
    return std::string(name) + (option.metavar.empty() ? "" : " " + std::string(option.metavar));
  };
  return one(option.name) + (option.alias.empty() ? "" : ", " + one(option.alias));
}

// Appends `text` after `line` (which already holds its start), broken at spaces and at "\n"
// into lines of at most kHelpWidth characters, each continuation indented by kHelpIndent.
void appendWrapped(std::string& out, std::string line, std::string_view text) {
  const std::string indent(kHelpIndent, ' ');
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t stop = std::min(text.find_first_of(" \n", start), text.size());
    const std::string_view word = text.substr(start, stop - start);
    if (line.size() > kHelpIndent && line.size() + 1 + word.size() > kHelpWidth) {
      out += line + "\n";
      line = indent;
    }
    if (line.size() > kHelpIndent && line.back() != ' ') line += ' ';
    line += word;
    if (stop < text.size() && text[stop] == '\n') {
      out += line + "\n";
      line = indent;
    }
    start = stop + 1;
  }
  out += line + "\n";
}

std::string optionsHelp() {
  std::string out;
  for (const OptionEntry& option : kOptions) {
    std::string line = "  " + optionLabel(option);
    line += line.size() + 2 <= kHelpIndent ? std::string(kHelpIndent - line.size(), ' ') : "  ";
    appendWrapped(out, line, option.help);
  }
  return out;
}

// Text for roff: hyphens as \-, backslashes doubled, a line that would start with a control
// character guarded.
std::string roffText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '-')
      out += "\\-";
    else if (c == '\\')
      out += "\\e";
    else
      out += c;
  }
  return out;
}

std::string roffLine(std::string_view text) {
  const std::string line = roffText(text);
  return (line.starts_with('.') || line.starts_with('\'') ? "\\&" : "") + line + "\n";
}

}  // namespace

std::string manualOptions() {
  std::string out;
  for (const OptionEntry& option : kOptions) {
    out += ".TP\n";
    const auto name = [&](std::string_view text) {
      return "\\fB" + roffText(text) + "\\fR" +
             (option.metavar.empty() ? "" : " \\fI" + std::string(option.metavar) + "\\fR");
    };
    out += name(option.name) + (option.alias.empty() ? "" : ", " + name(option.alias)) + "\n";
    const std::string_view help = option.help;
    for (std::size_t start = 0; start <= help.size();) {
      const std::size_t stop = std::min(help.find('\n', start), help.size());
      out += roffLine(help.substr(start, stop - start));
      if (stop < help.size()) out += ".br\n";
      start = stop + 1;
    }
  }
  return out;
}

std::string_view usageText() {
  static const std::string text =
      std::string(R"(usage: aqsol-table [--solute LIST] --T LIST --P LIST [options]
       aqsol-table [--solute LIST] --states FILE [options]

Properties of pure water and of a solute at infinite dilution in water, one row per
(solute, T, P), ordered by solute, then T, then P; without --solute, of water alone.

)") + optionsHelp() +
      R"(
LIST is comma-separated values and ranges start:stop:step (stop included; values rounded
to the decimal places of start and step), at most 1,000,000 values, e.g.
  --T 25,50:300:50   --P sat,1,100:1000:100

Columns (docs/model.md has the equations), with their units: cal | si:
  solute     the solute's name (not in a table of water alone)
)" + valueColumnDefinitions() +
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
