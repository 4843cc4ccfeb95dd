// The text screen: cells, cursor, print region and wrap state, and the printing operations
// that write runtime strings into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "console/runtime_string.hpp"
#include "frame/errors.hpp"
#include "frame/low_memory.hpp"

namespace aqsol {

// Fields are written by the calculator thread only. Another thread (the display) may read the
// cells and the fields it draws from at any time through the load_* accessors: every write of
// such a field is a relaxed atomic store, so a reader sees each cell and field whole, though
// possibly a frame behind the others.
struct TextScreen {
  static constexpr uint16_t kBlankCell = 0x0720;  // space, light grey on black

  explicit TextScreen(LowMemory& low_memory);

  uint8_t is_text = 1;
  uint8_t to_console = 0;
  uint16_t width = 80;
  uint16_t height = 25;
  uint16_t mode = 0;
  int32_t foreground = 7;   // 0..15, plus 16 for blinking
  uint32_t background = 0;  // 0..7
  int32_t font = 16;        // 8 x 16 glyphs
  int16_t view_top = 1;     // print region, rows view_top..view_bottom
  int16_t view_bottom = 24;
  int16_t cursor_column = 1;  // 1-based
  int16_t cursor_row = 1;
  uint8_t cursor_visible = 0;
  uint8_t cursor_start = 4;  // scan lines of the cursor shape, 0..31
  uint8_t cursor_stop = 4;
  uint16_t* cells;           // width x height cells, row by row, inside low memory
  uint8_t wrap_pending = 0;  // 1: line break held back after the last column; 2: see locate
  bool tall_switch_available = true;  // the one-time switch to 50 rows

  // The attribute byte of the current colours.
  uint8_t attribute() const;
  // The cell at 1-based (row, column), for any thread.
  uint16_t load_cell(int row, int column) const;
  // Cell write and cursor move of the calculator thread.
  void store_cell(int row, int column, uint16_t cell);
  void set_cursor(int row, int column);
  void set_wrap_pending(uint8_t value);
};

// Reads a screen field from any thread.
template <typename T>
T load_field(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

// Writes a screen field on the calculator thread.
template <typename T>
void store_field(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

// The printing context of one runtime: the pending-error slot, the string storage and the
// screen that output goes to, and the bell, which queues a 783.99 Hz tone of 0.2 s and holds
// the calculator for 250 ms (empty: silent).
struct Console {
  ErrorSlot& errors;
  StringStorage& strings;
  TextScreen& screen;
  std::function<void()> bell;
};

// Prints s at the cursor with control codes, line wrap and scrolling; ends the line when
// newline is non-zero. Does nothing while an error is pending.
void print_string(Console& con, const RuntimeString* s, int newline);
// Starts a new line first when s would not fit on the rest of the current line.
void print_fit_check(Console& con, const RuntimeString* s);
// Cursor to column 1 of the next row, scrolling the print region when needed.
void new_line(Console& con);
// Writes one cell at the cursor with the current colours; the cursor does not move.
void put_char(Console& con, uint8_t c);

// Presence bits of locate's arguments.
enum LocateMask : int32_t {
  kLocateRow = 1,
  kLocateColumn = 2,
  kLocateCursor = 4,
  kLocateStart = 8,
  kLocateStop = 16,
};
// Moves the cursor and sets its shape; only the arguments whose mask bit is set count. An
// out-of-range argument raises error 5 and changes nothing. The first request for a row below
// the print region (other than the last row) switches the screen to 50 rows, once per run.
void locate(Console& con, int32_t row, int32_t column, int32_t cursor, int32_t start, int32_t stop,
            int32_t mask);
// The row where the next character will be printed.
int32_t cursor_row_query(const Console& con);
// A temporary string that, printed, brings the cursor to column n (on the next row when the
// cursor is already past it). n outside -32768..32767 raises error 7 and gives an empty string.
RuntimeString* tab_to(Console& con, int32_t n);

}  // namespace aqsol
