// Test helper: runs a built program and captures its exit status and output.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "demoWriter.h"

namespace testutil {

struct RunResult {
  int status = -1;  // the exit status; -1 when the program died of a signal
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::filesystem::path& p) {
  auto b = ReadAll(p);
  return std::string(b.begin(), b.end());
}

// Runs `command` through the shell with stdout and stderr captured.
inline RunResult Run(const std::string& command) {
  // ctest runs test processes side by side: the names must not collide.
  static const std::string tag = std::to_string(std::random_device{}());
  static int n = 0;
  const auto dir = std::filesystem::temp_directory_path();
  const std::string base = "qvl-run-" + tag + "-" + std::to_string(++n);
  const auto out = dir / (base + ".out");
  const auto err = dir / (base + ".err");
  const std::string full = command + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(full.c_str());
  RunResult r;
#ifdef _WIN32
  r.status = raw;
#else
  if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
#endif
  r.out = Slurp(out);
  r.err = Slurp(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

inline RunResult Qvl(const std::string& args) { return Run(Quote(QVL_TOOL_PATH) + " " + args); }

// A test with a fresh directory of its own, removed afterwards.
class DirTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

}  // namespace testutil
