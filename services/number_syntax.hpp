// The decimal number syntax that the data reader (strictly) and numeric text (leniently) read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace aqsol {

// A decimal number split into its parts: value = 0.digits x 10^(point_shift + exponent).
struct DecimalNumber {
  bool negative = false;
  std::string digits;            // significant digits without leading zeros; empty for zero
  int64_t point_shift = 0;       // digits before the point; below 0 for zeros after it
  int64_t exponent = 0;          // as written after D, E, d or e
  bool dropped_nonzero = false;  // a non-zero digit past the kept ones (lenient only)
  std::size_t radix_at = std::string_view::npos;  // where "&" begins a radix number (lenient)
};

enum class NumberSyntax {
  // The whole text is one number: an optional sign, digits with at most one point, an optional
  // exponent letter with an optional sign and digits. Anything else is a syntax error; more
  // than 256 significant digits or 18 exponent digits overflow.
  kStrict,
  // As far as the text continues a number: spaces and tabs are skipped anywhere, the first
  // character that cannot continue ends it, a leading "&" marks a radix number. 12,000
  // significant digits are kept (every rounding midpoint of an extended-precision number ends
  // within them); a 17-digit exponent ends at its 18th digit.
  kLenient,
};

enum class ScanStatus { kNumber, kSyntaxError, kOverflow };

// Reads `text` with the given syntax into `out`. The lenient syntax always gives kNumber.
ScanStatus scan_decimal_number(std::string_view text, NumberSyntax syntax, DecimalNumber& out);

}  // namespace aqsol
