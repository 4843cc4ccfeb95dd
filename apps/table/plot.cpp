// Plots of one column of aqsol-table against temperature or pressure, drawn by gnuplot.
#include "apps/table/plot.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "apps/table/columns.hpp"
#include "apps/table/output.hpp"

namespace aqsol::table {
namespace {

constexpr const char* kMissingPlotter =
    "gnuplot was not found: install Debian's gnuplot-nox (apt install gnuplot-nox)";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string pressureLabel(const PressureItem& p) {
  return p.saturation ? "P = sat" : "P = " + number(p.bar) + " bar";
}

// A string for a gnuplot script, in double quotes.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string extensionOf(const std::string& file) {
  return file.substr(file.rfind('.') + 1);
}

std::string terminalFor(const std::string& file) {
  const std::string extension = extensionOf(file);
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

std::string scriptText(const Options& options, const std::vector<PlotData::Series>& series,
                       const std::string& dataFile, const std::string& plotFile) {
  std::ostringstream script;
  script << "set encoding utf8\n"
         << "set terminal " << terminalFor(options.plotFile) << '\n'
         << "set output " << quoted(plotFile) << '\n'
         << "set xlabel " << quoted(kColumns[options.plotX].label) << '\n'
         << "set ylabel " << quoted(kColumns[options.plotY].label) << '\n'
         << "set title "
         << quoted(std::string(kColumns[options.plotY].name) + " against " +
                   std::string(kColumns[options.plotX].name))
         << '\n'
         << "set grid\nset key outside right top\n"
         // Past the eighth curve, the colours come again with dashed lines.
         << "do for [n=1:8] { set linetype n+8 linecolor n dashtype 2 }\n";
  std::string plot;
  std::size_t block = 0;
  for (const PlotData::Series& s : series) {
    if (!s.hasPoints()) continue;
    plot += plot.empty() ? "plot " : ", \\\n     ";
    plot += quoted(dataFile) + " index " + std::to_string(block++) +
            " using 1:2 with linespoints pointsize 0.4 title " + quoted(s.label);
  }
  script << plot << '\n';
  return script.str();
}

bool writeTemporary(const std::string& text, std::string& path, std::string& error) {
  const char* folder = std::getenv("TMPDIR");
  path = std::string(folder && *folder ? folder : "/tmp") + "/aqsol-plot.XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) {
    error = std::string("cannot write a temporary file: ") + std::strerror(errno);
    return false;
  }
  Output out(fd);
  const bool ok = out.write(text) && out.flush();
  close(fd);
  if (!ok) error = writeErrorMessage(out.error());
  return ok;
}

// Runs gnuplot on a script file, its output to stderr. False with `error` set on failure.
bool runGnuplot(const std::string& script, std::string& error) {
  const pid_t child = fork();
  if (child < 0) {
    error = std::string("cannot start gnuplot: ") + std::strerror(errno);
    return false;
  }
  if (child == 0) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execlp("gnuplot", "gnuplot", script.c_str(), static_cast<char*>(nullptr));
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

bool PlotData::Series::hasPoints() const {
  for (std::size_t n = 0; n < x.size(); ++n)
    if (x[n] && y[n]) return true;
  return false;
}

PlotData::PlotData(const Options& options)
    : temperatures_(options.temperaturesC.size()),
      pressures_(options.pressures.size()),
      alongTemperature_(options.plotX == kTemperatureColumn) {
  const std::size_t others = alongTemperature_ ? pressures_ : temperatures_;
  for (const SoluteParams& solute : options.solutes) {
    for (std::size_t n = 0; n < others; ++n) {
      std::string label(solute.name);
      if (others > 1)
        label += ", " + (alongTemperature_ ? pressureLabel(options.pressures[n])
                                           : "T = " + number(options.temperaturesC[n]) + " °C");
      series_.push_back({std::move(label), {}, {}});
    }
  }
}

void PlotData::add(std::size_t index, std::optional<double> x, std::optional<double> y) {
  const std::size_t perSolute = temperatures_ * pressures_;
  const std::size_t solute = index / perSolute;
  const std::size_t other =
      alongTemperature_ ? index % pressures_ : index / pressures_ % temperatures_;
  Series& s = series_[solute * (alongTemperature_ ? pressures_ : temperatures_) + other];
  s.x.push_back(x);
  s.y.push_back(y);
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

bool drawPlot(const Options& options, const PlotData& data, std::string& error) {
  bool anyPoint = false;
  for (const PlotData::Series& s : data.series()) anyPoint = anyPoint || s.hasPoints();
  if (!anyPoint) {
    error = "no row of the table could be computed: nothing to plot";
    return false;
  }
  FileUnderConstruction plot;  // gnuplot writes the temporary file, renamed when complete
  if (!plot.open(options.plotFile, error)) return false;
  std::string dataFile, scriptFile;
  bool ok = writeTemporary(dataText(data.series()), dataFile, error);
  if (ok) {
    ok = writeTemporary(scriptText(options, data.series(), dataFile, plot.temporaryName()),
                        scriptFile, error) &&
         runGnuplot(scriptFile, error);
  }
  if (!dataFile.empty()) unlink(dataFile.c_str());
  if (!scriptFile.empty()) unlink(scriptFile.c_str());
  return ok && plot.commit(error);
}

}  // namespace aqsol::table
