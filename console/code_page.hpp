// Code page 437: the character set of the text screen, and its Unicode equivalents.
#pragma once

#include <cstdint>
#include <string>

namespace aqsol {

// The Unicode character that code page 437 code c (0..255) shows on the screen: the display
// symbols (U+263A ...) for the control codes 1..31, U+2302 for 127, and U+0020 for 0 and 255.
char32_t cp437_to_unicode(uint8_t c);

// The lowest code page 437 code whose glyph is `u`, or -1 when there is none (a match at code 0
// counts as none).
int unicode_to_cp437(char32_t u);

// Appends the UTF-8 encoding of `u` to `out`.
void append_utf8(std::string& out, char32_t u);

}  // namespace aqsol
