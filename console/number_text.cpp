// Numeric text conversion: numbers to their printed text form and text to numbers.
#include "console/number_text.hpp"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace aqsol {
namespace {

RuntimeString* temporary_text(StringStorage& st, std::string_view text) {
  RuntimeString* s = st.string_new(static_cast<uint32_t>(text.size()), true);
  std::memcpy(s->data, text.data(), text.size());
  return s;
}

// Precision rules of one floating type.
struct FloatForm {
  int significant;   // digits shown at most
  char letter;       // exponent letter
  int fixed_max_e;   // fixed notation needs e <= this ...
  int fixed_min_ds;  // ... and e - s >= this
  bool nine_rule;    // a 16th digit 9 falls back to 15 digits
};
constexpr FloatForm kDoubleForm{16, 'D', 15, -17, true};
constexpr FloatForm kSingleForm{7, 'E', 6, -8, false};

// x in scientific notation with the given significant digits: sign character, digits without
// the point, decimal exponent.
struct Scientific {
  char sign;
  std::string digits;
  int exponent;
};

Scientific scientific(double x, int significant) {
  char text[64];
  std::snprintf(text, sizeof text, "% .*E", significant - 1, x);
  Scientific sc{text[0], std::string(1, text[1]), 0};
  const char* p = text + 3;  // after "d."
  while (*p != 'E') sc.digits.push_back(*p++);
  sc.exponent = std::atoi(p + 1);
  return sc;
}

std::string float_text(double x, const FloatForm& form) {
  if (!std::isfinite(x)) {
    char text[16];
    std::snprintf(text, sizeof text, "% E", x);
    return text;
  }
  Scientific sc = scientific(x, form.significant);
  if (form.nine_rule && sc.digits[form.significant - 1] == '9') {
    sc = scientific(x, form.significant - 1);
    sc.digits.push_back('0');
  }
  int s = form.significant;
  while (s > 0 && sc.digits[s - 1] == '0') --s;
  if (s == 0) return " 0";
  const int e = sc.exponent;
  if (e <= form.fixed_max_e && e - s >= form.fixed_min_ds) {
    const int decimals = std::min(std::max(s - e - 1, 0), 16);
    char text[64];
    std::snprintf(text, sizeof text, "% .*f", decimals, x);
    std::string fixed = text;
    if (fixed.size() > 1 && fixed[1] == '0') fixed.erase(1, 1);
    return fixed;
  }
  std::string out(1, sc.sign);
  out += sc.digits[0];
  if (s > 1) out += '.' + sc.digits.substr(1, static_cast<std::size_t>(s - 1));
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "%c%c%0*d", form.letter, e < 0 ? '-' : '+',
                std::abs(e) <= 99 ? 2 : 3, std::abs(e));
  return out + exponent;
}

// "&H..." / "&O..." after the ampersand (`rest`); spaces and tabs are skipped.
long double radix_number(ErrorSlot& errors, std::string_view rest) {
  if (rest.size() < 2) return 0;
  const char kind = rest[0];
  const int bits = (kind == 'H' || kind == 'h') ? 4 : (kind == 'O' || kind == 'o') ? 3 : 0;
  if (bits == 0) return 0;
  uint64_t value = 0;
  int kept = 0;
  char first = 0;
  for (char c : rest.substr(1)) {
    if (c == ' ' || c == '\t') continue;
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (bits == 4 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (bits == 4 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0 || d >= (1 << bits)) break;
    if (kept == 0 && d == 0) continue;
    if (kept == 0) first = c;
    ++kept;
    const bool too_long = bits == 4 ? kept > 16 : (kept > 22 || (kept == 22 && first >= '2'));
    if (too_long) {
      errors.raise_error(kOverflow);
      return 0;
    }
    value = value << bits | static_cast<uint64_t>(d);
  }
  return static_cast<long double>(static_cast<int64_t>(value));
}

}  // namespace

// An integer as the runtime prints it: a leading space for a value that is not negative (where
// a minus sign would stand), then its digits.
template <class Integer>
RuntimeString* integer_text(StringStorage& st, Integer v) {
  char text[24] = {' '};
  char* const digits = v < 0 ? text : text + 1;
  const auto written = std::to_chars(digits, text + sizeof text, v);
  return temporary_text(st, std::string_view(text, static_cast<std::size_t>(written.ptr - text)));
}

