// Rows of the text screen as UTF-8 text.
#include "apps/console/screen_text.hpp"

#include "console/code_page.hpp"

namespace aqsol {

std::string row_text(const TextScreen& screen, int row) {
  std::string text;
  std::size_t kept = 0;
  for (int column = 1; column <= screen.width(); ++column) {
    const char32_t glyph = cp437_to_unicode(static_cast<uint8_t>(screen.load_cell(row, column)));
    append_utf8(text, glyph);
    if (glyph != U' ') kept = text.size();
  }
  text.resize(kept);
  return text;
}

}  // namespace aqsol
