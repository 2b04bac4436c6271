// demoBuild: a demo file made from a JSON description, for qvl build, the
// player's --json and --watch, and the fuzz targets.
#pragma once

#include <string>
#include <vector>

#include "description/records.h"

namespace demoBuild {

// Checks the whole description, then writes it to `out` (under a temporary
// name, renamed into place). Throws records::DescError for a bad
// description, filestuff::WriteError when the file cannot be written. Files
// it names by relative path are looked up in `baseDir`.
void BuildDemoFile(const records::json& desc, const std::string& out, const std::string& baseDir = ".");

struct TBuilt {
  bool Ok = false;
  std::vector<unsigned char> Bytes;  // the demo file, when Ok
  std::string Error;                 // what qvl build prints after "qvl build: FILE: "
  // The files read besides the description itself (assembly files),
  // including one that could not be opened, so a watcher can wait for it.
  std::vector<std::string> FilesRead;
};
// The same in memory. `baseDir` is the description's directory.
TBuilt BuildDemoBytes(const std::string& jsonText, const std::string& baseDir);

}  // namespace demoBuild
