// Fuzz-target helpers: typed values read from the fuzzer's bytes, and critical errors that
// unwind to the target instead of ending the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/runtime_string.hpp"
#include "console/text_screen.hpp"
#include "services/errors.hpp"
#include "services/low_memory.hpp"

namespace aqsol::fuzz {

// The fuzzer's bytes read front to back; past the end every read gives zeros.
class Bytes {
 public:
  Bytes(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  template <class T>
  T value() {
    T v{};
    uint8_t raw[sizeof(T)] = {};
    for (auto& b : raw) b = byte();
    std::memcpy(&v, raw, sizeof(T));
    return v;
  }
  // Up to `max` bytes, the count taken from the next byte.
  std::string text(std::size_t max = 255) {
    std::string out;
    for (std::size_t n = byte() % (max + 1); n > 0 && !empty(); --n)
      out.push_back(static_cast<char>(byte()));
    return out;
  }
  std::string_view rest() {
    const std::string_view out(reinterpret_cast<const char*>(data_) + pos_,
                               pos_ < size_ ? size_ - pos_ : 0);
    pos_ = size_;
    return out;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// One low-memory block for the whole run, cleared for each input: a fresh 1 MB block per input
// would spend the run in the allocator.
inline LowMemory& cleared_low_memory() {
  static LowMemory low_memory;
  std::memset(low_memory.bytes(), 0, LowMemory::kSize);
  return low_memory;
}

// The string runtime a target works on: an error slot (its critical errors are thrown), cleared
// low memory and a string storage over it.
struct StringRuntime {
  ErrorSlot errors;
  LowMemory& low_memory = cleared_low_memory();
  StringStorage strings{errors, low_memory};
};

// A string runtime with a text screen and the console that prints on it.
struct ConsoleRuntime : StringRuntime {
  TextScreen screen{low_memory};
  Console console{errors, strings, screen, {}};
};

// A failed check: the fuzzer reports the crash with the message.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool condition, const char* what) {
  if (!condition) fail(what);
}

}  // namespace aqsol::fuzz
