// Rows computed on several threads, each into its own place, in no particular order.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace aqsol::table {

// Calls work(i) once for every i in 0..count-1 on `threads` threads (the calling thread being
// one of them); threads claim small chunks of rows as they become free. `work` must be safe to
// call from several threads at once for different rows. Returns when every row is done.
inline void forEachRow(std::size_t count, unsigned threads,
                       const std::function<void(std::size_t)>& work) {
  constexpr std::size_t kChunk = 64;
  std::atomic<std::size_t> next{0};
  const auto claimAndWork = [&] {
    for (std::size_t first; (first = next.fetch_add(kChunk)) < count;)
      for (std::size_t i = first, end = std::min(first + kChunk, count); i < end; ++i) work(i);
  };
  const std::size_t helpers = std::min<std::size_t>(threads, (count + kChunk - 1) / kChunk);
  std::vector<std::jthread> others;
  for (std::size_t t = 1; t < helpers; ++t) others.emplace_back(claimAndWork);
  claimAndWork();
}

}  // namespace aqsol::table
