// The services' maths for one processor target (AQSOL_TARGET, with AQSOL_LANES lanes): the
// transcribed exp, log and pow over arrays, and the whole powers with fused multiply-adds.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "services/exact_powers.hpp"
#include "services/library_math_tables.hpp"
#include "services/math_targets.hpp"

// The region compiled for the target, and the headers that belong to it.
// clang-format off
#include "services/target_region_begin.hpp"
#include "services/library_math_lanes.hpp"
// clang-format on

namespace aqsol::lanes {
namespace {

// Loads the vector at x[0..count), count <= AQSOL_LANES, its other lanes `fill`: whole vectors
// with one load (a load of lanes just stored one by one would wait for the stores).
Vector loadLanes(const double* x, std::size_t count, double fill) {
  Vector v = laneSplat<Vector>(fill);
  if (count == AQSOL_LANES)
    __builtin_memcpy(&v, x, sizeof v);
  else
    __builtin_memcpy(&v, x, count * sizeof(double));
  return v;
}

void storeLanes(double* out, std::size_t count, Vector v) {
  if (count == AQSOL_LANES)
    __builtin_memcpy(out, &v, sizeof v);
  else
    __builtin_memcpy(out, &v, count * sizeof(double));
}

// out[i] = e^x[i] (kExp) or ln x[i] a vector at a time; the last, partial vector padded with
// ones.
template <bool kExp>
void overArray(const double* x, double* out, std::size_t n) {
  constexpr std::size_t kWidth = AQSOL_LANES;
  for (std::size_t i = 0; i < n; i += kWidth) {
    const std::size_t count = n - i < kWidth ? n - i : kWidth;
    const Vector v = loadLanes(x + i, count, 1.0);
    storeLanes(out + i, count, kExp ? transcribedExp(v) : transcribedLog(v));
  }
}

void powArray(const double* x, const double* y, double* out, std::size_t n) {
  constexpr std::size_t kWidth = AQSOL_LANES;
  for (std::size_t i = 0; i < n; i += kWidth) {
    const std::size_t count = n - i < kWidth ? n - i : kWidth;
    storeLanes(out + i, count,
               transcribedPow(loadLanes(x + i, count, 2.0), loadLanes(y + i, count, 2.0)));
  }
}

void expArray(const double* x, double* out, std::size_t n) {
  overArray<true>(x, out, n);
}

void logArray(const double* x, double* out, std::size_t n) {
  overArray<false>(x, out, n);
}

bool exactPower(double x, int n, double& result) {
  return exact_integer_power<true>(x, n, result);
}

void powerRun(double x, int first, int last, double* out) {
  power_run<true>(x, first, last, out);
}

}  // namespace
}  // namespace aqsol::lanes

#include "services/target_region_end.hpp"

namespace aqsol::targets::AQSOL_TARGET {
const MathTarget kMath{CpuTarget::AQSOL_TARGET_ENUM,
                       lanes::expArray,
                       lanes::logArray,
                       lanes::powArray,
                       lanes::exactPower,
                       lanes::powerRun};
}
