// Line input: one line typed on the text screen, validated key by key against the types of its
// target variables, and stored into them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "console/runtime_host.hpp"
#include "console/text_screen.hpp"

namespace aqsol {

// Type word of an input target.
enum InputType : uint32_t {
  kInputString = 1u << 30,
  kInputFloat = 1u << 29,
  kInputUnsigned = 1u << 28,
  kInputWholeLine = 1u << 9,  // with a string as target 1: no comma splitting, no quotes
  kInputSizeMask = 0x1FF,     // size in bits: 32 single, 64 double or 64-bit integer, 16, 8
};

inline constexpr uint32_t kInputDouble = kInputFloat | 64;

// One target: a RuntimeString* for a string type, else the address of the numeric variable
// (float, double, or an integer of the given size and signedness).
struct InputTarget {
  uint32_t type;
  void* variable;
};

// Reads one line into `targets`: echoes each key at the cursor and takes back at once, without
// a message, any key that would make its field invalid for its target; Backspace removes the
// last key, Tab types spaces to the next multiple of 8, Enter finishes. At most 255 bytes. With
// `newline` the cursor then goes to column 1 of the next row, else it stays after the echo.
// Every target is reset (empty string, 0) first, and a field never typed keeps that value.
// Returns at once while an error is pending, and as soon as the host's stop is requested.
void line_input(Console& con, RuntimeHost& host, std::span<const InputTarget> targets, int newline);

// Validation of one field against a target type, for every prefix of a valid entry.
// Decimal form of a floating target (single when `single`, else double), with its range.
bool valid_decimal_field(std::string_view field, bool single);
// An integer target of `bits` bits.
bool valid_integer_field(std::string_view field, int bits, bool is_unsigned);

}  // namespace aqsol
