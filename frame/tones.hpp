// Tones: the triangle-wave samples of a tone, the tone queue between the calculator and the frame
// loop, and the sinks that play it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame/frame_flags.hpp"
#include "services/errors.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

inline constexpr int kSampleRate = 22'050;  // frames per second, two 16-bit samples each
inline constexpr double kTicksPerSecond = 18.2;

// Interleaved stereo 16-bit samples.
using ToneSamples = std::vector<int16_t>;

// The samples of a triangle wave of `frequency` Hz (0: silence) lasting `duration` ticks of
// 1/18.2 s, at least one frame, cut after the last rising zero crossing. No checks.
ToneSamples make_tone(double frequency, double duration);

// Plays tones one after another. All calls are made on the main thread, except open(), which
// the calculator thread makes before the first tone is queued.
class ToneSink {
 public:
  using Handle = int;
  virtual ~ToneSink() = default;
  // Opens the output; false when it cannot be opened.
  virtual bool open() = 0;
  // Starts playing `samples`, which stay alive until release(); returns a handle.
  virtual Handle start(const ToneSamples& samples) = 0;
  // Whether the tone of `handle` has played out.
  virtual bool finished(Handle handle) = 0;
  // Forgets a finished tone.
  virtual void release(Handle handle) = 0;
  // Whether the calculator waits for its tones to start, as it must for them to be heard in
  // step with the screen.
  virtual bool paces_calculator() const { return true; }
};

// A sink without a device that keeps the timing of a real one: a tone lasts its frame count at
// 22,050 frames per second from its start, measured on the monotonic clock.
class SilentToneSink final : public ToneSink {
 public:
  bool open() override { return true; }
  Handle start(const ToneSamples& samples) override;
  bool finished(Handle handle) override;
  void release(Handle) override {}

 private:
  int64_t ends_at_us_ = 0;  // end of the tone playing now
  Handle next_ = 0;
};

// A sink whose tones are neither heard nor waited for: each has played out as soon as it starts,
// and the calculator does not wait for it to start (for scripts, where a pass need not last as
// long as its beeps, nor wait for the frame loop's next pass).
class MutedToneSink final : public ToneSink {
 public:
  bool open() override { return true; }
  Handle start(const ToneSamples&) override { return ++next_; }
  bool finished(Handle) override { return true; }
  void release(Handle) override {}
  bool paces_calculator() const override { return false; }

 private:
  Handle next_ = 0;
};

// The queue of tones: the calculator thread adds at the write index, the frame loop plays from
// the play index. Tones are held by atomic pointers, so neither side locks.
class ToneQueue {
 public:
  static constexpr int kSlots = 10'000;

  // `sink` plays the tones; when it is null or cannot be opened, a silent sink that keeps the
  // timing takes over. Queued tones take their memory from `memory`, which must outlive the
  // queue.
  ToneQueue(FrameFlags& flags, std::unique_ptr<ToneSink> sink,
            MemorySource& memory = process_memory());
  ~ToneQueue();

  // Calculator thread: `sound` of the calculator. Frequency 0 or 37..32,767 Hz and duration
  // 0..65,535 ticks, else error 5; duration 0 does nothing; nothing while an error is pending.
  // Queues the tone and marks the calculator as waiting for it to start (bit 1 of suspend_mask
  // and event_pending); when its memory cannot be had, raises error 7 (Out of memory) instead.
  // Returns false only when no sink at all could be opened.
  bool sound(ErrorSlot& errors, double frequency, double duration);
  // Calculator thread: queues a tone without holding the calculator (the bell); a tone whose
  // memory cannot be had is not heard.
  bool queue_tone(double frequency, double seconds);

  // Main thread, every frame-loop pass: starts the next tone once the one before has finished,
  // and releases a calculator that waits for the tone it starts.
  void service();

  // Main thread: no queued tone waits to be started (one may still be sounding).
  bool nothing_to_start() const {
    return play_index_ == write_index_.load(std::memory_order_acquire);
  }

  // The sink in use: the device's, or the silent fallback after the device failed to open.
  bool silent() const { return silent_.load(); }

  // Whether the calculator waits for tones (a silent fallback keeps the timing; a muted sink
  // does not).
  bool paces_calculator() const { return silent_.load() || !sink_ || sink_->paces_calculator(); }

 private:
  bool ensure_open();
  // Queues a tone of `ticks` clock ticks; false when its memory could not be had.
  bool put(double frequency, double ticks, bool hold);
  bool put_samples(ToneSamples samples, bool hold);
  void discard(ToneSamples* tone);

  FrameFlags& flags_;
  std::unique_ptr<ToneSink> sink_;
  MemorySource& memory_;
  SilentToneSink fallback_;
  std::atomic<bool> opened_{false};
  std::atomic<bool> silent_{false};
  std::atomic<ToneSamples*> slots_[kSlots] = {};
  std::atomic<int> write_index_{0};
  std::atomic<int> wait_marker_{-1};
  int play_index_ = 0;
  bool playing_ = false;
  ToneSink::Handle playing_handle_ = 0;
  int playing_slot_ = -1;
};

}  // namespace aqsol
