// What the console runtime and the routine running on it need from the process around them.
#pragma once

#include <cstdint>

#include "console/runtime_string.hpp"

namespace aqsol {

// The routine's side of the frame: keys, the stop and event flags, the per-statement hook,
// tones and sleeping. Every call is made on the routine's (calculator) thread.
class RuntimeHost {
 public:
  virtual ~RuntimeHost() = default;

  // The next key of the key buffer as a temporary string: one character, or the two characters
  // 0 and the scan code for an extended key; empty when none waits or an error is pending.
  virtual RuntimeString* read_key() = 0;
  // Set once the process is shutting down; the routine must then call stop() at its next hook
  // or wait.
  virtual bool stop_requested() const = 0;
  // Set when the hook has work (an error, a pause, a tone to wait for, a stop).
  virtual bool event_pending() const = 0;
  // Called after statement `line` whenever event_pending() is set: holds the routine while it is
  // paused or waiting for a tone, shows a pending runtime error (its box names `line`), and does
  // not return when a stop is under way.
  virtual void hook(int32_t line) = 0;
  // Leaves the routine's thread; never returns.
  [[noreturn]] virtual void stop() = 0;
  // Queues a tone of `frequency` Hz (0 for silence, else 37 to 32,767) lasting `duration` clock
  // ticks of 1/18.2 s (0 to 65,535) and holds the routine at its next hook until the tone
  // starts. Out-of-range arguments raise error 5.
  virtual void sound(double frequency, double duration) = 0;
  // Sleeps the routine's thread for about `ms` milliseconds.
  virtual void sleep_ms(int ms) = 0;
  // After read_key() found no key: waits for one, about `ms` milliseconds at most where the
  // host cannot be woken by its arrival (and by a stop request).
  virtual void wait_for_key(int ms) { sleep_ms(ms); }
};

}  // namespace aqsol
