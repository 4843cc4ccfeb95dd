// The X Input Method back end: composition through an input-method server on the SDL window.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <utility>

#include "inputmethod/input_method.h"

namespace aqsol {

// The back end's description, for InputMethod_Init.
const InputMethod_Bootstrap& xim_bootstrap();

// Text the server committed: it arrives as a key press without a key code on the window, which
// only this back end's input context can read. Posts it as a result event (marked among the key
// events) and returns true; false for any other event.
bool xim_take_commit(XEvent* event);

// The text being composed as the server draws it, with the characters of the clause under
// conversion marked.
struct Preedit {
  std::u32string text;
  std::u32string marked;  // non-zero for each character of the clause under conversion

  // Replaces `length` characters from `first` by `replacement` (marks alike).
  void change(int first, int length, const std::u32string& replacement,
              const std::u32string& replacement_marks);
  // The first run of marked characters: (position, length), (0, 0) when none.
  std::pair<int, int> clause() const;
};

}  // namespace aqsol
