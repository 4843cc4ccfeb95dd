// The display of the text screen: drawing its cells with the built-in fonts into 32-bit pixels,
// redrawing only what changed, and the choice of full-screen modes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "console/text_screen.hpp"

namespace aqsol {

// 32-bit pixels 0x00RRGGBB, `pitch` pixels from one row to the next.
struct Canvas {
  uint32_t* pixels;
  int width, height, pitch;
  int offset_x = 0, offset_y = 0;  // where the page's top-left corner goes
  int scale = 1;                   // 2 doubles every pixel (small pages in full screen)
};

using Palette = std::array<uint32_t, 256>;

// The default palette: the 16 text colours first (0: 000000 ... 15: FFFFFF), alpha forced on.
const Palette& default_palette();

// The cursor rows of a cell `height` pixels high for cursor lines start..stop: the first row
// and the count (count 0: nothing painted).
struct CursorRows {
  int first, count;
};
CursorRows cursor_rows(int start, int stop, int height);

// A rectangle of a canvas, in pixels; empty when w or h is 0.
struct PixelArea {
  int x = 0, y = 0, w = 0, h = 0;
  // Grows to take in the rectangle (x, y, w, h).
  void include(int x0, int y0, int width, int height);
};

// Draws a text screen and remembers what it drew. Main thread only; it only reads the screen.
class ScreenRenderer {
 public:
  ScreenRenderer();

  // Forgets the previous frame: the next refresh draws every cell (after a mode change).
  void invalidate() { valid_ = false; }
  // Refresh: counts a frame and draws every cell that changed, blinks or holds the cursor.
  // Returns whether anything was drawn.
  bool refresh(const TextScreen& screen, Canvas& canvas);
  // The part of the canvas the last refresh drew (the whole canvas when it drew everything), so
  // that only that part need be shown again: a blinking cursor is one cell, not the window.
  const PixelArea& drawn_area() const { return drawn_area_; }

  // The pixel size of `screen`'s page with the 8x16 glyphs.
  static int page_width(const TextScreen& screen) { return screen.width() * 8; }
  static int page_height(const TextScreen& screen) { return screen.height() * 16; }

 private:
  // What one refresh draws by: where the cursor is and the phases of its flashing and of
  // blinking text, and whether every cell is drawn.
  struct Frame {
    int cursor_row, cursor_column;
    bool cursor_visible, cursor_phase, blink_phase, cursor_moved, redraw_all;
  };
  // Starts a frame: a new size or a first frame clears the canvas, a new palette redraws all.
  Frame begin_frame(const TextScreen& screen, Canvas& canvas);
  // Draws the cell at (row, column) when it changed, blinks or holds (or held) the cursor;
  // whether it drew.
  bool visit_cell(const TextScreen& screen, Canvas& canvas, const Frame& frame, int row,
                  int column);
  void draw_cell(const TextScreen& screen, Canvas& canvas, int row, int column, uint16_t cell,
                 bool with_cursor);

  std::array<uint8_t, 256 * 16> glyphs16_;  // one byte per pixel row
  Palette palette_;
  Palette drawn_palette_{};
  std::vector<uint16_t> drawn_cells_;
  int drawn_width_ = 0, drawn_height_ = 0;
  int drawn_cursor_row_ = -1, drawn_cursor_column_ = -1;
  bool drawn_cursor_phase_ = false, drawn_blink_phase_ = false;
  bool valid_ = false;
  uint32_t frames_ = 0;
  uint32_t drawn_cell_writes_ = 0;  // the screen's cell_writes() at the last look at every cell
  bool blinking_ = false;           // a blinking cell was on the screen at that look
  PixelArea drawn_area_;
};

// Full-screen modes: 0 window, 1 the nearest mode, 2 the nearest 4:3 mode.
struct ModeSize {
  int width, height;
};
// The mode that fits an image of `image` best (modes wider than 639 and at least as large as
// the image, least width + height beyond it, the later on a tie), among 4:3 modes only when
// asked; none when no mode fits.
std::optional<ModeSize> nearest_mode(const std::vector<ModeSize>& modes, ModeSize image,
                                     bool four_by_three);
// The full-screen state after one Alt+Enter from `state`.
int next_full_screen_state(int state, const std::vector<ModeSize>& modes, ModeSize image);

}  // namespace aqsol
