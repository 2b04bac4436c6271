// pngWrite: the program's PNG writer, for captured frames and for the
// tools' pictures. Plain 8-bit RGB or RGBA files, no interlace, that any
// viewer opens; made for speed rather than the smallest file.
// Thread-safe: each thread keeps its own scratch memory, freed when the
// thread ends, so the module has nothing to start or shut down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pngWrite {

// Pixels as they lie in memory: rows of Width * Channels bytes, no padding.
struct TImage {
  const uint8_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Channels = 3;       // 3: RGB, 4: RGBA
  bool BottomUp = false;  // bottom row first, as OpenGL reads them
};

// The PNG file of `image` into `out` (replacing what it held). False when
// the size or the channel count cannot be written.
bool Encode(const TImage& image, std::vector<uint8_t>& out);

// Writes `bytes` to `path`. False with "cannot write PATH" in *error.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error = nullptr);

// Encode and WriteFile; "cannot encode PATH" when the image is refused.
bool Write(const std::string& path, const TImage& image, std::string* error = nullptr);

}  // namespace pngWrite
