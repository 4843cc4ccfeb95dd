// Rows made on several threads come out in order, and taking can stop the making early.
#include "apps/table/ordered_rows.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>

#include "services/parallel_chunks.hpp"

namespace aqsol::table {
namespace {

// Rows of very uneven cost, far more than the window holds, on 1 to 5 threads.
TEST(TableThreadedRows, ComeOutInOrderOnAnyThreadCount) {
  constexpr std::size_t kRows = 20'000;
  const auto make = [](std::size_t first, std::span<std::string> items) {
    for (std::size_t i = first; i < first + items.size(); ++i) {
      if (i % 997 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      items[i - first] = std::to_string(i);
    }
  };
  for (unsigned threads = 1; threads <= 5; ++threads) {
    std::size_t expected = 0;
    bool in_order = true;
    const bool complete = makeRowsInOrder<std::string>(
        kRows, threads, make, [&](std::size_t i, const std::string& text) {
          in_order = in_order && i == expected && text == std::to_string(expected);
          ++expected;
          return true;
        });
    EXPECT_TRUE(complete);
    EXPECT_TRUE(in_order) << threads << " threads";
    EXPECT_EQ(expected, kRows) << threads << " threads";
  }
}

// N threads of work in all: the calling thread makes rows while it waits for the next chunk, so
// no more than N threads ever make rows, the caller among them.
TEST(TableThreadedRows, TheCallingThreadIsOneOfTheThreads) {
  for (unsigned threads = 2; threads <= 3; ++threads) {
    std::mutex mutex;
    std::set<std::thread::id> makers;
    makeRowsInOrder<std::string>(
        20'000, threads,
        [&](std::size_t first, std::span<std::string> items) {
          {
            const std::lock_guard lock(mutex);
            makers.insert(std::this_thread::get_id());
          }
          std::this_thread::sleep_for(std::chrono::microseconds(50));
          for (std::size_t i = first; i < first + items.size(); ++i)
            items[i - first] = std::to_string(i);
        },
        [](std::size_t, const std::string&) { return true; });
    EXPECT_LE(makers.size(), threads);
    EXPECT_TRUE(makers.contains(std::this_thread::get_id())) << threads << " threads";
  }
}

// A taker that throws stops the makers, and its exception reaches the caller.
TEST(TableThreadedRows, AnExceptionWhileTakingReachesTheCaller) {
  struct Failure {};
  for (unsigned threads = 1; threads <= 3; ++threads) {
    std::atomic<std::size_t> made{0};
    EXPECT_THROW(makeRowsInOrder<std::string>(
                     10'000'000, threads,
                     [&](std::size_t first, std::span<std::string> items) {
                       made += items.size();
                       for (std::size_t i = first; i < first + items.size(); ++i)
                         items[i - first] = "r";
                     },
                     [](std::size_t i, const std::string&) {
                       if (i == 1'000) throw Failure{};
                       return true;
                     }),
                 Failure);
    EXPECT_LT(made.load(), 100'000u) << threads << " threads";
  }
}

// A reader that goes away (a closed pipe, a full disk) stops the work: few rows are made after.
TEST(TableThreadedRows, TakingThatFailsStopsTheMakers) {
  for (unsigned threads = 1; threads <= 3; ++threads) {
    std::atomic<std::size_t> made{0};
    std::size_t taken = 0;
    const bool complete = makeRowsInOrder<std::string>(
        10'000'000, threads,
        [&](std::size_t first, std::span<std::string> items) {
          for (std::size_t i = first; i < first + items.size(); ++i) {
            ++made;
            items[i - first] = std::to_string(i);
          }
        },
        [&](std::size_t, const std::string&) { return ++taken < 100; });
    EXPECT_FALSE(complete);
    EXPECT_EQ(taken, 100u);
    EXPECT_LT(made.load(), 100'000u) << threads << " threads";
  }
}

// Out of memory on one thread, say: the others stop and the exception reaches the caller, in
// order or not, on any thread count.
TEST(TableThreadedRows, AnExceptionOnAnyThreadReachesTheCaller) {
  struct Failure {};
  for (unsigned threads = 1; threads <= 4; ++threads) {
    std::atomic<std::size_t> madeAfter{0};
    std::size_t taken = 0;
    const auto make = [&](std::size_t first, std::span<std::string> items) {
      if (first == 64 * 40) throw Failure{};
      if (first > 64 * 40 + 64 * 4 * 64) ++madeAfter;
      for (std::size_t i = first; i < first + items.size(); ++i) items[i - first] = "row";
    };
    EXPECT_THROW(makeRowsInOrder<std::string>(1'000'000, threads, make,
                                              [&](std::size_t, const std::string&) {
                                                ++taken;
                                                return true;
                                              }),
                 Failure);
    EXPECT_LE(taken, 64u * 40) << threads << " threads";
    EXPECT_EQ(madeAfter.load(), 0u) << threads << " threads";
    std::atomic<std::size_t> chunks{0};
    EXPECT_THROW(forEachChunk(1'000'000, threads,
                              [&](std::size_t first, std::size_t) {
                                ++chunks;
                                if (first == 64 * 40) throw Failure{};
                              }),
                 Failure);
    EXPECT_LT(chunks.load(), 1'000'000u / 64) << threads << " threads";
  }
}

#if defined(__linux__)
// A making thread is moved off the caller's processor at its start, not pinned: afterwards it may
// run on every processor it could before, and where it may run on one only, it stays there.
TEST(TableThreadedRows, AThreadLeavesAProcessorButKeepsItsAllowedOnes) {
  using ordered_rows_detail::currentProcessor;
  using ordered_rows_detail::leaveProcessor;
  std::thread([] {
    cpu_set_t allowed, after;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    const int cpu = currentProcessor();
    leaveProcessor(cpu);
    ASSERT_EQ(sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&allowed, &after));

    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    leaveProcessor(cpu);
    ASSERT_EQ(sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&one, &after));
    EXPECT_EQ(currentProcessor(), cpu);
  }).join();
}
#endif

}  // namespace
}  // namespace aqsol::table
