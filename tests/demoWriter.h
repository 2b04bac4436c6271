// Test helper: builds demo files through the project's own writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
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
  std::vector<unsigned char> b;
  if (FILE* f = std::fopen(p.string().c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
  }
  return b;
}

inline void WriteAll(const std::filesystem::path& p, const std::vector<unsigned char>& b) {
  FILE* f = std::fopen(p.string().c_str(), "wb");
  if (!f) return;
  if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

}  // namespace testutil
