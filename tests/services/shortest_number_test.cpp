// writeShortest against std::to_chars, character for character, over every kind of double.
#include "services/shortest_number.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace aqsol {
namespace {

std::string library(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string ours(double value) {
  char text[kShortestNumberRoom];
  return std::string(text, writeShortest(text, value));
}

// The first few differences among `count` values made by `next`.
void expectSameText(std::size_t count, const std::function<double()>& next) {
  int reported = 0;
  for (std::size_t n = 0; n < count && reported < 5; ++n) {
    const double value = next();
    if (ours(value) == library(value)) continue;
    ADD_FAILURE() << library(value) << " written as " << ours(value);
    ++reported;
  }
}

TEST(ShortestNumber, SpecialAndBoundaryValues) {
  using limits = std::numeric_limits<double>;
  for (double v : {0.0,
                   -0.0,
                   limits::infinity(),
                   -limits::infinity(),
                   limits::quiet_NaN(),
                   limits::min(),
                   limits::denorm_min(),
                   limits::max(),
                   -limits::max(),
                   limits::epsilon(),
                   1.0,
                   -1.0,
                   0.1,
                   0.3,
                   1e-4,
                   1e-5,
                   123456.0,
                   1e15,
                   1e16,
                   1e17,
                   1e21,
                   1e22,
                   1e23,
                   9007199254740992.0,
                   9007199254740993.0 * 3,
                   36028797018963968.0,
                   1234567890123456.7,
                   5e-324,
                   2.2250738585072009e-308,
                   100.0,
                   1e100,
                   1.7976931348623157e308,
                   4.5114923081603026e-05})
    EXPECT_EQ(ours(v), library(v)) << library(v);
  for (int e = -325; e <= 309; ++e)
    for (double m : {1.0, 1.5, 9.999999999999998, 2.5, 7.0}) {
      const double v = m * std::pow(10.0, e);
      EXPECT_EQ(ours(v), library(v));
      EXPECT_EQ(ours(-v), library(-v));
    }
}

TEST(ShortestNumber, RandomBitsAndTheTablesRanges) {
  std::mt19937_64 random(20261207);
  // Any bits at all: every exponent, subnormals, both signs.
  expectSameText(2'000'000, [&] {
    const std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  });
  // The magnitudes a table holds (1e-20 to 1e10), full 53-bit significands.
  expectSameText(2'000'000, [&] {
    return std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 100) - 120);
  });
  // Short decimals, as temperatures and pressures are typed, and their products.
  expectSameText(1'000'000, [&] {
    return static_cast<double>(static_cast<std::int64_t>(random() % 20'000'001) - 10'000'000) /
           std::pow(10.0, static_cast<double>(random() % 8));
  });
  // Around 10^14 to 10^18, where fixed forms of integers and halves begin.
  expectSameText(1'000'000, [&] {
    return std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 10) - 6);
  });
}

// A row of fields is the numbers as writeShortest writes them, each with the separator after it,
// in no more room than the header promises (the buffer is exactly that long, for the sanitizers).
TEST(ShortestNumber, FieldsAreTheNumbersEachWithItsSeparator) {
  using limits = std::numeric_limits<double>;
  std::mt19937_64 random(20261208);
  std::vector<double> values = {0.0,
                                -limits::infinity(),
                                limits::quiet_NaN(),
                                1e16,
                                -1e21,
                                5e-324,
                                -2.2250738585072014e-308,
                                1.5,
                                -0.00012};
  for (int n = 0; n < 1000; ++n)
    values.push_back(
        std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 100) - 120));
  std::string expected;
  for (const double value : values) expected += ours(value) + ';';
  std::vector<char> text(values.size() * (kShortestNumberRoom + 1));
  char* const end = writeShortestFields(text.data(), values, ';');
  EXPECT_EQ(std::string(text.data(), end), expected);
  EXPECT_EQ(writeShortestFields(text.data(), {}, ';'), text.data());
}

}  // namespace
}  // namespace aqsol
