// aqsol-console: the calculator in a terminal, or over pipes for scripts and tests.
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apps/console/console_front_end.hpp"
#include "apps/console/curses_output.hpp"
#include "dialogue/calculator_dialogue.hpp"
#include "frame/command_line.hpp"
#include "frame/frame.hpp"
#include "frame/process.hpp"
#include "frame/sdl/sdl_audio.hpp"
#include "frame/termination_signals.hpp"
#include "services/file_output.hpp"

namespace {

constexpr int kExitWriteError = 3;

constexpr std::string_view kHelp = R"(usage: aqsol-console [--muted]

The aqsol calculator in a terminal, or over pipes for scripts and tests: it asks for a solute
once (menu number 1-20), then, pass after pass, for a temperature in C and a pressure in bar
(0: the saturation pressure; Enter alone keeps the previous value), and shows the properties
of water and of the solute at infinite dilution.

In a terminal it draws the 80x25 screen and reads the keyboard; Ctrl+C ends it. With keys
piped in, every byte is a key and the end of the input ends it; with its output piped, it
writes a transcript of the screen. Runtime errors go to standard error there.

  --muted     tones are neither played nor waited for (scripts run at full speed)
  --help      this text
  --version   the version

Example:
  printf '5
25
1
' | aqsol-console --muted     CO2 at 25 C and 1 bar

Exit status: 0 at the end of the input or when the calculator ends; 2 on a bad argument;
3 on a write error; 128 + N when ended by signal N (SIGINT, SIGTERM, SIGHUP; 141 when the
reader of its output goes away), with the transcript complete and the terminal restored.
aqsol-table computes the same properties over lists and grids of states.
)";

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
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  constexpr std::string_view kFlags[] = {"--muted"};
  if (const auto status = aqsol::answer_command_line("aqsol-console", arguments, kFlags, kHelp))
    return *status;
  aqsol::enter_program_folder();
  // SIGINT, SIGTERM, SIGHUP and SIGPIPE end the program in order: the transcript completed, the
  // terminal restored; then it ends by that signal. A file grown past its size limit is a write
  // error like any other.
  aqsol::note_termination_signals();
  std::signal(SIGXFSZ, SIG_IGN);
  // Piped keys are fed in short naps (tens of microseconds); the kernel's default slack of 50
  // microseconds on every timed sleep would make each nap several times as long. Threads made
  // from here on inherit this; an idle program still sleeps without timers.
  prctl(PR_SET_TIMERSLACK, 1000UL);
  const int code = run_console(arguments);
  if (const int signal = aqsol::termination_signal(); signal != 0) aqsol::end_by_signal(signal);
  return code;
}
