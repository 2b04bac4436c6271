// Windows change notification for fileWatch: one ReadDirectoryChangesW per
// directory, overlapped, collected without waiting. Renames report the new
// name too, so a save by writing a temporary file and renaming it over the
// watched one is seen like a plain write.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/fileWatchNotify.h"
#include "platform/utf8.h"

namespace fileWatch::notify {

namespace {

struct TWatch {
  std::string Dir;  // as given to Open
  HANDLE Handle = INVALID_HANDLE_VALUE;
  OVERLAPPED Overlapped{};
  alignas(DWORD) uint8_t Buffer[16 * 1024];
};

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

std::vector<std::unique_ptr<TWatch>> watches;

bool Arm(TWatch& w) {
  ResetEvent(w.Overlapped.hEvent);
  return ReadDirectoryChangesW(w.Handle, w.Buffer, sizeof w.Buffer, FALSE, kChanges, nullptr, &w.Overlapped,
                               nullptr) != 0;
}

void Release(TWatch& w) {
  if (w.Handle != INVALID_HANDLE_VALUE) {
    CancelIo(w.Handle);
    DWORD ignored = 0;
    GetOverlappedResult(w.Handle, &w.Overlapped, &ignored, TRUE);
    CloseHandle(w.Handle);
  }
  if (w.Overlapped.hEvent) CloseHandle(w.Overlapped.hEvent);
}

// Reads one completed buffer of records: the leaf names, UTF-8.
void Collect(TWatch& w, DWORD bytes, std::vector<std::pair<std::string, std::string>>& events) {
  size_t at = 0;
  while (at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes) {
    FILE_NOTIFY_INFORMATION head;
    std::memcpy(&head, w.Buffer + at, sizeof head);
    const size_t nameAt = at + offsetof(FILE_NOTIFY_INFORMATION, FileName);
    const size_t nameBytes = std::min<size_t>(head.FileNameLength, bytes - nameAt);
    std::wstring name(nameBytes / sizeof(wchar_t), L'\0');
    std::memcpy(name.data(), w.Buffer + nameAt, name.size() * sizeof(wchar_t));
    if (head.Action != FILE_ACTION_REMOVED && head.Action != FILE_ACTION_RENAMED_OLD_NAME)
      events.emplace_back(w.Dir, utf8::FromWide(name));
    if (head.NextEntryOffset == 0) break;
    at += head.NextEntryOffset;
  }
}

}  // namespace

void Close() {
  for (auto& w : watches) Release(*w);
  watches.clear();
}

bool IsOpen() { return !watches.empty(); }

bool Open(const std::vector<std::string>& dirs) {
  Close();
  for (const std::string& d : dirs) {
    auto w = std::make_unique<TWatch>();
    w->Dir = d;
    w->Handle = CreateFileW(utf8::ToWide(d).c_str(), FILE_LIST_DIRECTORY,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    w->Overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool ok = w->Handle != INVALID_HANDLE_VALUE && w->Overlapped.hEvent && Arm(*w);
    watches.push_back(std::move(w));
    if (!ok) {
      Close();
      return false;
    }
  }
  return true;
}

void Drain(std::vector<std::pair<std::string, std::string>>& events) {
  for (auto& w : watches) {
    DWORD bytes = 0;
    while (GetOverlappedResult(w->Handle, &w->Overlapped, &bytes, FALSE)) {
      // A zero-byte result means the buffer overflowed: every name may have changed.
      if (bytes == 0) events.emplace_back(w->Dir, std::string());
      Collect(*w, bytes, events);
      if (!Arm(*w)) break;
    }
  }
}

}  // namespace fileWatch::notify
