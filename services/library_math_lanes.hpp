// The C library's exponential, logarithm and power in vector lanes: each lane performs the
// operations of the library's fused multiply-add variant (GNU C library 2.36, x86-64) in the same
// order, with the same tables and constants, so it gives the library's bits. Lanes outside the
// ordinary path (zeros, subnormals, infinities, NaNs, negative numbers, exp arguments below 2^-54
// or from 512 on in magnitude) call the library itself.
//
// Compiled only inside a processor target's region (target_region_begin.hpp), after <cmath>,
// <cstdint>, guarded_math.hpp (whose machine_pow the power's other lanes call, so that no
// exponent the compiler can see turns a call into products) and library_math_tables.hpp.
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
  V v{};
#pragma GCC unroll 8
  for (int lane = 0; lane < kLaneCount<V>; ++lane) v[lane] = x;
  return v;
}

// |x| in every lane.
template <class V>
[[gnu::always_inline]] inline V magnitude(V x) {
  return __builtin_bit_cast(V, __builtin_bit_cast(BitsOf<V>, x) & 0x7fffffffffffffff);
}

// Whether exp's main path takes x: 2^-54 <= |x| < 512, with no special case after it.
template <class V>
[[gnu::always_inline]] inline MaskOf<V> expTakes(V x) {
  const BitsOf<V> abstop = (__builtin_bit_cast(BitsOf<V>, x) >> 52) & 0x7ff;
  return __builtin_bit_cast(MaskOf<V>, abstop - 0x3c9 < 0x3f);
}

// e^(x + xTail) in the lanes expTakes(x) accepts, as the library's exp (kTail false, xTail
// unused) and pow's exponential (kTail true, |xTail| below 2^-15 |x|) compute it; meaningless
// values in the others.
template <class V, bool kTail>
[[gnu::always_inline]] inline V expMainPath(V x, V xTail) {
  namespace lm = library_math;
  using B = BitsOf<V>;
  V kd = fusedMultiplyAdd(x, laneSplat<V>(lm::kExpInvLn2N), laneSplat<V>(lm::kExpShift));
  const B ki = __builtin_bit_cast(B, kd);
  kd -= lm::kExpShift;
  V r = fusedMultiplyAdd(kd, laneSplat<V>(lm::kExpNegLn2HiN), x);
  r = fusedMultiplyAdd(kd, laneSplat<V>(lm::kExpNegLn2LoN), r);
  if constexpr (kTail) r += xTail;
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
  return fusedMultiplyAdd(scale, tmp, scale);
}

