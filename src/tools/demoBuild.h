// demoBuild: a demo file made in memory from a JSON description, by the same
// code as qvl build, for the player's --json.
#pragma once

#include <string>
#include <vector>

namespace tools {

// False with `error` set to what qvl build prints after "qvl build: FILE: ".
// `baseDir` is the description's directory: files it names by relative
// path are looked up there.
bool BuildDemoBytes(const std::string& jsonText, const std::string& baseDir, std::vector<unsigned char>& bytes,
                    std::string& error);

// The files the last build read besides the description itself (assembly
// files), including one it could not open, so a watcher can wait for it.
const std::vector<std::string>& FilesReadByLastBuild();

}  // namespace tools
