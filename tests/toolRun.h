// Test helper: runs a built program and captures its exit status and output.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "demoWriter.h"

namespace testutil {

struct RunResult {
  int status = -1;  // the exit status; -1 when the program died of a signal
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::filesystem::path& p) {
  const auto b = ReadAll(p);
  return {b.begin(), b.end()};
}

#ifdef _WIN32
// cmd.exe: double quotes, and system() returns the exit code itself.
inline std::string Quote(const std::string& s) { return "\"" + s + "\""; }
inline int ExitStatus(int raw) { return raw; }
// cmd /c drops the first and the last quote of a line: give it a pair to drop.
inline std::string ShellLine(const std::string& line) { return "\"" + line + "\""; }
#else
inline std::string ShellLine(const std::string& line) { return line; }
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }
inline int ExitStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }
#endif

// Runs `command` through the shell with stdout and stderr captured.
inline RunResult Run(const std::string& command) {
  // ctest runs test processes side by side: the names must not collide.
  static const std::string tag = std::to_string(std::random_device{}());
  static int n = 0;
  const auto base = std::filesystem::temp_directory_path() / ("qvl-run-" + tag + "-" + std::to_string(++n));
  const std::string out = base.string() + ".out", err = base.string() + ".err";
  const int raw = std::system(ShellLine(command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
  RunResult r{ExitStatus(raw), Slurp(out), Slurp(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

inline RunResult Qvl(const std::string& args) { return Run(Quote(QVL_TOOL_PATH) + " " + args); }

// A test with a fresh directory of its own, removed afterwards.
class DirTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

}  // namespace testutil
