// Rows of aqsol-table: the state of each row, and its text as CSV, TSV or JSON.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/table/options.hpp"
#include "bindings/columns.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

// Rows first..first + count - 1 of the grid `options` asks for, appended to `requests`: solutes
// outermost, then T, then P.
void appendGridRequests(const Options& options, std::size_t first, std::size_t count,
                        std::vector<RowRequest>& requests);

// How a table is written: its format, the columns of a state list it carries first (--keep),
// and its columns (in its units; the solute's or not; every one or those chosen).
struct TableStyle {
  explicit TableStyle(Format tableFormat = Format::kCsv, const Units& units = {},
                      bool solute = true, const std::vector<std::size_t>& chosen = {},
                      std::vector<std::string> keptNames = {})
      : format(tableFormat), kept(std::move(keptNames)), columns(units, solute, chosen) {}

  Format format;
  std::vector<std::string> kept;
  ColumnSet columns;
  const Units& units() const { return columns.units(); }
  bool solute() const { return columns.solute(); }
};

// The header line with its line end (empty for JSON, whose objects name their values).
std::string headerText(const TableStyle& style);

// One row as text, with its line end: numbers in shortest round-trip form; for a failed row
// empty values (null in JSON), an empty phase and range.
std::string formatRow(const TableStyle& style, const Row& row);

// The texts of the pressures a grid asks for (all but the saturation pressure) in the table's
// units, made once: the grid's rows repeat them for every temperature. Read-only once made, so
// the threads that write rows share it.
class PressureTexts {
 public:
  // None, where no row would find its pressure among them often enough to pay for them.
  PressureTexts() = default;
  PressureTexts(std::span<const PressureItem> pressures, const Units& units);

  // The text of `value` at `out` (with kShortestNumberRoom of room) if it is one of the
  // pressures, the same bits; its end, or null when it is none of them.
  char* write(char* out, double value) const;

 private:
  struct Slot {
    std::uint64_t bits = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;  // 0: an empty slot
  };
  std::size_t slotOf(std::uint64_t bits) const;

  std::vector<Slot> slots_;  // open addressing, at least twice as many as the pressures
  int shift_ = 64;           // 64 - log2 of the number of slots
  std::string texts_;
};

// formatRow's text of each row appended to `text` (the rows of a chunk into one string), with the
// texts of recurring pressures taken from `pressures`, and each row's kept texts from `kept`
// (style.kept.size() a row, a row's after another's).
void appendRows(const TableStyle& style, std::span<const Row> rows, std::string& text,
                const PressureTexts& pressures = {}, std::span<const std::string> kept = {});

}  // namespace aqsol::table
