// Guarded mathematics: logarithm, exponential, square root and power that raise a runtime error
// instead of producing a domain error, and rounding to an integer.
#include "services/guarded_math.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "services/cpu_targets.hpp"

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
double ulp_above(double a) {
  const auto bits = std::bit_cast<uint64_t>(a);
  return std::bit_cast<double>((bits & 0x7FF0000000000000u)) * 0x1p-52;
}

double ulp_below(double a) {
  const bool power_of_two = (std::bit_cast<uint64_t>(a) & 0x000FFFFFFFFFFFFFu) == 0;
  return power_of_two ? ulp_above(a) / 2 : ulp_above(a);
}

constexpr int kMaxExactPower = 32;
// Every product and its rounding error stay normal doubles while |x^n| lies in 2^-960..2^960.
constexpr int kMaxExactExponent = 960;

// Whether x^m for every |m| <= n stays in that range (x a normal double).
bool chains_safely(double x, int n) {
  const auto biased = static_cast<int>(std::bit_cast<uint64_t>(x) >> 52 & 0x7FF);
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
  const int exponent = static_cast<int>(std::bit_cast<uint64_t>(a) >> 52) - 1023;
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

// Kept out of line so that no caller's constant exponent reaches std::pow.
[[gnu::noinline]] double library_pow(double x, double y) {
  return std::pow(x, y);
}

namespace {

// x^2 rounded once, where that is certainly the library's pow: the exact square by Dekker's
// product (no call through the processor dispatch, as squares are the commonest powers).
bool exact_square(double x, double& result) {
  return chains_safely(x, 2) && rounds_safely(two_product<false>(x, x), result);
}

[[gnu::target("fma")]] bool exact_integer_power_fused(double x, int n, double& result) {
  return exact_integer_power<true>(x, n, result);
}

bool exact_integer_power_split(double x, int n, double& result) {
  return exact_integer_power<false>(x, n, result);
}

[[gnu::target("fma")]] void power_run_fused(double x, int first, int last, double* out) {
  power_run<true>(x, first, last, out);
}

void power_run_split(double x, int first, int last, double* out) {
  power_run<false>(x, first, last, out);
}

// Both give the same bits; the fused ones where the processor has the instruction.
const bool has_fused_multiply_add = cpuTargets().fusedMultiplyAdd;
const auto exact_power =
    has_fused_multiply_add ? exact_integer_power_fused : exact_integer_power_split;
const auto chained_powers = has_fused_multiply_add ? power_run_fused : power_run_split;

}  // namespace

double guarded_log(ErrorSlot& errors, double x) {
  if (x <= 0) {
    errors.raise_error(kIllegalFunctionCall);
    return 0;
  }
  return std::log(x);
}

double guarded_exp(ErrorSlot& errors, long double x) {
  if (!(x <= kExpLimit)) {
    errors.raise_error(kOverflow);
    return 0;
  }
  return std::exp(static_cast<double>(x));
}

double guarded_sqrt(ErrorSlot& errors, double x) {
  if (x < 0) {
    errors.raise_error(kIllegalFunctionCall);
    return 0;
  }
  return std::sqrt(x);
}

double guarded_square(double x) {
  double result;
  return exact_square(x, result) ? result : library_pow(x, 2);
}

double guarded_pow_any(ErrorSlot& errors, double x, double y) {
  if (x < 0 && !std::isnan(y) && std::trunc(y) != y) {
    errors.raise_error(kIllegalFunctionCall);
    return 0;
  }
  // Whole exponents: x^0 and x^1 are exact; up to 32 the correctly rounded power, which is the
  // library's whenever it is not too close to call; the library answers the rest.
  if (y == 0) return 1;
  if (y == 1) return x;
  if (y == 2) return guarded_square(x);
  if (y >= -kMaxExactPower && y <= kMaxExactPower && y == std::trunc(y)) {
    double result;
    if (exact_power(x, static_cast<int>(y), result)) return result;
  }
  return std::pow(x, y);
}

void whole_powers(double x, int first, int last, double* out) {
  if (first < -kMaxExactPower || last > kMaxExactPower) {
    ErrorSlot never_raised;  // whole exponents raise no error
    for (int n = first; n <= last; ++n) out[n - first] = guarded_pow_any(never_raised, x, n);
    return;
  }
  chained_powers(x, first, last, out);
}

int64_t round_to_integer(double x) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(x > -kLimit && x < kLimit)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(std::nearbyint(x));
}

uint32_t check_index(ErrorSlot& errors, int64_t offset, uint32_t count) {
  const auto unsigned_offset = static_cast<uint32_t>(offset);
  if (offset >= 0 && offset <= UINT32_MAX && unsigned_offset < count) return unsigned_offset;
  errors.raise_error(kSubscriptOutOfRange);
  return 0;
}

}  // namespace aqsol
