// Lists of states for aqsol-table --states: (T_C, P_bar) pairs read from a CSV or whitespace
// table with a header line.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/number_lists.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

// One state of a --states list.
struct StateItem {
  double temperatureC = 0;
  PressureItem pressure;
};

// Reads the states of the table in `file` ("-": standard input). Blank lines and lines that
// start with # are skipped; the first other line is the header, which names the columns: T_C
// (or T) and P_bar, P_MPa (or P, in `units`); the other columns are ignored. Fields are
// separated by semicolons when the header has one, else by commas when it has one (double
// quotes around a field are removed), else by blanks and tabs. A pressure of sat or 0 is the
// saturation pressure. At most kMaxListValues states. False with `error` naming the file and the
// line of the first bad state. Where `extraValues` is given, the numbers of the columns named
// `extras` (any case) are appended there too, a state's after another's, NaN where a column is
// absent or a field empty.
bool readStateList(const std::string& file, const Units& units, std::vector<StateItem>& states,
                   std::string& error, std::span<const std::string_view> extras = {},
                   std::vector<double>* extraValues = nullptr);

// The same from an open stream, `name` for messages.
bool readStateStream(std::FILE* in, std::string_view name, const Units& units,
                     std::vector<StateItem>& states, std::string& error,
                     std::span<const std::string_view> extras = {},
                     std::vector<double>* extraValues = nullptr);

}  // namespace aqsol::table
