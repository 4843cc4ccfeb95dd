// Command-line options of aqsol-table: solutes, temperatures, pressures and output format.
#include "apps/table/options.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "apps/table/columns.hpp"

namespace aqsol::table {
namespace {

constexpr double kAbsoluteZeroC = -273.15;

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool parseNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Appends start, start + step, ... up to stop; the last value snaps to stop within rounding.
bool expandRange(std::string_view item, std::vector<double>& values, std::string& error) {
  const std::vector<std::string_view> parts = splitOn(item, ':');
  double start, stop, step;
  if (parts.size() != 3 || !parseNumber(parts[0], start) || !parseNumber(parts[1], stop) ||
      !parseNumber(parts[2], step)) {
    error = "malformed range '" + std::string(item) + "' (expected start:stop:step)";
    return false;
  }
  const double steps = (stop - start) / step;
  if (step == 0 || !std::isfinite(steps) || steps < -1e-9) {
    error = "range '" + std::string(item) + "' never reaches its stop value";
    return false;
  }
  const double count = std::floor(steps + 1e-9) + 1;
  if (count + static_cast<double>(values.size()) > static_cast<double>(kMaxListValues)) {
    error = "range '" + std::string(item) + "' has too many values";
    return false;
  }
  for (double n = 0; n < count; ++n) {
    const double v = start + n * step;
    values.push_back(std::fabs(v - stop) <= 1e-9 * std::fabs(step) ? stop : v);
  }
  return true;
}

bool parseTemperatureList(std::string_view list, std::vector<double>& temperatures,
                          std::string& error) {
  if (!parseNumberList(list, temperatures, error)) return false;
  for (double tC : temperatures) {
    if (tC > kAbsoluteZeroC) continue;
    error = "temperature " + std::to_string(tC) + " C is at or below absolute zero";
    return false;
  }
  return true;
}

bool parsePressureList(std::string_view list, std::vector<PressureItem>& pressures,
                       std::string& error) {
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
    for (double p : values) pressures.push_back({p == 0, p});
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
  } else {
    error = "unknown format '" + std::string(value) + "' (use csv, tsv or json)";
    return false;
  }
  return true;
}

}  // namespace

bool parseSoluteList(std::string_view list, std::vector<SoluteParams>& solutes,
                     std::string& error) {
  const std::span<const SoluteParams> table = soluteTable();
  for (std::string_view item : splitOn(list, ',')) {
    if (equalsIgnoringCase(item, "all")) {
      solutes.insert(solutes.end(), table.begin(), table.end());
      continue;
    }
    double number;
    bool found = false;
    if (parseNumber(item, number)) {
      SoluteParams chosen;
      selectSolute(number, chosen);
      found = !chosen.name.empty();
      if (found) solutes.push_back(chosen);
    } else {
      for (const SoluteParams& s : table) {
        if (!equalsIgnoringCase(item, s.name)) continue;
        solutes.push_back(s);
        found = true;
        break;
      }
    }
    if (!found) {
      error = "unknown solute '" + std::string(item) + "' (use a name, a number 1-20, or all)";
      return false;
    }
  }
  return true;
}

bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error) {
  for (std::string_view item : splitOn(list, ',')) {
    if (item.find(':') != std::string_view::npos) {
      if (!expandRange(item, values, error)) return false;
      continue;
    }
    double v;
    if (!parseNumber(item, v)) {
      error = "not a number: '" + std::string(item) + "'";
      return false;
    }
    if (values.size() >= kMaxListValues) {
      error = "list has too many values";
      return false;
    }
    values.push_back(v);
  }
  return true;
}

bool parseThreads(std::string_view value, unsigned& threads, std::string& error) {
  unsigned n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > kMaxThreads) {
    error = "'" + std::string(value) + "' is not a thread count from 1 to " +
            std::to_string(kMaxThreads);
    return false;
  }
  threads = n;
  return true;
}

// A column to plot against: T_C or P_bar.
bool parseXColumn(std::string_view value, std::size_t& column, std::string& error) {
  const std::optional<std::size_t> index = columnIndex(value);
  if (index != kTemperatureColumn && index != kPressureColumn) {
    error = "'" + std::string(value) + "' is not a column to plot against (use T_C or P_bar)";
    return false;
  }
  column = *index;
  return true;
}

