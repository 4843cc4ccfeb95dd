// Transcript tests of the text screen: text and control codes in, rows, cursor and wrap state
// out.
#include "console/text_screen.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

class Screen : public RuntimeFixture {
 protected:
  TextScreen screen{low_memory};
  int bells = 0;
  Console con{errors, st, screen, [this] { ++bells; }};

  void print(std::string_view text, int newline = 0) {
    print_string(con, literal(text), newline);
    st.temporaries_release(1, 0);
  }
  // The characters of a row, trailing blanks removed.
  std::string row(int r) const {
    std::string text;
    for (int c = 1; c <= screen.width(); ++c)
      text += static_cast<char>(screen.load_cell(r, c) & 0xFF);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  std::vector<std::string> rows(int first, int last) const {
    std::vector<std::string> out;
    for (int r = first; r <= last; ++r) out.push_back(row(r));
    return out;
  }
  void expect_cursor(int r, int c, int wrap = 0) const {
    EXPECT_EQ(screen.cursor_row(), r);
    EXPECT_EQ(screen.cursor_column(), c);
    EXPECT_EQ(screen.wrap_pending(), wrap);
  }
  void go_to(int r, int c) { locate(con, r, c, 0, 0, 0, kLocateRow | kLocateColumn); }
};

using Rows = std::vector<std::string>;
const std::string kFullLine(80, '=');

TEST_F(Screen, StartsBlankWithTheCursorHome) {
  EXPECT_EQ(screen.load_cell(1, 1), 0x0720);
  EXPECT_EQ(screen.load_cell(25, 80), 0x0720);
  expect_cursor(1, 1);
}

TEST_F(Screen, ItemsContinueTheRowAndLineBreaksEndIt) {
  print(" Temp in C =");
  print("   0.00");
  print("? ", 0);
  expect_cursor(1, 22);
  print("", 1);
  print("next\rrow", 1);
  EXPECT_EQ(rows(1, 4), (Rows{" Temp in C =   0.00?", "next", "row", ""}));
  expect_cursor(4, 1);
}

TEST_F(Screen, AFullLineWithLineEndBreaksOnce) {
  print(kFullLine, 1);
  expect_cursor(2, 1);
}

TEST_F(Screen, AFullLineWithoutLineEndHoldsTheBreak) {
  print(kFullLine);
  expect_cursor(1, 80, 1);
  EXPECT_EQ(cursor_row_query(con), 2);
  print("", 1);  // the held break happens once
  expect_cursor(2, 1);

  print(kFullLine);
  print("x");
  EXPECT_EQ(rows(2, 3), (Rows{kFullLine, "x"}));
  expect_cursor(3, 2);
}

TEST_F(Screen, LongTextWrapsOntoTheNextRow) {
  print(std::string(85, 'a'), 1);
  EXPECT_EQ(rows(1, 2), (Rows{std::string(80, 'a'), "aaaaa"}));
  expect_cursor(3, 1);
}

TEST_F(Screen, FitCheckStartsANewLineBeforeAnItemThatWouldOverflow) {
  go_to(5, 75);
  RuntimeString* ten = st.string_from_text("0123456789");
  print_fit_check(con, ten);
  expect_cursor(6, 1);
  go_to(5, 75);
  print_fit_check(con, st.string_from_text("012345"));  // ends exactly on column 80
  expect_cursor(5, 75);
}

TEST_F(Screen, ABreakOnTheLastRowOfTheRegionScrollsItButNotRow25) {
  go_to(25, 1);
  print("status line");
  go_to(1, 1);
  print("first", 1);
  print("second", 1);
  go_to(24, 1);
  print("bottom", 1);
  EXPECT_EQ(rows(1, 2), (Rows{"second", ""}));
  EXPECT_EQ(rows(23, 25), (Rows{"bottom", "", "status line"}));
  expect_cursor(24, 1);
  go_to(25, 12);
  print("", 1);  // from row 25: rows 1-24 scroll, the cursor lands on row 24
  EXPECT_EQ(rows(22, 25), (Rows{"bottom", "", "", "status line"}));
  expect_cursor(24, 1);
}

TEST_F(Screen, CursorRowQueryAfterAnExactFill) {
  go_to(10, 1);
  print(kFullLine);
  EXPECT_EQ(cursor_row_query(con), 11);
  go_to(24, 1);
  print(kFullLine);
  EXPECT_EQ(cursor_row_query(con), 24);
}

TEST_F(Screen, TabToAColumn) {
  RuntimeString* tab = tab_to(con, 46);
  EXPECT_EQ(tab->view(), std::string(45, ' '));
  go_to(3, 50);
  tab = tab_to(con, 46);
  EXPECT_EQ(tab->view(), "\r" + std::string(45, ' '));
  print_string(con, tab, 0);
  expect_cursor(4, 46);
  EXPECT_EQ(tab_to(con, 50)->view(), "    ");
  EXPECT_EQ(tab_to(con, 46 + 80)->view(), "");  // beyond the width: modulo the width
  EXPECT_EQ(tab_to(con, -5)->view(), "\r");     // below 1: column 1 of the next row
  EXPECT_EQ(tab_to(con, 40000)->view(), "");
  EXPECT_EQ(errors.pending_error(), 7u);
}

TEST_F(Screen, ControlCodes) {
  print("a\tb\tc");
  EXPECT_EQ(row(1), "a       b       c");
  print(
      "\x0b"
      "X");  // home
  EXPECT_EQ(row(1), "X       b       c");
  print(
      "\x1f\x1f\x1c\x1c"
      "Y\x1e"
      "Z\x1d\x1d"
      "W");
  EXPECT_EQ(rows(1, 3), (Rows{"X       b       c", "   WZ", "   Y"}));
  print("\a\a");
  EXPECT_EQ(bells, 2);
  print("\x0c");
  EXPECT_EQ(rows(1, 3), (Rows{"", "", ""}));
  expect_cursor(1, 1);
}

TEST_F(Screen, CellsCarryTheCurrentColours) {
  screen.set_colours(14 + 16, 1);  // yellow, blinking, on blue
  print("A");
  EXPECT_EQ(screen.load_cell(1, 1), 'A' | 0x9E << 8);
}

TEST_F(Screen, LocateValidatesAndSwitchesTo50RowsOnce) {
  go_to(25, 80);
  expect_cursor(25, 80);
  for (int column : {0, 81}) {
    locate(con, 0, column, 0, 0, 0, kLocateColumn);
    EXPECT_EQ(errors.pending_error(), 5u);
    errors.clear();
  }
  locate(con, 0, 0, 2, 0, 0, kLocateCursor);
  EXPECT_EQ(errors.pending_error(), 5u);
  errors.clear();
  expect_cursor(25, 80);

  go_to(20, 1);
  print("kept");
  go_to(40, 1);
  EXPECT_FALSE(errors.has_error());
  EXPECT_EQ(screen.height(), 50);
  EXPECT_EQ(screen.view_bottom(), 49);
  EXPECT_EQ(row(20), "kept");
  EXPECT_EQ(row(50), "");
  expect_cursor(40, 1);
  go_to(51, 1);
  EXPECT_EQ(errors.pending_error(), 5u);
}

TEST_F(Screen, ASecondRequestBelowTheRegionFailsOnceTheSwitchIsUsed) {
  go_to(60, 1);  // uses up the switch and fails
  EXPECT_EQ(errors.pending_error(), 5u);
  errors.clear();
  go_to(30, 1);
  EXPECT_EQ(errors.pending_error(), 5u);
  EXPECT_EQ(screen.height(), 25);
}

TEST_F(Screen, LocateWithoutPositionMarksAHeldBreak) {
  print(kFullLine);
  locate(con, 0, 0, 1, 0, 31, kLocateCursor | kLocateStop);
  EXPECT_EQ(screen.wrap_pending(), 2);
  EXPECT_EQ(screen.cursor_visible(), 1);
  EXPECT_EQ(screen.cursor_stop(), 31);
}

TEST_F(Screen, NothingHappensWhileAnErrorIsPending) {
  errors.raise_error(5);
  print("ignored", 1);
  go_to(10, 10);
  EXPECT_EQ(tab_to(con, 30)->length, 0);
  EXPECT_EQ(row(1), "");
  expect_cursor(1, 1);
}

// The display reads cells and cursor while the calculator thread prints and scrolls.
TEST_F(Screen, AReaderThreadSeesWholeCells) {
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load(std::memory_order_acquire)) {
      for (int r = 1; r <= 25; ++r)
        for (int c = 1; c <= 80; ++c) {
          const uint16_t cell = screen.load_cell(r, c);
          ASSERT_TRUE((cell >> 8) == 0x07) << r << "," << c;
        }
      ASSERT_GE(screen.cursor_row(), 1);
      ASSERT_LE(screen.cursor_column(), 80);
    }
  });
  for (int line = 0; line < 300; ++line) print("line " + std::to_string(line), 1);
  done.store(true, std::memory_order_release);
  reader.join();
  EXPECT_EQ(row(23), "line 299");
}

}  // namespace
}  // namespace aqsol
