// Numeric text conversion: numbers to their printed text form and text to numbers.
#pragma once

#include <cstdint>
#include <string_view>

#include "console/runtime_string.hpp"
#include "services/errors.hpp"

namespace aqsol {

// The text form of a number as a new temporary: a leading space for non-negative values (a
// "-" for negative ones), the shortest digits that show the value at the type's precision
// (16 significant digits for double, 7 for single), and an exponent form with "D" (double) or
// "E" (single) for very large and very small magnitudes: 2.5 -> " 2.5", 1E16 -> " 1D+16",
// 0.5 -> " .5". Extended values are converted to double first.
RuntimeString* number_to_text(StringStorage& st, int64_t value);
RuntimeString* number_to_text(StringStorage& st, int32_t value);
RuntimeString* number_to_text(StringStorage& st, int16_t value);
RuntimeString* number_to_text(StringStorage& st, int8_t value);
RuntimeString* number_to_text(StringStorage& st, uint64_t value);
RuntimeString* number_to_text(StringStorage& st, uint32_t value);
RuntimeString* number_to_text(StringStorage& st, uint16_t value);
RuntimeString* number_to_text(StringStorage& st, uint8_t value);
RuntimeString* number_to_text(StringStorage& st, float value);
RuntimeString* number_to_text(StringStorage& st, double value);
RuntimeString* number_to_text(StringStorage& st, long double value);

// Reads a number from the start of text, as far as it goes: spaces and tabs are skipped,
// the scan stops at the first character that cannot continue the number, "&H"/"&O" read
// hexadecimal and octal integers. Never rejects text ("abc" gives 0). An oversized hexadecimal
// or octal constant raises error 6 and gives 0. More than 18 integer digits give the nearest
// representable value.
long double text_to_number(ErrorSlot& errors, std::string_view text);

}  // namespace aqsol
