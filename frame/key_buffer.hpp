// The keyboard ring buffer in low memory: 16 slots of (character, scan code), one left free.
#pragma once

#include <atomic>
#include <cstdint>

#include "services/atomic_ref.hpp"
#include "services/low_memory.hpp"

namespace aqsol {

// The main thread puts keys at the tail; the calculator thread takes them at the head. Each side
// writes only its own index, and a slot is written before the tail moves past it, so no lock is
// needed. A calculator with nothing to do but wait for a key sleeps until one is put. Head and tail
// are byte offsets relative to 1024, from 30 to 60.
class KeyBuffer {
 public:
  static constexpr std::size_t kBase = 1024;
  static constexpr std::size_t kHeadOffset = 1050;
  static constexpr std::size_t kTailOffset = 1052;
  static constexpr uint16_t kFirstSlot = 30;
  static constexpr uint16_t kEnd = 62;  // one past the last slot

  // Sets head and tail to 30 (empty).
  explicit KeyBuffer(LowMemory& low_memory);

  // Main thread: stores the pair at the tail. Returns false, storing nothing, when the buffer
  // is full (15 keys wait).
  bool put(uint8_t character, uint8_t scan);
  // Whether put would store a key now.
  bool has_room() const;
  // Whether a key waits to be taken.
  bool has_pending_keys() const {
    return head().load(std::memory_order_acquire) != tail().load(std::memory_order_acquire);
  }
  // Calculator thread: takes the pair at the head; false when the buffer is empty.
  bool take(uint8_t& character, uint8_t& scan);

  // How many keys have been put and wakes made so far: read before deciding to wait.
  uint32_t arrivals() const { return arrivals_.load(std::memory_order_acquire); }
  // Calculator thread: returns once arrivals() differs from `seen` (a key was put, or wake()).
  void wait_for_arrival(uint32_t seen) const { arrivals_.wait(seen, std::memory_order_acquire); }
  // Ends a wait_for_arrival without a key (the process is stopping).
  void wake();

 private:
  static uint16_t next(uint16_t index) { return index + 2 >= kEnd ? kFirstSlot : index + 2; }
  AtomicRef<uint16_t> head() const { return AtomicRef<uint16_t>(*head_); }
  AtomicRef<uint16_t> tail() const { return AtomicRef<uint16_t>(*tail_); }

  LowMemory& low_memory_;
  uint16_t* head_;
  uint16_t* tail_;
  std::atomic<uint32_t> arrivals_{0};  // keys put and wakes made, for a waiting calculator
};

}  // namespace aqsol
