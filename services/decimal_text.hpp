// Doubles to and from decimal text as std::from_chars and std::to_chars give them, also where the
// standard library lacks their floating-point forms (the WebAssembly toolchain's): there the C
// library's correctly rounded strtod and exact printf stand in, held to the same contract.
#pragma once

#include <charconv>

namespace aqsol {

// std::from_chars(first, last, value) for a double in the general format: no leading blanks,
// sign or "0x"; `value` is left alone where the text is out of range or no number.
std::from_chars_result readDouble(const char* first, const char* last, double& value);

// std::to_chars(first, last, value, std::chars_format::fixed, places).
std::to_chars_result writeFixed(char* first, char* last, double value, int places);

// std::to_chars(first, last, value) (the shortest round-trip text) for the values the program
// leaves to the library: zeros, infinities, NaNs, and integers of 10^15 and more written in
// fixed form.
std::to_chars_result writeLibraryShortest(char* first, char* last, double value);

}  // namespace aqsol
