// Where a run of aqsol-table sends its rows: the table's text (CSV, TSV or JSON Lines), a netCDF
// dataset, a plot, the progress line. Each is a sink fed every row in table order.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "apps/table/netcdf_table.hpp"
#include "apps/table/options.hpp"
#include "apps/table/plot.hpp"
#include "apps/table/progress.hpp"
#include "apps/table/rows.hpp"
#include "calculator/state_rows.hpp"
#include "services/file_output.hpp"

namespace aqsol::table {

// Exit statuses of aqsol-table.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the output file or the plot could not be made
inline constexpr int kExitBadArgument = 2;
inline constexpr int kExitWriteError = 3;  // the table could not be written out

// What the computing threads make of one row for the sinks: its text, its netCDF row, its point.
// The text of a whole chunk of rows is the first row's; the others' is empty.
struct MadeRow {
  std::string text;
  std::optional<double> x, y;
  std::optional<Phase> phase;
  // Made at the first netCDF row made in this place, so that the rows of a text table stay small.
  std::unique_ptr<NetcdfRow> netcdf;

  // Ready for the next row made in this place: no text (its room kept) and no point. The netCDF
  // row is always replaced whole where it is used.
  void reset();
};

// A chunk of computed rows, with the texts of the list's columns they carry (--keep), a row's
// after another's.
struct ComputedRows {
  std::span<const Row> rows;
  std::span<const std::string> kept;
};

// A destination of a run's rows. `make` runs on the computing threads for a chunk of computed
// rows and fills in each MadeRow what this sink takes (reading only what stays constant during
// the run); `take` receives every row in table order on one thread; `finish` follows the last.
// After a failure, `status` and `error` say what went wrong.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void make(const ComputedRows& chunk, std::span<MadeRow> made) const;
  virtual bool take(std::size_t index, const MadeRow& made) = 0;
  // Passes on what has been taken so far (a streamed list waits for its next lines).
  virtual bool flush() { return true; }
  virtual bool finish() { return true; }

  int status = kExitWriteError;
  std::string error;
};

// The table as text on `fd`: the header at once, then each chunk's text.
class TextSink : public RowSink {
 public:
  TextSink(const Options& options, int fd);
  bool start();
  void make(const ComputedRows& chunk, std::span<MadeRow> made) const override;
  bool take(std::size_t index, const MadeRow& made) override;
  bool flush() override;
  bool finish() override;

 private:
  bool failed();

  TableStyle style_;
  PressureTexts pressureTexts_;
  Output out_;
};

// The table as a netCDF dataset written through `file`'s temporary name.
class NetcdfSink : public RowSink {
 public:
  explicit NetcdfSink(const Options& options) : units_(options.units) {}
  bool start(const Options& options, OutputFile& file);
  void make(const ComputedRows& chunk, std::span<MadeRow> made) const override;
  bool take(std::size_t index, const MadeRow& made) override;
  bool finish() override;

 private:
  bool failed(const std::string& file);

  Units units_;
  std::string file_;
  int fd_ = -1;  // the output's descriptor, which a dataset assembled in memory is written to
  NetcdfTable dataset_;
  OutputThroughName name_;
};

// The points of the plot, drawn into `plot` once every row is in.
class PlotSink : public RowSink {
 public:
  PlotSink(const Options& options, OutputFile& plot);
  void make(const ComputedRows& chunk, std::span<MadeRow> made) const override;
  bool take(std::size_t index, const MadeRow& made) override;
  bool finish() override;

 private:
  const Options& options_;
  OutputFile& plot_;
  PlotData data_;
};

// The progress line on standard error.
class ProgressSink : public RowSink {
 public:
  explicit ProgressSink(std::size_t rows) : progress_(STDERR_FILENO, rows) {}
  bool take(std::size_t index, const MadeRow&) override;
  bool finish() override;

 private:
  Progress progress_;
};

}  // namespace aqsol::table
