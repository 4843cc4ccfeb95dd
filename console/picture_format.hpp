// Formatted output with picture strings: numbers and strings placed into fields such as
// "####.##", "##.###^^^^", "&" or "\  \", with the literal text around them.
#pragma once

#include <cstdint>

#include "console/runtime_string.hpp"

namespace aqsol {

// Formats one string item through `picture` from position `start` (0-based) and appends the
// text to `output`. Returns the position where the next item's field starts, or 0 after the
// picture's end. A picture without any field raises error 5; a string item meeting a numeric
// field raises error 13. Text appended before an error stays. Does nothing while an error is
// pending.
int32_t format_with_picture(StringStorage& st, const RuntimeString* picture, int32_t start,
                            RuntimeString* output, const RuntimeString* item);

// Numeric front ends: as format_with_picture with a number. The exponent letter is "E" for
// integers and single, "D" for double and "F" for extended; a numeric item meeting a string
// field raises error 13; a value that is not finite raises error 5.
int32_t format_int64(StringStorage& st, const RuntimeString* picture, int64_t value, int32_t start,
                     RuntimeString* output);
int32_t format_uint64(StringStorage& st, const RuntimeString* picture, uint64_t value,
                      int32_t start, RuntimeString* output);
int32_t format_single(StringStorage& st, const RuntimeString* picture, float value, int32_t start,
                      RuntimeString* output);
int32_t format_double(StringStorage& st, const RuntimeString* picture, double value, int32_t start,
                      RuntimeString* output);
int32_t format_extended(StringStorage& st, const RuntimeString* picture, long double value,
                        int32_t start, RuntimeString* output);

}  // namespace aqsol
