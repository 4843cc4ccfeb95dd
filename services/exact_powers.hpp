// Whole powers x^n rounded exactly where that is certainly the C library's pow, from products
// kept to about 2^-100 relative: with fused multiply-adds (kFused, compiled only for a processor
// target that has them) or with Dekker's splitting, both giving the same bits. Included by the
// guarded maths and by each processor target's table (math_targets.hpp); everything here has
// internal linkage, so each keeps its own copy.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "services/bit_cast.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {
namespace {

// A value as the unevaluated sum hi + lo, with |lo| at most half an ulp of hi.
struct DoubleDouble {
  double hi, lo;
};

// a * b exactly, as hi + lo: with the processor's fused multiply-add, or else by Dekker's
// splitting (the build never contracts that into fused operations). Exact while the product and
// its parts stay inside the normal range.
template <bool kFused>
[[gnu::always_inline]] inline DoubleDouble two_product(double a, double b) {
  const double p = a * b;
  if constexpr (kFused) {
    return {p, __builtin_fma(a, b, -p)};
  } else {
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double ca = kSplit * a, a_hi = ca - (ca - a), a_lo = a - a_hi;
    const double cb = kSplit * b, b_hi = cb - (cb - b), b_lo = b - b_hi;
    return {p, ((a_hi * b_hi - p) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo};
  }
}

// (a.hi + a.lo)(b.hi + b.lo) to about 2^-100 relative.
template <bool kFused>
[[gnu::always_inline]] inline DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
  DoubleDouble p = two_product<kFused>(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  const double sum = p.hi + p.lo;
  return {sum, p.lo - (sum - p.hi)};
}

// (a.hi + a.lo) x to about 2^-100 relative: multiply with b.lo = 0, without its zero terms.
template <bool kFused>
[[gnu::always_inline]] inline DoubleDouble multiply(DoubleDouble a, double x) {
  DoubleDouble p = two_product<kFused>(a.hi, x);
  p.lo += a.lo * x;
  const double sum = p.hi + p.lo;
  return {sum, p.lo - (sum - p.hi)};
}

// 1 / (a.hi + a.lo) to about 2^-100 relative.
template <bool kFused>
[[gnu::always_inline]] inline DoubleDouble reciprocal(DoubleDouble a) {
  const double q = 1 / a.hi;
  const DoubleDouble qa = two_product<kFused>(q, a.hi);
  const double remainder = ((1 - qa.hi) - qa.lo) - q * a.lo;  // 1 - q a, nearly exact
  const double correction = q * remainder;
  const double sum = q + correction;
  return {sum, correction - (sum - q)};
}

// The spacing of doubles just above and just below a positive normal double.
inline double ulp_above(double a) {
  const auto bits = bitCast<uint64_t>(a);
  return bitCast<double>((bits & 0x7FF0000000000000u)) * 0x1p-52;
}

inline double ulp_below(double a) {
  const bool power_of_two = (bitCast<uint64_t>(a) & 0x000FFFFFFFFFFFFFu) == 0;
  return power_of_two ? ulp_above(a) / 2 : ulp_above(a);
}

constexpr int kMaxExactPower = 32;
// Every product and its rounding error stay normal doubles while |x^n| lies in 2^-960..2^960.
constexpr int kMaxExactExponent = 960;

// Whether x^m for every |m| <= n stays in that range (x a normal double).
inline bool chains_safely(double x, int n) {
  const auto biased = static_cast<int>(bitCast<uint64_t>(x) >> 52 & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return false;  // zero, subnormal, infinite, NaN
  const int exponent = biased - 1023;
  return (exponent < 0 ? -exponent - 1 : exponent + 1) * n <= kMaxExactExponent;
}
// How close (in ulps) to a rounding midpoint the exact power may lie before the library's
// rounding is no longer certain to be the correct one. The library's pow errs beyond correct
// rounding by its exponential's error (about 0.01 ulp) plus its logarithm's error times
// |n ln x| (about 2^-15 ulp per unit): under 0.016 ulp for results within 2^-128..2^128, under
// 0.045 ulp over the whole exact range. Each margin is about twice that.
constexpr double kNearMidpointMargin = kPowerMidpointMargin;
constexpr double kFarMidpointMargin = 1.0 / 16;
constexpr int kNearExponent = 128;

// The double nearest to power.hi + power.lo, known to be within about 2^-96 relative. False
// when that error, widened to the margin above, could reach a rounding midpoint: only then may
// the correctly rounded result and the library's differ.
[[gnu::always_inline]] inline bool rounds_safely(const DoubleDouble& power, double& result) {
  const double a = std::fabs(power.hi), beyond = power.hi < 0 ? -power.lo : power.lo;
  const double up = ulp_above(a), down = ulp_below(a);
  const int exponent = static_cast<int>(bitCast<uint64_t>(a) >> 52) - 1023;
  const double margin = (exponent >= -kNearExponent && exponent <= kNearExponent)
                            ? kNearMidpointMargin
                            : kFarMidpointMargin;
  if (beyond >= up * (0.5 - margin) || -beyond >= down * (0.5 - margin)) return false;
  result = power.hi;
  return true;
}

// x^n (2 <= |n| <= 32, |x^n| within 2^-960..2^960) rounded to nearest, computed with about 2^-96
// relative error. False when it is too close to a rounding midpoint to be certain (see
// rounds_safely).
template <bool kFused>
[[gnu::always_inline]] inline bool exact_integer_power(double x, int n, double& result) {
  if (!chains_safely(x, n < 0 ? -n : n)) return false;
  DoubleDouble power{x, 0}, base{x, 0};
  int e = n < 0 ? -n : n;
  for (int skipped = e; (skipped & 1) == 0; skipped >>= 1) {
    base = multiply<kFused>(base, base);
    e >>= 1;
  }
  power = base;
  while ((e >>= 1) > 0) {
    base = multiply<kFused>(base, base);
    if (e & 1) power = multiply<kFused>(power, base);
  }
  if (n < 0) power = reciprocal<kFused>(power);
  return rounds_safely(power, result);
}

// x^n for every n from `first` to `last` (-32 <= first <= last <= 32) into out[n - first], each
// as guarded_pow gives it: one chain of products (and of reciprocals for negative n) instead of
// a power each.
template <bool kFused>
[[gnu::always_inline]] inline void power_run(double x, int first, int last, double* out) {
  const bool chain = chains_safely(x, std::max(-first, last));
  const auto store = [&](int n, const DoubleDouble& power) {
    double result;
    if (!chain || !rounds_safely(power, result)) result = library_pow(x, n);
    out[n - first] = result;
  };
  if (first <= 0 && last >= 0) out[-first] = 1;
  if (first <= 1 && last >= 1) out[1 - first] = x;
  if (last >= 2) {
    DoubleDouble power{x, 0};
    for (int n = 2; n <= last; ++n) {
      if (chain) power = multiply<kFused>(power, x);
      if (n >= first) store(n, power);
    }
  }
  if (first < 0) {
    const DoubleDouble inverse = chain ? reciprocal<kFused>({x, 0}) : DoubleDouble{0, 0};
    DoubleDouble power = inverse;
    for (int n = -1; n >= first; --n) {
      if (n < -1 && chain) power = multiply<kFused>(power, inverse);
      if (n <= last) store(n, power);
    }
  }
}

}  // namespace
}  // namespace aqsol
