// Data reader: reads the numbers of a comma-separated data text one at a time.
#include "services/data_reader.hpp"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "services/number_syntax.hpp"

namespace aqsol {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Value of c as a digit in the given base (8 or 16), or -1.
int digit_value(char c, int base) {
  int v = -1;
  if (is_digit(c)) v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

enum class ScanResult { kValue, kSyntaxError, kOverflow };

// Converts a scanned decimal item; kOverflow when it exceeds the double range.
ScanResult convert_decimal(const DecimalNumber& item, double& value) {
  value = 0;
  if (item.digits.empty()) return ScanResult::kValue;
  const int64_t e = item.point_shift + item.exponent - 1;  // exponent of the first digit
  if (e > 308) return ScanResult::kOverflow;
  if (e == 308 && item.digits.substr(0, 17) > std::string_view("17976931348623157"))
    return ScanResult::kOverflow;
  if (e < -324) return ScanResult::kValue;
  const std::string text =
      (item.negative ? "-0." : "0.") + item.digits + "e" + std::to_string(e + 1);
  value = std::strtod(text.c_str(), nullptr);
  return ScanResult::kValue;
}

// &H / &O items; the leading "&" is already known to be there.
ScanResult scan_radix(std::string_view item, double& value) {
  if (item.size() < 3) return ScanResult::kSyntaxError;
  const char kind = item[1];
  const int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
  if (base == 0) return ScanResult::kSyntaxError;
  const int bits_per_digit = base == 16 ? 4 : 3;
  uint64_t bits = 0;
  int used_bits = 0;
  for (std::size_t i = 2; i < item.size(); ++i) {
    const int d = digit_value(item[i], base);
    if (d < 0) return ScanResult::kSyntaxError;
    if (bits == 0 && d == 0) continue;
    used_bits =
        used_bits == 0 ? std::bit_width(static_cast<unsigned>(d)) : used_bits + bits_per_digit;
    if (used_bits > 64) return ScanResult::kOverflow;
    bits = (bits << bits_per_digit) | static_cast<uint64_t>(d);
  }
  // The digits are a 64-bit two's-complement pattern, as integer literals of this form are.
  value = static_cast<double>(static_cast<int64_t>(bits));
  return ScanResult::kValue;
}

}  // namespace

double DataReader::read_number(ErrorSlot& errors) {
  if (errors.has_error()) return 0;
  if (position_ >= text_.size()) {
    errors.raise_error(kOutOfData);
    return 0;
  }
  const std::size_t start = position_;
  const std::size_t comma = text_.find(',', start);
  const std::size_t end = comma == std::string_view::npos ? text_.size() : comma;
  const std::string_view item = text_.substr(start, end - start);

  double value = 0;
  ScanResult result = ScanResult::kValue;
  if (!item.empty() && item[0] == '&') {
    result = scan_radix(item, value);
  } else {
    DecimalNumber decimal;
    const ScanStatus scanned = scan_decimal_number(item, NumberSyntax::kStrict, decimal);
    result = scanned == ScanStatus::kSyntaxError ? ScanResult::kSyntaxError
             : scanned == ScanStatus::kOverflow  ? ScanResult::kOverflow
                                                 : convert_decimal(decimal, value);
  }
  if (result == ScanResult::kSyntaxError) {
    errors.raise_error(kSyntaxError);
    return 0;
  }
  position_ = comma == std::string_view::npos ? end : end + 1;
  if (result == ScanResult::kOverflow) {
    errors.raise_error(kOverflow);
    return 0;
  }
  return value;
}

}  // namespace aqsol
