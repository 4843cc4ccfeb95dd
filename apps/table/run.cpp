// One run of aqsol-table: the rows computed, written, shown in progress and plotted.
#include "apps/table/run.hpp"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/table/netcdf_table.hpp"
#include "apps/table/ordered_rows.hpp"
#include "apps/table/plot.hpp"
#include "apps/table/progress.hpp"
#include "apps/table/rows.hpp"
#include "bindings/columns.hpp"
#include "services/file_output.hpp"

namespace aqsol::table {
namespace {

// "cannot write 'FILE': netCDF: why".
std::string cannotWriteNetcdf(const std::string& file, const std::string& why) {
  return "cannot write " + quoted(file) + ": " + why;
}

// What a computing thread hands over for one row: its text and, for a plot, its point. The
// text of a whole chunk of rows is the first row's; the others' is empty.
struct MadeRow {
  std::string text;
  std::optional<double> x, y;
  std::optional<Phase> phase;
  // For --format netcdf, instead of the text: kept apart, made at the first netCDF row made in
  // this place, so that the rows of a text table stay small.
  std::unique_ptr<NetcdfRow> netcdf;

  // Ready for the next row made in this place: no text (its room kept) and no point. The netCDF
  // row is always replaced whole where it is used.
  void reset() {
    text.clear();
    x.reset();
    y.reset();
    phase.reset();
  }
};

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "aqsol-table: %s\n", message.c_str());
  return status;
}

// Refuses two outputs that are one file: the second would silently replace the first. Without
// --output the table goes to standard output, which --plot may name too.
bool outputsAreDistinct(const Options& options, std::string& error) {
  OutputTarget table, plot;
  std::string ignored;
  if (!resolveOutputTarget(options.outputFile.empty() ? "/dev/stdout" : options.outputFile, table,
                           ignored) ||
      !resolveOutputTarget(options.plotFile, plot, ignored) || !sameOutputFile(table, plot))
    return true;
  error = "the table and the plot would both be written to '" + options.plotFile + "'";
  return false;
}

}  // namespace

int runTable(const Options& options, const Constants& k, unsigned threads) {
  std::string error;
  const bool plotting = !options.plotFile.empty();
  if (plotting && !plotterAvailable(error)) return fail(kExitFailed, error);

  if (plotting && !outputsAreDistinct(options, error)) return fail(kExitBadArgument, error);
  // Both outputs are opened before any row is computed, so that a name that cannot be written
  // is found at once.
  OutputFile file, plotFile;
  if (!options.outputFile.empty() && !file.open(options.outputFile, error))
    return fail(kExitFailed, error);
  if (plotting && !plotFile.open(options.plotFile, error)) return fail(kExitFailed, error);
  Output out(options.outputFile.empty() ? STDOUT_FILENO : file.fd());

  const std::size_t rows = options.rowCount();
  const bool netcdf = options.format == Format::kNetcdf;
  NetcdfTable dataset;
  OutputThroughName datasetName;
  if (netcdf && !datasetName.begin(file, error)) return fail(kExitFailed, error);
  if (netcdf && !dataset.create(datasetName.name(), options, error))
    return fail(dataset.tooLarge() ? kExitBadArgument : kExitWriteError,
                cannotWriteNetcdf(options.outputFile, error));
  const TableStyle style{options.format, options.units, options.withSolute()};
  // A grid's pressures recur for every temperature; their texts are made once, where there are
  // few enough of them to keep.
  constexpr std::size_t kMostPressureTexts = 65'536;
  const PressureTexts pressureTexts = !options.stateList && options.temperaturesC.size() > 1 &&
                                              options.pressures.size() <= kMostPressureTexts
                                          ? PressureTexts(options.pressures, options.units)
                                          : PressureTexts();
  const auto make = [&](std::size_t first, std::span<MadeRow> made) {
    std::vector<RowRequest> requests;
    requests.reserve(made.size());
    appendRequests(options, first, made.size(), requests);
    std::vector<Row> computed(made.size());
    computeRows(k, requests, computed);
    for (std::size_t n = 0; n < made.size(); ++n) {
      made[n].reset();
      if (netcdf) {
        if (!made[n].netcdf) made[n].netcdf = std::make_unique<NetcdfRow>();
        *made[n].netcdf = netcdfRowOf(computed[n], options.units);
      }
      if (plotting) {
        made[n].x = columnValue(computed[n], options.plotX, options.units);
        made[n].y = columnValue(computed[n], options.plotY, options.units);
        if (computed[n].status.empty()) made[n].phase = computed[n].phase;
      }
    }
    if (!netcdf) appendRows(style, computed, made[0].text, pressureTexts);
  };
  std::optional<Progress> progress;
  // On a terminal, unless the table itself is being written to it among the progress lines.
  const bool tableOnTerminal = options.outputFile.empty() && isatty(STDOUT_FILENO);
  if (!options.quiet && isatty(STDERR_FILENO) && !tableOnTerminal)
    progress.emplace(STDERR_FILENO, rows);
  std::optional<PlotData> plot;
  if (plotting) plot.emplace(options);
  const auto take = [&](std::size_t i, const MadeRow& made) {
    if (plot) plot->add(i, made.x, made.y, made.phase);
    if (progress) progress->update(i + 1);
    if (netcdf) return dataset.add(i, *made.netcdf, error);
    return out.write(made.text);
  };

  const bool written = out.write(headerText(style)) &&
                       makeRowsInOrder<MadeRow>(rows, threads, make, take) && out.flush() &&
                       (!netcdf || (dataset.finish(error) && datasetName.finish(error)));
  if (progress) progress->finish();
  if (!written && netcdf)
    return fail(kExitWriteError, cannotWriteNetcdf(options.outputFile, error));
  if (!written) return fail(kExitWriteError, writeErrorMessage(out.error()));
  if (!options.outputFile.empty() && !file.commit(error)) return fail(kExitWriteError, error);
  if (plot && !drawPlot(options, *plot, plotFile, error)) return fail(kExitFailed, error);
  return kExitOk;
}

}  // namespace aqsol::table
