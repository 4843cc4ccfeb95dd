// Low memory: the zero-filled block that models PC low memory (keyboard buffer, low string area,
// text cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace aqsol {

class LowMemory {
 public:
  static constexpr std::size_t kSize = 1'114'099;
  static constexpr std::size_t kLowStringArea = 1'280;   // low string area, 64 KB
  static constexpr std::size_t kTextCells = 753'664;     // text page 0 (hex B8000)
  static constexpr std::size_t kTextCellBytes = 65'536;  // filled with blanks by text mode

  LowMemory() : words_(new uint16_t[(kSize + 1) / 2]()) {}

  // Byte view of the whole block.
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(words_.get()); }
  // The text cells as 16-bit words (character low byte, attribute high byte).
  uint16_t* text_cells() { return words_.get() + kTextCells / 2; }
  // The 16-bit word at an even byte offset, for fields that two threads share.
  uint16_t* word_at(std::size_t even_offset) { return words_.get() + even_offset / 2; }

 private:
  // Held as 16-bit words so that the text cells are real 16-bit objects for atomic access.
  std::unique_ptr<uint16_t[]> words_;
};

}  // namespace aqsol
