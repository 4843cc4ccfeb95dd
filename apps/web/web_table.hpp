// aqsol-table's rows for the browser page: a table opened from aqsol-table's own options, its
// rows made as text (CSV, TSV or JSON Lines, byte for byte as aqsol-table writes them) a run at a
// time, so that a page can show progress and stop between runs. A C interface, for JavaScript.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Opens a table from aqsol-table's arguments, one a line (as "--solute\nCO2\n--T\n0:100:10").
// Returns a handle above 0, or 0 with aqsol_web_error() saying why, word for word as
// aqsol-table says it.
int aqsol_web_table_open(const char* arguments);

// The rows of the table, its header line ("" for JSON), and the text of rows first to
// first + count - 1 (valid until the next call on any table).
double aqsol_web_table_rows(int table);
const char* aqsol_web_table_header(int table);
const char* aqsol_web_table_text(int table, double first, int count);

// The table's columns as a JSON array of objects: name, quantity, description, unit (in the
// table's units; "" for the text columns), label (for a plot's axis).
const char* aqsol_web_table_columns(int table);

// A grid table's axes as JSON: {"solutes": count, "temperatures": [numbers in the table's unit],
// "pressures": [numbers in its unit, or "sat"]} (a list's: {"solutes": count, "states": count}).
// Row i of a grid is solute i / (T x P), temperature i / P % T, pressure i % P.
const char* aqsol_web_table_shape(int table);

// A note aqsol-table would print on standard error (temperatures that look like kelvin), or "".
const char* aqsol_web_table_note(int table);

void aqsol_web_table_close(int table);

// Why the last call failed.
const char* aqsol_web_error(void);

#ifdef __cplusplus
}
#endif
