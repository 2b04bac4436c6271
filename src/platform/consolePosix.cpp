// The console on POSIX systems: isatty and sigaction.
#include <unistd.h>

#include <csignal>

#include "platform/console.h"

namespace console {

namespace {

volatile std::sig_atomic_t* Flag = nullptr;
struct sigaction Int {}, Term {}, Pipe {};

void OnInterrupt(int) {
  if (Flag) *Flag = 1;
}

}  // namespace

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void CatchInterrupts(volatile std::sig_atomic_t* flag) {
  Flag = flag;
  struct sigaction on {};
  on.sa_handler = OnInterrupt;
  sigemptyset(&on.sa_mask);
  sigaction(SIGINT, &on, &Int);
  sigaction(SIGTERM, &on, &Term);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &Pipe);
}

void RestoreInterrupts() {
  sigaction(SIGINT, &Int, nullptr);
  sigaction(SIGTERM, &Term, nullptr);
  sigaction(SIGPIPE, &Pipe, nullptr);
  Flag = nullptr;
}

}  // namespace console
