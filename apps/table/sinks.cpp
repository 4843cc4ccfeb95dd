// The sinks of a run of aqsol-table.
#include "apps/table/sinks.hpp"

#include <unistd.h>

namespace aqsol::table {
namespace {

// A grid's pressures recur for every temperature; their texts are made once, where there are few
// enough of them to keep.
constexpr std::size_t kMostPressureTexts = 65'536;

PressureTexts pressureTextsFor(const Options& options) {
  const bool recur = !options.stateList && options.temperaturesC.size() > 1 &&
                     options.pressures.size() <= kMostPressureTexts;
  return recur ? PressureTexts(options.pressures, options.units) : PressureTexts();
}

}  // namespace

void MadeRow::reset() {
  text.clear();
  x.reset();
  y.reset();
  phase.reset();
}

void RowSink::make(const ComputedRows&, std::span<MadeRow>) const {}

TextSink::TextSink(const Options& options, int fd)
    : style_(options.format, options.units, options.withSolute(), options.columns, options.keep),
      pressureTexts_(pressureTextsFor(options)),
      out_(fd) {}

bool TextSink::failed() {
  error = writeErrorMessage(out_.error());
  return false;
}

bool TextSink::start() {
  return out_.write(headerText(style_)) || failed();
}

void TextSink::make(const ComputedRows& chunk, std::span<MadeRow> made) const {
  appendRows(style_, chunk.rows, made[0].text, pressureTexts_, chunk.kept);
}

bool TextSink::take(std::size_t, const MadeRow& made) {
  return out_.write(made.text) || failed();
}

bool TextSink::flush() {
  return out_.flush() || failed();
}

bool TextSink::finish() {
  return flush();
}

bool NetcdfSink::failed(const std::string& file) {
  error = "cannot write " + quoted(file) + ": " + error;
  return false;
}

bool NetcdfSink::start(const Options& options, OutputFile& file) {
  file_ = options.outputFile;
  fd_ = file.fd();
  if (!name_.begin(file, error)) {
    status = kExitFailed;
    return false;
  }
  if (dataset_.create(name_.name(), options, error)) return true;
  status = dataset_.tooLarge() ? kExitBadArgument : kExitWriteError;
  return failed(file_);
}

void NetcdfSink::make(const ComputedRows& chunk, std::span<MadeRow> made) const {
  const std::span<const Row> rows = chunk.rows;
  for (std::size_t n = 0; n < rows.size(); ++n) {
    if (!made[n].netcdf) made[n].netcdf = std::make_unique<NetcdfRow>();
    *made[n].netcdf = netcdfRowOf(rows[n], units_);
  }
}

bool NetcdfSink::take(std::size_t index, const MadeRow& made) {
  return dataset_.add(index, *made.netcdf, error) || failed(file_);
}

bool NetcdfSink::finish() {
  return (dataset_.finish(fd_, error) && name_.finish(error)) || failed(file_);
}

PlotSink::PlotSink(const Options& options, OutputFile& plot)
    : options_(options), plot_(plot), data_(options) {
  status = kExitFailed;
}

void PlotSink::make(const ComputedRows& chunk, std::span<MadeRow> made) const {
  const std::span<const Row> rows = chunk.rows;
  for (std::size_t n = 0; n < rows.size(); ++n) {
    made[n].x = columnValue(rows[n], options_.plotX, options_.units);
    made[n].y = columnValue(rows[n], options_.plotY, options_.units);
    if (rows[n].status.empty()) made[n].phase = rows[n].phase;
  }
}

bool PlotSink::take(std::size_t index, const MadeRow& made) {
  data_.add(index, made.x, made.y, made.phase);
  return true;
}

bool PlotSink::finish() {
  return drawPlot(options_, data_, plot_, error);
}

bool ProgressSink::take(std::size_t index, const MadeRow&) {
  progress_.update(index + 1);
  return true;
}

bool ProgressSink::finish() {
  progress_.finish();
  return true;
}

}  // namespace aqsol::table
