// One run of aqsol-table: the rows computed and fed, in order, to the sinks that write, plot and
// show progress.
#include "apps/table/run.hpp"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "apps/table/ordered_rows.hpp"
#include "apps/table/sinks.hpp"
#include "bindings/columns.hpp"
#include "services/file_output.hpp"

namespace aqsol::table {
namespace {

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "aqsol-table: %s\n", message.c_str());
  return status;
}

int fail(const RowSink& sink) {
  return fail(sink.status, sink.error);
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

// The run's files, opened before any row is computed so that a name that cannot be written is
// found at once.
struct RunFiles {
  OutputFile table, plot;
};

int openFiles(const Options& options, RunFiles& files) {
  std::string error;
  const bool plotting = !options.plotFile.empty();
  if (plotting && !plotterAvailable(error)) return fail(kExitFailed, error);
  if (plotting && !outputsAreDistinct(options, error)) return fail(kExitBadArgument, error);
  if (!options.outputFile.empty() && !files.table.open(options.outputFile, error))
    return fail(kExitFailed, error);
  if (plotting && !files.plot.open(options.plotFile, error)) return fail(kExitFailed, error);
  return kExitOk;
}

// The sink the table goes to, started: text on standard output or the table's file, or a netCDF
// dataset. Null (with the failure reported) when it cannot start.
std::unique_ptr<RowSink> startTable(const Options& options, RunFiles& files, int& status) {
  if (options.format == Format::kNetcdf) {
    auto dataset = std::make_unique<NetcdfSink>(options);
    if (dataset->start(options, files.table)) return dataset;
    status = fail(*dataset);
    return nullptr;
  }
  auto text = std::make_unique<TextSink>(
      options, options.outputFile.empty() ? STDOUT_FILENO : files.table.fd());
  if (text->start()) return text;
  status = fail(*text);
  return nullptr;
}

// A progress line on a terminal, unless the table itself is written to it among the lines.
std::unique_ptr<RowSink> progressFor(const Options& options) {
  const bool tableOnTerminal = options.outputFile.empty() && isatty(STDOUT_FILENO);
  if (options.quiet || !isatty(STDERR_FILENO) || tableOnTerminal) return nullptr;
  return std::make_unique<ProgressSink>(options.rowCount());
}

// Computes every row and feeds it to every sink, in table order.
bool feedRows(const Options& options, const Constants& k, unsigned threads,
              std::span<RowSink* const> sinks, RowSink*& failed) {
  const auto make = [&](std::size_t first, std::span<MadeRow> made) {
    std::vector<RowRequest> requests;
    requests.reserve(made.size());
    appendRequests(options, first, made.size(), requests);
    std::vector<Row> computed(made.size());
    computeRows(k, requests, computed);
    for (MadeRow& row : made) row.reset();
    for (const RowSink* sink : sinks) sink->make(computed, made);
  };
  const auto take = [&](std::size_t i, const MadeRow& made) {
    for (RowSink* sink : sinks) {
      if (sink->take(i, made)) continue;
      failed = sink;
      return false;
    }
    return true;
  };
  return makeRowsInOrder<MadeRow>(options.rowCount(), threads, make, take);
}

}  // namespace

int runTable(const Options& options, const Constants& k, unsigned threads) {
  RunFiles files;
  int status = openFiles(options, files);
  if (status != kExitOk) return status;
  const std::unique_ptr<RowSink> table = startTable(options, files, status);
  if (!table) return status;
  std::unique_ptr<RowSink> progress = progressFor(options);
  std::unique_ptr<RowSink> plot;
  if (!options.plotFile.empty()) plot = std::make_unique<PlotSink>(options, files.plot);
  std::vector<RowSink*> sinks{table.get()};
  for (RowSink* sink : {progress.get(), plot.get()})
    if (sink != nullptr) sinks.push_back(sink);

  RowSink* failed = table.get();
  const bool written = feedRows(options, k, threads, sinks, failed) && table->finish();
  if (progress) progress->finish();
  if (!written) return fail(*failed);
  std::string error;
  if (!options.outputFile.empty() && !files.table.commit(error))
    return fail(kExitWriteError, error);
  if (plot && !plot->finish()) return fail(*plot);
  return kExitOk;
}

}  // namespace aqsol::table
