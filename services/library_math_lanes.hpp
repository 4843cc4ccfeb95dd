// The C library's exponential and logarithm in vector lanes: each lane performs the operations of
// the library's fused multiply-add variant (GNU C library 2.36, x86-64) in the same order, with
// the same tables and constants, so it gives the library's bits. Lanes outside the ordinary path
// (zeros, subnormals, infinities, NaNs, negative numbers, exp arguments below 2^-54 or from 512
// on in magnitude) call the library itself.
//
// Compiled only inside a processor target's region (target_region_begin.hpp), after <cmath>,
// <cstdint> and library_math_tables.hpp.
// Whether these reproduce the library of the running process is libraryMathInLanes()'s answer;
// callers take the library's calls lane by lane where it says no.
#pragma once

#ifndef AQSOL_TARGET_REGION
#error "library_math_lanes.hpp is compiled only inside a processor target's region"
#endif

namespace aqsol::lanes {
namespace {

template <class V>
using BitsOf = typename BitsFor<V>::type;

template <class V>
constexpr int kLaneCount = static_cast<int>(sizeof(V) / sizeof(double));

template <class V>
[[gnu::always_inline]] inline V laneSplat(double x) {
  V v;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) v[lane] = x;
  return v;
}

// e^x in every lane, as the library's exp gives it.
template <class V>
[[gnu::always_inline]] inline V transcribedExp(V x) {
  namespace lm = library_math;
  using B = BitsOf<V>;
  const B ix = __builtin_bit_cast(B, x);
  const B abstop = (ix >> 52) & 0x7ff;
  // 2^-54 <= |x| < 512: the library's main path, with no special case after it.
  const auto ordinary = __builtin_bit_cast(MaskOf<V>, abstop - 0x3c9 < 0x3f);
  V kd = fusedMultiplyAdd(x, laneSplat<V>(lm::kExpInvLn2N), laneSplat<V>(lm::kExpShift));
  const B ki = __builtin_bit_cast(B, kd);
  kd -= lm::kExpShift;
  V r = fusedMultiplyAdd(kd, laneSplat<V>(lm::kExpNegLn2HiN), x);
  r = fusedMultiplyAdd(kd, laneSplat<V>(lm::kExpNegLn2LoN), r);
  const B index = 2 * (ki & 127);
  V tail;
  B scaleBits;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    tail[lane] = __builtin_bit_cast(double, lm::kExpTable[index[lane]]);
    scaleBits[lane] = lm::kExpTable[index[lane] + 1];
  }
  scaleBits += ki << 45;
  const V r2 = r * r;
  const V c23 = fusedMultiplyAdd(r, laneSplat<V>(lm::kExpC3), laneSplat<V>(lm::kExpC2));
  const V tailR = r + tail;
  const V c45 = fusedMultiplyAdd(r, laneSplat<V>(lm::kExpC5), laneSplat<V>(lm::kExpC4));
  const V partial = fusedMultiplyAdd(c23, r2, tailR);
  const V tmp = fusedMultiplyAdd(r2 * r2, c45, partial);
  const V scale = __builtin_bit_cast(V, scaleBits);
  V result = fusedMultiplyAdd(scale, tmp, scale);
  if (anyLane(~ordinary))
    for (int lane = 0; lane < kLaneCount<V>; ++lane)
      if (!ordinary[lane]) result[lane] = std::exp(x[lane]);
  return result;
}

