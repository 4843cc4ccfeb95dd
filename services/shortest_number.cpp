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

// The eight decimal digits of v < 10^8 (with leading zeros) as ASCII, the first in the lowest
// byte: v split into halves of four digits, each into pairs, each into digits, every split in
// all lanes of one 64-bit word at once (multiplications by reciprocals exact in these ranges).
[[gnu::always_inline]] inline std::uint64_t eightDigits(std::uint32_t v) {
  const std::uint64_t high4 = (std::uint64_t{v} * 109951163) >> 40;  // v / 10^4
  const std::uint64_t halves = high4 | (v - high4 * 10000) << 32;
  const std::uint64_t high2 = ((halves * 10486) >> 20) & 0x0000007F0000007F;  // each / 100
  const std::uint64_t pairs = high2 | (halves - high2 * 100) << 16;
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;  // each / 10
  return (tens | (pairs - tens * 10) << 8) | 0x3030303030303030;
}

// How many decimal digits 0 < value < 10^17 has: from its bit length (times log10 2, as
// 1233/4096), less one where it lies below that many digits' least value.
int digitCount(std::uint64_t value) {
  static constexpr std::uint64_t kPowers[] = {1,
                                              10,
                                              100,
                                              1'000,
                                              10'000,
                                              100'000,
                                              1'000'000,
                                              10'000'000,
                                              100'000'000,
                                              1'000'000'000,
                                              10'000'000'000,
                                              100'000'000'000,
                                              1'000'000'000'000,
                                              10'000'000'000'000,
                                              100'000'000'000'000,
                                              1'000'000'000'000'000,
                                              10'000'000'000'000'000,
                                              100'000'000'000'000'000};
  const int estimate = ((64 - __builtin_clzll(value)) * 1233) >> 12;  // digits or digits - 1
  return estimate + (value >= kPowers[estimate] ? 1 : 0);
}

// The decimal digits of a significand below 10^17: all 17 with leading zeros into
// `digits`, and how many there are without them.
int seventeenDigits(std::uint64_t value, char* digits) {
  const auto high = static_cast<std::uint32_t>(value / 100'000'000);
  const auto low = static_cast<std::uint32_t>(value - std::uint64_t{high} * 100'000'000);
  const auto top = static_cast<std::uint32_t>(high / 100'000'000);
  const auto middle = high - top * 100'000'000;
  digits[0] = static_cast<char>('0' + top);
  const std::uint64_t middleDigits = eightDigits(middle), lowDigits = eightDigits(low);
  std::memcpy(digits + 1, &middleDigits, 8);
  std::memcpy(digits + 9, &lowDigits, 8);
  return digitCount(value);
}

// The copies below move a fixed 24 bytes, more than any run of digits: the output has room.
constexpr int kCopy = 24;

char* copy(char* out, const char* from, int count) {
  std::memcpy(out, from, kCopy);
  return out + count;
}

char* fill(char* out, char c, int count) {
  std::memset(out, c, kCopy);
  return out + count;
}

}  // namespace

char* writeShortest(char* out, double value) {
  // Zeros, infinities and NaNs, and the fixed forms of values of 10^15 and more (written with
  // their exact digits rather than the shortest), are the standard library's.
  const auto library = [&] { return std::to_chars(out, out + kShortestNumberRoom, value).ptr; };
  if (value == 0 || !std::isfinite(value)) return library();
  const auto decimal = fmt::detail::dragonbox::to_decimal(value);
  char buffer[17 + kCopy] = {};
  const int n = seventeenDigits(decimal.significand, buffer);
  const char* const digits = buffer + 17 - n;
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
