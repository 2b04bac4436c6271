// childProcess on Windows: CreateProcessW with a pipe on stdin. A program is
// looked up beside this one first (a folder that ships ffmpeg.exe uses it),
// then in the directories of PATH.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/childProcess.h"
#include "platform/utf8.h"

namespace childProcess {

namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The full path of `program` (".exe" added), or empty when it is nowhere.
fs::path Find(const std::string& program) {
  const std::wstring file = utf8::ToWide(program) + L".exe";
  const fs::path beside = utf8::ProgramFolder() / file;
  if (IsFile(beside)) return beside;
  const wchar_t* path = _wgetenv(L"PATH");
  if (!path) return {};
  const std::wstring dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(L';', start), dirs.size());
    const std::wstring dir = dirs.substr(start, end - start);
    if (!dir.empty() && IsFile(fs::path(dir) / file)) return fs::path(dir) / file;
    start = end + 1;
  }
  return {};
}

// One argument quoted the way the C runtime splits a command line: in
// double quotes, backslashes doubled only before a quote.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

std::string LastError() {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = text ? utf8::FromWide(text) : "error " + std::to_string(GetLastError());
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out;
}

HANDLE HandleOf(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

bool OnPath(const std::string& program) { return !Find(program).empty(); }

bool Spawn(const std::string& program, const std::vector<std::string>& args, bool pipeInput, TChild& child,
           std::string& error) {
  child = TChild{};
  const fs::path exe = Find(program);
  if (exe.empty()) {
    error = "cannot start " + program + ": not found beside this program or on PATH";
    return false;
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (pipeInput) {
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 20)) {
      error = "cannot start " + program + ": " + LastError();
      return false;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  } else {
    readEnd = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                          nullptr);
  }
  std::wstring commandLine = Quoted(exe.wstring());
  for (const std::string& a : args) commandLine += L" " + Quoted(utf8::ToWide(a));
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = readEnd;
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  // CREATE_NEW_PROCESS_GROUP: Ctrl-C in the console reaches this program only.
  const BOOL started = CreateProcessW(exe.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &start, &info);
  if (readEnd && readEnd != INVALID_HANDLE_VALUE) CloseHandle(readEnd);
  if (!started) {
    error = "cannot start " + program + ": " + LastError();
    if (writeEnd) CloseHandle(writeEnd);
    return false;
  }
  CloseHandle(info.hThread);
  child.Process = reinterpret_cast<intptr_t>(info.hProcess);
  if (pipeInput) child.Input = reinterpret_cast<intptr_t>(writeEnd);
  return true;
}

bool Write(TChild& child, const void* data, size_t bytes) {
  if (child.Input == -1) return false;
  const auto* at = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(HandleOf(child.Input), at, chunk, &written, nullptr) || written == 0) return false;
    at += written;
    bytes -= written;
  }
  return true;
}

void CloseInput(TChild& child) {
  if (child.Input != -1) CloseHandle(HandleOf(child.Input));
  child.Input = -1;
}

bool Wait(TChild& child) {
  CloseInput(child);
  if (child.Process == -1) return false;
  const HANDLE process = HandleOf(child.Process);
  DWORD code = 1;
  const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
  CloseHandle(process);
  child = TChild{};
  return ended && code == 0;
}

void Kill(TChild& child) {
  CloseInput(child);
  if (child.Process != -1) {
    TerminateProcess(HandleOf(child.Process), 1);
    Wait(child);
  }
  child = TChild{};
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace childProcess
