// aqsol: the calculator in its window.
#include <memory>
#include <string>
#include <vector>

#include "dialogue/calculator_dialogue.hpp"
#include "frame/frame.hpp"
#include "frame/process.hpp"
#include "frame/sdl/sdl_audio.hpp"
#include "frame/sdl/sdl_window.hpp"
#include "inputmethod/composition_strip.hpp"
#include "inputmethod/input_method.h"

int main(int argc, char** argv) {
  aqsol::enter_program_folder();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  aqsol::SdlWindow window;
  aqsol::CompositionStrip composition;
  aqsol::BoxMailbox boxes;
  aqsol::Frame frame(arguments, std::make_unique<aqsol::SdlToneSink>(), boxes);
  window.attach(frame, boxes);
  // After the window opens: the X input method attaches to it.
  if (InputMethod_Init() != 0) return aqsol::kExitInputMethodInit;
  window.set_input_method(&composition);
  const int code = frame.run(window, aqsol::run_calculator_dialogue);
  InputMethod_Quit();
  return code;
}
