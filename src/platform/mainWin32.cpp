// The wide entry point of the Windows programs (linked with -municode): the
// command line as UTF-8, since an ANSI code page cannot name every file. The
// build renames each program's main to qvlUtf8Main.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/utf8.h"

int qvlUtf8Main(int argc, char** argv);

int wmain(int argc, wchar_t** wargv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(utf8::FromWide(wargv[i]));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return qvlUtf8Main(argc, argv.data());
}
