// Plots of one column of aqsol-table against temperature or pressure, drawn by gnuplot.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/options.hpp"
#include "calculator/validity.hpp"
#include "services/file_output.hpp"

namespace aqsol::table {

// The points of a plot, gathered row by row in table order: one series per solute and per
// value of the variable that is not on the x axis.
class PlotData {
 public:
  explicit PlotData(const Options& options);

  // Adds row `index` of the table: a point of its series, or a gap in its curve when the row
  // has no value for x or y. A curve is broken where it crosses between liquid and vapour (the
  // saturation curve, where the properties jump); `phase` is absent for a row without values.
  void add(std::size_t index, std::optional<double> x, std::optional<double> y,
           std::optional<Phase> phase);

  struct Series {
    std::string label;                        // e.g. "CO2, P = sat"
    std::vector<std::optional<double>> x, y;  // a gap where either is absent
    std::optional<Phase> lastPhase;           // of the last point
    bool hasPoints() const;
  };
  const std::vector<Series>& series() const { return series_; }

 private:
  // One curve per value of the variable not on the x axis; one for a list of states.
  std::size_t curvesPerSolute() const;

  std::size_t statesPerSolute_, temperatures_, pressures_;
  bool stateList_, alongTemperature_;
  std::vector<Series> series_;
};

// Whether a file name ends in .png, .svg or .pdf, the kinds of plot drawn.
bool hasPlotExtension(std::string_view file);

// Whether gnuplot can be started; false with a message naming the package when it cannot.
bool plotterAvailable(std::string& error);

// The gnuplot script of a plot: the terminal for a file of that extension (png, svg, else pdf),
// the axis labels and title, and one curve per label, drawn from data block n of the data file.
// Every text is a string constant of the script, never a command; the names of the output and of
// the data file are not in the script at all: gnuplot is given them as ARG1 and ARG2.
std::string plotScript(std::string_view extension, std::string_view xLabel, std::string_view yLabel,
                       std::string_view title, const std::vector<std::string>& curveLabels);

// The axis labels and the title of a plot.
struct PlotAxes {
  std::string xLabel, yLabel, title;
};

// Draws `series` into `plot` (opened on `file`; PNG, SVG or PDF by its extension), one curve
// each with a legend, and commits it. False with `error` set when gnuplot fails, and with
// `error` empty when no series has a point.
bool drawSeries(const std::string& file, const PlotAxes& axes,
                const std::vector<PlotData::Series>& series, OutputFile& plot, std::string& error);

// Draws the plot into `plot` (opened on options.plotFile; PNG, SVG or PDF by its extension):
// axis labels with units, a legend, one curve per series, and commits it. False with `error`
// set when gnuplot fails.
bool drawPlot(const Options& options, const PlotData& data, OutputFile& plot, std::string& error);

}  // namespace aqsol::table
