// Fuzz target: any key sequence typed into line input leaves a value valid for its target and
// a line of at most 255 bytes, and the input always ends.
#include <cmath>
#include <deque>

#include "console/line_input.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

using namespace aqsol;

// Keys from the fuzzer's bytes: a 0 byte starts an extended key (0 and the next byte).
class FuzzHost final : public RuntimeHost {
 public:
  FuzzHost(StringStorage& st, fuzz::Bytes& bytes) : st_(st), bytes_(bytes) {}
  RuntimeString* read_key() override {
    if (bytes_.empty()) {
      ended_ = true;
      return st_.string_new(0, true);
    }
    const uint8_t first = bytes_.byte();
    RuntimeString* key = st_.string_new(first == 0 ? 2 : 1, true);
    key->data[0] = first;
    if (first == 0) key->data[1] = bytes_.byte();
    return key;
  }
  bool stop_requested() const override { return ended_; }
  bool event_pending() const override { return false; }
  void hook(int32_t) override {}
  [[noreturn]] void stop() override { throw Stopped{}; }
  void sound(double, double) override {}
  void sleep_ms(int) override {}
  struct Stopped {};

 private:
  StringStorage& st_;
  fuzz::Bytes& bytes_;
  bool ended_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::Bytes bytes(data, size);
  fuzz::ConsoleRuntime runtime;
  StringStorage& st = runtime.strings;
  Console& con = runtime.console;
  FuzzHost host(st, bytes);
  const uint8_t kind = bytes.byte() % 4;
  double number = 0;
  int16_t integer = 0;
  RuntimeString* text = st.string_new(0, false);
  InputTarget target{kInputString, text};
  if (kind == 1) target = {kInputDouble, &number};
  if (kind == 2) target = {16, &integer};
  if (kind == 3) target = {kInputString | kInputWholeLine, text};
  try {
    line_input(con, host, std::span(&target, 1), bytes.byte() & 1);
  } catch (const FuzzHost::Stopped&) {
  }
  fuzz::check(text->length <= 255, "a line holds at most 255 bytes");
  fuzz::check(std::isfinite(number), "a number target holds a number");
  return 0;
}
