// Rows made on several threads and handed over one by one in their order.
#pragma once

#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

namespace aqsol::table {

namespace ordered_rows_detail {

inline constexpr std::size_t kChunk = 128;    // rows a thread claims and makes at once
inline constexpr std::size_t kWindow = 1024;  // rows made ahead of the one being taken, at most

inline constexpr std::size_t kChunksInWindow = kWindow / kChunk;
static_assert(kWindow % kChunk == 0, "chunks start at multiples of kChunk and never wrap");

// What the making threads and the taking thread share. Row i sits in items[i % kWindow] until it
// is taken; its chunk, i / kChunk, is handed over whole. The flags and counts are atomics, read
// without the lock; every change a thread may be waiting for is made under `lock` and announced
// on `changed`, so that no wake-up is lost between a waiter's test and its sleep.
template <class Item>
struct Window {
  std::unique_ptr<Item[]> items = std::make_unique<Item[]>(kWindow);
  std::unique_ptr<std::atomic<bool>[]> chunkReady =
      std::make_unique<std::atomic<bool>[]>(kChunksInWindow);
  std::atomic<std::size_t> nextToClaim{0};
  std::atomic<std::size_t> taken{0};  // rows taken; advanced a chunk at a time
  std::atomic<bool> stopped{false};
  // The first exception a making thread met (out of memory, say), for the calling thread.
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex lock;
  std::condition_variable changed;

  std::atomic<bool>& readyFlag(std::size_t row) {
    return chunkReady[row / kChunk % kChunksInWindow];
  }

  // Makes a change (a function of no arguments) under the lock and wakes every waiting thread.
  template <class Change>
  void announce(Change change) {
    {
      const std::lock_guard<std::mutex> held(lock);
      change();
    }
    changed.notify_all();
  }

  // Sleeps until `done()` is true; `done` reads only what announce() changes.
  template <class Done>
  void waitUntil(Done done) {
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, done);
  }

