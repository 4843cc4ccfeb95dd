// Guarded mathematics: logarithm, exponential, square root and power that raise a runtime error
// instead of producing a domain error, and rounding to an integer.
#include "services/guarded_math.hpp"

#include <cmath>
#include <limits>

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

// x^2 rounded once, where that is certainly the library's pow: the exact square by Dekker's
// product (no call through the processor's table, as squares are the commonest powers).
bool exact_square(double x, double& result) {
  return chains_safely(x, 2) && rounds_safely(two_product<false>(x, x), result);
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
