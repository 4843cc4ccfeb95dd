// The built-in code page 437 glyphs of the text screen, one byte per glyph row.
#pragma once

#include <cstdint>

namespace aqsol {

// Glyph c occupies rows [c * height, (c + 1) * height); the leftmost pixel is bit 7.
extern const uint8_t kFont8x8Rows[256 * 8];
extern const uint8_t kFont8x16Rows[256 * 16];

}  // namespace aqsol
