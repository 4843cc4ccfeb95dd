// Shortest round-trip text of doubles: the digits from the Dragonbox algorithm (libfmt's,
// header only), laid out as std::to_chars lays them out.
#include "services/shortest_number.hpp"

#include <emmintrin.h>  // SSE2, part of every x86-64 processor

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "services/dragonbox.hpp"

namespace aqsol {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The sixteen decimal digits of high and low (each below 10^8, with leading zeros) as ASCII,
// high's first, at `out`: in the two halves of one register, each split in four-digit groups,
// each group in pairs and each pair in digits by multiplications with reciprocals, exact in
// these ranges.
void sixteenDigits(std::uint32_t high, std::uint32_t low, char* out) {
  const __m128i x = _mm_set_epi64x(low, high);
  const __m128i thousands =
      _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xd1b71759u))), 45);
  const __m128i rest = _mm_sub_epi32(x, _mm_mul_epu32(thousands, _mm_set1_epi32(10000)));
  const __m128i groups = _mm_or_si128(thousands, _mm_slli_epi64(rest, 32));  // 4 digits each
  const __m128i hundreds = _mm_srli_epi32(_mm_mulhi_epu16(groups, _mm_set1_epi32(5243)), 3);
  const __m128i below = _mm_sub_epi32(groups, _mm_mullo_epi16(hundreds, _mm_set1_epi32(100)));
  const __m128i pairs = _mm_or_si128(hundreds, _mm_slli_epi32(below, 16));  // 2 digits each
  const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6554));
  const __m128i ones = _mm_sub_epi16(pairs, _mm_mullo_epi16(tens, _mm_set1_epi16(10)));
  const __m128i digits = _mm_or_si128(tens, _mm_slli_epi16(ones, 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi8(digits, _mm_set1_epi8('0')));
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
  sixteenDigits(middle, low, digits + 1);
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