// e^x in every lane, as the library's exp gives it.
template <class V>
[[gnu::always_inline]] inline V transcribedExp(V x) {
  const MaskOf<V> ordinary = expTakes(x);
  V result = expMainPath<V, false>(x, V{});
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

// x = 2^k z for positive normal x, z within [offset, 2 offset) (offset the bits of a number
// just above 1/2): the index of z's subinterval (128 in all), z, and k as a double.
template <class V>
struct LogReduction {
  BitsOf<V> index;
  V z, k;
};

template <class V>
[[gnu::always_inline]] inline LogReduction<V> reduceForLog(V x, std::uint64_t offset) {
  using B = BitsOf<V>;
  const B ix = __builtin_bit_cast(B, x);
  const B tmp = ix - offset;
  const auto k = __builtin_bit_cast(MaskOf<V>, tmp) >> 52;  // arithmetic shift
  // k exactly, as the library converts it: |k| < 2^51, so 1.5 2^52 + k is exact.
  const V kd = __builtin_bit_cast(V, __builtin_bit_cast(B, k) + 0x4338000000000000) - 0x1.8p52;
  return {(tmp >> 45) & 127, __builtin_bit_cast(V, ix - (tmp & 0xfff0000000000000)), kd};
}

// ln x for positive normal x away from 1: x = 2^k z, log c + k ln2 from the table, and a
// polynomial in z/c - 1.
template <class V>
[[gnu::always_inline]] inline V logFromTable(V x) {
  namespace lm = library_math;
  V a[5];
#pragma GCC unroll 8
  for (int i = 0; i < 5; ++i) a[i] = laneSplat<V>(lm::kLogA[i]);
  const LogReduction<V> reduced = reduceForLog(x, 0x3fe6000000000000);
  const V z = reduced.z, kd = reduced.k;
  V inverseCentre, logCentre;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    inverseCentre[lane] = lm::kLogTable[reduced.index[lane]].inverseCentre;
    logCentre[lane] = lm::kLogTable[reduced.index[lane]].logCentre;
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

// ln x as head + tail (to about 2^-68 relative) for positive normal x, as the library's pow
// computes it.
template <class V>
struct HeadTail {
  V head, tail;
};

template <class V>
[[gnu::always_inline]] inline HeadTail<V> powLog(V x) {
  namespace lm = library_math;
  V a[7];
#pragma GCC unroll 8
  for (int i = 0; i < 7; ++i) a[i] = laneSplat<V>(lm::kPowLogA[i]);
  const LogReduction<V> reduced = reduceForLog(x, lm::kPowLogOffset);
  const V kd = reduced.k;
  V inverseCentre, logCentre, logCentreTail;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    const lm::PowLogTableEntry& entry = lm::kPowLogTable[reduced.index[lane]];
    inverseCentre[lane] = entry.inverseCentre;
    logCentre[lane] = entry.logCentre;
    logCentreTail[lane] = entry.logCentreTail;
  }
  const V r = fusedMultiplyAdd(reduced.z, inverseCentre, laneSplat<V>(-1.0));  // exact
  // k ln2 + log c + r, and what its roundings lost.
  const V t1 = fusedMultiplyAdd(kd, laneSplat<V>(lm::kLogLn2Hi), logCentre);
  const V t2 = t1 + r;
  const V lo1 = fusedMultiplyAdd(kd, laneSplat<V>(lm::kLogLn2Lo), logCentreTail);
  const V lo2 = (t1 - t2) + r;
  // ... + A0 r^2, exactly as hi + lo3 + lo4.
  const V ar = a[0] * r;
  const V ar2 = r * ar;
  const V ar3 = r * ar2;
  const V hi = t2 + ar2;
  const V lo3 = fusedMultiplyAdd(ar, r, -ar2);
  const V lo4 = (t2 - hi) + ar2;
  // ... + the rest of the polynomial.
  const V a56 = fusedMultiplyAdd(r, a[6], a[5]);
  const V a3456 = fusedMultiplyAdd(ar2, a56, fusedMultiplyAdd(r, a[4], a[3]));
  const V a123456 = fusedMultiplyAdd(ar2, a3456, fusedMultiplyAdd(r, a[2], a[1]));
  const V lo = fusedMultiplyAdd(ar3, a123456, ((lo1 + lo2) + lo3) + lo4);
  const V head = hi + lo;
  return {head, (hi - head) + lo};
}

// The lanes of a negative x whose y is a whole number (those the library's pow takes through its
// main path, with |x|), and among them those whose y is odd (whose power is negative).
template <class V>
struct NegativeBases {
  MaskOf<V> whole{}, odd{};
};

template <class V>
[[gnu::always_inline]] inline NegativeBases<V> negativeBases(V x, V y) {
  NegativeBases<V> n;
  if (!anyLane(x < 0)) return n;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    if (!(x[lane] < 0) || std::trunc(y[lane]) != y[lane]) continue;
    n.whole[lane] = -1;
    n.odd[lane] = std::fmod(y[lane], 2.0) != 0 ? -1 : 0;
  }
  return n;
}

// x^y in every lane, as the library's pow gives it. Lanes outside its main path (x not a normal
// number, or negative with y not whole; |y| outside 2^-65..2^63; y ln|x| outside 2^-54..512 in
// magnitude) call the library itself.
template <class V>
[[gnu::always_inline]] inline V transcribedPow(V x, V y) {
  using B = BitsOf<V>;
  const NegativeBases<V> negative = negativeBases(x, y);
  const V absX = magnitude(x);
  const B topX = __builtin_bit_cast(B, absX) >> 52, topY = (__builtin_bit_cast(B, y) >> 52) & 0x7ff;
  const auto arguments = __builtin_bit_cast(MaskOf<V>, (topX - 1 < 0x7fe) & (topY - 0x3be < 0x80)) &
                         ((x > 0) | negative.whole);
  const HeadTail<V> log = powLog(absX);
  const V ehi = y * log.head;
  const V elo = fusedMultiplyAdd(y, log.tail, fusedMultiplyAdd(y, log.head, -ehi));
  const MaskOf<V> ordinary = arguments & expTakes(ehi);
  V result = expMainPath<V, true>(ehi, elo);
  result = negative.odd ? -result : result;
  if (anyLane(~ordinary))
    for (int lane = 0; lane < kLaneCount<V>; ++lane)
      if (!ordinary[lane]) result[lane] = machine_pow(x[lane], y[lane]);
  return result;
}

}  // namespace
}  // namespace aqsol::lanes
