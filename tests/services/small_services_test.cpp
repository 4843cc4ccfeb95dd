// Tests of the variable pool, the return stack, the clock texts, the error boxes' texts and the
// buffered output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "services/clock_text.hpp"
#include "services/cpu_targets.hpp"
#include "services/errors.hpp"
#include "services/file_output.hpp"
#include "services/math_targets.hpp"
#include "services/return_stack.hpp"
#include "services/variable_pool.hpp"
#include "tests/support/failing_memory.hpp"

namespace aqsol {
namespace {

TEST(VariablePool, CarvesAlignedZeroedCellsAndGrowsIntoANewBlock) {
  ErrorSlot errors;
  VariablePool pool(errors, 64);
  auto* first = static_cast<double*>(pool.pool_take(8));
  auto* second = static_cast<double*>(pool.pool_take(8));
  EXPECT_EQ(*first, 0.0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(second) % alignof(std::max_align_t), 0u);
  EXPECT_NE(first, second);
  *first = 1;
  // A request that does not fit makes a block of n + 2 x 64 bytes; the old cells stay valid.
  void* big = pool.pool_take(100);
  EXPECT_EQ(pool.block_size(), 112u + 128u);
  EXPECT_EQ(*first, 1.0);
  std::memset(big, 0xFF, 100);
  EXPECT_FALSE(errors.has_error());
}

TEST(ReturnStack, PopsInOrderAndReportsMisuse) {
  ErrorSlot errors;
  ReturnStack stack(errors);
  EXPECT_EQ(stack.return_point(), 0);
  EXPECT_EQ(errors.pending_error(), kReturnWithoutGosub);
  EXPECT_EQ(error_message(errors.pending_error()), "RETURN without GOSUB");
  errors.clear();

  stack.call(1);
  stack.call(40);
  stack.call(41);
  EXPECT_EQ(stack.return_point(), 0);  // 41 is no return point
  EXPECT_EQ(errors.pending_error(), kReturnWithoutGosub);
  errors.clear();
  EXPECT_EQ(stack.return_point(), 40);
  EXPECT_EQ(stack.return_point(), 1);
  EXPECT_FALSE(errors.has_error());
}

TEST(ReturnStack, DoublesWhenFull) {
  ErrorSlot errors;
  ReturnStack stack(errors);
  for (int i = 0; i < ReturnStack::kInitialCapacity + 5; ++i) stack.call(1 + i % 40);
  EXPECT_EQ(stack.capacity(), 2 * ReturnStack::kInitialCapacity);
  for (int i = ReturnStack::kInitialCapacity + 4; i >= 0; --i)
    ASSERT_EQ(stack.return_point(), 1 + i % 40);
  EXPECT_FALSE(errors.has_error());
}

// The pool's and the stack's memory failing: their critical errors, with their messages.
TEST(OutOfMemory, ThePoolRaisesFourAndTheStackOutOfStackSpace) {
  ErrorSlot errors;
  const auto caught = [&](auto make) {
    try {
      make();
    } catch (const CriticalError& c) {
      return c.text + " / " + c.caption;
    }
    return std::string("no error");
  };
  FailingMemory none(1);
  EXPECT_EQ(caught([&] { VariablePool pool(errors, 64, none); }),
            "Out of memory / Critical Error #4");
  FailingMemory later;
  VariablePool pool(errors, 64, later);
  later.fail_after(0);
  EXPECT_EQ(caught([&] { pool.pool_take(100); }), "Out of memory / Critical Error #4");
  FailingMemory stack_memory(1);
  EXPECT_EQ(caught([&] { ReturnStack stack(errors, stack_memory); }),
            "Out of stack space / Critical Error");
  FailingMemory growing;
  ReturnStack stack(errors, growing);
  growing.fail_after(0);
  EXPECT_EQ(caught([&] {
              for (int i = 0; i < ReturnStack::kInitialCapacity; ++i) stack.call(1);
            }),
            "Out of stack space / Critical Error");
}

// Pieces below and above the size written without buffering, in order, and the first failed
// write's error kept for every write after it.
TEST(Output, KeepsTheOrderOfSmallAndLargePiecesAndItsFirstError) {
  char name[] = "/tmp/aqsol-output-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  unlink(name);
  const std::string large(100'000, 'x');
  std::string expected;
  {
    Output out(fd);
    for (const std::string& piece : {std::string("a,"), large, std::string("b\n"), large}) {
      EXPECT_TRUE(out.write(piece));
      expected += piece;
    }
    EXPECT_TRUE(out.write("tail"));
    expected += "tail";
    EXPECT_TRUE(out.flush());
  }
  std::string written(expected.size() + 1, '\0');
  EXPECT_EQ(pread(fd, written.data(), written.size(), 0), static_cast<ssize_t>(expected.size()));
  written.resize(expected.size());
  EXPECT_EQ(written, expected);
  close(fd);

  // Every write to a descriptor open only for reading fails: the first error is kept.
  const int readOnly = open("/dev/null", O_RDONLY);
  ASSERT_GE(readOnly, 0);
  Output refused(readOnly);
  EXPECT_TRUE(refused.write("queued"));
  EXPECT_FALSE(refused.write(large));
  EXPECT_EQ(refused.error(), EBADF);
  EXPECT_FALSE(refused.write("more"));
  EXPECT_FALSE(refused.flush());
  close(readOnly);
}

TEST(ClockText, DateAndTimeHaveTheirFixedForms) {
  ErrorSlot errors;
  std::tm parts{};
  parts.tm_year = 2026 - 1900;
  parts.tm_mon = 11;
  parts.tm_mday = 7;
  parts.tm_hour = 9;
  parts.tm_min = 5;
  parts.tm_sec = 3;
  parts.tm_isdst = -1;
  const std::time_t when = std::mktime(&parts);
  EXPECT_EQ(date_text(errors, when), "12-07-2026");
  EXPECT_EQ(time_text(errors, when), "09:05:03");
  EXPECT_TRUE(std::regex_match(date_text(errors), std::regex(R"(\d\d-\d\d-\d{4})")));
  EXPECT_TRUE(std::regex_match(time_text(errors), std::regex(R"(\d\d:\d\d:\d\d)")));
  EXPECT_FALSE(errors.has_error());
  EXPECT_EQ(date_text(errors, static_cast<std::time_t>(-1)), "");
  EXPECT_EQ(errors.pending_error(), kIllegalFunctionCall);
}

TEST(ErrorBox, TextAndCaption) {
  EXPECT_EQ(error_box_text(5, 120), "Line:120\nIllegal function call\nContinue?");
  EXPECT_EQ(error_box_caption(5), "Unhandled Error #5");
  EXPECT_EQ(error_box_text(15, 7), "Line:7\nUnprintable error\nContinue?");
  EXPECT_EQ(error_box_caption(15), "Unhandled Error #15");
  EXPECT_EQ(error_box_text(305, 1), "Line:1\nSource memory has been freed");
  EXPECT_EQ(error_box_caption(305), "Critical Error #305");
}

// The processor's paths, and AQSOL_LANES choosing among them, never beyond what it runs.
TEST(CpuTargets, WidestPathUnlessForcedNarrower) {
  const auto chosen = [](bool fma, bool avx2, bool avx512, const char* forced) {
    const CpuTargets t = chooseCpuTargets(fma, avx2, avx512, forced);
    return std::string(targetName(t.widest)) + "/" + std::string(targetName(t.active)) +
           (t.fusedMultiplyAdd() ? " fma" : "");
  };
  EXPECT_EQ(chosen(true, true, true, nullptr), "avx512/avx512 fma");
  EXPECT_EQ(chosen(true, true, false, nullptr), "avx2/avx2 fma");
  EXPECT_EQ(chosen(false, true, false, nullptr), "baseline/baseline");  // AVX2 without FMA
  EXPECT_EQ(chosen(false, false, true, nullptr), "baseline/baseline");
  EXPECT_EQ(chosen(false, false, false, nullptr), "baseline/baseline");
  EXPECT_EQ(chosen(true, true, true, "4"), "avx512/avx2 fma");
  EXPECT_EQ(chosen(true, true, true, "1"), "avx512/baseline");
  EXPECT_EQ(chosen(true, true, false, "8"), "avx2/avx2 fma");  // not beyond the processor
  for (const char* ignored : {"", "2", "16", "x", "8 "})
    EXPECT_EQ(chosen(true, true, true, ignored), "avx512/avx512 fma") << ignored;
  EXPECT_EQ(targetWithLanes(8, CpuTarget::kAvx2), CpuTarget::kAvx2);
  EXPECT_EQ(targetWithLanes(1, CpuTarget::kAvx512), CpuTarget::kBaseline);
  // Detected once: every call gives the one record made then, the choice for its own features.
  EXPECT_EQ(&cpuTargets(), &cpuTargets());
  const CpuTarget widest = cpuTargets().widest;
  EXPECT_EQ(cpuTargets().active,
            chooseCpuTargets(widest != CpuTarget::kBaseline, widest != CpuTarget::kBaseline,
                             widest == CpuTarget::kAvx512, std::getenv("AQSOL_LANES"))
                .active);
  EXPECT_EQ(&activeMathTarget(), &mathTarget(cpuTargets().active));
  EXPECT_EQ(activeMathTarget().target, cpuTargets().active);
}

}  // namespace
}  // namespace aqsol
