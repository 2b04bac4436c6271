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
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace Texturez {

// Sides above this are refused: no demo texture comes near it, and it keeps
// the largest pixel buffer at 1 GiB.
inline constexpr int32_t MaxSide = 16384;

// An allocator whose elements start undefined instead of zero: pixel
// buffers are written in full right after they are made, and clearing
// megabytes first (and the page faults that follow) is time thrown away.
template <class T>
struct TUninitialized : std::allocator<T> {
  TUninitialized() noexcept = default;
  template <class U>
  TUninitialized(const TUninitialized<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using TPixels = std::vector<uint8_t, TUninitialized<uint8_t>>;

// A decoded image: rows from the bottom row up, tightly packed, red first;
// 3 bytes a pixel when Format is GL_RGB, 4 when GL_RGBA.
struct TImage {
  int32_t Width = 0;
  int32_t Height = 0;
  uint32_t Format = 0;  // GL_RGB or GL_RGBA
  TPixels Pixels;
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

// JPEG rows converted to red, green, blue and 255 by the decoder where it can
// (libjpeg-turbo), the default, or by the portable conversion; both give the
// same pixels.
void UseDecoderRgba(bool on);

// A reader of a file into an image: true with *image filled, or false after
// showing the failure's message. Safe to run on several threads at once.
using TReader = bool (*)(const std::string& fileName, TImage* image);
// The reader the upper-cased last four characters of the name choose
// (".BMP", ".JPG", ".TGA"); null for any other name.
TReader ReaderFor(const std::string& fileName);

// Makes texture entry `index` with the reader ReaderFor chooses; any other
// name loads nothing and says nothing.
void LoadTextureFile(const std::string& fileName, int32_t index);
// Uploads a read image into entry `index`, with the entry's filter mode,
// and sets its GLName, Width and Height.
void MakeTexture(int32_t index, const TImage& image);
// Read, upload and set the entry's GLName, Width and Height; false after a
// reported failure (the entry is left alone then).
bool LoadBMP(const std::string& fileName, int32_t index);
bool LoadJPG(const std::string& fileName, int32_t index);
bool LoadTGA(const std::string& fileName, int32_t index);

// A new texture object holding `pixels` (see TImage) with its whole mipmap
// chain and the filters of mode `typ`; returns its name.
uint32_t UploadTexture(int32_t width, int32_t height, uint32_t format, uint8_t typ, const uint8_t* pixels);

}  // namespace Texturez
