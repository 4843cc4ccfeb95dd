// aqsol-console: the calculator in a terminal, or over pipes for scripts and tests.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/console/console_front_end.hpp"
#include "apps/console/curses_output.hpp"
#include "dialogue/calculator_dialogue.hpp"
#include "frame/frame.hpp"
#include "frame/process.hpp"
#include "frame/sdl/sdl_audio.hpp"
#include "frame/termination_signals.hpp"
#include "services/file_output.hpp"

namespace {

constexpr int kExitWriteError = 3;

int run_console(std::vector<std::string> arguments) {
  // --muted: tones are neither played nor waited for, so that scripts run at full speed.
  const auto muted = std::find(arguments.begin(), arguments.end(), "--muted");
  const bool tones_muted = muted != arguments.end();
  if (tones_muted) arguments.erase(muted);
  const bool keys_from_terminal = isatty(STDIN_FILENO) != 0;
  const bool screen_on_terminal = isatty(STDOUT_FILENO) != 0;

  aqsol::BoxMailbox boxes;
  aqsol::StderrPresenter errors_on_stderr;
  aqsol::ErrorPresenter& presenter =
      screen_on_terminal ? static_cast<aqsol::ErrorPresenter&>(boxes) : errors_on_stderr;
  std::unique_ptr<aqsol::ToneSink> tones;
  if (tones_muted) {
    tones = std::make_unique<aqsol::MutedToneSink>();
  } else {
    tones = std::make_unique<aqsol::SdlToneSink>();
  }
  aqsol::Frame frame(arguments, std::move(tones), presenter);

  std::unique_ptr<aqsol::ScreenOutput> output;
  std::unique_ptr<aqsol::KeyInput> keys;
  if (screen_on_terminal) {
    auto curses = std::make_unique<aqsol::CursesOutput>(frame, boxes);
    if (keys_from_terminal) keys = curses->terminal_keys();
    output = std::move(curses);
  } else {
    output = std::make_unique<aqsol::TranscriptOutput>(frame.runtime().screen, STDOUT_FILENO);
  }
  if (!keys)
    keys = keys_from_terminal ? std::unique_ptr<aqsol::KeyInput>(
                                    std::make_unique<aqsol::TerminalKeyInput>(frame, STDIN_FILENO))
                              : std::make_unique<aqsol::PipeKeyInput>(frame, STDIN_FILENO);

  aqsol::ConsoleFrontEnd front(std::move(output), std::move(keys));
  const int code = frame.run(front, aqsol::run_calculator_dialogue);
  front.finish();
  if (const int error = front.write_error(); error != 0) {
    // A reader that went away is ended by its signal, as in any filter; other failures are told.
    if (aqsol::termination_signal() == SIGPIPE) return code;
    std::fprintf(stderr, "aqsol-console: %s\n", aqsol::writeErrorMessage(error).c_str());
    return kExitWriteError;
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  aqsol::enter_program_folder();
  // SIGINT, SIGTERM, SIGHUP and SIGPIPE end the program in order: the transcript completed, the
  // terminal restored; then it ends by that signal. A file grown past its size limit is a write
  // error like any other.
  aqsol::note_termination_signals();
  std::signal(SIGXFSZ, SIG_IGN);
  const int code = run_console(std::vector<std::string>(argv + 1, argv + argc));
  if (const int signal = aqsol::termination_signal(); signal != 0) aqsol::end_by_signal(signal);
  return code;
}
