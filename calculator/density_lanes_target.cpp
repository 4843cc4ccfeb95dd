// Phi and its derivatives in vector lanes for one instruction set, chosen by AQSOL_LANES when
// this file is compiled: 4 (AVX2 with fused multiply-add) or 8 (AVX-512).
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "calculator/constants.hpp"
#include "calculator/eos_tables.hpp"
#include "calculator/helmholtz.hpp"
#include "calculator/lane_block.hpp"
#include "services/cpu_targets.hpp"
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

template <class V>
using MaskOf = decltype(V{} < V{});

#if AQSOL_LANES == 4
using Vector = double __attribute__((vector_size(32)));  // as __m256d, without its aliasing
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm256_fmadd_pd(a, b, c);
}
inline bool anyLane(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m256i, m);
  return !_mm256_testz_si256(bits, bits);
}
#else
using Vector = double __attribute__((vector_size(64)));  // as __m512d, without its aliasing
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm512_fmadd_pd(a, b, c);
}
inline bool anyLane(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m512i, m);
  return _mm512_test_epi64_mask(bits, bits) != 0;
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
  return cpuTargets().widestLanes >= 4 ? evaluate : nullptr;
}
#else
LaneEvaluator8 laneEvaluator8() {
  return cpuTargets().widestLanes >= 8 ? evaluate : nullptr;
}
#endif

}  // namespace aqsol::lanes
