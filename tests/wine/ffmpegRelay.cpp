// A stand-in ffmpeg.exe for the tests under Wine. Wine starts a Linux
// program with /dev/null for standard input whatever pipe the Windows
// program made, so the Linux ffmpeg cannot read the player's frames there.
// The relay, a Windows program, reads them from its pipe into a file, then
// runs the Linux ffmpeg (QVL_RELAY_FFMPEG, default /usr/bin/ffmpeg) with the
// same arguments, that file in place of "pipe:0", and ends with its status.
// Wine does not wait for a Linux process: a shell around ffmpeg writes the
// status into a file of its own, which the relay waits for.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring Quoted(const std::wstring& a) {
  std::wstring q = L"\"";
  for (wchar_t c : a) q += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
  return q + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  const std::wstring input = L"relay-" + std::to_wstring(GetCurrentProcessId()) + L".raw";
  bool piped = false;
  for (std::wstring& a : args)
    if (a == L"pipe:0") a = input, piped = true;
  if (piped) {
    FILE* out = _wfopen(input.c_str(), L"wb");
    if (!out) return 2;
    std::vector<char> buffer(1 << 20);
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0)
      std::fwrite(buffer.data(), 1, got, out);
    std::fclose(out);
  }
  const wchar_t* chosen = _wgetenv(L"QVL_RELAY_FFMPEG");
  const std::wstring ffmpeg = chosen ? chosen : L"/usr/bin/ffmpeg";
  const std::wstring status = L"relay-" + std::to_wstring(GetCurrentProcessId()) + L".status";
  std::wstring commandLine = L"Z:\\bin\\sh -c " +
                             Quoted(L"\"$0\" \"$@\"; echo $? > " + status + L".tmp && mv " + status + L".tmp " + status) +
                             L" " + Quoted(ffmpeg);
  for (const std::wstring& a : args) commandLine += L" " + Quoted(a);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION info{};
  int code = 3;
  if (CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &info)) {
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    for (int waited = 0; waited < 12000; ++waited) {  // ten minutes at most
      if (FILE* f = _wfopen(status.c_str(), L"rb")) {
        if (std::fscanf(f, "%d", &code) != 1) code = 4;
        std::fclose(f);
        DeleteFileW(status.c_str());
        break;
      }
      Sleep(50);
    }
  }
  if (piped) DeleteFileW(input.c_str());
  return code;
}
