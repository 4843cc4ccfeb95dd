// Fuzz target: any sequence of key events keeps the key buffer's ring in bounds, and what goes
// in comes out in order.
#include <deque>
#include <utility>

#include "frame/key_buffer.hpp"
#include "frame/keyboard.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  LowMemory& low_memory = fuzz::cleared_low_memory();
  FrameFlags flags;
  KeyBuffer buffer(low_memory);
  Keyboard keyboard(flags, buffer, low_memory);
  std::deque<std::pair<uint8_t, uint8_t>> direct;  // entries put by hand, checked on the way out
  while (!bytes.empty()) {
    const uint8_t op = bytes.byte();
    const int32_t symbol = bytes.value<uint16_t>() % 330;
    switch (op % 8) {
      case 0:
        keyboard.key_down(symbol, bytes.value<uint16_t>());
        break;
      case 1:
        keyboard.key_up(symbol);
        break;
      case 2:
        keyboard.key_press_char(bytes.value<uint32_t>() % 0x110000);
        break;
      case 3:
        keyboard.key_release_char(bytes.value<uint32_t>() % 0x110000);
        break;
      case 4:
        keyboard.follow_locks({static_cast<bool>(op & 16), static_cast<bool>(op & 32)});
        break;
      case 5:
        keyboard.take_full_screen_request();
        break;
      case 6: {
        uint8_t character, scan;
        while (buffer.take(character, scan)) {
        }
        direct.clear();
        const uint8_t c = bytes.byte(), s = bytes.byte();
        if (buffer.put(c, s)) direct.emplace_back(c, s);
        break;
      }
      default: {
        uint8_t character, scan;
        if (!buffer.take(character, scan)) break;
        if (!direct.empty()) {
          fuzz::check(character == direct.front().first && scan == direct.front().second,
                      "entries come out as they went in");
          direct.pop_front();
        }
      }
    }
    const uint16_t head = *low_memory.word_at(KeyBuffer::kHeadOffset);
    const uint16_t tail = *low_memory.word_at(KeyBuffer::kTailOffset);
    fuzz::check(head >= KeyBuffer::kFirstSlot && head < KeyBuffer::kEnd && head % 2 == 0, "head");
    fuzz::check(tail >= KeyBuffer::kFirstSlot && tail < KeyBuffer::kEnd && tail % 2 == 0, "tail");
  }
  return 0;
}
