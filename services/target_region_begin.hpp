// Opens the region of a processor target's source that is compiled for its instruction set
// (AQSOL_LANES 4: AVX2 with fused multiply-add; 8: AVX-512F; 1: any processor, with fused
// multiply-adds computed from ordinary operations, for machines whose C library is not the one
// transcribed) and defines there, in aqsol::lanes, the vector type `Vector` of that many doubles,
// its mask type MaskOf<V>, its bits' type BitsFor<V>::type, fusedMultiplyAdd(a, b, c) (a b + c
// rounded once), anyLane(mask) and laneBits(mask) (lane i of the mask as bit i of a number).
//
// A target's source has one shape: the ordinary headers it uses; this header; the headers that
// refuse to compile outside the region (library_math_lanes.hpp, density_lanes.hpp); its code, in
// an anonymous namespace; target_region_end.hpp; then its one table, in aqsol::targets::
// AQSOL_TARGET. Only aqsol_add_target_objects (CMakeLists.txt) compiles such a source for the
// processor targets, and the test target_objects_export_only_their_table fails if any other
// symbol leaves it: an ordinary header first included inside the region would show there. The
// processor's features decide at run time which table is called. The one-lane region is
// services/portable_math.cpp's. No include guard on purpose: a second opening is an error.
#if !defined(AQSOL_TARGET) || !defined(AQSOL_LANES)
#error "processor-target code is compiled only by aqsol_add_target_objects (CMakeLists.txt)"
#endif
#if defined(AQSOL_TARGET_REGION) || defined(AQSOL_TARGET_REGION_CLOSED)
#error "a processor target's region is opened once"
#endif
#define AQSOL_TARGET_REGION

#if AQSOL_LANES == 1
#elif AQSOL_LANES == 4 && defined(__clang__)
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
#error "AQSOL_LANES must be 1, 4 or 8"
#endif
#if AQSOL_LANES > 1
#include <immintrin.h>
#endif

namespace aqsol::lanes {
namespace {

template <class V>
using MaskOf = decltype(V{} < V{});

// The bits of a vector's doubles as unsigned integers.
template <class V>
struct BitsFor;

// As __m256d or __m512d (or one double), without their aliasing.
using Vector = double __attribute__((vector_size(AQSOL_LANES * sizeof(double))));
template <>
struct BitsFor<Vector> {
  using type = __UINT64_TYPE__ __attribute__((vector_size(AQSOL_LANES * sizeof(double))));
};

#if AQSOL_LANES == 1
// a b + c rounded once, from operations each rounded once: a b = p + e exactly (Dekker's
// product), c + p = s + t exactly (Knuth's sum), and s + (t + e rounded to odd), rounded to
// nearest, is a b + c rounded to nearest. Exact while the product, its error and the sum stay
// inside the normal range, as in every lane the transcribed functions keep.
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  using Bits = BitsFor<Vector>::type;
  constexpr double kSplit = 0x1p27 + 1;
  const Vector ca = kSplit * a, aHi = ca - (ca - a), aLo = a - aHi;
  const Vector cb = kSplit * b, bHi = cb - (cb - b), bLo = b - bHi;
  const Vector p = a * b;
  const Vector e = ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo;
  const Vector s = c + p, pv = s - c, t = (c - (s - pv)) + (p - pv);
  // u = t + e rounded to odd: rounded to nearest, then moved to the odd neighbour on the side
  // of the exact sum where that was inexact and gave an even last bit.
  const Vector u = t + e, ev = u - t, error = (t - (u - ev)) + (e - ev);
  const auto inexactEven = (error != 0) & ((__builtin_bit_cast(Bits, u) & 1) == 0);
  const auto awayFromZero = (error > 0) == (u > 0);
  const Bits step =
      __builtin_bit_cast(Bits, inexactEven) & ((__builtin_bit_cast(Bits, awayFromZero) & 2) - 1);
  return s + __builtin_bit_cast(Vector, __builtin_bit_cast(Bits, u) + step);
}
inline bool anyLane(MaskOf<Vector> m) {
  return m[0] != 0;
}
inline unsigned laneBits(MaskOf<Vector> m) {
  return m[0] != 0 ? 1 : 0;
}
#elif AQSOL_LANES == 4
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm256_fmadd_pd(a, b, c);
}
inline bool anyLane(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m256i, m);
  return !_mm256_testz_si256(bits, bits);
}
inline unsigned laneBits(MaskOf<Vector> m) {
  return static_cast<unsigned>(_mm256_movemask_pd(__builtin_bit_cast(__m256d, m)));
}
#else
inline Vector fusedMultiplyAdd(Vector a, Vector b, Vector c) {
  return _mm512_fmadd_pd(a, b, c);
}
inline bool anyLane(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m512i, m);
  return _mm512_test_epi64_mask(bits, bits) != 0;
}
inline unsigned laneBits(MaskOf<Vector> m) {
  const auto bits = __builtin_bit_cast(__m512i, m);
  return _mm512_test_epi64_mask(bits, bits);
}
#endif

}  // namespace
}  // namespace aqsol::lanes
