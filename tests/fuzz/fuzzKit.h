// Shared by the fuzz targets: a scratch file per process for readers that
// take a path, and silence for the message layer.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/modules.h"
#include "engine/messages.h"
#include "operators/roster.h"
#include "resources/Texturez.h"

namespace fuzzkit {

// A file of this process's own, removed when the process ends.
struct ScratchFile {
  std::string path;
  explicit ScratchFile(const std::string& name)
      : path((std::filesystem::temp_directory_path() /
              ("qvl-fuzz-" + std::to_string(getpid()) + "-" + name)).string()) {}
  ~ScratchFile() { std::remove(path.c_str()); }
  void Write(const uint8_t* data, size_t size) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
};

// Damaged inputs are the rule here: their messages would only slow the run.
inline void Quiet() {
  messages::SetSink([](const std::string&, const std::string&) {});
}

// The engine's modules and the fifteen operator types, once per process.
inline void StartEngine() {
  static const bool started = [] {
    Quiet();
    modules::StartModules();
    roster::RegisterOperators();
    return true;
  }();
  (void)started;
}

using ImageReader = bool (*)(const uint8_t*, size_t, const std::string&, Texturez::TImage*);

// A reader that says yes must hand over exactly the pixels it describes.
inline int Image(ImageReader read, const uint8_t* data, size_t size) {
  static const bool quiet = (Quiet(), true);
  (void)quiet;
  Texturez::TImage image;
  if (!read(data, size, "fuzz", &image)) return 0;
  const size_t bpp = image.Format == 0x1907 ? 3 : image.Format == 0x1908 ? 4 : 0;  // GL_RGB, GL_RGBA
  if (bpp == 0 || image.Width < 1 || image.Height < 1 || image.Width > Texturez::MaxSide ||
      image.Height > Texturez::MaxSide ||
      image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * bpp)
    std::abort();
  return 0;
}

}  // namespace fuzzkit
