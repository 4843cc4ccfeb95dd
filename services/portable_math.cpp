// The transcribed exp, log and pow in one lane, for any processor.
#include "services/portable_math.hpp"

#include <cmath>
#include <cstdint>

#include "services/guarded_math.hpp"
#include "services/library_math_tables.hpp"

#define AQSOL_TARGET portable
#define AQSOL_LANES 1
// The one-lane region, and the headers that belong to it.
// clang-format off
#include "services/target_region_begin.hpp"
#include "services/library_math_lanes.hpp"
// clang-format on
#include "services/target_region_end.hpp"

namespace aqsol::portable_math {

double exp(double x) {
  return lanes::transcribedExp(lanes::Vector{x})[0];
}

double log(double x) {
  return lanes::transcribedLog(lanes::Vector{x})[0];
}

double pow(double x, double y) {
  return lanes::transcribedPow(lanes::Vector{x}, lanes::Vector{y})[0];
}

}  // namespace aqsol::portable_math
