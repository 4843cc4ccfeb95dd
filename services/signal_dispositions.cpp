// What a signal does on arrival.
#include "services/signal_dispositions.hpp"

#include <csignal>

namespace aqsol {

bool signalIgnored(int signal) {
  struct sigaction current {};
  return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace aqsol
