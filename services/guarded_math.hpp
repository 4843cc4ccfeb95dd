// Guarded mathematics: logarithm, exponential, square root and power that raise a runtime error
// instead of producing a domain error, and rounding to an integer.
#pragma once

#include <cstdint>

#include "services/errors.hpp"

namespace aqsol {

// Largest argument of the exponential that does not overflow a double.
inline constexpr long double kExpLimit = 709.782712893L;

// ln x. For x <= 0 raises error 5 and returns 0. A NaN passes to the library.
double guarded_log(ErrorSlot& errors, double x);

// e^x from the double library function; the argument may be extended precision. For
// x > 709.782712893, or a NaN, raises error 6 and returns 0.
double guarded_exp(ErrorSlot& errors, long double x);

// Square root. For x < 0 raises error 5 and returns 0. A NaN passes to the library.
double guarded_sqrt(ErrorSlot& errors, double x);

// x^2 as the double library function gives it (a square raises no error).
double guarded_square(double x);

// x raised to y, as the double library function gives it. For x < 0 with y not a whole number
// raises error 5 and returns 0. A NaN passes to the library. (Squares, the commonest powers, go
// straight to guarded_square where the exponent is a constant 2.)
double guarded_pow_any(ErrorSlot& errors, double x, double y);
inline double guarded_pow(ErrorSlot& errors, double x, double y) {
  return y == 2 ? guarded_square(x) : guarded_pow_any(errors, x, y);
}

// x^y from the running process's own C library, for whole y too, kept out of line: a call to
// the library's pow with a constant whole exponent may be rewritten by the compiler as products,
// which round differently.
double machine_pow(double x, double y);

// e^x, ln x and x^y with the bits of the C library this program reproduces everywhere (the one
// the vector lanes transcribe, library_math.hpp): the machine's own functions, or on machines
// built with another library (the browser's) the transcription in one lane. library_pow is
// what guarded_pow gives where it cannot be certain of the exact power.
double library_exp(double x);
double library_log(double x);
double library_pow(double x, double y);

// x^n for every whole n from `first` to `last` into out[n - first], each exactly what
// guarded_pow(errors, x, n) gives (whole exponents never raise an error), computed together.
void whole_powers(double x, int first, int last, double* out);

// How close (as a fraction of an ulp) to a rounding midpoint an exact whole power within
// 2^-128..2^128 may lie before the library's pow may round it the other way. Further from the
// midpoint, the correctly rounded power is the library's.
inline constexpr double kPowerMidpointMargin = 1.0 / 32;

// Nearest 64-bit integer, ties to even. Out-of-range values and NaN give INT64_MIN, which any
// later index check rejects.
int64_t round_to_integer(double x);

// Checks an array offset (rounded index minus lower bound) against the element count, both as
// unsigned 32-bit numbers. Returns the offset when it is below count; otherwise raises error 9
// and returns 0, so a negative offset fails too.
uint32_t check_index(ErrorSlot& errors, int64_t offset, uint32_t count);

}  // namespace aqsol
