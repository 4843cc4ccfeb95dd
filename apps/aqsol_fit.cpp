// aqsol-fit: fits a solute's (xi, a, b) to measured Henry constants against aqsol's own water,
// and writes the parameters, their standard errors, the residuals and a species-file row.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/plot.hpp"
#include "apps/table/state_list.hpp"
#include "bindings/requests.hpp"
#include "calculator/solute_fit.hpp"
#include "calculator/solute_set.hpp"
#include "services/file_output.hpp"
#include "services/shortest_number.hpp"
#include "services/version.hpp"

namespace aqsol::fit {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

constexpr int kExitOk = 0, kExitFailed = 1, kExitBadArgument = 2, kExitWriteError = 3;

constexpr std::string_view kUsage =
    R"(usage: aqsol-fit --data FILE --name NAME [--like SOLUTE] [--species FILE]
                 [--gf298 G] [--s298 S] [--cpA A] [--cpB B] [--cpC C] [--row FILE]
                 [--plot FILE]

Fits a solute's xi, a and b to measured Henry constants by weighted linear least squares
against aqsol's own water properties (ln kH is linear in the three), and writes the
parameters with their standard errors and correlations, every residual, the worst and RMS
residual, and the solute as a species-file row.

  --data FILE     the measurements (- for standard input): a CSV or whitespace table whose
                  header names T_C, P_bar (or P_MPa; sat for the saturation pressure), and
                  for each state one of: lnkH; kH_bar (kH in bar); x, the gas's mole
                  fraction, at p_gas_bar, its partial pressure (kH = p/x); m, its molality,
                  at f_gas_bar, its fugacity (K = f/m). Optionally u_lnkH, the standard
                  uncertainty of each ln kH, which then weighs it (without it every point
                  weighs the same and the residuals' scatter sets the standard errors)
  --name NAME     the solute's name in the species row
  --like SOLUTE   take the ideal-gas data (gf298, s298, cpA, cpB, cpC) from this solute,
                  built-in or of --species files; each may be overridden by its own option
  --species FILE  a species file whose solutes --like may name (repeatable)
  --gf298 G ... --cpC C  the ideal-gas data (cal/mol, cal/(mol K)). They do not enter ln kH
                  and so not the fit, but they do enter Gaq, S2, Cp2 and K_aq_gas
  --row FILE      also write the species file (header and row) to FILE
  --plot FILE     also draw the measured and the fitted ln kH against temperature with
                  gnuplot: FILE.png, FILE.svg or FILE.pdf
  --help, --version

At least 4 points at several temperatures are needed; data that cannot tell the three
parameters apart are refused. Exit status: 0 fitted, 1 no fit could be made, 2 a bad argument
or data line, 3 a write error.
)";

struct Arguments {
  std::string data, name, like, row, plot;
  std::vector<std::string> species;
  double idealGas[5] = {kNotANumber, kNotANumber, kNotANumber, kNotANumber,
                        kNotANumber};  // gf298, s298, cpA, cpB, cpC
  bool help = false, version = false;
};

constexpr std::string_view kIdealGasOptions[] = {"--gf298", "--s298", "--cpA", "--cpB", "--cpC"};

bool readNumber(std::string_view text, double& value) {
  std::vector<double> one;
  std::string ignored;
  if (text.find_first_of(",:") != std::string_view::npos ||
      !table::parseNumberList(text, one, ignored))
    return false;
  value = one.front();
  return true;
}

bool readArgument(std::string_view name, std::string_view value, Arguments& a, std::string& why) {
  for (std::size_t n = 0; n < std::size(kIdealGasOptions); ++n)
    if (name == kIdealGasOptions[n]) {
      if (readNumber(value, a.idealGas[n])) return true;
      why = std::string(name) + ": not a number: " + requests::quoted(value);
      return false;
    }
  std::string* text = name == "--data"      ? &a.data
                      : name == "--name"    ? &a.name
                      : name == "--like"    ? &a.like
                      : name == "--row"     ? &a.row
                      : name == "--plot"    ? &a.plot
                      : name == "--species" ? &a.species.emplace_back()
                                            : nullptr;
  if (text == nullptr) {
    why = "unknown option " + requests::quoted(name);
    return false;
  }
  *text = value;
  return true;
}

bool readArguments(std::span<char*> args, Arguments& a, std::string& why) {
  for (std::size_t n = 0; n < args.size(); ++n) {
    const std::string_view name = args[n];
    a.help = a.help || name == "--help" || name == "-h";
    a.version = a.version || name == "--version";
    if (a.help || a.version) return true;
    if (n + 1 == args.size()) {
      why = requests::quoted(name) + ": missing value";
      return false;
    }
    if (!readArgument(name, args[++n], a, why)) return false;
  }
  if (a.data.empty() || a.name.empty()) {
    why = a.data.empty() ? "--data FILE is required" : "--name NAME is required";
    return false;
  }
  if (!a.plot.empty() && !table::hasPlotExtension(a.plot)) {
    why = "--plot: " + requests::quoted(a.plot) + " must end in .png, .svg or .pdf";
    return false;
  }
  return true;
}

// The measurements: states with ln kH (from lnkH or kH_bar) and their uncertainties.
// The columns a measurement may give, in this order.
enum Measured : std::size_t { kLnkH, kKH, kX, kPGas, kMolality, kFGas, kU, kMeasuredCount };
constexpr std::string_view kMeasuredColumns[kMeasuredCount] = {
    "lnkH", "kH_bar", "x", "p_gas_bar", "m", "f_gas_bar", "u_lnkH"};

// ln kH (kH in bar, mole-fraction basis) of one state's values: lnkH itself; kH_bar; a mole
// fraction x at a partial pressure p_gas_bar (kH = p/x); or a molality m at a fugacity
// f_gas_bar (K = f/m, kH = K 1000/Mw). NaN where the state gives no one of them, or two.
double lnkHOf(const double* v, double molarMassWater) {
  const auto given = [&](Measured m) { return !std::isnan(v[m]); };
  const bool forms[] = {given(kLnkH), given(kKH), given(kX) && given(kPGas),
                        given(kMolality) && given(kFGas)};
  if (std::count(std::begin(forms), std::end(forms), true) != 1) return kNotANumber;
  if (forms[0]) return v[kLnkH];
  if (forms[1]) return v[kKH] > 0 ? std::log(v[kKH]) : kNotANumber;
  if (forms[2])
    return v[kX] > 0 && v[kX] < 1 && v[kPGas] > 0 ? std::log(v[kPGas] / v[kX]) : kNotANumber;
  return v[kMolality] > 0 && v[kFGas] > 0
             ? std::log(v[kFGas] / v[kMolality]) + std::log(1000 / molarMassWater)
             : kNotANumber;
}

// The measurements: states with ln kH and their uncertainties.
bool readData(const std::string& file, double molarMassWater, std::vector<HenryPoint>& points,
              std::string& why) {
  table::StateBlock list;
  if (!table::readStateList(file, {}, list, why, {kMeasuredColumns, {}})) return false;
  const std::vector<table::StateItem>& states = list.states;
  for (std::size_t n = 0; n < states.size(); ++n) {
    const double* v = &list.numbers[n * kMeasuredCount];
    const double lnkH = lnkHOf(v, molarMassWater), u = v[kU];
    if (std::isnan(lnkH) || (!std::isnan(u) && !(u > 0))) {
      why = requests::quoted(file) + ": state " + std::to_string(n + 1) +
            ": give one of lnkH, a positive kH_bar, x (0 < x < 1) with p_gas_bar, or m with "
            "f_gas_bar, and a positive u_lnkH if any";
      return false;
    }
    points.push_back({states[n].temperatureC, states[n].pressure, lnkH, std::isnan(u) ? 0 : u});
  }
  return true;
}

// The solute's record: the ideal-gas data of --like, each overridden by its own option; all
// five are needed.
bool idealGasOf(const Arguments& a, SoluteParams& solute, std::string& why) {
  SoluteSet set;
  for (const std::string& file : a.species)
    if (!set.addSpeciesFile(file, why)) return false;
  if (!a.like.empty()) {
    const SoluteParams* like = requests::readOneSolute(a.like, set, why);
    if (like == nullptr) return false;
    solute = *like;
  }
  double* fields[] = {&solute.gf298, &solute.s298, &solute.cpA, &solute.cpB, &solute.cpC};
  for (std::size_t n = 0; n < std::size(fields); ++n) {
    if (!std::isnan(a.idealGas[n])) *fields[n] = a.idealGas[n];
    if (a.like.empty() && std::isnan(a.idealGas[n])) {
      why = "the ideal-gas data are needed: --like SOLUTE, or " + std::string(kIdealGasOptions[n]);
      return false;
    }
  }
  return true;
}

// The shortest text that reads back as `value`.
std::string number(double value) {
  char text[kShortestNumberRoom];
  return {text, writeShortest(text, value)};
}

// The species file of the fitted solute: its header and row, with the fit's provenance.
std::string speciesRow(const std::string& name, const SoluteParams& s, const SoluteFit& fit,
                       std::span<const HenryPoint> points) {
  double lowest = kInfinity, highest = -kInfinity;
  for (std::size_t n = 0; n < points.size(); ++n)
    if (!std::isnan(fit.residuals[n])) {
      lowest = std::min(lowest, points[n].temperatureC);
      highest = std::max(highest, points[n].temperatureC);
    }
  // A built-in solute's name: the row replaces it.
  const bool replaces = findSolute(name) != nullptr;
  std::string row =
      "name,xi,a,b,gf298,s298,cpA,cpB,cpC,source,T_min_C,T_max_C,worst_residual,"
      "rms_residual,se_xi,se_a,se_b" +
      std::string(replaces ? ",replaces\n" : "\n") + name;
  for (double v : {s.xi, s.a, s.b, s.gf298, s.s298, s.cpA, s.cpB, s.cpC}) row += "," + number(v);
  row +=
      ",aqsol-fit " + std::string(version()) + " (" + std::to_string(fit.pointsUsed) + " points)";
  for (double v : {lowest, highest, fit.worstResidual, fit.rmsResidual, fit.standardErrors[0],
                   fit.standardErrors[1], fit.standardErrors[2]})
    row += "," + number(v);
  return row + (replaces ? ",yes\n" : "\n");
}

// The report: the parameters with their standard errors and correlations, the residuals.
std::string report(const SoluteFit& fit, std::span<const HenryPoint> points) {
  char line[200];
  std::string text = "parameter  value                   standard error\n";
  const char* names[] = {"xi", "a", "b"};
  const double values[] = {fit.xi, fit.a, fit.b};
  for (int n = 0; n < 3; ++n) {
    std::snprintf(line, sizeof line, "%-10s %-23.17g %.3g\n", names[n], values[n],
                  fit.standardErrors[static_cast<std::size_t>(n)]);
    text += line;
  }
  text += "correlation   xi       a        b\n";
  for (int i = 0; i < 3; ++i) {
    std::snprintf(line, sizeof line, "%-10s %8.5f %8.5f %8.5f\n", names[i], fit.correlation[i][0],
                  fit.correlation[i][1], fit.correlation[i][2]);
    text += line;
  }
  text += "\nT_C,P_bar,lnkH,residual\n";
  for (std::size_t n = 0; n < points.size(); ++n)
    text += number(points[n].temperatureC) + "," + number(fit.pressuresBar[n]) + "," +
            number(points[n].lnkH) + "," +
            (std::isnan(fit.residuals[n]) ? std::string("(water not computed)")
                                          : number(fit.residuals[n])) +
            "\n";
  std::snprintf(line, sizeof line, "\n%zu points; worst |residual| %.3g, RMS %.3g in ln kH%s\n",
                fit.pointsUsed, fit.worstResidual, fit.rmsResidual,
                fit.reducedChiSquare > 0
                    ? (", reduced chi-square " + number(fit.reducedChiSquare)).c_str()
                    : "");
  return text + line;
}

// The most pressures a plot draws a pair of curves for; beyond them one pair holds every point.
constexpr std::size_t kMostPlottedPressures = 4;

// The measured and the fitted ln kH against temperature, in the order of temperature: a pair of
// curves per pressure asked for (the saturation pressure, or a value in bar), where there are
// few of them.
std::vector<table::PlotData::Series> fitSeries(const SoluteFit& fit,
                                               std::span<const HenryPoint> points) {
  const auto keyOf = [](const HenryPoint& p) {
    return p.pressure.saturation ? -1.0 : p.pressure.bar;
  };
  std::vector<double> keys;
  for (const HenryPoint& p : points)
    if (std::find(keys.begin(), keys.end(), keyOf(p)) == keys.end()) keys.push_back(keyOf(p));
  const bool grouped = keys.size() <= kMostPlottedPressures;
  if (!grouped) keys = {0};
  std::vector<std::size_t> order(points.size());
  for (std::size_t n = 0; n < order.size(); ++n) order[n] = n;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return points[a].temperatureC < points[b].temperatureC;
  });
  std::vector<table::PlotData::Series> series;
  for (double key : keys) {
    const std::string at = !grouped ? "" : key < 0 ? ", P = sat" : ", P = " + number(key) + " bar";
    table::PlotData::Series measured{"measured" + at, {}, {}, {}},
        fitted{"fitted" + at, {}, {}, {}};
    for (std::size_t n : order) {
      if (std::isnan(fit.residuals[n]) || (grouped && keyOf(points[n]) != key)) continue;
      measured.x.push_back(points[n].temperatureC);
      measured.y.push_back(points[n].lnkH);
      fitted.x.push_back(points[n].temperatureC);
      fitted.y.push_back(points[n].lnkH - fit.residuals[n]);
    }
    series.push_back(std::move(measured));
    series.push_back(std::move(fitted));
  }
  return series;
}

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "aqsol-fit: %s\n", message.c_str());
  return status;
}

