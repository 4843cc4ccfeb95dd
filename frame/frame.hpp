// The frame: the process around the calculator routine. It runs the routine on a thread of its
// own, runs the frame loop on the main thread, and serves the routine's hook, stop, keys, tones
// and runtime errors.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console/runtime.hpp"
#include "console/runtime_host.hpp"
#include "frame/frame_flags.hpp"
#include "frame/key_buffer.hpp"
#include "frame/keyboard.hpp"
#include "frame/message_box.hpp"
#include "frame/tones.hpp"

namespace aqsol {

// What the frame loop calls on the main thread: the display and the event source of one kind of
// front end (a window, a terminal, a pipe).
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Odd passes: shows what changed on the screen.
  virtual void refresh() = 0;
  // Even passes: handles pending input events; false when the user closed the program.
  virtual bool pump_events() = 0;
  // Sleeps the main thread.
  virtual void sleep_ms(int ms) = 0;
  // Milliseconds since some fixed start.
  virtual uint32_t ticks_ms() = 0;
};

// Thrown by stop() and caught at the calculator thread's entry: it unwinds the routine from any
// depth. Not an std::exception, so no handler of the routine's catches it by accident.
struct CalculatorStopped {};

class Frame final : public RuntimeHost {
 public:
  static constexpr std::size_t kTickCounterOffset = 1132;

  using Routine = std::function<void(Runtime&)>;

  // A frame with the process arguments after the program name, playing tones through `sink`
  // (null: silence) and showing errors through `presenter`, which must outlive the frame.
  Frame(const std::vector<std::string>& arguments, std::unique_ptr<ToneSink> sink,
        ErrorPresenter& presenter);
  ~Frame() override;

  // Starts `routine` on the calculator thread and runs the frame loop with `front` until the
  // window is closed, Ctrl+Break is pressed or No is answered; then shuts down in order (stop and
  // event flags, waiting for the calculator thread, for ended_mask) and returns the exit code 0.
  int run(FrontEnd& front, Routine routine);

  Runtime& runtime() { return runtime_; }
  FrameFlags& flags() { return flags_; }
  Keyboard& keyboard() { return keyboard_; }
  KeyBuffer& key_buffer() { return key_buffer_; }
  ToneQueue& tones() { return tones_; }
  // Whether the routine found the key buffer empty at its last look (it waits for a key).
  bool waiting_for_key() const { return waiting_for_key_.load(); }

  // RuntimeHost, on the calculator thread.
  RuntimeString* read_key() override;
  bool stop_requested() const override { return flags_.stop_requested.load(); }
  bool event_pending() const override { return flags_.event_pending.load(); }
  void hook(int32_t line) override;
  [[noreturn]] void stop() override;
  void sound(double frequency, double duration) override;
  void sleep_ms(int ms) override;
  void wait_for_key(int ms) override;

  // Shows the pending error of the calculator (with `line`) and acts on the answer.
  void show_pending_error(int32_t line);

 private:
  void calculator_entry(const Routine& routine);
  void take_start_clock(FrontEnd& front);
  void update_tick_counter(FrontEnd& front);
  void shut_down();
  void ring_bell();

  FrameFlags flags_;
  ErrorPresenter& presenter_;
  Runtime runtime_;
  KeyBuffer key_buffer_;
  Keyboard keyboard_;
  ToneQueue tones_;
  std::thread calculator_;
  std::atomic<bool> waiting_for_key_{false};
  uint32_t start_ticks_ = 0;
  int64_t start_ms_of_day_ = 0;
};

}  // namespace aqsol
