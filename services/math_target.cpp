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

void powArray(const double* x, const double* y, double* out, std::size_t n) {
  constexpr std::size_t kWidth = AQSOL_LANES;
  for (std::size_t i = 0; i < n; i += kWidth) {
    const std::size_t count = n - i < kWidth ? n - i : kWidth;
    Vector u = laneSplat<Vector>(2.0), v = laneSplat<Vector>(2.0);
    __builtin_memcpy(&u, x + i, count * sizeof(double));
    __builtin_memcpy(&v, y + i, count * sizeof(double));
    u = transcribedPow(u, v);
    __builtin_memcpy(out + i, &u, count * sizeof(double));
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
