// demoview: a demo file loaded for the tools, exactly as the player loads
// it but without making textures (no GL context needed).
#pragma once

#include <string>
#include <vector>

#include "data/filestuff.h"

namespace demoview {

// Runs the start-ups the loader relies on and loads `path` with its script
// sources. Prints why not to stderr ("qvl CMD: ...") and returns false for
// a missing, foreign or damaged file.
bool Load(const char* command, const std::string& path);

// The directory entries the player never reads: later duplicates of a
// name, and names no loader step asks for.
std::vector<filestuff::TDirEntry> UnreadEntries();

}  // namespace demoview
