// Doubles as their shortest round-trip text, the characters std::to_chars writes for them,
// in a fraction of its time.
#pragma once

#include <span>

namespace aqsol {

// Room writeShortest needs at its output: the longest text it writes
// ("-2.2250738585072014e-308", 24 characters) and the scratch beyond the text that it may
// overwrite while writing.
inline constexpr int kShortestNumberRoom = 48;

// Writes `value` at `out` exactly as std::to_chars(out, out + room, value) does (the shortest
// digits that read back as `value`, fixed or scientific, whichever is shorter, fixed on a tie)
// and returns the end of the text; `out` must have kShortestNumberRoom characters of room.
char* writeShortest(char* out, double value);

// Writes each of `values` as writeShortest does, each followed by `separator`, and returns the
// end of the text; `out` must have values.size() * (kShortestNumberRoom + 1) characters of room.
char* writeShortestFields(char* out, std::span<const double> values, char separator);

}  // namespace aqsol
