// Tests of the constants and coefficient tables as read from the data text.
#include "calculator/constants.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "services/data_reader.hpp"

namespace aqsol {
namespace {

TEST(Constants, ListsComeFromTheDataTextInOrder) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  ASSERT_FALSE(errors.has_error());
  EXPECT_EQ(k.a[1], -7.85823);
  EXPECT_EQ(k.a[6], 1.77516);
  EXPECT_EQ(k.b[3], -0.512506);
  EXPECT_EQ(k.b[6], -675615.0);
  EXPECT_EQ(k.c[1], 7.07501275112);
  EXPECT_EQ(k.c[7], 0.11359287);
  EXPECT_EQ(k.c[8], 2.4131785);
}

TEST(Constants, DataTextHoldsExactlyTwentyNumbers) {
  ErrorSlot errors;
  DataReader reader(kCalculatorDataText);
  for (int n = 0; n < 20; ++n) reader.read_number(errors);
  EXPECT_FALSE(errors.has_error());
  reader.read_number(errors);
  EXPECT_EQ(errors.pending_error(), 4u);
}

TEST(Constants, TablesHoldTheirNonZeroEntriesInRowMajorOrder) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  EXPECT_EQ(k.A.size(), 18u);
  EXPECT_EQ(k.B.size(), 25u);
  EXPECT_EQ(k.C.size(), 12u);
  EXPECT_EQ(k.D.size(), 9u);
  for (const auto* table : {&k.A, &k.B, &k.C, &k.D})
    EXPECT_TRUE(std::is_sorted(table->begin(), table->end(), [](const auto& x, const auto& y) {
      return x.i != y.i ? x.i < y.i : x.j < y.j;
    }));
  // The B table needs twelve temperature columns although column 11 is empty.
  const auto b112 = std::find_if(k.B.begin(), k.B.end(), [](const auto& e) { return e.j == 12; });
  ASSERT_NE(b112, k.B.end());
  EXPECT_EQ(b112->value, 0.0005364384732);
  EXPECT_EQ(k.A.front().i, 1);
  EXPECT_EQ(k.A.front().value, 0.7529422956);
}

}  // namespace
}  // namespace aqsol
