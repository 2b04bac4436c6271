// fileWatch: tells which of a few files changed on disk. Uses the system's
// change notification where there is one (inotify on Linux) and otherwise
// compares modification times and sizes every PollInterval ms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fileWatch {

inline constexpr uint32_t PollInterval = 250;
// A burst of writes (an editor saving) is reported once it has been quiet
// this long.
inline constexpr uint32_t QuietTime = 40;

void Startup();
void Shutdown();

// Watches exactly these files from now on (names as given, relative to the
// current directory or absolute). `polling` forces the fallback.
void Watch(const std::vector<std::string>& files, bool polling = false);
// The watched files that changed since the last report, each once and named
// as given to Watch; `now` is a millisecond tick.
std::vector<std::string> Changed(uint32_t now);
bool Notifying();

}  // namespace fileWatch
