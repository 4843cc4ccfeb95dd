// Tests of the pending-error slot, critical errors and the message table.
#include "services/errors.hpp"

#include <gtest/gtest.h>

namespace aqsol {
namespace {

TEST(ErrorSlot, FirstErrorOfAStatementWinsUntilCleared) {
  std::atomic<bool> event{false};
  ErrorSlot errors(&event);
  EXPECT_FALSE(errors.has_error());
  errors.raise_error(6);
  errors.raise_error(9);
  EXPECT_EQ(errors.pending_error(), 6u);
  EXPECT_TRUE(event.load());
  errors.clear();
  errors.raise_error(9);
  EXPECT_EQ(errors.pending_error(), 9u);
}

TEST(ErrorSlot, NonPositiveNumbersBecomeIllegalFunctionCall) {
  for (int64_t n : {0, -1, -300}) {
    ErrorSlot errors;
    errors.raise_error(n);
    EXPECT_EQ(errors.pending_error(), 5u) << n;
  }
}

TEST(ErrorSlot, CriticalErrorsGoToTheHandlerAndEndTheProcessWithCodeZero) {
  EXPECT_EXIT(ErrorSlot().raise_error(504), testing::ExitedWithCode(0),
              "Critical Error #4: Out of memory");
  EXPECT_EXIT(ErrorSlot().raise_error(11), testing::ExitedWithCode(0),
              "Critical Error: Division by zero");
  EXPECT_EXIT(ErrorSlot().raise_error(256), testing::ExitedWithCode(0), "Out of stack space");
}

TEST(ErrorSlot, AHandlerThatReturnsStillEndsTheProcess) {
  auto returning = [](uint32_t, std::string_view, std::string_view) {};
  EXPECT_EXIT(ErrorSlot(nullptr, returning).raise_error(257), testing::ExitedWithCode(0), "");
}

TEST(ErrorMessages, KnownNumbersAndUnprintable) {
  EXPECT_EQ(error_message(5), "Illegal function call");
  EXPECT_EQ(error_message(6), "Overflow");
  EXPECT_EQ(error_message(4), "Out of DATA");
  EXPECT_EQ(error_message(313), "Source and destination memory have been freed");
  EXPECT_EQ(error_message(15), "Unprintable error");
  EXPECT_EQ(error_message(0), "Unprintable error");
}

}  // namespace
}  // namespace aqsol
