// Test helper: builds demo files through the project's own writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <random>
#include <vector>

#include "data/filestuff.h"

namespace testutil {

// A fresh directory under the system's temp directory, removed at exit.
inline std::filesystem::path TempDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("qvl-test-" + name + "-" + std::to_string(std::random_device{}()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::vector<unsigned char> ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteAll(const std::filesystem::path& p, const std::vector<unsigned char>& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace testutil
