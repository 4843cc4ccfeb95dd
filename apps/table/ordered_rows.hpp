// Rows made on several threads and handed over one by one in their order.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

namespace aqsol::table {

namespace ordered_rows_detail {

inline constexpr std::size_t kChunk = 64;     // rows a thread claims and makes at once
inline constexpr std::size_t kWindow = 4096;  // rows made ahead of the one being taken, at most

inline constexpr std::size_t kChunksInWindow = kWindow / kChunk;
static_assert(kWindow % kChunk == 0, "chunks start at multiples of kChunk and never wrap");

// What the making threads and the taking thread share. Row i sits in items[i % kWindow] until it
// is taken; its chunk, i / kChunk, is handed over whole: one flag and one notification a chunk.
template <class Item>
struct Window {
  std::unique_ptr<Item[]> items = std::make_unique<Item[]>(kWindow);
  std::unique_ptr<std::atomic<bool>[]> chunkReady =
      std::make_unique<std::atomic<bool>[]>(kChunksInWindow);
  std::atomic<std::size_t> nextToClaim{0};
  std::atomic<std::size_t> taken{0};  // rows taken; advanced a chunk at a time
  std::atomic<bool> stopped{false};
  // The first exception a making thread met (out of memory, say), for the calling thread.
  std::atomic<bool> failureClaimed{false}, failed{false};
  std::exception_ptr failure;

  std::atomic<bool>& readyFlag(std::size_t row) {
    return chunkReady[row / kChunk % kChunksInWindow];
  }

  // Keeps the first failure, stops the making threads, and wakes the taking thread wherever it
  // waits: every chunk is marked ready, and the taker looks at `failed` before it takes a row.
  void fail(std::exception_ptr error) {
    if (!failureClaimed.exchange(true)) {
      failure = std::move(error);
      failed.store(true, std::memory_order_release);
    }
    stopped.store(true);
    for (std::size_t n = 0; n < kChunksInWindow; ++n) {
      chunkReady[n].store(true, std::memory_order_release);
      chunkReady[n].notify_all();
    }
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
  std::atomic<bool>& ready = window.readyFlag(first);
  ready.store(true, std::memory_order_release);
  ready.notify_one();
}

template <class Item>
void makeRows(Window<Item>& window, std::size_t count, const MakeChunk<Item>& make) try {
  while (!window.stopped.load(std::memory_order_relaxed)) {
    const std::size_t first = window.nextToClaim.fetch_add(kChunk);
    if (first >= count) return;
    const std::size_t end = std::min(first + kChunk, count);
    // Wait until the rows this chunk will overwrite have been taken.
    for (std::size_t taken = window.taken.load(std::memory_order_acquire); end > taken + kWindow;
         taken = window.taken.load(std::memory_order_acquire)) {
      if (window.stopped.load(std::memory_order_relaxed)) return;
      window.taken.wait(taken, std::memory_order_acquire);
    }
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
    while (!ready.load(std::memory_order_acquire) &&
           makeAChunkWhileWaiting(window, count, first, make)) {
    }
    ready.wait(false, std::memory_order_acquire);
    if (window.failed.load(std::memory_order_acquire)) return false;
    const std::size_t end = std::min(first + kChunk, count);
    for (std::size_t i = first; i < end; ++i)
      if (!take(i, window.items[i % kWindow])) return false;
    ready.store(false, std::memory_order_relaxed);
    window.taken.store(end, std::memory_order_release);
    window.taken.notify_all();
  }
  return true;
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
  try {
    for (unsigned t = 1; t < threads; ++t)
      makers.emplace_back([&] { makeRows(window, count, make); });
  } catch (const std::system_error&) {
    if (makers.empty()) return makeAndTakeOnOneThread(count, make, take);
  }
  bool complete = false;
  try {
    complete = takeRows(window, count, make, take);
  } catch (...) {
    window.fail(std::current_exception());
  }
  if (!complete) {
    window.stopped.store(true);
    window.taken.store(count, std::memory_order_release);  // wakes makers waiting for room
    window.taken.notify_all();
  }
  makers.clear();
  if (window.failed.load(std::memory_order_acquire)) std::rethrow_exception(window.failure);
  return complete;
}

}  // namespace aqsol::table
