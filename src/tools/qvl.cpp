// qvl: the demo-file tool. One sub-command per job; each prints its own
// usage with --help.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);  // argv[0] is the sub-command
  const char* summary;
};

const Command commands[] = {
    {"dir", tools::CmdDir, "list the directory of a demo file"},
    {"get", tools::CmdGet, "print one value of a demo file"},
    {"dump", tools::CmdDump, "print a whole demo file as JSON"},
    {"build", tools::CmdBuild, "write a demo file from a JSON description"},
    {"check", tools::CmdCheck, "report what in a demo file will not play as meant"},
    {"image", tools::CmdImage, "show an image file as the player loads it (PNG)"},
    {"asm", tools::CmdAsm, "assemble a script program from text"},
    {"disasm", tools::CmdDisasm, "print a script program, raw or from a demo, as text"},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: qvl COMMAND [ARGS]\n\ncommands:\n");
  for (const Command& c : commands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'qvl COMMAND --help' describes each command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    Usage(stdout);
    return 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("qvl %s\n", tools::Version);
    return 0;
  }
  for (const Command& c : commands)
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "qvl: unknown command '%s' (see qvl --help)\n", argv[1]);
  return 2;
}
