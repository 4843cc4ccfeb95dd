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

// A critical error leaves the computation that raised it with its box, to be caught where the
// computation began.
TEST(ErrorSlot, CriticalErrorsAreThrownWithTheirBox) {
  const auto caught = [](int64_t n) {
    try {
      ErrorSlot().raise_error(n);
    } catch (const CriticalError& critical) {
      return critical.line() + " #" + std::to_string(critical.number);
    }
    return std::string("not thrown");
  };
  EXPECT_EQ(caught(504), "Critical Error #4: Out of memory #504");
  EXPECT_EQ(caught(11), "Critical Error: Division by zero #11");
  EXPECT_EQ(caught(256), "Critical Error: Out of stack space #256");
  EXPECT_EQ(caught(5), "not thrown");
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
