// Rows made on several threads and handed over one by one in their order.
#include "apps/table/ordered_rows.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace aqsol::table {
namespace {

constexpr std::size_t kChunk = 16;     // rows a thread claims at once
constexpr std::size_t kWindow = 4096;  // rows made ahead of the one being taken, at most

// One place of the window: the text of row i sits in slot i % kWindow until it is taken.
struct Slot {
  std::string text;
  std::atomic<bool> ready{false};
};

// What the making threads and the taking thread share.
struct Window {
  std::unique_ptr<Slot[]> slots = std::make_unique<Slot[]>(kWindow);
  std::atomic<std::size_t> nextToClaim{0};
  std::atomic<std::size_t> taken{0};  // rows taken; advanced a chunk at a time
  std::atomic<bool> stopped{false};
};

void makeRows(Window& window, std::size_t count,
              const std::function<std::string(std::size_t)>& make) {
  while (!window.stopped.load(std::memory_order_relaxed)) {
    const std::size_t first = window.nextToClaim.fetch_add(kChunk);
    if (first >= count) return;
    const std::size_t end = std::min(first + kChunk, count);
    // Wait until the rows this chunk will overwrite have been taken.
    for (std::size_t taken = window.taken.load(std::memory_order_acquire);
         end > taken + kWindow; taken = window.taken.load(std::memory_order_acquire)) {
      if (window.stopped.load(std::memory_order_relaxed)) return;
      window.taken.wait(taken, std::memory_order_acquire);
    }
    for (std::size_t i = first; i < end; ++i) {
      if (window.stopped.load(std::memory_order_relaxed)) return;
      Slot& slot = window.slots[i % kWindow];
      slot.text = make(i);
      slot.ready.store(true, std::memory_order_release);
      slot.ready.notify_one();
    }
  }
}

bool takeRows(Window& window, std::size_t count,
              const std::function<bool(const std::string&)>& take) {
  for (std::size_t i = 0; i < count; ++i) {
    Slot& slot = window.slots[i % kWindow];
    slot.ready.wait(false, std::memory_order_acquire);
    const bool go_on = take(slot.text);
    slot.ready.store(false, std::memory_order_relaxed);
    if (!go_on) return false;
    if ((i + 1) % kChunk == 0) {
      window.taken.store(i + 1, std::memory_order_release);
      window.taken.notify_all();
    }
  }
  return true;
}

}  // namespace

bool makeRowsInOrder(std::size_t count, unsigned threads,
                     const std::function<std::string(std::size_t)>& make,
                     const std::function<bool(const std::string&)>& take) {
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i)
      if (!take(make(i))) return false;
    return true;
  }
  Window window;
  std::vector<std::jthread> makers;
  for (unsigned t = 0; t < threads; ++t)
    makers.emplace_back([&] { makeRows(window, count, make); });
  const bool complete = takeRows(window, count, take);
  if (!complete) {
    window.stopped.store(true);
    window.taken.store(count, std::memory_order_release);  // wakes makers waiting for room
    window.taken.notify_all();
  }
  return complete;
}

}  // namespace aqsol::table