  // Keeps the first failure, stops the making threads, and wakes the taking thread wherever it
  // waits: the taker looks at `failed` before it takes a row.
  void fail(std::exception_ptr error) {
    announce([&] {
      if (!failed.load(std::memory_order_relaxed)) {  // under the lock: the first failure stays
        failure = std::move(error);
        failed.store(true, std::memory_order_release);
      }
      stopped.store(true);
    });
  }
};

template <class Item>
using MakeChunk = std::function<void(std::size_t first, std::span<Item> items)>;

// Makes the claimed rows first..end-1 in their places in the window (a chunk never wraps round
// it) and marks their chunk ready.
template <class Item>
void makeChunk(Window<Item>& window, std::size_t first, std::size_t end,
               const MakeChunk<Item>& make) {
  make(first, std::span(&window.items[first % kWindow], end - first));
  window.announce([&] { window.readyFlag(first).store(true, std::memory_order_release); });
}

template <class Item>
void makeRows(Window<Item>& window, std::size_t count, const MakeChunk<Item>& make) try {
  while (!window.stopped.load(std::memory_order_relaxed)) {
    const std::size_t first = window.nextToClaim.fetch_add(kChunk);
    if (first >= count) return;
    const std::size_t end = std::min(first + kChunk, count);
    // Wait until the rows this chunk will overwrite have been taken.
    window.waitUntil([&] {
      return end <= window.taken.load(std::memory_order_acquire) + kWindow ||
             window.stopped.load(std::memory_order_relaxed);
    });
    if (window.stopped.load(std::memory_order_relaxed)) return;
    makeChunk(window, first, end, make);
  }
} catch (...) {
  window.fail(std::current_exception());
}

// The taking thread, while the chunk it waits for is not ready, makes the next unclaimed chunk
// itself, if one is left that fits in the window beside the rows not yet taken (`taken` of
// them are). False when there is none: then it waits.
template <class Item>
bool makeAChunkWhileWaiting(Window<Item>& window, std::size_t count, std::size_t taken,
                            const MakeChunk<Item>& make) {
  std::size_t first = window.nextToClaim.load(std::memory_order_relaxed);
  do {
    if (first >= count || std::min(first + kChunk, count) > taken + kWindow) return false;
  } while (!window.nextToClaim.compare_exchange_weak(first, first + kChunk));
  makeChunk(window, first, std::min(first + kChunk, count), make);
  return true;
}

template <class Item>
bool takeRows(Window<Item>& window, std::size_t count, const MakeChunk<Item>& make,
              const std::function<bool(std::size_t, const Item&)>& take) {
  for (std::size_t first = 0; first < count; first += kChunk) {
    std::atomic<bool>& ready = window.readyFlag(first);
    const auto readyOrFailed = [&] {
      return ready.load(std::memory_order_acquire) || window.failed.load(std::memory_order_acquire);
    };
    while (!readyOrFailed() && makeAChunkWhileWaiting(window, count, first, make)) {
    }
    window.waitUntil(readyOrFailed);
    if (window.failed.load(std::memory_order_acquire)) return false;
    const std::size_t end = std::min(first + kChunk, count);
    for (std::size_t i = first; i < end; ++i)
      if (!take(i, window.items[i % kWindow])) return false;
    ready.store(false, std::memory_order_relaxed);
    window.announce([&] { window.taken.store(end, std::memory_order_release); });
  }
  return true;
}

// The processor the calling thread runs on, or -1 where that cannot be known.
inline int currentProcessor() {
#if defined(__linux__)
  return sched_getcpu();
#else
  return -1;
#endif
}

// Moves the calling thread off processor `cpu`, if it may run elsewhere, and then lets it run
// anywhere again. Linux leaves a new thread on its creator's processor for milliseconds before it
// spreads the two, which on a short table is much of the time two threads could share.
inline void leaveProcessor(int cpu) {
#if defined(__linux__)
  cpu_set_t allowed;
  if (cpu < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  cpu_set_t elsewhere = allowed;
  CPU_CLR(cpu, &elsewhere);
  if (CPU_COUNT(&elsewhere) == 0 || sched_setaffinity(0, sizeof elsewhere, &elsewhere) != 0) return;
  sched_setaffinity(0, sizeof allowed, &allowed);
#else
  (void)cpu;
#endif
}

template <class Item>
bool makeAndTakeOnOneThread(std::size_t count, const MakeChunk<Item>& make,
                            const std::function<bool(std::size_t, const Item&)>& take) {
  std::vector<Item> chunk(kChunk);
  for (std::size_t first = 0; first < count; first += kChunk) {
    const std::span<Item> items = std::span(chunk).first(std::min(kChunk, count - first));
    make(first, items);
    for (std::size_t i = first; i < first + items.size(); ++i)
      if (!take(i, items[i - first])) return false;
  }
  return true;
}

}  // namespace ordered_rows_detail

// Makes rows 0..count-1 on `threads` threads, a chunk at a time (`make(first, items)` fills
// items with rows first, first + 1, ...), and passes each, with its index, to `take` on the
// calling thread, in order. Threads claim small chunks of rows as they become free, so uneven
// rows do not leave a thread idle, and at most a fixed window of rows waits to be taken, so
// memory stays bounded for any count. `make` must be safe to call from several threads at once.
// When `take` returns false, no further row is taken, the threads stop after their current
// chunk, and the function returns false; otherwise it returns true. The rows taken are the same
// for any thread count. An exception in `make` on any thread stops the work and is rethrown here.
template <class Item>
bool makeRowsInOrder(std::size_t count, unsigned threads,
                     const ordered_rows_detail::MakeChunk<Item>& make,
                     const std::function<bool(std::size_t, const Item&)>& take) {
  using namespace ordered_rows_detail;
  if (threads <= 1) return makeAndTakeOnOneThread(count, make, take);
  Window<Item> window;
  std::vector<std::jthread> makers;
  // The calling thread makes rows too, while it waits for the next chunk to take: `threads`
  // threads in all. Where the system gives fewer threads than asked (a memory limit, a process
  // limit), the work goes on with those it gave.
  const int callersProcessor = currentProcessor();
  try {
    for (unsigned t = 1; t < threads; ++t)
      makers.emplace_back([&window, count, &make, callersProcessor] {
        leaveProcessor(callersProcessor);
        makeRows(window, count, make);
      });
  } catch (const std::system_error&) {
    if (makers.empty()) return makeAndTakeOnOneThread(count, make, take);
  }
  bool complete = false;
  try {
    complete = takeRows(window, count, make, take);
  } catch (...) {
    window.fail(std::current_exception());
  }
  if (!complete) window.announce([&] { window.stopped.store(true); });  // wakes waiting makers
  makers.clear();
  if (window.failed.load(std::memory_order_acquire)) std::rethrow_exception(window.failure);
  return complete;
}

}  // namespace aqsol::table
