// Tests of the screen drawing: pixels of cells, blink, cursor shapes, incremental redraw, and
// the full-screen mode choice.
#include "frame/display.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "frame/font_data.hpp"

namespace aqsol {
namespace {

class Drawing : public testing::Test {
 protected:
  LowMemory low_memory;
  TextScreen screen{low_memory};
  std::vector<uint32_t> pixels = std::vector<uint32_t>(640 * 400, 0x123456);
  Canvas canvas{pixels.data(), 640, 400, 640};
  ScreenRenderer renderer;

  uint32_t pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * 640 + x]; }
  // The pixels of cell (row, column) that carry ink.
  int ink_in_cell(int row, int column, uint32_t ink) const {
    int count = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) count += pixel((column - 1) * 8 + x, (row - 1) * 16 + y) == ink;
    return count;
  }
  static int ink_in_glyph(uint8_t c) {
    int count = 0;
    for (int y = 0; y < 16; ++y) count += __builtin_popcount(kFont8x16Rows[c * 16 + y]);
    return count;
  }
};

TEST_F(Drawing, CellsTakeTheirGlyphAndColours) {
  screen.store_cell(1, 1, 'A' | 0x1E << 8);  // yellow on blue
  EXPECT_TRUE(renderer.refresh(screen, canvas));
  EXPECT_EQ(ink_in_cell(1, 1, 0xFFFF55), ink_in_glyph('A'));
  EXPECT_EQ(ink_in_cell(1, 1, 0x0000AA), 128 - ink_in_glyph('A'));
  EXPECT_EQ(ink_in_cell(25, 80, 0x000000), 128);  // blank, black
}

TEST_F(Drawing, OnlyChangedCellsAreRedrawn) {
  renderer.refresh(screen, canvas);
  std::fill(pixels.begin(), pixels.end(), 0x123456);  // anything redrawn shows
  EXPECT_FALSE(renderer.refresh(screen, canvas));
  screen.store_cell(3, 4, 'x' | 0x07 << 8);
  EXPECT_TRUE(renderer.refresh(screen, canvas));
  int touched = 0;
  for (uint32_t p : pixels) touched += p != 0x123456;
  EXPECT_EQ(touched, 8 * 16);
  EXPECT_NE(pixel(3 * 8, 2 * 16), 0x123456u);
  // Only that cell goes to the display; a restored snapshot is seen as well.
  const PixelArea& area = renderer.drawn_area();
  EXPECT_EQ((std::vector{area.x, area.y, area.w, area.h}), (std::vector{24, 32, 8, 16}));
  TextScreen::Snapshot before;
  ASSERT_TRUE(screen.take_snapshot(before));
  screen.store_cell(5, 6, 'y' | 0x07 << 8);
  renderer.refresh(screen, canvas);
  screen.restore(before);
  EXPECT_TRUE(renderer.refresh(screen, canvas));
  EXPECT_EQ(pixel(5 * 8 + 3, 4 * 16 + 8), 0x000000u);  // blank again
}

TEST_F(Drawing, BlinkingCellsVanishEveryEighthFrame) {
  screen.store_cell(1, 1, 0xDB | 0x87 << 8);  // a full block, blinking grey on black
  std::vector<bool> shown;
  for (int frame = 1; frame <= 24; ++frame) {
    renderer.refresh(screen, canvas);
    shown.push_back(pixel(0, 0) == 0xAAAAAA);
  }
  for (int frame = 1; frame <= 24; ++frame) EXPECT_EQ(shown[frame - 1], (frame & 8) == 0) << frame;
}

TEST_F(Drawing, CursorShapes) {
  struct Case {
    int start, stop, first, count;
  };
  const Case cases[] = {{4, 4, 14, 1}, {0, 31, 0, 16}, {0, 0, 0, 1},  {3, 0, 0, 0},  {6, 2, 2, 14},
                        {2, 2, 2, 1},  {2, 3, 2, 2},   {2, 4, 12, 3}, {2, 9, 2, 14}, {1, 3, 1, 3},
                        {3, 4, 13, 2}, {3, 5, 12, 3},  {3, 9, 8, 8}};
  for (const Case& c : cases) {
    const CursorRows rows = cursor_rows(c.start, c.stop, 16);
    EXPECT_EQ(rows.first, c.first) << c.start << "-" << c.stop;
    EXPECT_EQ(rows.count, c.count) << c.start << "-" << c.stop;
  }
  EXPECT_EQ(cursor_rows(4, 4, 8).first, 7);
}

TEST_F(Drawing, TheVisibleCursorBlinksEveryFourFrames) {
  screen.set_cursor_visible(1);
  screen.set_cursor(2, 3);
  std::vector<bool> lit;
  for (int frame = 1; frame <= 8; ++frame) {
    renderer.refresh(screen, canvas);
    lit.push_back(pixel(2 * 8, 16 + 14) == 0xAAAAAA);  // row 14 of the cell
  }
  EXPECT_EQ(lit, (std::vector<bool>{false, false, false, true, true, true, true, false}));
}

// A doubled page placed partly off the canvas: every pixel is the glyph's at half its
// coordinates, and nothing is written outside the canvas.
TEST_F(Drawing, ADoubledPageIsClippedToTheCanvas) {
  std::vector<uint32_t> small(100 * 70 + 1, 0x123456);  // one guard pixel after the canvas
  Canvas doubled{small.data(), 100, 70, 100, -5, 3, 2};
  screen.store_cell(1, 1, 'A' | 0x1E << 8);
  screen.store_cell(2, 7, 'g' | 0x70 << 8);  // black on grey, cut by the right edge
  renderer.refresh(screen, doubled);
  const auto expected = [&](int px, int py) -> uint32_t {
    const int gx = (px + 5) / 2, gy = (py - 3) / 2;
    const int column = gx / 8 + 1, row = gy / 16 + 1;
    const uint16_t cell = screen.load_cell(row, column);
    const bool on = kFont8x16Rows[(cell & 0xFF) * 16 + gy % 16] & (0x80 >> gx % 8);
    return default_palette()[on ? cell >> 8 & 15 : cell >> 12 & 7] & 0xFFFFFF;
  };
  for (int py = 0; py < 70; ++py)
    for (int px = 0; px < 100; ++px) {
      const uint32_t want = py < 3 ? 0x000000 : expected(px, py);  // the clear fills the margin
      ASSERT_EQ(small[static_cast<std::size_t>(py) * 100 + px], want) << px << "," << py;
    }
  EXPECT_EQ(small.back(), 0x123456u);
}

TEST(FullScreen, ModeChoice) {
  const ModeSize page{640, 400};
  const std::vector<ModeSize> modes = {
      {1920, 1080}, {1024, 768}, {800, 600}, {640, 480}, {720, 400}};
  EXPECT_EQ(nearest_mode(modes, page, false)->width, 720);
  EXPECT_EQ(nearest_mode(modes, page, true)->width, 640);
  // Window -> nearest -> 4:3 -> window.
  int state = next_full_screen_state(0, modes, page);
  EXPECT_EQ(state, 1);
  state = next_full_screen_state(state, modes, page);
  EXPECT_EQ(state, 2);
  EXPECT_EQ(next_full_screen_state(state, modes, page), 0);
  // Without a different 4:3 mode two presses return; with no fitting mode the window stays.
  const std::vector<ModeSize> only43 = {{640, 480}};
  EXPECT_EQ(next_full_screen_state(next_full_screen_state(0, only43, page), only43, page), 0);
  EXPECT_EQ(next_full_screen_state(0, {{640, 350}, {600, 800}}, page), 0);
}

}  // namespace
}  // namespace aqsol
