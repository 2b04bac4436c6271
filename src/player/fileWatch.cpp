#include "player/fileWatch.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#endif

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
int notifyFd = -1;
std::map<int, std::string> dirOfWatch;

TStamp StampOf(const std::string& name) {
  TStamp s;
  std::error_code ec;
  s.time = fs::last_write_time(name, ec);
  if (ec) return s;
  s.size = fs::file_size(name, ec);
  s.exists = !ec;
  return s;
}

void CloseNotify() {
#ifdef __linux__
  if (notifyFd >= 0) close(notifyFd);
#endif
  notifyFd = -1;
  dirOfWatch.clear();
}

// Directories rather than files: an editor that saves by writing a new file
// and renaming it over the old one leaves a watch on the old file behind.
bool OpenNotify() {
#ifdef __linux__
  notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notifyFd < 0) return false;
  std::set<std::string> dirs;
  for (const TWatched& w : watched) dirs.insert(w.dir);
  for (const std::string& d : dirs) {
    const int wd = inotify_add_watch(notifyFd, d.c_str(),
                                     IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
    if (wd < 0) {
      CloseNotify();
      return false;
    }
    dirOfWatch[wd] = d;
  }
  return true;
#else
  return false;
#endif
}

void ReadNotify(uint32_t now) {
#ifdef __linux__
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(notifyFd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      inotify_event ev;
      std::copy_n(buffer + at, sizeof ev, reinterpret_cast<char*>(&ev));
      const char* nameStart = buffer + at + sizeof ev;
      const size_t nameMax = std::min<size_t>(ev.len, static_cast<size_t>(n - at) - sizeof ev);
      const std::string leaf(nameStart, strnlen(nameStart, nameMax));
      at += static_cast<ssize_t>(sizeof ev + ev.len);
      const auto dir = dirOfWatch.find(ev.wd);
      if (dir == dirOfWatch.end()) continue;
      for (const TWatched& w : watched)
        if (w.dir == dir->second && w.leaf == leaf) {
          pending.insert(w.name);
          lastEvent = now;
        }
    }
  }
#endif
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
  CloseNotify();
  watched.clear();
  pending.clear();
  polled = false;
}

void Watch(const std::vector<std::string>& files, bool polling) {
  CloseNotify();
  watched.clear();
  for (const std::string& f : files) {
    if (f.empty() || std::any_of(watched.begin(), watched.end(), [&](const TWatched& w) { return w.name == f; }))
      continue;
    const fs::path p(f);
    TWatched w;
    w.name = f;
    w.dir = p.has_parent_path() ? p.parent_path().string() : ".";
    w.leaf = p.filename().string();
    w.stamp = StampOf(f);
    watched.push_back(std::move(w));
  }
  polled = false;
  if (!polling) OpenNotify();
}

std::vector<std::string> Changed(uint32_t now) {
  if (notifyFd >= 0)
    ReadNotify(now);
  else
    Poll(now);
  if (pending.empty() || now - lastEvent < QuietTime) return {};
  std::vector<std::string> out(pending.begin(), pending.end());
  pending.clear();
  return out;
}

bool Notifying() { return notifyFd >= 0; }

}  // namespace fileWatch
