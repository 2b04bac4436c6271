#include "platform/fileWatch.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "engine/paths.h"
#include "platform/fileWatchNotify.h"

namespace fileWatch {

namespace {

namespace fs = std::filesystem;

struct TStamp {
  bool exists = false;
  fs::file_time_type time{};
  uintmax_t size = 0;
  bool operator==(const TStamp&) const = default;
};

struct TWatched {
  std::string name;  // as the caller gave it
  std::string dir;   // its directory, "." for a bare name
  std::string leaf;
  TStamp stamp;
};

std::vector<TWatched> watched;
std::set<std::string> pending;
uint32_t lastEvent = 0;
uint32_t lastPoll = 0;
bool polled = false;

TStamp StampOf(const std::string& name) {
  TStamp s;
  std::error_code ec;
  s.time = fs::last_write_time(paths::Of(name), ec);
  if (ec) return s;
  s.size = fs::file_size(paths::Of(name), ec);
  s.exists = !ec;
  return s;
}

// Directories rather than files: an editor that saves by writing a new file
// and renaming it over the old one leaves a watch on the old file behind.
void OpenNotify() {
  std::set<std::string> dirs;
  for (const TWatched& w : watched) dirs.insert(w.dir);
  notify::Open(std::vector<std::string>(dirs.begin(), dirs.end()));
}

void ReadNotify(uint32_t now) {
  std::vector<std::pair<std::string, std::string>> events;
  notify::Drain(events);
  for (const auto& [dir, leaf] : events)
    for (const TWatched& w : watched)
      if (w.dir == dir && w.leaf == leaf) {
        pending.insert(w.name);
        lastEvent = now;
      }
}

void Poll(uint32_t now) {
  if (polled && now - lastPoll < PollInterval) return;
  polled = true;
  lastPoll = now;
  for (TWatched& w : watched) {
    const TStamp s = StampOf(w.name);
    if (s == w.stamp) continue;
    w.stamp = s;
    pending.insert(w.name);
    // Polls are already far enough apart to stand for a quiet spell.
    lastEvent = now - QuietTime;
  }
}

}  // namespace

void Startup() { Shutdown(); }

void Shutdown() {
  notify::Close();
  watched.clear();
  pending.clear();
  polled = false;
}

void Watch(const std::vector<std::string>& files, bool polling) {
  notify::Close();
  watched.clear();
  for (const std::string& f : files) {
    if (f.empty() || std::any_of(watched.begin(), watched.end(), [&](const TWatched& w) { return w.name == f; }))
      continue;
    const fs::path p = paths::Of(f);
    TWatched w;
    w.name = f;
    w.dir = p.has_parent_path() ? paths::Text(p.parent_path()) : ".";
    w.leaf = paths::Text(p.filename());
    w.stamp = StampOf(f);
    watched.push_back(std::move(w));
  }
  polled = false;
  if (!polling) OpenNotify();
}

std::vector<std::string> Changed(uint32_t now) {
  if (notify::IsOpen())
    ReadNotify(now);
  else
    Poll(now);
  if (pending.empty() || now - lastEvent < QuietTime) return {};
  std::vector<std::string> out(pending.begin(), pending.end());
  pending.clear();
  return out;
}

bool Notifying() { return notify::IsOpen(); }

}  // namespace fileWatch
