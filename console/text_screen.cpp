// The text screen: cells, cursor, print region and wrap state, and the printing operations
// that write runtime strings into it.
#include "console/text_screen.hpp"

#include <string>

namespace aqsol {
namespace {

constexpr uint8_t kNewlineByte = 13;

// Control codes of print_string.
enum : uint8_t {
  kBell = 7,
  kTab = 9,
  kLineFeed = 10,
  kHome = 11,
  kClearScreen = 12,
  kCarriageReturn = 13,
  kCursorRight = 28,
  kCursorLeft = 29,
  kCursorUp = 30,
  kCursorDown = 31,
};

uint16_t blank_cell(const TextScreen& sc) {
  return static_cast<uint16_t>(' ' | sc.attribute() << 8);
}

void cursor_right(TextScreen& sc) {
  if (!(sc.cursor_row() < sc.view_bottom() || sc.cursor_column() < sc.width())) return;
  if (sc.cursor_column() + 1 > sc.width())
    sc.set_cursor(sc.cursor_row() + 1, 1);
  else
    sc.set_cursor(sc.cursor_row(), sc.cursor_column() + 1);
}

void cursor_left(TextScreen& sc) {
  const bool inside = sc.cursor_row() != sc.view_top() && sc.cursor_row() <= sc.view_bottom();
  if (!(inside || sc.cursor_column() != 1)) return;
  if (sc.cursor_column() - 1 < 1)
    sc.set_cursor(sc.cursor_row() - 1, sc.width());
  else
    sc.set_cursor(sc.cursor_row(), sc.cursor_column() - 1);
}

// Writes an ordinary character and advances, wrapping at the last column (or holding the break
// back when it is not allowed). Returns true when the character caused a line break.
bool print_ordinary(Console& con, uint8_t c, bool break_allowed) {
  TextScreen& sc = con.screen;
  put_char(con, c);
  if (sc.cursor_column() + 1 <= sc.width()) {
    sc.set_cursor(sc.cursor_row(), sc.cursor_column() + 1);
    return false;
  }
  if (break_allowed) {
    new_line(con);
    return true;
  }
  sc.set_wrap_pending(1);  // rest on the last column until something further is printed
  return false;
}

// Prints one byte; `break_allowed` is false only for the last byte of a string printed without
// a line end, which rests on the last column instead of wrapping. Returns true when the byte
// caused a line break by wrapping.
bool print_byte(Console& con, uint8_t c, bool break_allowed) {
  TextScreen& sc = con.screen;
  switch (c) {
    case kCursorRight:
      cursor_right(sc);
      return false;
    case kCursorLeft:
      cursor_left(sc);
      return false;
    case kCursorUp:
      if (sc.view_top() < sc.cursor_row() && sc.cursor_row() <= sc.view_bottom())
        sc.set_cursor(sc.cursor_row() - 1, sc.cursor_column());
      return false;
    case kCursorDown:
      if (sc.view_top() <= sc.cursor_row() && sc.cursor_row() < sc.view_bottom())
        sc.set_cursor(sc.cursor_row() + 1, sc.cursor_column());
      return false;
    case kClearScreen:
      sc.fill_rows(1, sc.height(), blank_cell(sc));
      sc.set_cursor(sc.view_top(), 1);
      return false;
    case kHome:
      sc.set_cursor(sc.view_top(), 1);
      return false;
    case kTab: {
      bool wrapped;
      int printed_at;
      do {
        printed_at = sc.cursor_column();
        wrapped = print_ordinary(con, ' ', break_allowed);
      } while (printed_at % 8 != 0);
      return wrapped;
    }
    case kBell:
      if (con.bell) con.bell();
      return false;
    case kLineFeed:
    case kCarriageReturn:
      new_line(con);
      return false;
    default:
      return print_ordinary(con, c, break_allowed);
  }
}

RuntimeString* spaces(StringStorage& st, int32_t n, bool after_newline) {
  RuntimeString* s = st.string_new(static_cast<uint32_t>(n + (after_newline ? 1 : 0)), true);
  std::fill(s->data, s->data + s->length, static_cast<uint8_t>(' '));
  if (after_newline) s->data[0] = kNewlineByte;
  return s;
}

}  // namespace

TextScreen::TextScreen(LowMemory& low_memory, MemorySource& memory)
    : cells_(low_memory.text_cells()), memory_(memory) {
  for (std::size_t i = 0; i < LowMemory::kTextCellBytes / 2; ++i)
    store_field(cells_[i], kBlankCell);
}

uint8_t TextScreen::attribute() const {
  const int32_t fg = foreground();
  return static_cast<uint8_t>((fg & 16) << 3 | (background() & 7) << 4 | (fg & 15));
}

uint16_t TextScreen::load_cell(int row, int column) const {
  return load_field(cells_[(row - 1) * width() + (column - 1)]);
}

void TextScreen::store_cell(int row, int column, uint16_t cell) {
  store_field(cells_[(row - 1) * width_ + (column - 1)], cell);
  count_cell_write();
}

void TextScreen::set_cursor(int row, int column) {
  store_field(cursor_row_, static_cast<int16_t>(row));
  store_field(cursor_column_, static_cast<int16_t>(column));
}

void TextScreen::set_wrap_pending(uint8_t value) {
  store_field(wrap_pending_, value);
}

void TextScreen::set_colours(int32_t foreground, uint32_t background) {
  store_field(foreground_, foreground);
  store_field(background_, background);
}

void TextScreen::set_cursor_visible(uint8_t visible) {
  store_field(cursor_visible_, visible);
}

void TextScreen::set_cursor_lines(uint8_t start, uint8_t stop) {
  store_field(cursor_start_, start);
  store_field(cursor_stop_, stop);
}

void TextScreen::fill_rows(int first, int last, uint16_t cell) {
  for (int row = first; row <= last; ++row)
    for (int column = 1; column <= width_; ++column) store_cell(row, column, cell);
}

void TextScreen::scroll_region_up(uint16_t blank) {
  if (listener_ != nullptr && !listener_muted_) listener_->row_scrolled_out(view_top_);
  for (int row = view_top_; row < view_bottom_; ++row)
    for (int column = 1; column <= width_; ++column)
      store_cell(row, column, load_cell(row + 1, column));
  fill_rows(view_bottom_, view_bottom_, blank);
}

void TextScreen::use_tall_switch(bool apply, uint16_t blank) {
  store_field(tall_switch_available_, false);
  if (!apply) return;
  const int old_height = height_;
  store_field(height_, static_cast<uint16_t>(kTallRows));
  fill_rows(old_height + 1, kTallRows, blank);
  store_field(view_bottom_, static_cast<int16_t>(kTallRows - 1));
}

bool TextScreen::take_snapshot(Snapshot& shot) const {
  std::vector<uint16_t, SourceAllocator<uint16_t>> cells{SourceAllocator<uint16_t>(memory_)};
  try {
    cells.resize(static_cast<std::size_t>(width_) * height_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = load_field(cells_[i]);
  shot.cells = std::move(cells);
  shot.cursor_row = cursor_row_;
  shot.cursor_column = cursor_column_;
  shot.wrap_pending = wrap_pending_;
  return true;
}

void TextScreen::restore(const Snapshot& snapshot) {
  for (std::size_t i = 0; i < snapshot.cells.size(); ++i)
    if (cells_[i] != snapshot.cells[i]) store_field(cells_[i], snapshot.cells[i]);
  count_cell_write();
  set_cursor(snapshot.cursor_row, snapshot.cursor_column);
  set_wrap_pending(snapshot.wrap_pending);
}

void put_char(Console& con, uint8_t c) {
  TextScreen& sc = con.screen;
  sc.store_cell(sc.cursor_row(), sc.cursor_column(),
                static_cast<uint16_t>(c | sc.attribute() << 8));
}

void new_line(Console& con) {
  TextScreen& sc = con.screen;
  sc.set_cursor(sc.cursor_row() + 1, 1);
  if (sc.cursor_row() <= sc.view_bottom()) return;
  sc.scroll_region_up(blank_cell(sc));
  sc.set_cursor(sc.view_bottom(), 1);
}

void print_string(Console& con, const RuntimeString* s, int newline) {
  if (con.errors.has_error()) return;
  TextScreen& sc = con.screen;
  if (sc.wrap_pending() != 0 && (s->length > 0 || newline != 0)) {
    sc.set_wrap_pending(0);
    if (s->length > 0) new_line(con);
  }
  bool wrapped = false;
  for (int32_t i = 0; i < s->length; ++i) {
    const bool break_allowed = newline != 0 || i != s->length - 1;
    wrapped = print_byte(con, s->data[i], break_allowed);
  }
  if (newline != 0 && !wrapped) new_line(con);
}

void print_fit_check(Console& con, const RuntimeString* s) {
  const TextScreen& sc = con.screen;
  if (sc.wrap_pending() != 0 || sc.cursor_column() == 1) return;
  if (sc.cursor_column() + s->length - 1 > sc.width()) new_line(con);
}

void locate(Console& con, int32_t row, int32_t column, int32_t cursor, int32_t start, int32_t stop,
            int32_t mask) {
  if (con.errors.has_error()) return;
  TextScreen& sc = con.screen;
  const bool has_row = mask & kLocateRow, has_column = mask & kLocateColumn;
  const bool column_ok = !has_column || (column >= 1 && column <= sc.width());
  auto fail = [&] { con.errors.raise_error(kIllegalFunctionCall); };
  if (has_row) {
    if (row < sc.view_top()) return fail();
    if (row != sc.height() && row > sc.view_bottom()) {
      if (!sc.tall_switch_available()) return fail();
      const bool fits = row <= TextScreen::kTallRows && column_ok;
      // Keep the first 25 rows; the new rows start blank in the current colours.
      sc.use_tall_switch(fits, blank_cell(sc));
      if (!fits) return fail();
    }
  }
  if (!column_ok) return fail();
  if ((mask & kLocateCursor) && (cursor < 0 || cursor > 1)) return fail();
  if ((mask & kLocateStart) && (start < 0 || start > 31)) return fail();
  if ((mask & kLocateStop) && (stop < 0 || stop > 31)) return fail();

  if (has_row) sc.set_cursor(row, sc.cursor_column());
  if (has_column) sc.set_cursor(sc.cursor_row(), column);
  if (has_row || has_column)
    sc.set_wrap_pending(0);
  else if (sc.wrap_pending() != 0)
    sc.set_wrap_pending(2);
  if (mask & kLocateCursor) sc.set_cursor_visible(static_cast<uint8_t>(cursor != 0));
  if (mask & kLocateStart) sc.set_cursor_lines(static_cast<uint8_t>(start), sc.cursor_stop());
  if (mask & kLocateStop) sc.set_cursor_lines(sc.cursor_start(), static_cast<uint8_t>(stop));
}

int32_t cursor_row_query(const Console& con) {
  const TextScreen& sc = con.screen;
  if (sc.wrap_pending() == 0) return sc.cursor_row();
  return sc.cursor_row() < sc.view_bottom() ? sc.cursor_row() + 1 : sc.view_bottom();
}

RuntimeString* tab_to(Console& con, int32_t n) {
  StringStorage& st = con.strings;
  if (con.errors.has_error()) return st.string_new(0, true);
  if (n < -32768 || n > 32767) {
    con.errors.raise_error(kOutOfMemory);
    return st.string_new(0, true);
  }
  const int32_t width = con.screen.width(), column = con.screen.cursor_column();
  if (n > width) n %= width;
  if (n < 1) n = 1;
  if (n >= column) return spaces(st, n - column, false);
  return spaces(st, n - 1, true);
}

}  // namespace aqsol
