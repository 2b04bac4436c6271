// demoBuild: a demo file made from a JSON description: qvl build's code, for
// the tool, the player's --json and the fuzz targets.
#pragma once

#include <string>
#include <vector>

#include "description/records.h"

namespace tools {

// Checks the whole description, then writes it to `out`. Throws
// records::DescError for a bad description, filestuff::WriteError when the
// file cannot be written. Files it names by relative path are looked up in
// `baseDir`.
void BuildDemoFile(const records::json& desc, const std::string& out, const std::string& baseDir = ".");

// False with `error` set to what qvl build prints after "qvl build: FILE: ".
// `baseDir` is the description's directory: files it names by relative
// path are looked up there.
bool BuildDemoBytes(const std::string& jsonText, const std::string& baseDir, std::vector<unsigned char>& bytes,
                    std::string& error);

// The files the last build read besides the description itself (assembly
// files), including one it could not open, so a watcher can wait for it.
const std::vector<std::string>& FilesReadByLastBuild();

}  // namespace tools
