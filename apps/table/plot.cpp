// Plots of one column of aqsol-table against temperature or pressure, drawn by gnuplot.
#include "apps/table/plot.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "bindings/columns.hpp"
#include "services/file_output.hpp"

namespace aqsol::table {
namespace {

constexpr const char* kMissingPlotter =
    "gnuplot was not found: install Debian's gnuplot-nox (apt install gnuplot-nox)";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string pressureLabel(const PressureItem& p, const Units& units) {
  if (p.saturation) return "P = sat";
  return "P = " + number(inUnits(p.bar, kPressureColumn, units)) + " " +
         unitText(Dimension::kPressure, units);
}

// A gnuplot string constant in single quotes, in which nothing is special but the quote itself
// (doubled). Control characters, which could end the command, become spaces.
std::string gnuplotString(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
  }
  return out + "'";
}

std::string extensionOf(const std::string& file) {
  return file.substr(file.rfind('.') + 1);
}

std::string terminalFor(std::string_view extension) {
  if (extension == "png") return "pngcairo size 1000,700 noenhanced font \"sans,11\"";
  if (extension == "svg") return "svg size 1000,700 dynamic noenhanced font \"sans,11\"";
  return "pdfcairo size 10in,7in noenhanced font \"sans,11\"";
}

// The points, one gnuplot data block per series (two blank lines apart), a blank line where a
// curve has a gap.
std::string dataText(const std::vector<PlotData::Series>& series) {
  std::string text;
  for (const PlotData::Series& s : series) {
    if (!s.hasPoints()) continue;
    text += "# " + s.label + "\n";
    for (std::size_t n = 0; n < s.x.size(); ++n) {
      if (s.x[n] && s.y[n]) {
        text += number(*s.x[n]) + ' ' + number(*s.y[n]) + '\n';
      } else {
        text += '\n';
      }
    }
    text += "\n\n";
  }
  return text;
}

bool writeTemporary(const std::string& text, TemporaryFile& file, std::string& error) {
  if (!file.create(error)) return false;
  Output out(file.fd());
  const bool ok = out.write(text) && out.flush();
  file.closeDescriptor();
  if (!ok) error = writeErrorMessage(out.error());
  return ok;
}

// Runs gnuplot on a script file, its output to stderr; the script finds the plot's file name in
// ARG1 and the data file's in ARG2, so no file name is ever read as a command. False with
// `error` set on failure.
bool runGnuplot(const std::string& script, const std::string& plotFile, const std::string& dataFile,
                std::string& error) {
  const pid_t child = fork();
  if (child < 0) {
    error = std::string("cannot start gnuplot: ") + std::strerror(errno);
    return false;
  }
  if (child == 0) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execlp("gnuplot", "gnuplot", "-c", script.c_str(), plotFile.c_str(), dataFile.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? kMissingPlotter
                                                          : "gnuplot could not draw the plot";
  return false;
}

}  // namespace

std::string plotScript(std::string_view extension, std::string_view xLabel, std::string_view yLabel,
                       std::string_view title, const std::vector<std::string>& curveLabels) {
  std::string script = "set encoding utf8\n";
  script += "set terminal " + terminalFor(extension) + "\n";
  script += "set output ARG1\n";
  script += "set xlabel " + gnuplotString(xLabel) + "\n";
  script += "set ylabel " + gnuplotString(yLabel) + "\n";
  script += "set title " + gnuplotString(title) + "\n";
  script += "set grid\nset key outside right top\n";
  // Past the eighth curve, the colours come again with dashed lines.
  script += "do for [n=1:8] { set linetype n+8 linecolor n dashtype 2 }\n";
  for (std::size_t block = 0; block < curveLabels.size(); ++block) {
    script += block == 0 ? "plot " : ", \\\n     ";
    script += "ARG2 index " + std::to_string(block) +
              " using 1:2 with linespoints pointsize 0.4 title " +
              gnuplotString(curveLabels[block]);
  }
  return script + "\n";
}

bool PlotData::Series::hasPoints() const {
  for (std::size_t n = 0; n < x.size(); ++n)
    if (x[n] && y[n]) return true;
  return false;
}

PlotData::PlotData(const Options& options)
    : statesPerSolute_(options.statesPerSolute()),
      temperatures_(options.temperaturesC.size()),
      pressures_(options.pressures.size()),
      stateList_(options.stateList),
      alongTemperature_(options.plotX == kTemperatureColumn) {
  const std::size_t others = curvesPerSolute();
  std::vector<std::string_view> names;
  for (const SoluteParams& solute : options.solutes) names.push_back(solute.name);
  if (names.empty()) names.push_back("water");  // a curve of its own is labelled by the rest
  for (std::string_view name : names) {
    for (std::size_t n = 0; n < others; ++n) {
      std::string label = others > 1 && !options.withSolute() ? "" : std::string(name);
      if (others > 1)
        label += (label.empty() ? "" : ", ") +
                 (alongTemperature_ ? pressureLabel(options.pressures[n], options.units)
                                    : "T = " + number(options.temperaturesC[n]) + " °C");
      series_.push_back({std::move(label), {}, {}, {}});
    }
  }
}

std::size_t PlotData::curvesPerSolute() const {
  return stateList_ ? 1 : alongTemperature_ ? pressures_ : temperatures_;
}

void PlotData::add(std::size_t index, std::optional<double> x, std::optional<double> y,
                   std::optional<Phase> phase) {
  const std::size_t solute = index / statesPerSolute_;
  std::size_t other = 0;
  if (!stateList_)
    other = alongTemperature_ ? index % pressures_ : index / pressures_ % temperatures_;
  Series& s = series_[solute * curvesPerSolute() + other];
  const auto crosses = [](Phase a, Phase b) {
    return (a == Phase::kLiquid && b == Phase::kVapour) ||
           (a == Phase::kVapour && b == Phase::kLiquid);
  };
  if (phase && s.lastPhase && crosses(*s.lastPhase, *phase)) {
    s.x.emplace_back();
    s.y.emplace_back();
  }
  if (phase) s.lastPhase = phase;
  s.x.push_back(x);
  s.y.push_back(y);
}

bool hasPlotExtension(std::string_view file) {
  for (std::string_view extension : {".png", ".svg", ".pdf"})
    if (file.size() > extension.size() && file.ends_with(extension)) return true;
  return false;
}

bool plotterAvailable(std::string& error) {
  const char* path = std::getenv("PATH");
  std::string_view folders = path ? path : "/usr/bin:/bin";
  while (true) {
    const std::size_t colon = folders.find(':');
    std::string candidate(folders.substr(0, colon));
    candidate += candidate.empty() ? "./gnuplot" : "/gnuplot";
    if (access(candidate.c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  error = kMissingPlotter;
  return false;
}

bool drawPlot(const Options& options, const PlotData& data, OutputFile& plot, std::string& error) {
  const ColumnSet columns(options.units, options.withSolute());
  const ResolvedColumn &x = columns[options.plotX], &y = columns[options.plotY];
  if (drawSeries(options.plotFile, {x.label, y.label, y.name + " against " + x.name}, data.series(),
                 plot, error))
    return true;
  if (error.empty()) error = "no row of the table could be computed: nothing to plot";
  return false;
}

bool drawSeries(const std::string& file, const PlotAxes& axes,
                const std::vector<PlotData::Series>& series, OutputFile& plot, std::string& error) {
  std::vector<std::string> labels;
  for (const PlotData::Series& s : series)
    if (s.hasPoints()) labels.push_back(s.label);
  if (labels.empty()) return false;
  const std::string script =
      plotScript(extensionOf(file), axes.xLabel, axes.yLabel, axes.title, labels);
  // gnuplot draws into the temporary file that is renamed when complete, or, for an output
  // written in place, into a file of its own that is then copied there.
  OutputThroughName drawn;
  TemporaryFile dataFile, scriptFile;
  const bool ok = drawn.begin(plot, error) && writeTemporary(dataText(series), dataFile, error) &&
                  writeTemporary(script, scriptFile, error) &&
                  runGnuplot(scriptFile.path(), drawn.name(), dataFile.path(), error) &&
                  drawn.finish(error);
  return ok && plot.commit(error);
}

}  // namespace aqsol::table
