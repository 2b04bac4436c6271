// console: what a long-running command needs of the terminal it was started
// from: whether standard error is one (for progress lines), and Ctrl-C as a
// request to stop between steps rather than an end on the spot.
#pragma once

#include <csignal>

namespace console {

// True when standard error is a terminal.
bool ErrorIsTerminal();

// From now on an interrupt (Ctrl-C; also Ctrl-Break on Windows, SIGTERM on
// POSIX systems) sets *flag to 1 instead of ending the program, and a write
// to a closed pipe fails instead of killing it. Restore puts back what was
// there before. Not nested.
void CatchInterrupts(volatile std::sig_atomic_t* flag);
void RestoreInterrupts();

}  // namespace console
