// Tones: the triangle-wave samples of a tone, the tone queue between the calculator and the frame
// loop, and the sinks that play it.
#include "frame/tones.hpp"

#include <chrono>
#include <cmath>
#include <new>

namespace aqsol {
namespace {

constexpr int kLeadingSilenceFrames = 8'192;
constexpr double kPeak = 32'767;

int64_t now_us() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

ToneSamples make_tone(double frequency, double duration) {
  const double seconds = duration / kTicksPerSecond;
  int64_t frames = static_cast<int64_t>(kSampleRate * seconds);
  if (frames < 1) frames = 1;
  std::vector<int16_t> wave(static_cast<std::size_t>(frames));
  const double step = 4 * frequency / kSampleRate;
  double phase = 0, direction = 1;
  int64_t last_rise = -1;
  for (int64_t i = 0; i < frames; ++i) {
    wave[static_cast<std::size_t>(i)] = static_cast<int16_t>(phase * kPeak);
    if (i > 0 && wave[static_cast<std::size_t>(i - 1)] <= 0 &&
        wave[static_cast<std::size_t>(i)] > 0)
      last_rise = i;
    phase += step * direction;
    if (phase >= 1) {
      phase = 2 - phase;
      direction = -1;
    } else if (phase <= -1) {
      phase = -2 - phase;
      direction = 1;
    }
  }
  if (last_rise > 0) wave.resize(static_cast<std::size_t>(last_rise));
  ToneSamples samples(wave.size() * 2);
  for (std::size_t i = 0; i < wave.size(); ++i) samples[2 * i] = samples[2 * i + 1] = wave[i];
  return samples;
}

ToneSink::Handle SilentToneSink::start(const ToneSamples& samples) {
  const int64_t frames = static_cast<int64_t>(samples.size() / 2);
  ends_at_us_ = now_us() + frames * 1'000'000 / kSampleRate;
  return ++next_;
}

bool SilentToneSink::finished(Handle) {
  return now_us() >= ends_at_us_;
}

ToneQueue::ToneQueue(FrameFlags& flags, std::unique_ptr<ToneSink> sink, MemorySource& memory)
    : flags_(flags), sink_(std::move(sink)), memory_(memory) {}

ToneQueue::~ToneQueue() {
  for (auto& slot : slots_) discard(slot.load());
}

void ToneQueue::discard(ToneSamples* tone) {
  if (tone == nullptr) return;
  tone->~ToneSamples();
  memory_.give_back(tone);
}

bool ToneQueue::ensure_open() {
  if (opened_.load(std::memory_order_acquire)) return true;
  if (!sink_ || !sink_->open()) {
    if (!fallback_.open()) return false;
    silent_.store(true);
  }
  opened_.store(true, std::memory_order_release);
  try {
    put_samples(ToneSamples(2 * kLeadingSilenceFrames, 0), false);
  } catch (const std::bad_alloc&) {
    // no leading silence: the first tone starts a little early
  }
  return true;
}

bool ToneQueue::put(double frequency, double ticks, bool hold) {
  try {
    return put_samples(make_tone(frequency, ticks), hold);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ToneQueue::put_samples(ToneSamples samples, bool hold) {
  const int at = write_index_.load(std::memory_order_relaxed);
  if (slots_[at].load(std::memory_order_acquire) != nullptr) return true;  // full: dropped
  void* place = memory_.take(sizeof(ToneSamples));
  if (place == nullptr) return false;
  if (hold) {
    wait_marker_.store(at);
    flags_.set_suspend_bits(FrameFlags::kWaitingTone);
    flags_.event_pending.store(true);
  }
  slots_[at].store(new (place) ToneSamples(std::move(samples)), std::memory_order_release);
  write_index_.store(at + 1 == kSlots ? 0 : at + 1, std::memory_order_release);
  return true;
}

bool ToneQueue::sound(ErrorSlot& errors, double frequency, double duration) {
  if (!ensure_open()) return false;
  if (errors.has_error()) return true;
  const bool frequency_ok = frequency == 0 || (frequency >= 37 && frequency <= 32'767);
  if (!frequency_ok || !(duration >= 0 && duration <= 65'535)) {
    errors.raise_error(kIllegalFunctionCall);
    return true;
  }
  if (duration == 0) return true;
  const bool hold = paces_calculator();
  if (!put(frequency, duration, hold)) errors.raise_error(kOutOfMemory);
  return true;
}

bool ToneQueue::queue_tone(double frequency, double seconds) {
  if (!ensure_open()) return false;
  put(frequency, seconds * kTicksPerSecond, false);
  return true;
}

void ToneQueue::service() {
  if (nothing_to_start()) return;
  ToneSink& sink = silent_.load() ? static_cast<ToneSink&>(fallback_) : *sink_;
  if (playing_) {
    if (!sink.finished(playing_handle_)) return;
    sink.release(playing_handle_);
    discard(slots_[playing_slot_].exchange(nullptr, std::memory_order_acq_rel));
    playing_ = false;
  }
  if (play_index_ == wait_marker_.load()) {
    wait_marker_.store(-1);
    flags_.clear_suspend_bits(FrameFlags::kWaitingTone);
  }
  playing_slot_ = play_index_;
  playing_handle_ = sink.start(*slots_[play_index_].load(std::memory_order_acquire));
  playing_ = true;
  play_index_ = play_index_ + 1 == kSlots ? 0 : play_index_ + 1;
}

}  // namespace aqsol
