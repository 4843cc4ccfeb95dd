// Work on chunks of rows shared by several threads, each chunk into its own place, in no
// particular order.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

namespace aqsol {

// Calls work(first, end) for consecutive chunks of rows that together cover 0..count-1 once, on
// `threads` threads (the calling thread being one of them); threads claim chunks as they become
// free. `work` must be safe to call from several threads at once for different chunks. Returns
// when every chunk is done (an exception of any thread stops the others and is rethrown here), or,
// once `stop` (if given) is set, when the chunks begun are done.
inline void forEachChunk(std::size_t count, unsigned threads,
                         const std::function<void(std::size_t first, std::size_t end)>& work,
                         const std::atomic<bool>* stop = nullptr) {
  constexpr std::size_t kChunk = 64;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;  // the first exception of any thread, written by that thread alone
  const auto stopped = [&] {
    return failed.load(std::memory_order_acquire) ||
           (stop != nullptr && stop->load(std::memory_order_relaxed));
  };
  const auto claimAndWork = [&] {
    try {
      for (std::size_t first; !stopped() && (first = next.fetch_add(kChunk)) < count;)
        work(first, std::min(first + kChunk, count));
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  const std::size_t helpers = std::min<std::size_t>(threads, (count + kChunk - 1) / kChunk);
  std::vector<std::thread> others;  // not std::jthread: the WebAssembly toolchain has none
  try {
    for (std::size_t t = 1; t < helpers; ++t) others.emplace_back(claimAndWork);
  } catch (const std::system_error&) {  // fewer threads than asked: the others do the work
  }
  claimAndWork();  // catches everything, so the threads below are always joined
  for (std::thread& other : others) other.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace aqsol
