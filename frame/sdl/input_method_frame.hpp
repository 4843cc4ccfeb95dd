// The window's side of an input method: its queued events, the composition state, and the strip
// that shows the text being composed.
#pragma once

#include <SDL/SDL.h>

#include "frame/keyboard.hpp"

namespace aqsol {

// Composition states.
enum CompositionState : int {
  kNotComposing = 0,
  kComposing = 1,  // the strip is shown over the bottom of the window
  kCompositionEnded = 2,
  kKeyOfEndedComposition = 3,  // the key that ended it is still going up
};

class InputMethodFrame {
 public:
  // SDL user-event code that marks, among the key events, where a typed character's result event
  // belongs, so that it is typed in its place.
  static constexpr int kResultMarker = 0x494D;

  virtual ~InputMethodFrame() = default;
  // Takes queued input-method events (every one, or only the oldest): a change redraws the
  // strip, a result types its characters into `keyboard`. Main thread.
  virtual void service(Keyboard& keyboard, bool oldest_only) = 0;
  virtual int composition_state() const = 0;
  virtual void set_composition_state(int state) = 0;
  // Turns the input method on or off (off while a message box waits for its answer).
  virtual void set_enabled(bool enabled) = 0;
  // The 2048 x 32 strip drawn over the bottom 32 pixel rows while composing.
  virtual SDL_Surface* strip() = 0;
};

}  // namespace aqsol
