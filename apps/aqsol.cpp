// aqsol: the calculator in its window.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/calculator_dialogue.hpp"
#include "frame/command_line.hpp"
#include "frame/frame.hpp"
#include "frame/process.hpp"
#include "frame/sdl/sdl_audio.hpp"
#include "frame/sdl/sdl_window.hpp"
#include "frame/termination_signals.hpp"
#include "inputmethod/composition_strip.hpp"
#include "inputmethod/input_method.h"

namespace {

constexpr std::string_view kHelp = R"(usage: aqsol

The aqsol calculator in its window: properties of water and of a dissolved gas or neutral
solute at infinite dilution. It asks for a solute once (menu number 1-20), then, pass after
pass, for a temperature in C and a pressure in bar (0: the saturation pressure; Enter alone
keeps the previous value).

Alt+Enter switches to full screen and back, Pause holds the calculator until the next key,
Ctrl+Break or closing the window ends it. Runtime errors appear in a box that asks whether
to continue (Y/Enter or N/Esc).

  --help      this text
  --version   the version

aqsol-console is the same calculator in a terminal; aqsol-table computes the same properties
over lists and grids of states.
)";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (const auto status = aqsol::answer_command_line("aqsol", arguments, {}, kHelp)) return *status;
  aqsol::enter_program_folder();
  aqsol::SdlWindow window;
  // SIGINT, SIGTERM and SIGHUP end the program as closing the window does, then by the signal
  // (status 128 + signal), as they end aqsol-console.
  aqsol::note_termination_signals();
  aqsol::CompositionStrip composition;
  aqsol::BoxMailbox boxes;
  aqsol::Frame frame(arguments, std::make_unique<aqsol::SdlToneSink>(), boxes);
  window.attach(frame, boxes);
  // After the window opens: the X input method attaches to it.
  if (InputMethod_Init() != 0) return aqsol::kExitInputMethodInit;
  window.set_input_method(&composition);
  const int code = frame.run(window, aqsol::run_calculator_dialogue);
  InputMethod_Quit();
  if (const int signal = aqsol::termination_signal(); signal != 0) aqsol::end_by_signal(signal);
  return code;
}
