// paths: file names are kept as UTF-8 text throughout the program. A plain
// std::string handed to std::filesystem is read in the system's narrow
// encoding (on Windows the C library's, which is not UTF-8), so text becomes
// a path, and a path text, through these two alone.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace paths {

inline std::filesystem::path Of(std::string_view text) {
  return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string Text(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace paths
