// The tables behind the range flags that come from comparisons with references: the pressure
// intervals, kelvin by kelvin, where the water departs from IAPWS-95, and the temperatures where
// a gas's Henry constant departs from IAPWS G7-04. Written by scripts/make-validity-tables
// (validity_tables.cpp); read through validity.hpp.
#pragma once

#include <cstddef>
#include <iterator>

namespace aqsol::validity_tables {

// The water's table holds one bin per kelvin from kFirstBinC (C) up to 1,000 C (the last bin
// also holds 1,000 C itself).
inline constexpr int kFirstBinC = -95;
inline constexpr int kBinCount = 1095;
inline constexpr double kUnbounded = __builtin_inf();

// An open interval of pressures (bar): lo < P < hi.
struct PressureInterval {
  double lo, hi;
};

// An open interval of temperatures (K) of one solute.
struct SoluteInterval {
  const char* name;
  double lo, hi;
};

// Each side of the critical density has its intervals (side 0 below it, side 1 at or above):
// bin n's are kWaterDeviates[kWaterDeviatesFirst[side][n]] up to, not including,
// kWaterDeviates[kWaterDeviatesFirst[side][n + 1]].
extern const PressureInterval kWaterDeviates[];
extern const unsigned short kWaterDeviatesFirst[2][kBinCount + 1];

// The temperatures over which each solute's Henry constant was compared with a reference (a
// solute that is not listed was compared with none), and where it departs from that reference.
extern const SoluteInterval kComparedRanges[];
extern const std::size_t kComparedRangesCount;
extern const SoluteInterval kReferenceDeviates[];
extern const std::size_t kReferenceDeviatesCount;

}  // namespace aqsol::validity_tables
