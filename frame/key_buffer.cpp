// The keyboard ring buffer in low memory: 16 slots of (character, scan code), one left free.
#include "frame/key_buffer.hpp"

namespace aqsol {

KeyBuffer::KeyBuffer(LowMemory& low_memory)
    : low_memory_(low_memory),
      head_(low_memory.word_at(kHeadOffset)),
      tail_(low_memory.word_at(kTailOffset)) {
  head().store(kFirstSlot, std::memory_order_relaxed);
  tail().store(kFirstSlot, std::memory_order_release);
}

bool KeyBuffer::has_room() const {
  return next(tail().load(std::memory_order_relaxed)) != head().load(std::memory_order_acquire);
}

bool KeyBuffer::put(uint8_t character, uint8_t scan) {
  const uint16_t at = tail().load(std::memory_order_relaxed);
  const uint16_t after = next(at);
  if (after == head().load(std::memory_order_acquire)) return false;
  AtomicRef<uint16_t>(*low_memory_.word_at(kBase + at))
      .store(static_cast<uint16_t>(character | scan << 8), std::memory_order_relaxed);
  tail().store(after, std::memory_order_release);
  arrivals_.fetch_add(1, std::memory_order_release);
  arrivals_.notify_one();
  return true;
}

void KeyBuffer::wake() {
  arrivals_.fetch_add(1, std::memory_order_release);
  arrivals_.notify_all();
}

bool KeyBuffer::take(uint8_t& character, uint8_t& scan) {
  const uint16_t at = head().load(std::memory_order_relaxed);
  if (at == tail().load(std::memory_order_acquire)) return false;
  const uint16_t pair =
      AtomicRef<uint16_t>(*low_memory_.word_at(kBase + at)).load(std::memory_order_relaxed);
  character = static_cast<uint8_t>(pair & 0xFF);
  scan = static_cast<uint8_t>(pair >> 8);
  head().store(next(at), std::memory_order_release);
  return true;
}

}  // namespace aqsol
