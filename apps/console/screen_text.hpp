// Rows of the text screen as UTF-8 text.
#pragma once

#include <string>

#include "console/text_screen.hpp"

namespace aqsol {

// Row `row` (1-based) of `screen` as UTF-8 of its code page 437 glyphs, trailing blanks
// removed.
std::string row_text(const TextScreen& screen, int row);

}  // namespace aqsol
