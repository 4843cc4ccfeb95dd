// aqsol: the calculator in its window.
#include <memory>
#include <string>
#include <vector>

#include "dialogue/calculator_dialogue.hpp"
#include "frame/frame.hpp"
#include "frame/process.hpp"
#include "frame/sdl/sdl_audio.hpp"
#include "frame/sdl/sdl_window.hpp"

int main(int argc, char** argv) {
  aqsol::enter_program_folder();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  aqsol::SdlWindow window;
  aqsol::BoxMailbox boxes;
  aqsol::Frame frame(arguments, std::make_unique<aqsol::SdlToneSink>(), boxes);
  window.attach(frame, boxes);
  return frame.run(window, aqsol::run_calculator_dialogue);
}
