// One run of aqsol-table: the rows computed, written, shown in progress and plotted.
#pragma once

#include "apps/table/options.hpp"
#include "apps/table/sinks.hpp"
#include "calculator/constants.hpp"

namespace aqsol::table {

// Computes every row of `options` on `threads` threads and writes the table, in order, to
// standard output or to options.outputFile (which appears only when complete); shows progress
// on standard error when it is a terminal; draws the plot when one is asked for. Holds only a
// small window of rows (and the plotted points), so memory stays small for any grid. Stops at
// the first failed write. Messages go to standard error; returns the exit status.
int runTable(const Options& options, const Constants& k, unsigned threads);

}  // namespace aqsol::table
