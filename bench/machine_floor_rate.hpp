// The timing loop of machine_floor_targets.hpp's rate over a vector type V, written once: inlined
// into a function compiled for V's instructions (a processor target's, or the baseline's).
#pragma once

#include <algorithm>
#include <ctime>

namespace aqsol::bench {
namespace {

// This thread's processor time, in nanoseconds.
inline double threadNanoseconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Twelve independent chains of a separately rounded multiply and add, each chain in a register
// of its own throughout (the empty statement takes all twelve there every round, so that none
// is fused, hoisted or kept in memory).
template <class V>
[[gnu::always_inline]] inline double nanosecondsPerOperationOf() {
  constexpr int kChains = 12, kRounds = 1 << 16;
  constexpr int kWidth = static_cast<int>(sizeof(V) / sizeof(double));
  V factor, term;
  for (int lane = 0; lane < kWidth; ++lane) {
    factor[lane] = 0.999999;
    term[lane] = 1e-9;
  }
  double least = 1e300;
  for (int repeat = 0; repeat < 7; ++repeat) {
    V s0 = factor, s1 = factor, s2 = factor, s3 = factor, s4 = factor, s5 = factor, s6 = factor,
      s7 = factor, s8 = factor, s9 = factor, s10 = factor, s11 = factor;
    const double start = threadNanoseconds();
    for (int round = 0; round < kRounds; ++round) {
      s0 = s0 * factor + term;
      s1 = s1 * factor + term;
      s2 = s2 * factor + term;
      s3 = s3 * factor + term;
      s4 = s4 * factor + term;
      s5 = s5 * factor + term;
      s6 = s6 * factor + term;
      s7 = s7 * factor + term;
      s8 = s8 * factor + term;
      s9 = s9 * factor + term;
      s10 = s10 * factor + term;
      s11 = s11 * factor + term;
      __asm__ volatile(""
                       : "+v"(s0), "+v"(s1), "+v"(s2), "+v"(s3), "+v"(s4), "+v"(s5), "+v"(s6),
                         "+v"(s7), "+v"(s8), "+v"(s9), "+v"(s10), "+v"(s11));
    }
    least = std::min(least, threadNanoseconds() - start);
  }
  return least / (2.0 * kChains * kRounds * kWidth);
}

}  // namespace
}  // namespace aqsol::bench
