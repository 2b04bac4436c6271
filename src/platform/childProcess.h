// childProcess: another program run beside this one, its standard input a
// pipe we write to or nothing. One implementation per system
// (childProcessPosix.cpp); the callers know only these entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace childProcess {

// A running child. Plain data; a default one is "none".
struct TChild {
  intptr_t Process = -1;  // the system's id or handle of the child
  intptr_t Input = -1;    // the write end of its stdin pipe, -1 when none
};

// True when `program` is an executable file in a directory of PATH.
bool OnPath(const std::string& program);
// Starts `program` (looked up on PATH) with `args`. With `pipeInput` its
// stdin is a pipe fed by Write, otherwise stdin is the null device. The
// child ignores Ctrl-C: this program ends it and cleans up. False with a
// one-line reason in `error`; `child` is then none.
bool Spawn(const std::string& program, const std::vector<std::string>& args, bool pipeInput, TChild& child,
           std::string& error);
// Writes all `bytes` to the child's stdin. False when it stopped reading.
bool Write(TChild& child, const void* data, size_t bytes);
// Closes the child's stdin so it sees the end; harmless when closed.
void CloseInput(TChild& child);
// Closes its stdin, waits for the child to end and forgets it. True when it
// exited with status 0.
bool Wait(TChild& child);
// Ends the child at once and reaps it; harmless on none.
void Kill(TChild& child);
// This program's own process id, for names only this run uses.
long ProcessId();

}  // namespace childProcess
