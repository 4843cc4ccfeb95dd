// Guarded mathematics: logarithm, exponential, square root and power that raise a runtime error
// instead of producing a domain error, and rounding to an integer.
#include "services/guarded_math.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "services/bit_cast.hpp"
#include "services/exact_powers.hpp"
#include "services/math_targets.hpp"
#include "services/portable_math.hpp"

namespace aqsol {

// Kept out of line so that no caller's constant exponent reaches std::pow.
[[gnu::noinline]] double machine_pow(double x, double y) {
  return std::pow(x, y);
}

#if AQSOL_PORTABLE_LIBRARY_MATH
double library_exp(double x) {
  return portable_math::exp(x);
}

double library_log(double x) {
  return portable_math::log(x);
}

double library_pow(double x, double y) {
  return portable_math::pow(x, y);
}
#else
double library_exp(double x) {
  return std::exp(x);
}

double library_log(double x) {
  return std::log(x);
}

double library_pow(double x, double y) {
  return machine_pow(x, y);
}
#endif

namespace {

// How far (in ulps) x^2 lies from a rounding midpoint is exact in the square of x's 53-bit
// significand: its bits below the 53 that a double keeps. The margin is 2^-kSquareMarginShift.
constexpr int kSquareMarginShift = 5;
static_assert(kPowerMidpointMargin == 1.0 / (1 << kSquareMarginShift));
// x's binary exponents whose squares lie within 2^-126..2^128, where that margin holds.
constexpr int kSquareMaxExponent = 63;
__extension__ using Unsigned128 = unsigned __int128;  // GCC's and Clang's, on every target we build

// x^2 rounded once (x * x), where that is certainly the library's pow. Squares are the
// commonest powers: a single integer product decides, with no call through the processor's
// table.
bool exact_square(double x, double& result) {
  const auto bits = bitCast<uint64_t>(x);
  const int exponent = static_cast<int>(bits >> 52 & 0x7FF) - 1023;
  if (exponent < -kSquareMaxExponent || exponent > kSquareMaxExponent) return false;
  const uint64_t significand = (bits & 0x000FFFFFFFFFFFFFu) | uint64_t{1} << 52;
  const auto square = static_cast<Unsigned128>(significand) * significand;  // 2^104..2^106
  // The bits below the 53 kept, moved to the top of a word: how far the exact square lies
  // beyond its first 53 bits, in 2^-64 ulps.
  const int dropped = 52 + static_cast<int>(square >> 105);
  const uint64_t beyond = static_cast<uint64_t>(square) << (64 - dropped);
  constexpr uint64_t kHalf = uint64_t{1} << 63, kMargin = kHalf >> (kSquareMarginShift - 1);
  if (beyond - kHalf + kMargin <= 2 * kMargin) return false;  // within the margin of a midpoint
  result = x * x;
  return true;
}

}  // namespace

double guarded_log(ErrorSlot& errors, double x) {
  if (x <= 0) {
    errors.raise_error(kIllegalFunctionCall);
    return 0;
  }
  return library_log(x);
}

double guarded_exp(ErrorSlot& errors, long double x) {
  if (!(x <= kExpLimit)) {
    errors.raise_error(kOverflow);
    return 0;
  }
  return library_exp(static_cast<double>(x));
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
    if (activeMathTarget().exactPower(x, static_cast<int>(y), result)) return result;
  }
  return library_pow(x, y);
}

void whole_powers(double x, int first, int last, double* out) {
  if (first < -kMaxExactPower || last > kMaxExactPower) {
    ErrorSlot never_raised;  // whole exponents raise no error
    for (int n = first; n <= last; ++n) out[n - first] = guarded_pow_any(never_raised, x, n);
    return;
  }
  activeMathTarget().powerRun(x, first, last, out);
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
