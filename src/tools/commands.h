// The sub-commands of qvl. Each takes its own argv (argv[0] is the command's
// name) and returns the process's exit status.
#pragma once

namespace tools {

inline constexpr const char* Version = "0.1.0";

// Exit statuses shared by the commands.
inline constexpr int ExitOk = 0;
inline constexpr int ExitNotFound = 1;  // also: the command's check failed
inline constexpr int ExitBadInput = 2;  // bad arguments, unreadable or damaged file

int CmdDir(int argc, char** argv);
int CmdGet(int argc, char** argv);
int CmdDump(int argc, char** argv);
int CmdBuild(int argc, char** argv);
int CmdCheck(int argc, char** argv);
int CmdImage(int argc, char** argv);
int CmdAsm(int argc, char** argv);
int CmdDisasm(int argc, char** argv);

// True when any argument is --help or -h.
bool WantsHelp(int argc, char** argv);

// Reads "IN -o OUT" in either order; false (both null) for anything else.
bool InputAndOutput(int argc, char** argv, const char*& in, const char*& out);

}  // namespace tools
