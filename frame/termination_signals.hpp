// Signals that ask the program to end (SIGINT, SIGTERM, SIGHUP, and SIGPIPE for an output that
// nobody reads any more), noted rather than obeyed at once, so that the program ends in order:
// what it owes written out, the terminal's modes restored. It then ends by the same signal, as
// the conventional exit status (128 + signal) requires.
#pragma once

#include <termios.h>

namespace aqsol {

// Installs the handlers. A second signal of these kinds, while the first is being dealt with,
// restores the terminal's modes and ends the process at once.
void note_termination_signals();

// The first such signal received, or 0.
int termination_signal();

// Restores the terminal's remembered modes and ends the process by `signal` (its default
// action), as if it had not been handled.
[[noreturn]] void end_by_signal(int signal);

// Remembers the modes a terminal had before the program changed them, so that every way out of
// the process (a second signal, a critical error) can give them back. Async-signal-safe.
void remember_terminal_modes(int fd, const termios& modes);
void forget_terminal_modes();
void restore_terminal_modes();

}  // namespace aqsol
