// The timing loop of machine_floor_targets.hpp's rate over a vector type V, written once: inlined
// into a function compiled for V's instructions (a processor target's, or the baseline's).
#pragma once

#include <algorithm>
#include <chrono>

namespace aqsol::bench {
namespace {

template <class V>
[[gnu::always_inline]] inline double nanosecondsPerOperationOf() {
  using Clock = std::chrono::steady_clock;
  constexpr int kChains = 12, kRounds = 1 << 16;
  constexpr int kWidth = static_cast<int>(sizeof(V) / sizeof(double));
  V factor, term;
  for (int lane = 0; lane < kWidth; ++lane) {
    factor[lane] = 0.999999;
    term[lane] = 1e-9;
  }
  double least = 1e300;
  for (int repeat = 0; repeat < 7; ++repeat) {
    V sums[kChains];
    for (V& s : sums) s = factor;
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round)
      for (V& s : sums) {
        s = s * factor + term;
        __asm__ volatile("" : "+v"(s));  // neither fused nor hoisted
      }
    least = std::min(least, std::chrono::duration<double, std::nano>(Clock::now() - start).count());
  }
  return least / (2.0 * kChains * kRounds * kWidth);
}

}  // namespace
}  // namespace aqsol::bench