// A numeric column to plot.
bool parseYColumn(std::string_view value, std::size_t& column, std::string& error) {
  const std::optional<std::size_t> index = columnIndex(value);
  if (!index || *index < kTemperatureColumn || *index > kLastValueColumn) {
    error = "'" + std::string(value) + "' is not a column to plot (use one of " +
            numericColumnNames() + ")";
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
  if (options.plotFile.empty()) {
    if (haveY || haveX) error = std::string(haveY ? "--y" : "--x") + " needs --plot FILE";
    return error.empty();
  }
  if (!hasPlotExtension(options.plotFile)) {
    error = "--plot: '" + options.plotFile + "' must end in .png, .svg or .pdf";
  } else if (!haveY) {
    error = "--plot needs --y COLUMN (one of " + numericColumnNames() + ")";
  } else if (options.rowCount() > kMaxPlotRows) {
    error = "--plot: at most " + std::to_string(kMaxPlotRows) + " rows can be plotted";
  }
  return error.empty();
}

bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error) {
  bool haveSolute = false, haveT = false, haveP = false, haveY = false, haveX = false;
  for (std::string_view arg : args)
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    }
  for (std::size_t n = 0; n < args.size(); ++n) {
    std::string_view name = args[n];
    if (name == "--quiet" || name == "-q") {
      options.quiet = true;
      continue;
    }
    std::string_view value;
    if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != name.npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    } else if (n + 1 < args.size()) {
      value = args[++n];
    } else {
      error = std::string(name) + ": missing value";
      return false;
    }
    std::string why;
    bool ok;
    if (name == "--solute") {
      ok = parseSoluteList(value, options.solutes, why), haveSolute = true;
    } else if (name == "--T") {
      ok = parseTemperatureList(value, options.temperaturesC, why), haveT = true;
    } else if (name == "--P") {
      ok = parsePressureList(value, options.pressures, why), haveP = true;
    } else if (name == "--format") {
      ok = parseFormat(value, options.format, why);
    } else if (name == "--threads") {
      ok = parseThreads(value, options.threads, why);
    } else if (name == "--output" || name == "-o") {
      ok = parseFileName(value, options.outputFile, why);
    } else if (name == "--plot") {
      ok = parseFileName(value, options.plotFile, why);
    } else if (name == "--y") {
      ok = parseYColumn(value, options.plotY, why), haveY = true;
    } else if (name == "--x") {
      ok = parseXColumn(value, options.plotX, why), haveX = true;
    } else {
      error = "unknown option '" + std::string(name) + "'";
      return false;
    }
    if (!ok) {
      error = std::string(name) + ": " + why;
      return false;
    }
  }
  if (!haveSolute || !haveT || !haveP) {
    error = !haveSolute ? "--solute is required" : !haveT ? "--T is required" : "--P is required";
    return false;
  }
  if (!haveX) options.plotX = defaultXColumn(options);
  return checkTogether(options, haveY, haveX, error);
}

std::size_t defaultXColumn(const Options& options) {
  return options.pressures.size() > options.temperaturesC.size() ? kPressureColumn
                                                                 : kTemperatureColumn;
}

std::string_view usageText() {
  return R"(usage: aqsol-table --solute LIST --T LIST --P LIST [options]

Properties of pure water and of a solute at infinite dilution in water, one row per
(solute, T, P), ordered by solute, then T, then P.

  --solute LIST   solute names (any case), menu numbers 1-20, or all:
                  H2 N2 O2 H2S CO2 Ar Ne NH3 SO2 CH4 C2H4 C2H6 C3H8 C4H10 C6H6
                  HCl HF H3BO3 H3AsO3 H2Se
  --T LIST        temperatures in degrees Celsius
  --P LIST        pressures in bar; sat (or 0) for the saturation pressure at each T
  --format F      csv (default), tsv, or json (JSON Lines: one object per row with the
                  header's names as keys, null for the values of a failed row)
  --output FILE   write the table to FILE (it appears only when complete) instead of
                  standard output; -o FILE for short
  --plot FILE     also draw a plot with gnuplot: FILE.png, FILE.svg or FILE.pdf
  --y COLUMN      the column to plot: T_C, P_bar, rho ... K_aq_gas
  --x COLUMN      plot against T_C or P_bar (default: the one with more values); one
                  curve per solute and per value of the other; failed rows leave gaps
  --threads N     compute rows on N threads (default: one per core); the output is the same
  --quiet, -q     no progress line (shown on a terminal for tables taking over a second)
  --help          this text

LIST is comma-separated values and ranges start:stop:step (stop included), e.g.
  --T 25,50:300:50   --P sat,1,100:1000:100

Columns and units:
  T_C        temperature, C              P_bar      pressure used, bar
  rho        density of water, g/cm3     drho_dP    g/(cm3 bar)
  drho_dT    g/(cm3 K)                   d2rho_dT2  g/(cm3 K2)
  V_H2O      molar volume, cm3/mol       Cp_H2O     heat capacity, cal/(mol K)
  lnf_H2O    ln fugacity of water, bar   lnkH       ln Henry constant, bar
  V2         partial molar volume of the solute, cm3/mol
  Cp2        partial molar heat capacity, cal/(mol K)
  Gaq        Gibbs energy, cal/mol       S2         entropy, cal/(mol K)
  K_aq_gas   exp(lnkH)*Mw/1000, bar/(mol/kg)
  status     ok, or why the row could not be computed (its values are then empty)

Examples:
  aqsol-table --solute CO2,CH4 --T 0:350:5 --P sat --y lnkH --plot kh.png
  aqsol-table --solute all --T 25 --P 1 --format json | jq .lnkH

Exit status: 0 on success (failed rows included), 1 when the table or plot could not be
made, 2 on a bad argument, 3 on a write error (a full disk, a closed pipe).
)";
}

}  // namespace aqsol::table
