// Rows of aqsol-table: the state of each row, and its text as CSV, TSV or JSON.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "apps/table/options.hpp"
#include "bindings/columns.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

// Row `index` of the table `options` asks for: solutes outermost, then the states (T, then P
// for a grid; in their order for a list).
RowRequest requestFor(const Options& options, std::size_t index);

// How a table is written: its format, its units, and whether it has the solute's columns.
struct TableStyle {
  Format format = Format::kCsv;
  Units units;
  bool solute = true;
};

// Whether column `index` is part of a table of this style.
bool hasColumn(const TableStyle& style, std::size_t index);

// The header line with its line end (empty for JSON, whose objects name their values).
std::string headerText(const TableStyle& style);

// One row as text, with its line end: numbers in shortest round-trip form; for a failed row
// empty values (null in JSON), an empty phase and range.
std::string formatRow(const TableStyle& style, const Row& row);

// formatRow's text of each row appended to `text` (the rows of a chunk into one string).
void appendRows(const TableStyle& style, std::span<const Row> rows, std::string& text);

}  // namespace aqsol::table
