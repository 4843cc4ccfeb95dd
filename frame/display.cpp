// The display of the text screen: drawing its cells with the built-in fonts into 32-bit pixels,
// redrawing only what changed, and the choice of full-screen modes.
#include "frame/display.hpp"

#include <algorithm>

#include "frame/font_data.hpp"

namespace aqsol {
namespace {

constexpr uint32_t kTextColours[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                       0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                       0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};
constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;

Palette make_default_palette() {
  Palette palette{};
  for (int i = 0; i < 16; ++i) palette[i] = kTextColours[i];
  // Entries 16..255, which the text screen never uses: a grey ramp.
  for (int i = 16; i < 256; ++i) {
    const uint32_t level = static_cast<uint32_t>((i - 16) * 255 / 239);
    palette[i] = level << 16 | level << 8 | level;
  }
  for (uint32_t& entry : palette) entry |= 0xFF000000u;
  return palette;
}

// Rows counted upwards from the bottom of the cell; the 16-row cell counts from row 14.
CursorRows from_bottom(int n, int height) {
  const int last = height == 16 ? 14 : height - 1;
  return {last - n + 1, n};
}

CursorRows rows_between(int first, int last) {
  return {first, last - first + 1};
}

}  // namespace

const Palette& default_palette() {
  static const Palette palette = make_default_palette();
  return palette;
}

CursorRows cursor_rows(int s, int e, int h) {
  CursorRows rows{0, 0};
  if (e == 0)
    rows = s != 0 ? CursorRows{0, 0} : CursorRows{0, 1};
  else if (e < s)
    rows = rows_between(e, h - 1);
  else if (s == e)
    rows = s <= 3 ? CursorRows{s, 1} : from_bottom(1, h);
  else if (s == 2)
    rows = e == 3 ? rows_between(2, 3) : e == 4 ? from_bottom(3, h) : rows_between(2, h - 1);
  else if (s <= 1)
    rows = e > 3 ? rows_between(s, h - 1) : rows_between(s, e);
  else if (e - s == 1)
    rows = from_bottom(2, h);
  else if (e - s == 2)
    rows = from_bottom(3, h);
  else
    rows = rows_between(h - h / 2, h - 1);
  // Rows at or beyond the cell's height are not painted.
  rows.count = std::max(0, std::min(rows.first + rows.count, h) - rows.first);
  return rows;
}

ScreenRenderer::ScreenRenderer() : palette_(default_palette()) {
  std::copy(std::begin(kFont8x16Rows), std::end(kFont8x16Rows), glyphs16_.begin());
}

void ScreenRenderer::draw_cell(const TextScreen& screen, Canvas& canvas, int row, int column,
                               uint16_t cell, bool with_cursor) {
  const uint8_t character = static_cast<uint8_t>(cell & 0xFF),
                attribute = static_cast<uint8_t>(cell >> 8);
  int foreground = attribute & 15;
  const int background = attribute >> 4 & 7;
  if ((attribute & 0x80) && (frames_ & 8)) foreground = background;
  const uint32_t ink = palette_[foreground] & 0xFFFFFF, paper = palette_[background] & 0xFFFFFF;
  CursorRows cursor{0, 0};
  if (with_cursor) cursor = cursor_rows(screen.cursor_start(), screen.cursor_stop(), kCellHeight);
  // The cell's pixels on the canvas, clipped once: glyph pixel (x, y) covers canvas pixels
  // left + x*s .. left + x*s + s - 1 across and top + y*s .. top + y*s + s - 1 down.
  const int s = canvas.scale;
  const int left = canvas.offset_x + (column - 1) * kCellWidth * s;
  const int top = canvas.offset_y + (row - 1) * kCellHeight * s;
  const int x_begin = std::max(0, left), x_end = std::min(canvas.width, left + kCellWidth * s);
  const int y_begin = std::max(0, top), y_end = std::min(canvas.height, top + kCellHeight * s);
  if (x_begin >= x_end || y_begin >= y_end) return;
  drawn_area_.include(x_begin, y_begin, x_end - x_begin, y_end - y_begin);
  for (int y = 0; y < kCellHeight; ++y) {
    const int py_begin = std::max(y_begin, top + y * s), py_end = std::min(y_end, top + y * s + s);
    const uint8_t bits = glyphs16_[character * kCellHeight + y];
    const bool cursor_row = y >= cursor.first && y < cursor.first + cursor.count;
    for (int py = py_begin; py < py_end; ++py) {
      uint32_t* line = canvas.pixels + py * canvas.pitch;
      for (int x = 0; x < kCellWidth; ++x) {
        const uint32_t colour = cursor_row || (bits & (0x80 >> x)) ? ink : paper;
        const int px_begin = std::max(x_begin, left + x * s);
        const int px_end = std::min(x_end, left + x * s + s);
        std::fill(line + px_begin, line + std::max(px_begin, px_end), colour);
      }
    }
  }
}

void PixelArea::include(int x0, int y0, int width, int height) {
  if (width <= 0 || height <= 0) return;
  if (w == 0 || h == 0) {
    *this = {x0, y0, width, height};
    return;
  }
  const int right = std::max(x + w, x0 + width), bottom = std::max(y + h, y0 + height);
  x = std::min(x, x0);
  y = std::min(y, y0);
  w = right - x;
  h = bottom - y;
}

ScreenRenderer::Frame ScreenRenderer::begin_frame(const TextScreen& screen, Canvas& canvas) {
  const int width = screen.width(), height = screen.height();
  if (width != drawn_width_ || height != drawn_height_) {
    drawn_cells_.assign(static_cast<std::size_t>(width) * height, 0);
    drawn_width_ = width;
    drawn_height_ = height;
    valid_ = false;
  }
  if (!valid_) {
    for (int y = 0; y < canvas.height; ++y)
      std::fill_n(canvas.pixels + y * canvas.pitch, canvas.width, 0u);
    drawn_area_.include(0, 0, canvas.width, canvas.height);
  }
  Frame frame{};
  frame.redraw_all = !valid_ || palette_ != drawn_palette_;
  drawn_palette_ = palette_;
  frame.cursor_row = screen.cursor_row();
  frame.cursor_column = screen.cursor_column();
  if (screen.wrap_pending() == 2 && frame.cursor_row != height) {
    ++frame.cursor_row;
    frame.cursor_column = 1;
  }
  frame.cursor_phase = frames_ & 4;
  frame.blink_phase = frames_ & 8;
  frame.cursor_moved =
      frame.cursor_row != drawn_cursor_row_ || frame.cursor_column != drawn_cursor_column_;
  frame.cursor_visible = screen.cursor_visible() != 0;
  return frame;
}

bool ScreenRenderer::visit_cell(const TextScreen& screen, Canvas& canvas, const Frame& frame,
                                int row, int column) {
  const int width = screen.width();
  if (row < 1 || row > screen.height() || column < 1 || column > width) return false;
  const uint16_t cell = screen.load_cell(row, column);
  uint16_t& drawn = drawn_cells_[static_cast<std::size_t>((row - 1) * width + column - 1)];
  const bool is_cursor = row == frame.cursor_row && column == frame.cursor_column;
  const bool was_cursor = row == drawn_cursor_row_ && column == drawn_cursor_column_;
  const bool unchanged = cell == drawn &&
                         (!(cell & 0x8000) || frame.blink_phase == drawn_blink_phase_) &&
                         (!is_cursor || frame.cursor_phase == drawn_cursor_phase_) &&
                         (!was_cursor || !frame.cursor_moved);
  if (cell & 0x8000) blinking_ = true;
  if (!frame.redraw_all && unchanged) return false;
  drawn = cell;
  draw_cell(screen, canvas, row, column, cell,
            is_cursor && frame.cursor_visible && frame.cursor_phase);
  return true;
}

bool ScreenRenderer::refresh(const TextScreen& screen, Canvas& canvas) {
  ++frames_;
  drawn_area_ = {};
  const Frame frame = begin_frame(screen, canvas);
  bool drew = false;
  // No cell written since the last look and none blinking: only the cursor's cells can change.
  const uint32_t writes = screen.cell_writes();
  if (!frame.redraw_all && writes == drawn_cell_writes_ && !blinking_) {
    drew = visit_cell(screen, canvas, frame, frame.cursor_row, frame.cursor_column);
    if (frame.cursor_moved &&
        visit_cell(screen, canvas, frame, drawn_cursor_row_, drawn_cursor_column_))
      drew = true;
  } else {
    blinking_ = false;
    for (int row = 1; row <= screen.height(); ++row)
      for (int column = 1; column <= screen.width(); ++column)
        if (visit_cell(screen, canvas, frame, row, column)) drew = true;
    drawn_cell_writes_ = writes;
  }
  drawn_cursor_row_ = frame.cursor_row;
  drawn_cursor_column_ = frame.cursor_column;
  drawn_cursor_phase_ = frame.cursor_phase;
  drawn_blink_phase_ = frame.blink_phase;
  valid_ = true;
  return drew;
}

std::optional<ModeSize> nearest_mode(const std::vector<ModeSize>& modes, ModeSize image,
                                     bool four_by_three) {
  std::optional<ModeSize> best;
  int best_distance = 0;
  for (const ModeSize& mode : modes) {
    if (mode.width <= 639 || mode.width < image.width || mode.height < image.height) continue;
    if (four_by_three && mode.width / 4 != mode.height / 3) continue;
    const int distance = mode.width + mode.height - image.width - image.height;
    if (!best || distance <= best_distance) {
      best = mode;
      best_distance = distance;
    }
  }
  return best;
}

int next_full_screen_state(int state, const std::vector<ModeSize>& modes, ModeSize image) {
  const auto nearest = nearest_mode(modes, image, false);
  if (state == 0) return nearest ? 1 : 0;
  if (state == 1) {
    const auto four_three = nearest_mode(modes, image, true);
    const bool differs = four_three && (!nearest || four_three->width != nearest->width ||
                                        four_three->height != nearest->height);
    return differs ? 2 : 0;
  }
  return 0;
}

}  // namespace aqsol
