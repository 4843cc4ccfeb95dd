// The frame: the process around the calculator routine. It runs the routine on a thread of its
// own, runs the frame loop on the main thread, and serves the routine's hook, stop, keys, tones
// and runtime errors.
#include "frame/frame.hpp"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "frame/termination_signals.hpp"

namespace aqsol {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr double kTicksPerMs = 0.0182;
constexpr double kBellFrequency = 783.99;
constexpr double kBellSeconds = 0.2;
constexpr int kBellHoldMs = 250;

std::string joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return text;
}

// A floating-point signal is the critical error "Division by zero". A signal handler may do
// little: it writes the error where a box cannot be shown, gives the terminal its modes back and
// ends the process with code 0, as a critical error ends it. (The guarded maths leave no operation
// that traps, so it is a last resort.)
extern "C" void on_floating_point_signal(int) {
  static constexpr char kText[] = "Critical Error: Division by zero\n";
  if (write(STDERR_FILENO, kText, sizeof kText - 1) < 0) {
    // nothing more can be done about it here
  }
  restore_terminal_modes();
  _exit(0);
}

// A tone the queue could not take ends the process with its own status.
[[noreturn]] void end_for_lost_tone() {
  restore_terminal_modes();
  std::_Exit(10001);
}

void sleep_for_ms(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

Frame::Frame(const std::vector<std::string>& arguments, std::unique_ptr<ToneSink> sink,
             ErrorPresenter& presenter)
    : presenter_(presenter),
      runtime_(&flags_.event_pending, *this, joined(arguments)),
      key_buffer_(runtime_.low_memory),
      keyboard_(flags_, key_buffer_, runtime_.low_memory),
      tones_(flags_, std::move(sink)) {
  runtime_.console.bell = [this] { ring_bell(); };
}

Frame::~Frame() {
  if (calculator_.joinable()) shut_down();
}

void Frame::ring_bell() {
  if (!tones_.queue_tone(kBellFrequency, kBellSeconds)) end_for_lost_tone();
  // The bell holds the calculator as long as the tones pace it: muted tones hold nothing.
  if (tones_.paces_calculator()) sleep_ms(kBellHoldMs);
}

// The protected boundary of the calculator: a stop unwinds to here, and so does a critical
// error, whose box is shown before the program ends (with code 0) as when the window is closed.
void Frame::calculator_entry(const Routine& routine) {
  std::signal(SIGFPE, on_floating_point_signal);
  try {
    routine(runtime_);
  } catch (const CalculatorStopped&) {
    return;
  } catch (const CriticalError& critical) {
    presenter_.show_box({critical.text, critical.caption, false});
    flags_.exit_requested.store(true);
  }
  // A routine that ends by itself waits, like one that calls stop(), for the process to end.
  flags_.ended_mask.fetch_or(FrameFlags::kCalculatorEnded);
}

int Frame::run(FrontEnd& front, Routine routine) {
  take_start_clock(front);
  calculator_ = std::thread([this, routine = std::move(routine)] { calculator_entry(routine); });
  bool odd_pass = false;
  for (;;) {
    update_tick_counter(front);
    // At rest (the routine waits for a key and no tone waits to start) one pass of 32 ms does
    // the work of an odd and an even pass: the display and the events are still looked at
    // every 32 ms, with half the wake-ups.
    const bool at_rest = waiting_for_key_.load() && tones_.nothing_to_start();
    front.sleep_ms(at_rest ? 32 : 16);  // one wait for the pair of 15 ms and 1 ms, or two pairs
    if (flags_.exit_requested.load()) break;
    tones_.service();
    if (at_rest) {
      front.refresh();
      update_tick_counter(front);  // fresh for a routine that a key is about to wake
      if (!front.pump_events()) break;
      continue;
    }
    odd_pass = !odd_pass;
    if (odd_pass) {
      front.refresh();
      continue;
    }
    if (!front.pump_events()) break;
  }
  shut_down();
  front.refresh();
  return 0;  // the window closed, Ctrl+Break, No in an error box, or after a critical error
}

void Frame::shut_down() {
  flags_.stop_requested.store(true);
  flags_.event_pending.store(true);
  key_buffer_.wake();
  presenter_.cancel();
  if (calculator_.joinable()) calculator_.join();
  // There is no timer thread (no periodic events exist): the calculator's bit is the whole mask.
  while (flags_.ended_mask.load() != FrameFlags::kCalculatorEnded) sleep_for_ms(16);
}

void Frame::take_start_clock(FrontEnd& front) {
  // The milliseconds of the day start on a calendar-second boundary: the next one, reckoned from
  // the clock rather than waited for, so that the calculator starts at once. Until that boundary
  // the elapsed ticks are negative and the counter still shows the second before it.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::time_t boundary = now.tv_sec + 1;
  const auto ms_to_boundary = static_cast<uint32_t>((999'999'999 - now.tv_nsec) / 1'000'000 + 1);
  start_ticks_ = front.ticks_ms() + ms_to_boundary;
  std::tm parts{};
  localtime_r(&boundary, &parts);
  start_ms_of_day_ =
      (static_cast<int64_t>(parts.tm_hour) * 3600 + parts.tm_min * 60 + parts.tm_sec) * 1000;
}

void Frame::update_tick_counter(FrontEnd& front) {
  const auto elapsed = static_cast<int32_t>(front.ticks_ms() - start_ticks_);
  const int64_t ms = ((start_ms_of_day_ + elapsed) % kMsPerDay + kMsPerDay) % kMsPerDay;
  const auto ticks = static_cast<uint32_t>(static_cast<double>(ms) * kTicksPerMs);
  uint8_t* counter = runtime_.low_memory.bytes() + kTickCounterOffset;
  counter[0] = static_cast<uint8_t>(ticks);
  counter[1] = static_cast<uint8_t>(ticks >> 8);
  counter[2] = static_cast<uint8_t>(ticks >> 16);
}

RuntimeString* Frame::read_key() {
  StringStorage& strings = runtime_.strings;
  std::this_thread::yield();
  uint8_t character = 0, scan = 0;
  if (runtime_.errors.has_error() || !key_buffer_.take(character, scan)) {
    waiting_for_key_.store(true);
    return strings.string_new(0, true);
  }
  waiting_for_key_.store(false);
  if (character != 0) {
    RuntimeString* key = strings.string_new(1, true);
    key->data[0] = character;
    return key;
  }
  RuntimeString* key = strings.string_new(2, true);
  key->data[0] = 0;
  key->data[1] = scan;
  return key;
}

void Frame::hook(int32_t line) {
  flags_.event_pending.store(false);
  while (flags_.suspend_mask.load() != 0 || flags_.stop_requested.load()) {
    if (flags_.stop_requested.load()) stop();
    sleep_for_ms(10);
  }
  if (!runtime_.errors.has_error()) return;
  show_pending_error(line);
}

void Frame::show_pending_error(int32_t line) {
  const uint32_t n = runtime_.errors.pending_error();
  const std::string text = error_box_text(n, line), caption = error_box_caption(n);
  if (is_critical_when_shown(n)) throw CriticalError{n, text, caption};
  if (presenter_.show_box({text, caption, true}) == BoxAnswer::kNo) {
    flags_.exit_requested.store(true);
    stop();
  }
  runtime_.errors.clear();
}

void Frame::stop() {
  flags_.ended_mask.fetch_or(FrameFlags::kCalculatorEnded);
  while (!flags_.stop_requested.load()) sleep_for_ms(16);
  throw CalculatorStopped{};
}

void Frame::sound(double frequency, double duration) {
  if (!tones_.sound(runtime_.errors, frequency, duration)) end_for_lost_tone();
}

void Frame::sleep_ms(int ms) {
  sleep_for_ms(ms);
}

// An idle prompt costs no wake-ups: the routine sleeps until the main thread puts a key or
// shut_down() wakes it. Keys that wait but were not taken (an error is pending) are polled for
// as before, as is everything once a stop is under way.
void Frame::wait_for_key(int ms) {
  const uint32_t seen = key_buffer_.arrivals();  // before the checks, so no wake is missed
  if (key_buffer_.has_pending_keys() || stop_requested()) return sleep_for_ms(ms);
  key_buffer_.wait_for_arrival(seen);
}

}  // namespace aqsol
