// Phi's delta-derivatives in vector lanes for one instruction set, chosen by AQSOL_LANES when
// this file is compiled: 4 (AVX2 with fused multiply-add) or 8 (AVX-512).
#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "calculator/constants.hpp"
#include "calculator/helmholtz.hpp"
#include "calculator/lane_block.hpp"
#include "services/errors.hpp"
#include "services/guarded_math.hpp"

// Only the functions between here and the matching pop use these instructions.
#if AQSOL_LANES == 4 && defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#elif AQSOL_LANES == 4
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#elif AQSOL_LANES == 8 && defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#elif AQSOL_LANES == 8
#pragma GCC push_options
#pragma GCC target("avx512f")
#else
#error "AQSOL_LANES must be 4 or 8"
#endif

namespace aqsol::lanes {
namespace {

#if AQSOL_LANES == 4
using Vector = __m256d;
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm256_fmadd_pd(a, b, c);
}
#else
using Vector = __m512d;
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm512_fmadd_pd(a, b, c);
}
#endif

}  // namespace
}  // namespace aqsol::lanes

#include "calculator/density_lanes.hpp"

namespace aqsol::lanes {
namespace {
void evaluate(const Constants& k, LaneBlock<AQSOL_LANES>& block) {
  evaluateLanes<Vector>(k, block);
}
}  // namespace
}  // namespace aqsol::lanes

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace aqsol::lanes {

#if AQSOL_LANES == 4
LaneEvaluator4 laneEvaluator4() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? evaluate : nullptr;
}
#else
LaneEvaluator8 laneEvaluator8() {
  return __builtin_cpu_supports("avx512f") ? evaluate : nullptr;
}
#endif

}  // namespace aqsol::lanes
