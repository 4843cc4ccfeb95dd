// One run of aqsol-table: the rows computed, written, shown in progress and plotted.
#pragma once

#include "apps/table/options.hpp"
#include "calculator/constants.hpp"

namespace aqsol::table {

// Exit statuses of aqsol-table.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the output file or the plot could not be made
inline constexpr int kExitBadArgument = 2;
inline constexpr int kExitWriteError = 3;  // the table could not be written out

// Computes every row of `options` on `threads` threads and writes the table, in order, to
// standard output or to options.outputFile (which appears only when complete); shows progress
// on standard error when it is a terminal; draws the plot when one is asked for. Holds only a
// small window of rows (and the plotted points), so memory stays small for any grid. Stops at
// the first failed write. Messages go to standard error; returns the exit status.
int runTable(const Options& options, const Constants& k, unsigned threads);

}  // namespace aqsol::table
