// Plots of one column of aqsol-table against temperature or pressure, drawn by gnuplot.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "apps/table/options.hpp"

namespace aqsol::table {

// The points of a plot, gathered row by row in table order: one series per solute and per
// value of the variable that is not on the x axis.
class PlotData {
 public:
  explicit PlotData(const Options& options);

  // Adds row `index` of the table: a point of its series, or a gap in its curve when the row
  // has no value for x or y.
  void add(std::size_t index, std::optional<double> x, std::optional<double> y);

  struct Series {
    std::string label;                        // e.g. "CO2, P = sat"
    std::vector<std::optional<double>> x, y;  // a gap where either is absent
    bool hasPoints() const;
  };
  const std::vector<Series>& series() const { return series_; }

 private:
  std::size_t temperatures_, pressures_;
  bool alongTemperature_;
  std::vector<Series> series_;
};

// Whether gnuplot can be started; false with a message naming the package when it cannot.
bool plotterAvailable(std::string& error);

// Draws the plot into options.plotFile (PNG, SVG or PDF by its extension): axis labels with
// units, a legend, one curve per series. False with `error` set when gnuplot fails.
bool drawPlot(const Options& options, const PlotData& data, std::string& error);

}  // namespace aqsol::table
