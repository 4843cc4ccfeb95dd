// Opens a region of a source file compiled for the instruction set AQSOL_LANES names (4: AVX2
// with fused multiply-add, 8: AVX-512F) and defines there, in aqsol::lanes, the vector type
// `Vector` of that many doubles, its mask type MaskOf<V>, its bits' type BitsFor<V>::type,
// fusedMultiplyAdd(a, b, c) (a b + c rounded once) and anyLane(mask). Only the functions up to the
// matching lane_target_end.hpp use these instructions; the processor's features decide at run time
// whether they are called. Included once per source file, at namespace scope, with no include guard
// on purpose.
#include <immintrin.h>

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

// The bits of a vector's doubles as unsigned integers.
template <class V>
struct BitsFor;

// As __m256d or __m512d, without their aliasing.
using Vector = double __attribute__((vector_size(AQSOL_LANES * sizeof(double))));
template <>
struct BitsFor<Vector> {
  using type = unsigned long __attribute__((vector_size(AQSOL_LANES * sizeof(double))));
};

#if AQSOL_LANES == 4
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm256_fmadd_pd(a, b, c);
}
inline bool anyLane(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m256i, m);
  return !_mm256_testz_si256(bits, bits);
}
#else
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
