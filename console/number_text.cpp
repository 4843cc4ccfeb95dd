// Numeric text conversion: numbers to their printed text form and text to numbers.
#include "console/number_text.hpp"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "services/number_syntax.hpp"

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
  return temporary_text(st, float_text(static_cast<double>(v), kSingleForm));
}
RuntimeString* number_to_text(StringStorage& st, double v) {
  return temporary_text(st, float_text(v, kDoubleForm));
}
RuntimeString* number_to_text(StringStorage& st, long double v) {
  return number_to_text(st, static_cast<double>(v));
}

namespace {

// The value of a scanned number, correctly rounded to extended precision; whole numbers of up
// to 18 digits exactly.
long double decimal_value(const DecimalNumber& d) {
  if (d.digits.empty()) return 0;
  const bool whole = d.exponent == 0 && d.point_shift == static_cast<int64_t>(d.digits.size());
  if (whole && d.digits.size() <= 18) {
    int64_t value = 0;
    for (char c : d.digits) value = value * 10 + (c - '0');
    return static_cast<long double>(d.negative ? -value : value);
  }
  std::string number = d.negative ? "-" : "";
  number += d.digits[0];
  if (d.digits.size() > 1) number += '.' + d.digits.substr(1);
  number += 'E' + std::to_string(d.exponent + d.point_shift - 1);
  return std::strtold(number.c_str(), nullptr);
}

}  // namespace

long double text_to_number(ErrorSlot& errors, std::string_view text) {
  DecimalNumber d;
  scan_decimal_number(text, NumberSyntax::kLenient, d);
  if (d.radix_at != std::string_view::npos)
    return radix_number(errors, text.substr(d.radix_at + 1));
  return decimal_value(d);
}

}  // namespace aqsol
