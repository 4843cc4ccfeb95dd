// Tests of the tone wave, the tone queue's holding of the calculator, and the silent fallback.
#include "frame/tones.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/failing_memory.hpp"

namespace aqsol {
namespace {

std::size_t frames(const ToneSamples& samples) {
  return samples.size() / 2;
}

TEST(ToneWave, TriangleEndsOnARisingZeroCrossing) {
  const ToneSamples beep = make_tone(100, 1);
  EXPECT_LE(frames(beep), 1'211u);
  EXPECT_GT(frames(beep), 1'000u);
  // The next frame would rise through zero: the last kept sample is at or below zero.
  EXPECT_LE(beep[beep.size() - 2], 0);
  int16_t peak = 0;
  for (std::size_t i = 0; i < beep.size(); i += 2) {
    EXPECT_EQ(beep[i], beep[i + 1]);
    peak = std::max(peak, beep[i]);
  }
  EXPECT_GT(peak, 32'000);
  const ToneSamples silence = make_tone(0, 5);
  EXPECT_EQ(frames(silence), 6'057u);
  for (int16_t s : silence) ASSERT_EQ(s, 0);
  EXPECT_EQ(frames(make_tone(440, 0.001)), 1u);
}

// A sink whose tones finish when the test says so.
class ManualSink final : public ToneSink {
 public:
  bool opens = true;
  std::vector<std::size_t> started;
  bool done = false;
  bool open() override { return opens; }
  Handle start(const ToneSamples& samples) override {
    started.push_back(samples.size() / 2);
    done = false;
    return static_cast<Handle>(started.size());
  }
  bool finished(Handle) override { return done; }
  void release(Handle) override {}
};

TEST(ToneQueue, ATonePlaysAfterTheOnesBeforeItAndReleasesTheCalculator) {
  FrameFlags flags;
  auto sink = std::make_unique<ManualSink>();
  ManualSink& manual = *sink;
  ToneQueue queue(flags, std::move(sink));
  ErrorSlot errors;
  ASSERT_TRUE(queue.sound(errors, 100, 1));
  EXPECT_EQ(flags.suspend_mask.load(), FrameFlags::kWaitingTone);
  EXPECT_TRUE(flags.event_pending.load());
  queue.service();  // the leading silence starts
  ASSERT_EQ(manual.started.size(), 1u);
  EXPECT_EQ(manual.started[0], 8'192u);
  queue.service();  // still playing: the beep waits, and so does the calculator
  EXPECT_EQ(manual.started.size(), 1u);
  EXPECT_EQ(flags.suspend_mask.load(), FrameFlags::kWaitingTone);
  manual.done = true;
  queue.service();
  EXPECT_EQ(manual.started.size(), 2u);
  EXPECT_EQ(flags.suspend_mask.load(), 0);
  EXPECT_FALSE(queue.silent());
}

TEST(ToneQueue, BadArgumentsRaiseFiveAndZeroDurationDoesNothing) {
  FrameFlags flags;
  ToneQueue queue(flags, nullptr);
  ErrorSlot errors;
  EXPECT_TRUE(queue.sound(errors, 30, 1));
  EXPECT_EQ(errors.pending_error(), kIllegalFunctionCall);
  errors.clear();
  EXPECT_TRUE(queue.sound(errors, 100, 65'536));
  EXPECT_EQ(errors.pending_error(), kIllegalFunctionCall);
  errors.clear();
  EXPECT_TRUE(queue.sound(errors, 100, 0));
  EXPECT_EQ(flags.suspend_mask.load(), 0);
}

// A tone whose memory cannot be had raises "Out of memory" (error 7) and does not hold the
// calculator; the bell, which holds nothing, is simply not heard.
TEST(ToneQueue, AToneWithoutMemoryRaisesSeven) {
  FrameFlags flags;
  FailingMemory memory;
  ToneQueue queue(flags, nullptr, memory);
  ErrorSlot errors;
  ASSERT_TRUE(queue.sound(errors, 440, 1));  // opens the queue, with its leading silence
  EXPECT_FALSE(errors.has_error());
  flags.clear_suspend_bits(FrameFlags::kWaitingTone);
  memory.fail_after(0);
  EXPECT_TRUE(queue.queue_tone(784, 0.2));
  memory.fail_after(0);
  EXPECT_TRUE(queue.sound(errors, 440, 1));
  EXPECT_EQ(errors.pending_error(), static_cast<uint32_t>(kOutOfMemory));
  EXPECT_EQ(error_message(errors.pending_error()), "Out of memory");
  EXPECT_EQ(flags.suspend_mask.load() & FrameFlags::kWaitingTone, 0);
}

TEST(ToneQueue, WithoutADeviceTonesKeepTheirTimingInSilence) {
  FrameFlags flags;
  auto sink = std::make_unique<ManualSink>();
  sink->opens = false;
  ToneQueue queue(flags, std::move(sink));
  ErrorSlot errors;
  ASSERT_TRUE(queue.sound(errors, 440, 1));
  EXPECT_TRUE(queue.silent());
  queue.service();  // the leading silence: 8,192 frames, about 0.37 s
  queue.service();
  EXPECT_EQ(flags.suspend_mask.load(), FrameFlags::kWaitingTone);
  for (int i = 0; i < 100 && flags.suspend_mask.load() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    queue.service();
  }
  EXPECT_EQ(flags.suspend_mask.load(), 0);
}

}  // namespace
}  // namespace aqsol
