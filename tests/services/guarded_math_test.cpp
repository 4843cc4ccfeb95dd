// Tests of the guarded mathematics, rounding and the index check.
#include "services/guarded_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace aqsol {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Each failing operation raises its error and yields 0.
TEST(GuardedMath, DomainErrorsRaiseAndYieldZero) {
  struct Case {
    const char* what;
    double (*op)(ErrorSlot&);
    uint32_t error;
  };
  const Case cases[] = {
      {"log 0", [](ErrorSlot& e) { return guarded_log(e, 0); }, 5},
      {"log -1", [](ErrorSlot& e) { return guarded_log(e, -1); }, 5},
      {"sqrt -1e-300", [](ErrorSlot& e) { return guarded_sqrt(e, -1e-300); }, 5},
      {"(-8)^(1/3)", [](ErrorSlot& e) { return guarded_pow(e, -8, 1.0 / 3); }, 5},
      {"exp 710", [](ErrorSlot& e) { return guarded_exp(e, 710); }, 6},
      {"exp NaN", [](ErrorSlot& e) { return guarded_exp(e, kNaN); }, 6},
  };
  for (const Case& c : cases) {
    ErrorSlot errors;
    EXPECT_EQ(c.op(errors), 0.0) << c.what;
    EXPECT_EQ(errors.pending_error(), c.error) << c.what;
  }
}

TEST(GuardedMath, ValidArgumentsGiveLibraryResults) {
  ErrorSlot errors;
  EXPECT_EQ(guarded_pow(errors, -8, 3), -512.0);
  EXPECT_EQ(guarded_pow(errors, -2, -2), 0.25);
  EXPECT_EQ(guarded_log(errors, 1), 0.0);
  EXPECT_EQ(guarded_sqrt(errors, -0.0), 0.0);
  EXPECT_EQ(guarded_exp(errors, 709.78), std::exp(709.78));
  EXPECT_EQ(guarded_exp(errors, -1e308), 0.0);
  EXPECT_TRUE(std::isnan(guarded_log(errors, kNaN)));
  EXPECT_TRUE(std::isnan(guarded_sqrt(errors, kNaN)));
  EXPECT_TRUE(std::isnan(guarded_pow(errors, -2, kNaN)));
  EXPECT_FALSE(errors.has_error());
}

TEST(Rounding, NearestWithTiesToEven) {
  EXPECT_EQ(round_to_integer(2.5), 2);
  EXPECT_EQ(round_to_integer(3.5), 4);
  EXPECT_EQ(round_to_integer(-2.5), -2);
  EXPECT_EQ(round_to_integer(2.6), 3);
  EXPECT_EQ(round_to_integer(kNaN), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(round_to_integer(1e300), std::numeric_limits<int64_t>::min());
}

TEST(CheckIndex, OffsetsInsideTheCountPassOthersRaiseNine) {
  ErrorSlot errors;
  EXPECT_EQ(check_index(errors, 0, 7), 0u);  // index equal to the lower bound
  EXPECT_EQ(check_index(errors, 6, 7), 6u);
  EXPECT_FALSE(errors.has_error());
  for (int64_t offset : {int64_t{7}, int64_t{-1}, int64_t{1} << 32}) {
    ErrorSlot e;
    EXPECT_EQ(check_index(e, offset, 7), 0u) << offset;
    EXPECT_EQ(e.pending_error(), 9u) << offset;
  }
}

}  // namespace
}  // namespace aqsol

namespace aqsol {
namespace {

// Whole powers are computed without the library where the result is certain; they must be the
// library's to the last bit, for every exponent the calculator uses and far beyond.
TEST(GuardedMath, WholePowersAreTheLibrarysToTheBit) {
  ErrorSlot errors;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> exponent_of_two(-200, 200);
  std::uniform_real_distribution<double> near_one(0.25, 4);
  long compared = 0;
  for (int sample = 0; sample < 40'000; ++sample) {
    const double magnitude =
        sample % 2 == 0 ? std::exp2(exponent_of_two(random)) : near_one(random);
    const double x = sample % 3 == 0 ? -magnitude : magnitude;
    for (int n = -33; n <= 33; ++n) {
      const double expected = std::pow(x, n), actual = guarded_pow(errors, x, n);
      ASSERT_EQ(std::bit_cast<uint64_t>(actual), std::bit_cast<uint64_t>(expected))
          << std::hexfloat << x << " ^ " << n;
      ++compared;
    }
  }
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (double x : {0.0, -0.0, 1.0, -1.0, kNaN, kInf, -kInf, 1e-300, 1e300})
    for (int n = -3; n <= 3; ++n)
      EXPECT_EQ(std::bit_cast<uint64_t>(guarded_pow(errors, x, n)),
                std::bit_cast<uint64_t>(std::pow(x, n)))
          << x << " ^ " << n;
  EXPECT_FALSE(errors.has_error());
  EXPECT_EQ(compared, 40'000L * 67);
}

}  // namespace
}  // namespace aqsol

namespace aqsol {
namespace {

// The library's pow(x, 2) where x * x is too close to call: exact ties (x = o 2^-26 with o odd
// and o^2 above 2^53 has a square halfway between two doubles), their neighbours, and the
// exponents at either end of where the square is decided without the library.
TEST(GuardedMath, SquaresAtAndNearTiesAreTheLibrarys) {
  ErrorSlot errors;
  volatile double two = 2;  // keeps the compiler from turning pow(x, 2) into x * x
  std::mt19937_64 random(20261209);
  std::uniform_int_distribution<std::int64_t> odd_half(47'453'134, 67'108'863);
  for (int sample = 0; sample < 20'000; ++sample) {
    const double tie = static_cast<double>(2 * odd_half(random) + 1) * 0x1p-26;
    for (const int scale : {-64, -63, -1, 0, 62, 63}) {
      const double x = std::ldexp(tie, scale);
      for (const double near : {std::nextafter(x, 0.0), x, std::nextafter(x, 4.0 * x)})
        ASSERT_EQ(std::bit_cast<uint64_t>(guarded_pow(errors, near, 2)),
                  std::bit_cast<uint64_t>(std::pow(near, two)))
            << std::hexfloat << near;
    }
  }
  EXPECT_FALSE(errors.has_error());
}

TEST(GuardedMath, RunsOfWholePowersAreTheSingleOnes) {
  ErrorSlot errors;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent_of_two(-100, 100);
  double run[65];
  for (int sample = 0; sample < 20'000; ++sample) {
    double x = std::exp2(exponent_of_two(random));
    if (sample % 2) x = -x;
    const int first = -static_cast<int>(random() % 33), last = static_cast<int>(random() % 33);
    whole_powers(x, first, last, run);
    for (int n = first; n <= last; ++n)
      ASSERT_EQ(std::bit_cast<uint64_t>(run[n - first]),
                std::bit_cast<uint64_t>(guarded_pow(errors, x, n)))
          << std::hexfloat << x << " ^ " << n;
  }
  whole_powers(3, 30, 40, run);  // beyond the run's range: one power at a time
  EXPECT_EQ(run[10], std::pow(3.0, 40));
  EXPECT_FALSE(errors.has_error());
}

}  // namespace
}  // namespace aqsol
