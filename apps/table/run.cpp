// One run of aqsol-table: the rows computed and fed, in order, to the sinks that write, plot and
// show progress.
#include "apps/table/run.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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

// A part of the table: its rows' requests, and the texts each row carries (perRow a row).
struct TablePart {
  std::size_t count = 0;
  std::function<void(std::size_t first, std::size_t count, std::vector<RowRequest>&)> requests;
  std::span<const std::string> kept;
  std::size_t perRow = 0;
};

// Computes the rows of a part and feeds them to every sink in order, numbered from `offset`.
bool feedPart(const Constants& k, unsigned threads, std::span<RowSink* const> sinks,
              const TablePart& part, std::size_t offset, RowSink*& failed) {
  const auto make = [&](std::size_t first, std::span<MadeRow> made) {
    std::vector<RowRequest> requests;
    requests.reserve(made.size());
    part.requests(first, made.size(), requests);
    std::vector<Row> computed(made.size());
    computeRows(k, requests, computed);
    for (MadeRow& row : made) row.reset();
    const ComputedRows chunk{computed,
                             part.kept.subspan(first * part.perRow, made.size() * part.perRow)};
    for (const RowSink* sink : sinks) sink->make(chunk, made);
  };
  const auto take = [&](std::size_t i, const MadeRow& made) {
    for (RowSink* sink : sinks) {
      if (sink->take(offset + i, made)) continue;
      failed = sink;
      return false;
    }
    return true;
  };
  return makeRowsInOrder<MadeRow>(part.count, threads, make, take);
}

bool feedGrid(const Options& options, const Constants& k, unsigned threads,
              std::span<RowSink* const> sinks, RowSink*& failed) {
  const auto requests = [&](std::size_t first, std::size_t count, std::vector<RowRequest>& out) {
    appendGridRequests(options, first, count, out);
  };
  return feedPart(k, threads, sinks, {options.rowCount(), requests, {}, 0}, 0, failed);
}

bool flushSinks(std::span<RowSink* const> sinks, RowSink*& failed) {
  for (RowSink* sink : sinks) {
    if (sink->flush()) continue;
    failed = sink;
    return false;
  }
  return true;
}

// The states of a block of a list, for one solute (none: the water alone), as a part.
TablePart listPart(const Options& options, const SoluteParams* solute, const StateBlock& block) {
  const auto requests = [&block, solute](std::size_t first, std::size_t count,
                                         std::vector<RowRequest>& out) {
    for (std::size_t n = first; n < first + count; ++n)
      out.push_back({solute, block.states[n].temperatureC, block.states[n].pressure});
  };
  return {block.states.size(), requests, block.texts, options.keep.size()};
}

// The rows of a list, solute after solute. The states read at the start are the whole list or
// its first block; the reader gives the rest in growing blocks, and reads the list again for
// each further solute. False with `listError` set where a later line is bad.
bool feedList(const Options& options, const Constants& k, unsigned threads,
              std::span<RowSink* const> sinks, RowSink*& failed, std::string& listError) {
  StateReader& reader = *options.stateReader;
  const bool whole = reader.atEnd();
  std::size_t offset = 0;
  StateBlock block;
  const std::size_t solutes = std::max<std::size_t>(1, options.solutes.size());
  for (std::size_t s = 0; s < solutes; ++s) {
    const SoluteParams* solute = options.solutes.empty() ? nullptr : &options.solutes[s];
    if (s > 0 && !whole && !reader.rewind(listError)) return false;
    std::size_t size = kFirstStreamedStates;
    const bool firstHeld = s == 0 || whole;
    for (const StateBlock* states = firstHeld ? &options.states : nullptr;;) {
      if (states == nullptr) {
        block.clear();
        if (!reader.read(size, block, listError)) return false;
        size = std::min(2 * size, kLargestStateBlock);
        states = &block;
      }
      if (states->states.empty()) break;
      if (!feedPart(k, threads, sinks, listPart(options, solute, *states), offset, failed) ||
          !flushSinks(sinks, failed))
        return false;
      offset += states->states.size();
      if (whole) break;
      states = nullptr;
    }
  }
  return true;
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
  std::string listError;
  const bool fed = options.stateList ? feedList(options, k, threads, sinks, failed, listError)
                                     : feedGrid(options, k, threads, sinks, failed);
  const bool written = fed && table->finish();
  if (progress) progress->finish();
  if (!listError.empty()) return fail(kExitBadArgument, "--states: " + listError);
  if (!written) return fail(*failed);
  std::string error;
  if (!options.outputFile.empty() && !files.table.commit(error))
    return fail(kExitWriteError, error);
  if (plot && !plot->finish()) return fail(*plot);
  return kExitOk;
}

}  // namespace aqsol::table