// ln x for x within 1 - 2^-4 .. 1 + 0x1.09p-4: a polynomial in r = x - 1, with r^2/2 split.
template <class V>
[[gnu::always_inline]] inline V logNearOne(V x) {
  namespace lm = library_math;
  V b[11];
  for (int i = 0; i < 11; ++i) b[i] = laneSplat<V>(lm::kLogB[i]);
  const V r = x - 1.0;
  const V b12 = fusedMultiplyAdd(r, b[2], b[1]);
  const V b45 = fusedMultiplyAdd(r, b[5], b[4]);
  const V r2 = r * r;
  const V b78 = fusedMultiplyAdd(r, b[8], b[7]);
  const V b123 = fusedMultiplyAdd(r2, b[3], b12);
  const V b456 = fusedMultiplyAdd(r2, b[6], b45);
  const V r3 = r * r2;
  V p = fusedMultiplyAdd(r2, b[9], b78);
  p = fusedMultiplyAdd(r3, b[10], p);
  p = fusedMultiplyAdd(p, r3, b456);
  p = fusedMultiplyAdd(p, r3, b123);
  const V split = laneSplat<V>(0x1p27);
  const V rHi = fusedMultiplyAdd(-split, r, fusedMultiplyAdd(r, split, r));
  const V rHi2 = rHi * rHi;
  const V rLo = r - rHi;
  const V hi = fusedMultiplyAdd(rHi2, b[0], r);
  V lo = fusedMultiplyAdd(rHi2, b[0], r - hi);
  lo = fusedMultiplyAdd(b[0] * rLo, r + rHi, lo);
  return hi + fusedMultiplyAdd(p, r3, lo);
}

// ln x for positive normal x away from 1: x = 2^k z, log c + k ln2 from the table, and a
// polynomial in z/c - 1.
template <class V>
[[gnu::always_inline]] inline V logFromTable(V x) {
  namespace lm = library_math;
  using B = BitsOf<V>;
  V a[5];
  for (int i = 0; i < 5; ++i) a[i] = laneSplat<V>(lm::kLogA[i]);
  const B ix = __builtin_bit_cast(B, x);
  const B tmp = ix - 0x3fe6000000000000;
  const B index = (tmp >> 45) & 127;
  const auto k = __builtin_bit_cast(MaskOf<V>, tmp) >> 52;  // arithmetic shift
  const V z = __builtin_bit_cast(V, ix - (tmp & 0xfff0000000000000));
  // k exactly, as the library converts it: |k| < 2^51, so 1.5 2^52 + k is exact.
  const V kd = __builtin_bit_cast(V, __builtin_bit_cast(B, k) + 0x4338000000000000) - 0x1.8p52;
  V inverseCentre, logCentre;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    inverseCentre[lane] = lm::kLogTable[index[lane]].inverseCentre;
    logCentre[lane] = lm::kLogTable[index[lane]].logCentre;
  }
  const V w = fusedMultiplyAdd(kd, laneSplat<V>(lm::kLogLn2Hi), logCentre);
  const V r = fusedMultiplyAdd(z, inverseCentre, laneSplat<V>(-1.0));
  const V a12 = fusedMultiplyAdd(r, a[2], a[1]);
  const V hi = r + w;
  const V r2 = r * r;
  const V lo = fusedMultiplyAdd(kd, laneSplat<V>(lm::kLogLn2Lo), (w - hi) + r);
  const V r3 = r * r2;
  const V a34 = fusedMultiplyAdd(r, a[4], a[3]);
  const V loA0 = fusedMultiplyAdd(r2, a[0], lo);
  const V p = fusedMultiplyAdd(a34, r2, a12);
  return fusedMultiplyAdd(r3, p, loA0) + hi;
}

// ln x in every lane, as the library's log gives it.
template <class V>
[[gnu::always_inline]] inline V transcribedLog(V x) {
  using B = BitsOf<V>;
  const B ix = __builtin_bit_cast(B, x);
  const auto nearOne = __builtin_bit_cast(MaskOf<V>, ix - 0x3fee000000000000 < 0x3090000000000);
  // Positive normal numbers (below infinity): the table's path.
  const auto normal = __builtin_bit_cast(MaskOf<V>, (ix >> 48) - 0x10 < 0x7fe0);
  V result;
  if (!anyLane(nearOne)) {
    result = logFromTable(x);
  } else if (!anyLane(~nearOne)) {
    result = logNearOne(x);
  } else {
    result = nearOne ? logNearOne(x) : logFromTable(x);
  }
  const auto library = ~nearOne & ~normal;
  if (anyLane(library))
    for (int lane = 0; lane < kLaneCount<V>; ++lane)
      if (library[lane]) result[lane] = std::log(x[lane]);
  return result;
}

}  // namespace
}  // namespace aqsol::lanes
