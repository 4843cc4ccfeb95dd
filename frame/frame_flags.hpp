// The flags through which the main, calculator and timer threads meet.
#pragma once

#include <atomic>
#include <cstdint>

namespace aqsol {

struct FrameFlags {
  static constexpr uint8_t kPaused = 1;            // suspend_mask: the Pause key holds the routine
  static constexpr uint8_t kWaitingTone = 2;       // suspend_mask: the routine waits for its tone
  static constexpr uint32_t kCalculatorEnded = 1;  // ended_mask bits
  static constexpr uint32_t kTimerEnded = 2;

  std::atomic<bool> event_pending{false};   // the hook has work
  std::atomic<uint8_t> suspend_mask{0};     // the hook holds the routine while non-zero
  std::atomic<bool> stop_requested{false};  // shutdown under way: the routine must leave
  std::atomic<bool> exit_requested{false};  // the frame loop must end (No, Ctrl+Break)
  std::atomic<uint32_t> ended_mask{0};      // threads that have reached their end

  void set_suspend_bits(uint8_t bits) { suspend_mask.fetch_or(bits); }
  void clear_suspend_bits(uint8_t bits) { suspend_mask.fetch_and(static_cast<uint8_t>(~bits)); }
};

}  // namespace aqsol
