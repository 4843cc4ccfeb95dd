// Data reader: reads the numbers of a comma-separated data text one at a time.
#pragma once

#include <cstddef>
#include <string_view>

#include "services/errors.hpp"

namespace aqsol {

// A data text and its read position (a byte offset, starting at 0). The text is not copied: it
// must outlive the reader.
class DataReader {
 public:
  explicit DataReader(std::string_view text) : text_(text) {}

  // Reads the next item as a double and moves past its comma. Items are decimal numbers with an
  // optional leading sign, a decimal point and an exponent (D, E, d or e, optionally signed), or
  // &H hexadecimal / &O octal integers; an empty item reads as 0.
  // Failures return 0: with an error already pending nothing is read; past the end of the text
  // raises error 4; a malformed item raises error 2 and leaves the position at its start; a
  // value too large for a double (or more than 256 significant or 18 exponent digits) raises
  // error 6.
  double read_number(ErrorSlot& errors);

  std::size_t position() const { return position_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace aqsol
