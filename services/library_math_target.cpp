// The transcribed exp and log over arrays, for one instruction set (AQSOL_LANES, 4 or 8).
#include <cstddef>

#include "services/library_math_targets.hpp"

// The instruction set first, then the code compiled for it.
// clang-format off
#include "services/lane_target_begin.hpp"
#include "services/library_math_lanes.hpp"
// clang-format on

namespace aqsol::lanes {
namespace {

// out[i] = e^x[i] (kExp) or ln x[i] a vector at a time; the last, partial vector padded with
// ones.
template <bool kExp>
void overArray(const double* x, double* out, std::size_t n) {
  constexpr std::size_t kWidth = AQSOL_LANES;
  for (std::size_t i = 0; i < n; i += kWidth) {
    const std::size_t count = n - i < kWidth ? n - i : kWidth;
    Vector v = laneSplat<Vector>(1.0);
    __builtin_memcpy(&v, x + i, count * sizeof(double));
    v = kExp ? transcribedExp(v) : transcribedLog(v);
    __builtin_memcpy(out + i, &v, count * sizeof(double));
  }
}

}  // namespace

void AQSOL_LANE_TARGET::transcribedExpArray(const double* x, double* out, std::size_t n) {
  overArray<true>(x, out, n);
}

void AQSOL_LANE_TARGET::transcribedLogArray(const double* x, double* out, std::size_t n) {
  overArray<false>(x, out, n);
}

}  // namespace aqsol::lanes

#include "services/lane_target_end.hpp"
