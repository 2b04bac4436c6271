// Linux change notification for fileWatch: one inotify descriptor, read
// without blocking.
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/fileWatchNotify.h"

namespace fileWatch::notify {

namespace {

int notifyFd = -1;
std::map<int, std::string> dirOfWatch;

}  // namespace

void Close() {
  if (notifyFd >= 0) close(notifyFd);
  notifyFd = -1;
  dirOfWatch.clear();
}

bool IsOpen() { return notifyFd >= 0; }

bool Open(const std::vector<std::string>& dirs) {
  Close();
  notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notifyFd < 0) return false;
  for (const std::string& d : dirs) {
    const int wd = inotify_add_watch(notifyFd, d.c_str(),
                                     IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
    if (wd < 0) {
      Close();
      return false;
    }
    dirOfWatch[wd] = d;
  }
  return true;
}

void Drain(std::vector<std::pair<std::string, std::string>>& events) {
  if (notifyFd < 0) return;
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
      if (dir != dirOfWatch.end()) events.emplace_back(dir->second, leaf);
    }
  }
}

}  // namespace fileWatch::notify