// Writes `text` to standard output, and the species row to `file` where one is named.
int writeResults(const std::string& text, const std::string& row, const std::string& file) {
  std::string why;
  Output out(STDOUT_FILENO);
  if (!out.write(text + "\nspecies row:\n" + row) || !out.flush())
    return fail(kExitWriteError, writeErrorMessage(out.error()));
  if (file.empty()) return kExitOk;
  OutputFile rowFile;
  if (!rowFile.open(file, why)) return fail(kExitFailed, why);
  Output rowOut(rowFile.fd());
  if (!rowOut.write(row) || !rowOut.flush())
    return fail(kExitWriteError, writeErrorMessage(rowOut.error()));
  return rowFile.commit(why) ? kExitOk : fail(kExitWriteError, why);
}

// Draws the plot of the fit into the file `plot` is open on.
int drawFit(const Arguments& a, const SoluteFit& fit, std::span<const HenryPoint> points,
            OutputFile& plot) {
  std::string why;
  const table::PlotAxes axes{"temperature (°C)", "ln kH (kH in bar)",
                             a.name + ": ln kH measured and fitted"};
  return table::drawSeries(a.plot, axes, fitSeries(fit, points), plot, why)
             ? kExitOk
             : fail(kExitFailed, why);
}

int run(const Arguments& a) {
  std::string why;
  SoluteParams solute;
  std::vector<HenryPoint> points;
  OutputFile plot;
  if (!a.plot.empty() && (!table::plotterAvailable(why) || !plot.open(a.plot, why)))
    return fail(kExitFailed, why);
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  if (!idealGasOf(a, solute, why) || !readData(a.data, k.Mw, points, why))
    return fail(kExitBadArgument, why);
  const SoluteFit fit = fitSolute(k, points);
  if (!fit.error.empty()) return fail(kExitFailed, fit.error);
  std::string checked;
  const std::string row = speciesRow(a.name, withFit(solute, fit), fit, points);
  if (SoluteSet test; !test.addSpecies("the species row", row, checked))
    return fail(kExitBadArgument, checked);
  const int status = writeResults(report(fit, points), row, a.row);
  return status != kExitOk || a.plot.empty() ? status : drawFit(a, fit, points, plot);
}

}  // namespace
}  // namespace aqsol::fit

int main(int argc, char** argv) {
  using namespace aqsol::fit;
  Arguments arguments;
  std::string why;
  if (!readArguments({argv + 1, static_cast<std::size_t>(argc - 1)}, arguments, why)) {
    std::fprintf(stderr, "aqsol-fit: %s\n(see aqsol-fit --help)\n", why.c_str());
    return kExitBadArgument;
  }
  if (arguments.help || arguments.version) {
    const std::string text = arguments.help ? std::string(kUsage) : aqsol::versionText("aqsol-fit");
    return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? kExitOk
                                                                             : kExitWriteError;
  }
  return run(arguments);
}
