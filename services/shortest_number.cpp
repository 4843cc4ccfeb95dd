// Shortest round-trip text of doubles: the digits from the Dragonbox algorithm (libfmt's,
// header only), laid out as std::to_chars lays them out.
#include "services/shortest_number.hpp"

#define FMT_HEADER_ONLY
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace aqsol {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of `value` (at most 17), written to end before `end`; returns their start.
char* digitsBefore(char* end, std::uint64_t value) {
  char* p = end;
  const auto pairs = [&](std::uint32_t v, int count) {
    for (int i = 0; i < count; ++i) {
      const std::uint32_t pair = v % 100 * 2;
      v /= 100;
      p -= 2;
      p[0] = kDigitPairs[pair];
      p[1] = kDigitPairs[pair + 1];
    }
    return v;
  };
  std::uint32_t high = static_cast<std::uint32_t>(value);
  if (value >= 100'000'000) {
    pairs(static_cast<std::uint32_t>(value % 100'000'000), 4);
    high = static_cast<std::uint32_t>(value / 100'000'000);
  }
  while (high >= 100) high = pairs(high, 1);
  if (high >= 10) {
    pairs(high, 1);
  } else {
    *--p = static_cast<char>('0' + high);
  }
  return p;
}

char* fill(char* out, char c, int count) {
  std::memset(out, c, static_cast<std::size_t>(count));
  return out + count;
}

char* copy(char* out, const char* from, int count) {
  std::memcpy(out, from, static_cast<std::size_t>(count));
  return out + count;
}

}  // namespace

char* writeShortest(char* out, double value) {
  // Zeros, infinities and NaNs, and the fixed forms of values of 10^15 and more (written with
  // their exact digits rather than the shortest), are the standard library's.
  const auto library = [&] { return std::to_chars(out, out + kShortestNumberRoom, value).ptr; };
  if (value == 0 || !std::isfinite(value)) return library();
  const auto decimal = fmt::detail::dragonbox::to_decimal(value);
  char buffer[20];
  char* const end = buffer + sizeof buffer;
  const char* digits = digitsBefore(end, decimal.significand);
  const int n = static_cast<int>(end - digits);
  const int exponent = decimal.exponent + n - 1;  // value = d.ddd x 10^exponent
  const int exponentDigits = exponent >= 100 || exponent <= -100 ? 3 : 2;
  const int scientificLength = n + (n > 1 ? 1 : 0) + 2 + exponentDigits;
  const int fixedLength =
      exponent >= 0 ? std::max(exponent + 1, n + (n > exponent + 1 ? 1 : 0)) : n + 1 - exponent;
  if (fixedLength <= scientificLength) {
    if (exponent >= 15) return library();
    if (value < 0) *out++ = '-';
    if (exponent < 0) {
      *out++ = '0';
      *out++ = '.';
      out = fill(out, '0', -exponent - 1);
      return copy(out, digits, n);
    }
    if (n <= exponent + 1) return fill(copy(out, digits, n), '0', exponent + 1 - n);
    out = copy(out, digits, exponent + 1);
    *out++ = '.';
    return copy(out, digits + exponent + 1, n - exponent - 1);
  }
  if (value < 0) *out++ = '-';
  *out++ = digits[0];
  if (n > 1) {
    *out++ = '.';
    out = copy(out, digits + 1, n - 1);
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  int magnitude = std::abs(exponent);
  if (magnitude >= 100) {
    *out++ = static_cast<char>('0' + magnitude / 100);
    magnitude %= 100;
  }
  *out++ = kDigitPairs[magnitude * 2];
  *out++ = kDigitPairs[magnitude * 2 + 1];
  return out;
}

}  // namespace aqsol
