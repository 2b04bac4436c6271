// Texturez: the BMP, JPEG and TGA readers, the choice of reader by file
// extension, and the upload into an OpenGL texture with a mipmap chain.
//
// Image files are untrusted: every reader checks its header against the
// file's real length before it allocates, refuses a zero side or one above
// MaxSide, and reports a damaged file through the message layer instead of
// reading or writing outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Texturez {

// Sides above this are refused: no demo texture comes near it, and it keeps
// the largest pixel buffer at 1 GiB.
inline constexpr int32_t MaxSide = 16384;

// A decoded image: rows from the bottom row up, tightly packed, red first;
// 3 bytes a pixel when Format is GL_RGB, 4 when GL_RGBA.
struct TImage {
  int32_t Width = 0;
  int32_t Height = 0;
  uint32_t Format = 0;  // GL_RGB or GL_RGBA
  std::vector<uint8_t> Pixels;
};

// The readers without OpenGL. Each returns true with *image filled, or
// shows the failure's message and returns false.
bool ReadBMP(const std::string& fileName, TImage* image);
bool ReadJPG(const std::string& fileName, TImage* image);
bool ReadTGA(const std::string& fileName, TImage* image);
// The same on bytes in memory; `name` is the file the messages name.
bool ReadBMPBytes(const uint8_t* data, size_t size, const std::string& name, TImage* image);
bool ReadJPGBytes(const uint8_t* data, size_t size, const std::string& name, TImage* image);
bool ReadTGABytes(const uint8_t* data, size_t size, const std::string& name, TImage* image);

// Chooses the reader by the upper-cased last four characters of the name
// (".BMP", ".JPG", ".TGA") and makes texture entry `index`; any other name
// loads nothing and says nothing.
void LoadTextureFile(const std::string& fileName, int32_t index);
// Read, upload and set the entry's GLName, Width and Height; false after a
// reported failure (the entry is left alone then).
bool LoadBMP(const std::string& fileName, int32_t index);
bool LoadJPG(const std::string& fileName, int32_t index);
bool LoadTGA(const std::string& fileName, int32_t index);

// A new texture object holding `pixels` (see TImage) with its whole mipmap
// chain and the filters of mode `typ`; returns its name.
uint32_t UploadTexture(int32_t width, int32_t height, uint32_t format, uint8_t typ, const uint8_t* pixels);

}  // namespace Texturez
