// Shortest round-trip text of doubles: the digits from the Dragonbox algorithm (libfmt's,
// header only), laid out as std::to_chars lays them out.
#include "services/shortest_number.hpp"

#include <emmintrin.h>  // SSE2, part of every x86-64 processor

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

#include "services/bit_cast.hpp"
#include "services/decimal_text.hpp"
#include "services/dragonbox.hpp"

namespace aqsol {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The sixteen decimal digits of high and low (each below 10^8, with leading zeros) as ASCII,
// high's first: in the two halves of one register, each split in four-digit groups, each
// group in pairs and each pair in digits by multiplications with reciprocals, exact in these
// ranges. The halves are moved in from registers and joined (_mm_set_epi64x goes through the
// stack, and its load waits for the stores).
__m128i sixteenDigits(std::uint32_t high, std::uint32_t low) {
  const __m128i x = _mm_unpacklo_epi64(_mm_cvtsi32_si128(static_cast<int>(high)),
                                       _mm_cvtsi32_si128(static_cast<int>(low)));
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
  return _mm_add_epi8(digits, _mm_set1_epi8('0'));
}

constexpr std::uint64_t kPowersOfTen[] = {1,
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

// How many decimal digits 0 < value < 10^17 has: from its bit length (times log10 2, as
// 1233/4096), less one where it lies below that many digits' least value.
int digitCount(std::uint64_t value) {
  const int estimate = ((64 - __builtin_clzll(value)) * 1233) >> 12;  // digits or digits - 1
  return estimate + (value >= kPowersOfTen[estimate] ? 1 : 0);
}

// A significand's digits followed by zeros to seventeen in all: the first as a character, the
// other sixteen in a register. They stay in registers until they are stored where they go: a
// load of bytes just stored in pieces would wait for the stores to finish.
struct Digits {
  char first;
  __m128i rest;
};

Digits seventeenDigits(std::uint64_t significand, int count) {
  const std::uint64_t value = significand * kPowersOfTen[17 - count];  // in [10^16, 10^17)
  // The first digit and the first nine are two independent divisions, not one after the other.
  const auto top = static_cast<std::uint32_t>(value / 10'000'000'000'000'000);
  const auto high = static_cast<std::uint32_t>(value / 100'000'000);
  const auto low = static_cast<std::uint32_t>(value - std::uint64_t{high} * 100'000'000);
  return {static_cast<char>('0' + top), sixteenDigits(high - top * 100'000'000, low)};
}

// Writes the seventeen digits at `out` with a decimal point at out[point] (1 <= point <= 16),
// the digits from there on one place later; with point 17 or more, the digits alone. Writes 18
// characters whatever the text's length.
void writeDigits(char* out, const Digits& digits, int point) {
  const __m128i place = _mm_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const __m128i at = _mm_set1_epi8(static_cast<char>(std::min(point, 17)));
  const __m128i before = _mm_cmpgt_epi8(at, place);
  const __m128i isPoint = _mm_cmpeq_epi8(at, place);
  const __m128i moved = _mm_or_si128(_mm_and_si128(before, digits.rest),
                                     _mm_andnot_si128(before, _mm_slli_si128(digits.rest, 1)));
  const __m128i text =
      _mm_or_si128(_mm_andnot_si128(isPoint, moved), _mm_and_si128(isPoint, _mm_set1_epi8('.')));
  out[0] = digits.first;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 1), text);
  out[17] = static_cast<char>(_mm_extract_epi16(digits.rest, 7) >> 8);  // the last digit
}

constexpr int kNoPoint = 17;

// "e-99" to "e+99": every exponent of two digits, all but those of the extremes of the range.
constexpr auto kExponents = [] {
  std::array<std::array<char, 4>, 199> texts{};
  for (int exponent = -99; exponent <= 99; ++exponent) {
    const int magnitude = exponent < 0 ? -exponent : exponent;
    texts[exponent + 99] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + magnitude / 10),
                            static_cast<char>('0' + magnitude % 10)};
  }
  return texts;
}();

// writeShortest's work, inlined into each function below.
[[gnu::always_inline]] inline char* writeOne(char* out, double value) {
  // Zeros, infinities and NaNs, and the fixed forms of values of 10^15 and more (written with
  // their exact digits rather than the shortest), are the standard library's.
  const auto library = [&] {
    return writeLibraryShortest(out, out + kShortestNumberRoom, value).ptr;
  };
  const auto bits = bitCast<std::uint64_t>(value);
  if ((bits << 1) - 1 >= (std::uint64_t{0x7ff} << 53) - 1) return library();
  const auto decimal = fmt::detail::dragonbox::to_decimal(value);
  const int n = digitCount(decimal.significand);
  const Digits digits = seventeenDigits(decimal.significand, n);
  const int exponent = decimal.exponent + n - 1;  // value = d.ddd x 10^exponent
  // The fixed form is written while it is no longer than the scientific one, of n + (n > 1) + 4
  // characters (its exponent has two digits wherever the fixed form could win): up to this many
  // zeros after the digits, or one fewer between the point and the digits.
  const int zerosAllowed = n > 1 ? 4 : 3;
  if (exponent >= 15 && exponent <= n + zerosAllowed) return library();
  char* const text = out + (bits >> 63);
  *out = '-';
  if (exponent >= 0 && exponent <= n + zerosAllowed) {
    const bool point = exponent < n - 1;
    writeDigits(text, digits, point ? exponent + 1 : kNoPoint);
    return text + (point ? n + 1 : exponent + 1);
  }
  if (exponent < 0 && exponent >= -zerosAllowed) {  // "0.", at most four zeros, the digits
    std::memcpy(text, "0.000000", 8);
    writeDigits(text + 1 - exponent, digits, kNoPoint);
    return text + n + 1 - exponent;
  }
  writeDigits(text, digits, 1);
  char* const e = text + n + (n > 1 ? 1 : 0);
  if (exponent > -100 && exponent < 100) {
    std::memcpy(e, kExponents[exponent + 99].data(), 4);
    return e + 4;
  }
  e[0] = 'e';
  e[1] = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  e[2] = static_cast<char>('0' + magnitude / 100);
  std::memcpy(e + 3, kDigitPairs + 2 * (magnitude % 100), 2);
  return e + 5;
}

}  // namespace

// Flattened: Dragonbox's digit search is inlined here, so that the compiler interleaves it with
// the layout and no call copies the argument and the result (4 to 11 % of a number's time).
[[gnu::flatten]] char* writeShortest(char* out, double value) {
  return writeOne(out, value);
}

// Flattened too, with the loop around: the registers saved, and the layout's constants loaded,
// once for all the numbers.
[[gnu::flatten]] char* writeShortestFields(char* out, std::span<const double> values,
                                           char separator) {
  for (const double value : values) {
    out = writeOne(out, value);
    *out++ = separator;
  }
  return out;
}

}  // namespace aqsol
