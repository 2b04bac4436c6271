// qvl build: a demo file from a JSON description (the form qvl dump prints).
//
// The whole description is checked before anything is written; the file
// is then written under a temporary name and renamed, so a failed build
// leaves no file and an old file stays as it was.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "data/filestuff.h"
#include "description/demoBuild.h"
#include "engine/paths.h"
#include "tools/commands.h"

namespace tools {

int CmdBuild(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl build DESC.json -o FILE\n\n"
        "Writes a demo file from a JSON description in the form 'qvl dump' prints.\n"
        "Every top-level member is optional. Required: a texture's Name, FileName\n"
        "and Typ; a mesh's Vertices and Groups; a group's Mode, Faces and Alpha; an\n"
        "event's Start, Length, Track, ParamSet and OpType or Op (display name);\n"
        "every named field of a parameter set; a program's Code (hex) or Asm (a list\n"
        "of lines in the form 'qvl asm' reads) or AsmFile (such a file, named relative\n"
        "to the description). Counts beside lists are optional and\n"
        "must match them; hex fields for unused bytes default to zeros. Strings are\n"
        "8-bit: characters up to U+00FF. A bad description names its JSON path and\n"
        "writes nothing.\n");
    return ExitOk;
  }
  const char* in = nullptr;
  const char* out = nullptr;
  if (!InputAndOutput(argc, argv, in, out)) {
    std::fprintf(stderr, "qvl build: expected DESC.json -o FILE (see qvl build --help)\n");
    return ExitBadInput;
  }
  std::ifstream file(in, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "qvl build: %s: cannot open the file\n", in);
    return ExitBadInput;
  }
  try {
    demoBuild::BuildDemoFile(records::json::parse(file), out, paths::Text(paths::Of(in).parent_path()));
  } catch (const records::json::exception& e) {
    // Not only syntax: a number too large for a double is out_of_range.
    std::fprintf(stderr, "qvl build: %s: %s\n", in, e.what());
    return ExitBadInput;
  } catch (const records::DescError& e) {
    std::fprintf(stderr, "qvl build: %s: %s\n", in, e.what());
    return ExitBadInput;
  } catch (const filestuff::WriteError& e) {
    std::fprintf(stderr, "qvl build: %s\n", e.what());
    return ExitBadInput;
  }
  return ExitOk;
}

}  // namespace tools
