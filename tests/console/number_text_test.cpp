// Tests of numeric text conversion in both directions.
#include "console/number_text.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

class NumberText : public RuntimeFixture {
 protected:
  template <typename T>
  std::string text(T value) {
    return std::string(number_to_text(st, value)->view());
  }
};

TEST_F(NumberText, DoubleForms) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0, " 0"},
      {-0.0, " 0"},
      {2.5, " 2.5"},
      {-2.5, "-2.5"},
      {298.15, " 298.15"},
      {1.0 / 3, " .3333333333333333"},
      {-0.25, "-.25"},
      {1e15, " 1000000000000000"},
      {1e16, " 1D+16"},
      {1e-16, " .0000000000000001"},
      {1e-17, " 1D-17"},
      {1.5e-20, " 1.5D-20"},
      {1e100, " 1D+100"},
      {123456789012345678.0, " 1.234567890123457D+17"},
      {0.1 + 0.7, " .8"},
      {0.9999999999999999, " 1"},
      {0.03172432135488189, " .0317243213548819"},  // 16th digit 9: 15 digits
  };
  for (const Case& c : cases) EXPECT_EQ(text(c.value), c.text) << c.value;
}

TEST_F(NumberText, OtherTypes) {
  EXPECT_EQ(text(1e7f), " 1E+07");
  EXPECT_EQ(text(0.1f), " .1");
  EXPECT_EQ(text(2.5L), " 2.5");
  EXPECT_EQ(text(int64_t{-12}), "-12");
  EXPECT_EQ(text(int32_t{7}), " 7");
  EXPECT_EQ(text(int16_t{-32768}), "-32768");
  EXPECT_EQ(text(int8_t{5}), " 5");
  EXPECT_EQ(text(uint64_t{18446744073709551615u}), " 18446744073709551615");
  EXPECT_EQ(text(uint8_t{255}), " 255");
  EXPECT_EQ(text(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(text(int32_t{0}), " 0");
  EXPECT_EQ(text(int8_t{-128}), "-128");
  EXPECT_EQ(text(std::numeric_limits<double>::infinity()), " INF");
}

TEST_F(NumberText, TextToNumber) {
  struct Case {
    const char* text;
    long double value;
  };
  const Case cases[] = {
      {"", 0},           {"25", 25},
      {"  -3.5", -3.5L}, {".5", 0.5L},
      {"1.5E3", 1500},   {"1.5d3", 1500},
      {"12abc", 12},     {"0.00123", 0.00123L},
      {"&H1F", 31},      {"&O17", 15},
      {"&H", 0},         {"+-1", 0},
      {"1 2", 12},       {"1e", 1},
      {"--1", 0},        {"0.000", 0},
      {"abc", 0},        {"&HFFFFFFFFFFFFFFFF", -1},
      {"&X12", 0},       {"2 5 . 5", 25.5L},
      {"1e-3", 0.001L},  {"-0", 0},
      {"1.2.3", 1.2L},
  };
  for (const Case& c : cases) EXPECT_EQ(text_to_number(errors, c.text), c.value) << c.text;
  EXPECT_FALSE(errors.has_error());
}

TEST_F(NumberText, LongIntegersGiveTheNearestValue) {
  EXPECT_EQ(text_to_number(errors, "123456789012345678"), 123456789012345678.0L);
  EXPECT_EQ(text_to_number(errors, "123456789012345678901234"), 123456789012345678901234.0L);
  EXPECT_EQ(text_to_number(errors, "-99999999999999999999"), -99999999999999999999.0L);
}

// The rounding of a text is decided by every digit, however far out: 1 + 2^-64 lies halfway
// between 1 and 1 + 2^-63 in extended precision (ties go to 1); a 1 after 600 zeros more, or
// after 20,000 more, tips it up.
TEST_F(NumberText, FarDigitsDecideTheRounding) {
  const std::string halfway = "1.0000000000000000000542101086242752217003726400434970855712890625";
  const long double one = 1, above = 1 + 0x1p-63L;
  EXPECT_EQ(text_to_number(errors, halfway), one);
  EXPECT_EQ(text_to_number(errors, halfway + std::string(600, '0') + "1"), above);
  EXPECT_EQ(text_to_number(errors, halfway + std::string(20'000, '0') + "1"), above);
  EXPECT_EQ(text_to_number(errors, halfway + std::string(20'000, '0')), one);
  EXPECT_EQ(text_to_number(errors, "-" + halfway + std::string(900, '0') + "3E0"), -above);
}

TEST_F(NumberText, OversizedRadixConstantsOverflow) {
  for (const char* t : {"&H10000000000000000", "&O2000000000000000000000"}) {
    ErrorSlot e;
    EXPECT_EQ(text_to_number(e, t), 0) << t;
    EXPECT_EQ(e.pending_error(), 6u) << t;
  }
  EXPECT_EQ(text_to_number(errors, "&O1777777777777777777777"), -1);
  EXPECT_EQ(text_to_number(errors, "&H00000000000000000001"), 1);
  EXPECT_FALSE(errors.has_error());
}

}  // namespace
}  // namespace aqsol
