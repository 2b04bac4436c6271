// fileWatchNotify: the system's change notification under fileWatch, one
// implementation per system (fileWatchInotify.cpp on Linux). Internal to
// fileWatch; nothing else includes it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace fileWatch::notify {

// Starts watching these directories (each given once). False when the
// system has no notification or refuses one; nothing is left open then.
bool Open(const std::vector<std::string>& dirs);
// Stops; harmless when nothing is open.
void Close();
bool IsOpen();
// Takes the events that have arrived without waiting: each is the directory
// (as given to Open) and the leaf name of the entry that changed.
void Drain(std::vector<std::pair<std::string, std::string>>& events);

}  // namespace fileWatch::notify
