// The text screen: cells, cursor, print region and wrap state, and the printing operations
// that write runtime strings into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "console/runtime_string.hpp"
#include "services/atomic_ref.hpp"
#include "services/errors.hpp"
#include "services/low_memory.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

// Reads a field that another thread writes.
template <typename T>
T load_field(const T& field) {
  return AtomicRef<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

// Writes a field that another thread reads.
template <typename T>
void store_field(T& field, T value) {
  AtomicRef<T>(field).store(value, std::memory_order_relaxed);
}

// Hears of changes to a text screen, on the writing thread. A front end that draws or records
// the screen uses it instead of rescanning every cell.
class ScreenListener {
 public:
  virtual ~ScreenListener() = default;
  // Row `row` (1-based) is about to scroll out of the top of the print region.
  virtual void row_scrolled_out(int row) = 0;
};

// The output page. Only the calculator thread changes it, through the writer methods below;
// any thread may read it through the accessors at any time. Every field is stored with a relaxed
// atomic write and read with a relaxed atomic load, so a reader sees each cell and field whole,
// though possibly a frame behind the others.
class TextScreen {
 public:
  static constexpr uint16_t kBlankCell = 0x0720;  // space, light grey on black
  static constexpr int kTallRows = 50;

  // An 80 x 25 text page whose cells live in `low_memory`, all blank.
  // The cells live in `low_memory`; snapshots take their memory from `memory`, which must
  // outlive the screen.
  explicit TextScreen(LowMemory& low_memory, MemorySource& memory = process_memory());

  // Readers, for any thread.
  uint16_t width() const { return load_field(width_); }
  uint16_t height() const { return load_field(height_); }
  int32_t foreground() const { return load_field(foreground_); }   // 0..15, +16 blinking
  uint32_t background() const { return load_field(background_); }  // 0..7
  int32_t font() const { return font_; }                           // glyph height: 16
  int16_t view_top() const { return load_field(view_top_); }       // print region top row
  int16_t view_bottom() const { return load_field(view_bottom_); }
  int16_t cursor_column() const { return load_field(cursor_column_); }  // 1-based
  int16_t cursor_row() const { return load_field(cursor_row_); }
  uint8_t cursor_visible() const { return load_field(cursor_visible_); }
  uint8_t cursor_start() const { return load_field(cursor_start_); }  // scan lines, 0..31
  uint8_t cursor_stop() const { return load_field(cursor_stop_); }
  // 1: a line break is held back after the last column; 2: see locate.
  uint8_t wrap_pending() const { return load_field(wrap_pending_); }
  bool tall_switch_available() const { return load_field(tall_switch_available_); }
  // The attribute byte of the current colours.
  uint8_t attribute() const;
  // The cell at 1-based (row, column): character low byte, attribute high byte.
  uint16_t load_cell(int row, int column) const;

  // Writers, for the calculator thread only.
  void store_cell(int row, int column, uint16_t cell);
  void set_cursor(int row, int column);
  void set_wrap_pending(uint8_t value);
  void set_colours(int32_t foreground, uint32_t background);
  void set_cursor_visible(uint8_t visible);
  void set_cursor_lines(uint8_t start, uint8_t stop);
  // Fills rows first..last with `cell`.
  void fill_rows(int first, int last, uint16_t cell);
  // Moves the print region up one row and blanks its last row with `blank`; the listener hears
  // of the top row first.
  void scroll_region_up(uint16_t blank);
  // Uses up the one-time switch to 50 rows; when `apply`, switches, keeping the first rows and
  // blanking the new ones with `blank`.
  void use_tall_switch(bool apply, uint16_t blank);

  // A copy of the cells and cursor of the page, for rebuilding the echo of line input. Its
  // cells take their memory from the screen's memory source.
  struct Snapshot {
    std::vector<uint16_t, SourceAllocator<uint16_t>> cells{
        SourceAllocator<uint16_t>(process_memory())};
    int16_t cursor_row = 1, cursor_column = 1;
    uint8_t wrap_pending = 0;
  };
  // Copies the page into `shot`; false (and `shot` unchanged) when its memory cannot be had.
  bool take_snapshot(Snapshot& shot) const;
  // Writes the cells of `snapshot` back (only those that differ) and its cursor.
  void restore(const Snapshot& snapshot);

  // A count that grows each time a cell is written: a reader that finds it unchanged since it
  // last read every cell need not read them again. Read before the cells (acquire).
  uint32_t cell_writes() const {
    return AtomicRef<uint32_t>(const_cast<uint32_t&>(cell_writes_)).load(std::memory_order_acquire);
  }

  // The listener hears of scrolled-out rows; null for none. Set before printing starts.
  void set_listener(ScreenListener* listener) { listener_ = listener; }
  // While muted, the listener hears nothing (an echo rebuilt over rows it has already heard of).
  void set_listener_muted(bool muted) { listener_muted_ = muted; }

 private:
  uint16_t width_ = 80;
  uint16_t height_ = 25;
  int32_t foreground_ = 7;
  uint32_t background_ = 0;
  int32_t font_ = 16;
  int16_t view_top_ = 1;
  int16_t view_bottom_ = 24;
  int16_t cursor_column_ = 1;
  int16_t cursor_row_ = 1;
  uint8_t cursor_visible_ = 0;
  uint8_t cursor_start_ = 4;
  uint8_t cursor_stop_ = 4;
  uint8_t wrap_pending_ = 0;
  bool tall_switch_available_ = true;
  // Counts a write of a cell, after it (release): the writing thread alone writes.
  void count_cell_write() {
    AtomicRef<uint32_t>(cell_writes_).store(cell_writes_ + 1, std::memory_order_release);
  }

  uint16_t* cells_;  // width x height cells, row by row, inside low memory
  uint32_t cell_writes_ = 0;
  MemorySource& memory_;
  ScreenListener* listener_ = nullptr;
  bool listener_muted_ = false;
};

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
