// Guarded mathematics: logarithm, exponential, square root and power that raise a runtime error
// instead of producing a domain error, and rounding to an integer.
#include "services/guarded_math.hpp"

#include <cmath>
#include <limits>

namespace aqsol {

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

double guarded_pow(ErrorSlot& errors, long double x, long double y) {
  if (x < 0 && !std::isnan(y) && std::trunc(y) != y) {
    errors.raise_error(kIllegalFunctionCall);
    return 0;
  }
  return std::pow(static_cast<double>(x), static_cast<double>(y));
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
