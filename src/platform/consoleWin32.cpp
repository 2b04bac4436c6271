// The console on Windows: _isatty and a console control handler (Windows
// has no SIGPIPE: a write to a closed pipe fails with an error).
#include <io.h>
#include <windows.h>

#include <csignal>

#include "platform/console.h"

namespace console {

namespace {

volatile std::sig_atomic_t* Flag = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || !Flag) return FALSE;
  *Flag = 1;
  return TRUE;
}

}  // namespace

bool ErrorIsTerminal() { return _isatty(2) != 0; }

void CatchInterrupts(volatile std::sig_atomic_t* flag) {
  Flag = flag;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void RestoreInterrupts() {
  SetConsoleCtrlHandler(OnControl, FALSE);
  Flag = nullptr;
}

}  // namespace console