RuntimeString* number_to_text(StringStorage& st, int64_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, int32_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, int16_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, int8_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, uint64_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, uint32_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, uint16_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, uint8_t v) {
  return integer_text(st, v);
}
RuntimeString* number_to_text(StringStorage& st, float v) {
  return temporary_text(st, float_text(v, kSingleForm));
}
RuntimeString* number_to_text(StringStorage& st, double v) {
  return temporary_text(st, float_text(v, kDoubleForm));
}
RuntimeString* number_to_text(StringStorage& st, long double v) {
  return number_to_text(st, static_cast<double>(v));
}

namespace {

// Digits kept for the conversion. Every rounding midpoint of an extended-precision number ends
// within 12,000 significant digits of the number's first digit, so keeping that many and
// standing in for any further non-zero digit with one more "1" decides every rounding as all
// the digits would.
constexpr std::size_t kMaxMantissaDigits = 12'000;

// A decimal number as read from the start of a text: its significant digits without leading
// zeros, the count of those (and of dropped ones) before the point, and the written exponent.
struct DecimalText {
  bool negative = false;
  std::string mantissa;
  int64_t integer_digits = 0;  // may go below 0 for leading zeros after the point
  int64_t integer_value = 0;   // the integer part, while it has at most 18 digits
  bool integer_overflow = false;
  int64_t exponent = 0;
  bool dropped_nonzero = false;                   // a non-zero digit past the kept ones
  std::size_t radix_at = std::string_view::npos;  // where "&" starts a radix number instead

  void keep(char c) {
    if (mantissa.size() < kMaxMantissaDigits) {
      mantissa.push_back(c);
    } else {
      dropped_nonzero |= c != '0';
    }
  }
};

// Reads as far as the text continues a number: spaces and tabs are skipped anywhere, the scan
// stops at the first character that cannot continue, and a leading "&" marks a radix number.
DecimalText scan_decimal_text(std::string_view text) {
  enum State { kStart, kInteger, kFraction, kExponentLetter, kExponentDigits };
  State state = kStart;
  DecimalText d;
  bool exponent_negative = false;
  int exponent_digits = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    const bool digit = c >= '0' && c <= '9';
    if (c == '&') {
      if (state == kStart) d.radix_at = i;
      break;
    } else if (c == '-' || c == '+') {
      if (state == kStart) {
        d.negative = c == '-';
        state = kInteger;
      } else if (state == kExponentLetter) {
        exponent_negative = c == '-';
        state = kExponentDigits;
      } else {
        break;
      }
    } else if (c == '.') {
      if (state != kStart && state != kInteger) break;
      state = kFraction;
    } else if (c == 'D' || c == 'E' || c == 'd' || c == 'e') {
      if (state > kFraction) break;
      state = kExponentLetter;
    } else if (digit && state <= kInteger) {
      state = kInteger;
      if (d.mantissa.empty() && c == '0') continue;
      d.keep(c);
      ++d.integer_digits;
      d.integer_overflow |= d.integer_digits > 18;
      if (!d.integer_overflow) d.integer_value = d.integer_value * 10 + (c - '0');
    } else if (digit && state == kFraction) {
      if (d.mantissa.empty() && c == '0') {
        --d.integer_digits;
        continue;
      }
      d.keep(c);
    } else if (digit) {
      state = kExponentDigits;
      if (exponent_digits == 0 && c == '0') continue;
      if (exponent_digits == 17) break;
      ++exponent_digits;
      d.exponent = d.exponent * 10 + (c - '0');
    } else {
      break;
    }
  }
  if (exponent_negative) d.exponent = -d.exponent;
  if (d.dropped_nonzero) d.mantissa.push_back('1');
  return d;
}

// The value of a scanned number, correctly rounded to extended precision; whole numbers of up
// to 18 digits exactly.
long double decimal_value(const DecimalText& d) {
  if (d.mantissa.empty()) return 0;
  const bool all_integer = d.integer_digits == static_cast<int64_t>(d.mantissa.size());
  if (d.exponent == 0 && all_integer && !d.integer_overflow)
    return static_cast<long double>(d.negative ? -d.integer_value : d.integer_value);
  std::string number = d.negative ? "-" : "";
  number += d.mantissa[0];
  if (d.mantissa.size() > 1) number += '.' + d.mantissa.substr(1);
  number += 'E' + std::to_string(d.exponent + d.integer_digits - 1);
  return std::strtold(number.c_str(), nullptr);
}

}  // namespace

long double text_to_number(ErrorSlot& errors, std::string_view text) {
  const DecimalText d = scan_decimal_text(text);
  if (d.radix_at != std::string_view::npos)
    return radix_number(errors, text.substr(d.radix_at + 1));
  return decimal_value(d);
}

}  // namespace aqsol
