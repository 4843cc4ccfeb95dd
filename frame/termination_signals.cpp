// Signals that ask the program to end, noted so that it can end in order.
#include "frame/termination_signals.hpp"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "services/signal_dispositions.hpp"

namespace aqsol {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> received{0};

// The terminal to restore: plain data, written before the handlers can read it.
termios saved_modes;
std::atomic<int> saved_fd{-1};

extern "C" void on_termination_signal(int signal) {
  int none = 0;
  if (received.compare_exchange_strong(none, signal)) return;
  end_by_signal(signal);  // a second signal: no more waiting for an orderly end
}

}  // namespace

void note_termination_signals() {
  struct sigaction action {};
  action.sa_handler = on_termination_signal;
  sigemptyset(&action.sa_mask);
  // One that the caller started ignored (nohup, a shell's background job) stays ignored.
  for (int s : kSignals)
    if (!signalIgnored(s)) sigaction(s, &action, nullptr);
}

int termination_signal() {
  return received.load();
}

void end_by_signal(int signal) {
  restore_terminal_modes();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // a signal whose default action is not to end the process
}

void remember_terminal_modes(int fd, const termios& modes) {
  saved_fd.store(-1);
  saved_modes = modes;
  saved_fd.store(fd);
}

void forget_terminal_modes() {
  saved_fd.store(-1);
}

void restore_terminal_modes() {
  const int fd = saved_fd.load();
  if (fd >= 0) tcsetattr(fd, TCSANOW, &saved_modes);
}

}  // namespace aqsol
