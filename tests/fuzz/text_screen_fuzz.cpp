// Fuzz target: printing, locating, colours and snapshots on the text screen keep the cursor,
// the wrap flag and every cell in bounds.
#include <string>

#include "console/text_screen.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  fuzz::ConsoleRuntime runtime;
  ErrorSlot& errors = runtime.errors;
  StringStorage& st = runtime.strings;
  TextScreen& screen = runtime.screen;
  Console& con = runtime.console;
  TextScreen::Snapshot snapshot;
  screen.take_snapshot(snapshot);
  while (!bytes.empty()) {
    const int32_t mark = st.temporaries_mark();
    switch (bytes.byte() % 7) {
      case 0: {
        const std::string text = bytes.text(200);
        print_string(con, st.string_from_literal(text.data(), static_cast<uint32_t>(text.size())),
                     bytes.byte() & 1);
        break;
      }
      case 1:
        locate(con, bytes.value<int8_t>(), bytes.value<int8_t>(), bytes.byte() % 3,
               bytes.byte() % 40, bytes.byte() % 40, bytes.byte() & 31);
        break;
      case 2:
        print_string(con, tab_to(con, bytes.value<int16_t>()), 0);
        break;
      case 3:
        put_char(con, bytes.byte());
        break;
      case 4:
        new_line(con);
        break;
      case 5:
        screen.take_snapshot(snapshot);
        break;
      default:
        screen.restore(snapshot);
    }
    st.temporaries_release(mark, 0);
    errors.clear();
    fuzz::check(screen.cursor_row() >= 1 && screen.cursor_row() <= screen.height(), "row");
    fuzz::check(screen.cursor_column() >= 1 && screen.cursor_column() <= screen.width(), "column");
    fuzz::check(screen.wrap_pending() <= 2, "wrap flag: none, pending, or kept by a locate");
    fuzz::check(screen.view_top() >= 1 && screen.view_top() <= screen.view_bottom() &&
                    screen.view_bottom() <= screen.height(),
                "print region");
    for (int row = 1; row <= screen.height(); ++row)
      for (int column = 1; column <= screen.width(); ++column) screen.load_cell(row, column);
  }
  return 0;
}
