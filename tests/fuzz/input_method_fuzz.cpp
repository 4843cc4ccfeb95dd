// Fuzz target: any sequence of posted events and queue calls of the input-method interface
// returns documented codes, and the current event's fields stay consistent with its text.
#include <SDL/SDL.h>

#include <string>

#include "inputmethod/input_method.h"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  SDL_Init(SDL_INIT_VIDEO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  fuzz::check(InputMethod_Init() == 0, "init");
  while (!bytes.empty()) {
    switch (bytes.byte() % 6) {
      case 0: {
        std::u16string text;
        for (std::size_t n = bytes.byte() % 40; n > 0; --n) text.push_back(bytes.value<char16_t>());
        const int code = InputMethod_PostEvent(
            bytes.value<int8_t>(),
            bytes.byte() & 1 ? reinterpret_cast<const uint16_t*>(text.c_str()) : nullptr,
            bytes.value<int16_t>(), bytes.value<int16_t>(), bytes.value<int16_t>());
        fuzz::check(code == 0 || code == 3 || code == 4, "post codes");
        break;
      }
      case 1:
        fuzz::check(InputMethod_MoveNextEvent() >= 0, "move");
        break;
      case 2:
        InputMethod_Reset();
        break;
      case 3:
        InputMethod_Validate();
        break;
      case 4:
        InputMethod_Invalidate();
        break;
      default: {
        fuzz::check(InputMethod_GetEventNumber() >= 0, "count");
        InputMethod_GetCurrentMessage();
        InputMethod_GetCurrentChar();
        if (const uint16_t* text = InputMethod_GetCurrentEditingString()) {
          std::size_t length = 0;
          while (text[length] != 0) ++length;  // terminated
          fuzz::check(length < 64, "a posted text keeps its length");
        }
        InputMethod_GetCurrentCursorPosition();
        InputMethod_GetCurrentCompositionPosition();
        InputMethod_GetCurrentCompositionLength();
      }
    }
  }
  InputMethod_Quit();
  return 0;
}
