// Texturez: the image readers behind the texture table, and the upload of
// a picture to GL. In order: the BMP and TGA file records; a checked
// sequential reader over a file or bytes in memory; the JPEG decoder's
// plumbing; the BMP, JPEG and TGA readers; the upload and the dispatch by
// file name.
#include "resources/Texturez.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <limits>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include <jerror.h>
#include <jpeglib.h>

#include "engine/messages.h"
#include "engine/paths.h"
#include "resources/texMan.h"

namespace Texturez {

namespace {

const char* const kBmpCaption = "BMP Unit";
const char* const kTgaMissingCaption = "TGA Texture";
const char* const kTgaCaption = "TGA File Error";

// ---- file records ----

#pragma pack(push, 1)
struct TBitmapFileHeader {
  uint8_t Type[2];  // "BM", not checked: the other fields say more
  uint32_t Size;
  uint16_t Reserved1;
  uint16_t Reserved2;
  uint32_t OffBits;  // where the pixel rows start
};
struct TBitmapInfoHeader {
  uint32_t Size;  // 40, or more for the later header versions
  int32_t Width;
  int32_t Height;  // negative: rows stored top row first
  uint16_t Planes;
  uint16_t BitCount;
  uint32_t Compression;  // 0: uncompressed
  uint32_t SizeImage;
  int32_t XPelsPerMeter;
  int32_t YPelsPerMeter;
  uint32_t ClrUsed;
  uint32_t ClrImportant;
};
struct TTgaHeader {
  uint8_t IdLength;  // bytes of image ID between the header and the pixels
  uint8_t ColorMapType;
  uint8_t ImageType;  // 2 raw true colour, 10 run-length encoded true colour
  uint16_t ColorMapFirst;
  uint16_t ColorMapLength;
  uint8_t ColorMapDepth;
  uint16_t XOrigin;
  uint16_t YOrigin;
  uint16_t Width;
  uint16_t Height;
  uint8_t PixelDepth;
  uint8_t Descriptor;  // bit 4: rows stored right to left; bit 5: first row is the top row
};
#pragma pack(pop)

static_assert(sizeof(TBitmapFileHeader) == 14 && offsetof(TBitmapFileHeader, OffBits) == 10);
static_assert(sizeof(TBitmapInfoHeader) == 40 && offsetof(TBitmapInfoHeader, BitCount) == 14 &&
              offsetof(TBitmapInfoHeader, Compression) == 16 && offsetof(TBitmapInfoHeader, ClrUsed) == 32);
static_assert(sizeof(TTgaHeader) == 18 && offsetof(TTgaHeader, ImageType) == 2 &&
              offsetof(TTgaHeader, Width) == 12 && offsetof(TTgaHeader, Height) == 14 &&
              offsetof(TTgaHeader, PixelDepth) == 16 && offsetof(TTgaHeader, Descriptor) == 17);
static_assert(std::is_trivially_copyable_v<TBitmapInfoHeader> && std::is_trivially_copyable_v<TTgaHeader>);

constexpr uint8_t kTgaRightOrigin = 0x10;
constexpr uint8_t kTgaTopOrigin = 0x20;

// ---- a checked sequential reader, over a file or bytes in memory ----

struct InFile {
  std::FILE* f = nullptr;
  const uint8_t* mem = nullptr;  // set instead of f for bytes in memory
  int64_t size = 0;  // the real length, known before anything is allocated
  int64_t pos = 0;   // in memory only

  bool Open(const std::string& name) {
    std::error_code ec;
    const auto len = std::filesystem::file_size(paths::Of(name), ec);
    if (ec) return false;  // missing, a directory, or unreadable
    f = std::fopen(name.c_str(), "rb");
    size = static_cast<int64_t>(len);
    return f != nullptr;
  }
  void OpenBytes(const uint8_t* data, size_t n) {
    static const uint8_t none = 0;
    mem = data ? data : &none;  // no bytes still reads from memory
    size = static_cast<int64_t>(n);
  }
  ~InFile() {
    if (f) std::fclose(f);
  }
  // All n bytes or false.
  bool Read(void* dest, size_t n) {
    if (n == 0) return true;
    if (!mem) return std::fread(dest, 1, n, f) == n;
    if (static_cast<int64_t>(n) > size - pos) return false;
    std::memcpy(dest, mem + pos, n);
    pos += static_cast<int64_t>(n);
    return true;
  }
  bool Seek(int64_t at) {
    if (at < 0 || at > size) return false;
    if (mem) return pos = at, true;
    // std::fseek takes a long, 32 bits on Windows: far offsets go in steps.
    if (std::fseek(f, 0, SEEK_SET) != 0) return false;
    for (int64_t left = at; left > 0;) {
      const long step = static_cast<long>(std::min<int64_t>(left, std::numeric_limits<long>::max()));
      if (std::fseek(f, step, SEEK_CUR) != 0) return false;
      left -= step;
    }
    return true;
  }
};

bool SideOk(int64_t side) { return side > 0 && side <= MaxSide; }

// Rows are reversed in place (bottom-up <-> top-down).
template <class Buffer>
void FlipRows(Buffer& pixels, size_t rowBytes, int32_t height) {
  for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(top) * rowBytes),
                     pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(top + 1) * rowBytes),
                     pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(bottom) * rowBytes));
}

// Each row's pixels are reversed in place (right to left <-> left to right).
template <class Buffer>
void MirrorRows(Buffer& pixels, size_t pixelBytes, int32_t width) {
  const size_t rowBytes = pixelBytes * static_cast<size_t>(width);
  for (size_t row = 0; row + rowBytes <= pixels.size(); row += rowBytes)
    for (size_t l = row, r = row + rowBytes - pixelBytes; l < r; l += pixelBytes, r -= pixelBytes)
      std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(l), pixels.begin() + static_cast<ptrdiff_t>(l + pixelBytes),
                       pixels.begin() + static_cast<ptrdiff_t>(r));
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// ---- JPEG decoder plumbing ----

// libjpeg's own error handler ends the process; this one jumps back to the
// reader, which reports the file and lets loading go on.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool truncated;
};

void JpegErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }

void JpegEmit(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  // A file that ends early, or whose compressed data runs into a marker
  // before the image is complete, is decoded by libjpeg as grey filler; we
  // treat it as damaged rather than show half a picture (or spend seconds
  // on a large picture of filler from a few bytes).
  if (level < 0 && (err->mgr.msg_code == JWRN_JPEG_EOF || err->mgr.msg_code == JWRN_HIT_MARKER))
    err->truncated = true;
  if (level < 0) err->mgr.num_warnings++;
}

void JpegSilent(j_common_ptr) {}

// A progressive file may hold any number of scans, each a pass over the whole
// image; more than this is a file built to stall the decoder.
constexpr int kMaxJpegScans = 500;
constexpr long kMaxJpegMemory = 512L * 1024 * 1024;

void JpegProgress(j_common_ptr cinfo) {
  // A progressive file reads all its scans before the first row comes out.
  if (reinterpret_cast<JpegError*>(cinfo->err)->truncated) JpegErrorExit(cinfo);
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) JpegErrorExit(cinfo);
  }
}

// libjpeg-turbo converts to red, green, blue and 255 itself, faster than a
// pass over the rows afterwards; other libjpegs get that pass.
#ifdef JCS_ALPHA_EXTENSIONS
constexpr bool kDecoderHasRgba = true;
constexpr J_COLOR_SPACE kDecoderRgba = JCS_EXT_RGBA;
#else
constexpr bool kDecoderHasRgba = false;
constexpr J_COLOR_SPACE kDecoderRgba = JCS_RGB;
#endif
bool useDecoderRgba = true;

void ExpandToRgba(const uint8_t* rgb, uint8_t* rgba, size_t width) {
  for (size_t x = 0; x < width; ++x) {
    rgba[4 * x] = rgb[3 * x];
    rgba[4 * x + 1] = rgb[3 * x + 1];
    rgba[4 * x + 2] = rgb[3 * x + 2];
    rgba[4 * x + 3] = 255;
  }
}

// Up to this many output bytes are allocated before decoding, and each row
// goes straight to its place bottom-up; a larger picture grows with the rows
// actually decoded, so a small damaged file whose header claims a huge image
// ends (at its premature end) before much is allocated.
constexpr size_t kJpegAllocateAtOnce = 64u << 20;

// Decodes into `image` as the reader hands it on: bottom row first, red,
// green, blue and 255 a pixel; `row` holds one decoded row. False on any
// decoder error; the file stays open for the caller to close. (Both buffers
// belong to the caller: what this frame changes after setjmp is not to be
// trusted after the jump back.)
bool DecodeJpeg(InFile& in, TImage* image, TPixels& rgb) {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  jpeg_progress_mgr progress{};
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegEmit;
  err.mgr.output_message = JpegSilent;
  TPixels& px = image->Pixels;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  progress.progress_monitor = JpegProgress;
  cinfo.progress = &progress;
  if (in.mem)
    jpeg_mem_src(&cinfo, in.mem, static_cast<unsigned long>(in.size));
  else
    jpeg_stdio_src(&cinfo, in.f);
  jpeg_read_header(&cinfo, TRUE);
  if (!SideOk(cinfo.image_width) || !SideOk(cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // Grey images come out as grey RGB; libjpeg converts, and libjpeg-turbo
  // adds the opaque alpha itself.
  const bool decoderRgba = kDecoderHasRgba && useDecoderRgba;
  cinfo.out_color_space = decoderRgba ? kDecoderRgba : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != (decoderRgba ? 4 : 3) || !SideOk(cinfo.output_width) ||
      !SideOk(cinfo.output_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const size_t width = cinfo.output_width, height = cinfo.output_height, rowBytes = width * 4;
  const bool atOnce = rowBytes * height <= kJpegAllocateAtOnce;
  px.clear();
  if (atOnce) px.resize(rowBytes * height);
  if (!decoderRgba) rgb.resize(width * 3);
  while (cinfo.output_scanline < height && !err.truncated) {
    const size_t y = cinfo.output_scanline;
    if (!atOnce) px.resize(px.size() + rowBytes);
    uint8_t* dst = px.data() + (atOnce ? height - 1 - y : y) * rowBytes;
    JSAMPROW row = decoderRgba ? dst : rgb.data();
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    if (!decoderRgba) ExpandToRgba(rgb.data(), dst, width);
  }
  const bool complete = cinfo.output_scanline == height && !err.truncated;
  if (complete) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (!complete || err.truncated) return false;
  // The grown buffer holds the rows top row first.
  if (!atOnce) FlipRows(px, rowBytes, static_cast<int32_t>(height));
  image->Width = static_cast<int32_t>(width);
  image->Height = static_cast<int32_t>(height);
  image->Format = GL_RGBA;
  return true;
}

}  // namespace

// ---- BMP ----

namespace {

bool ReadBMPFrom(InFile& in, const std::string& fileName, TImage* image) {
  uint8_t raw[sizeof(TBitmapFileHeader) + sizeof(TBitmapInfoHeader)];
  if (!in.Read(raw, sizeof raw)) {
    messages::Show(kBmpCaption, "Error reading bitmap header - " + Quoted(fileName));
    return false;
  }
  TBitmapFileHeader fh;
  TBitmapInfoHeader ih;
  std::memcpy(&fh, raw, sizeof fh);
  std::memcpy(&ih, raw + sizeof fh, sizeof ih);

  if (ih.Size < sizeof(TBitmapInfoHeader) || ih.BitCount != 24 || ih.Compression != 0) {
    messages::Show(kBmpCaption, "Couldn't load " + Quoted(fileName) + ". Only uncompressed 24bit BMP supported.");
    return false;
  }
  const int64_t width = ih.Width;
  const bool topDown = ih.Height < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(ih.Height) : ih.Height;
  if (!SideOk(width) || !SideOk(height)) {
    messages::Show(kBmpCaption, "Couldn't load " + Quoted(fileName) + ". Bad image size.");
    return false;
  }

  // The rows start at the header's pixel-data offset. A writer that left it
  // 0 (or inside the headers) put the rows right after the headers and the
  // colour table.
  const int64_t headersEnd = static_cast<int64_t>(sizeof fh) + ih.Size;
  int64_t dataOffset = fh.OffBits;
  if (dataOffset < headersEnd) dataOffset = headersEnd + 4 * static_cast<int64_t>(ih.ClrUsed);
  if (dataOffset > in.size) {
    messages::Show(kBmpCaption, "Error reading palette");
    return false;
  }

  // Each stored row is padded to a multiple of 4 bytes; the last row's
  // padding may be missing.
  const int64_t rowBytes = width * 3;
  const int64_t stride = (rowBytes + 3) & ~int64_t{3};
  const int64_t dataBytes = stride * (height - 1) + rowBytes;
  if (dataBytes > in.size - dataOffset || !in.Seek(dataOffset)) {
    messages::Show(kBmpCaption, "Error reading bitmap data");
    return false;
  }
  TPixels data(static_cast<size_t>(dataBytes));
  if (!in.Read(data.data(), data.size())) {
    messages::Show(kBmpCaption, "Error reading bitmap data");
    return false;
  }

  image->Width = static_cast<int32_t>(width);
  image->Height = static_cast<int32_t>(height);
  image->Format = GL_RGB;
  image->Pixels.resize(static_cast<size_t>(rowBytes * height));
  for (int64_t r = 0; r < height; ++r) {
    const uint8_t* src = data.data() + r * stride;
    // Output row 0 is the bottom row, which a top-down bitmap stores last.
    const int64_t outRow = topDown ? height - 1 - r : r;
    uint8_t* dst = image->Pixels.data() + outRow * rowBytes;
    for (int64_t x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return true;
}

// ---- JPEG ----

bool ReadJPGFrom(InFile& in, const std::string& fileName, TImage* image) {
  TPixels row;
  if (!DecodeJpeg(in, image, row)) {
    messages::Show(kBmpCaption, "Couldn't decode JPG - " + Quoted(fileName));
    return false;
  }
  return true;
}

// ---- TGA ----

bool ReadTGAFrom(InFile& in, const std::string& fileName, TImage* image) {
  const std::string shortRead = "Couldn't read file " + Quoted(fileName) + ".";
  uint8_t raw[sizeof(TTgaHeader)];
  if (!in.Read(raw, sizeof raw)) {
    messages::Show(kTgaCaption, shortRead);
    return false;
  }
  TTgaHeader h;
  std::memcpy(&h, raw, sizeof h);

  if (h.ImageType != 2 && h.ImageType != 10) {
    messages::Show(kTgaCaption, "Couldn't load " + Quoted(fileName) + ". Only 24 and 32bit TGA supported.");
    return false;
  }
  if (h.ColorMapType != 0) {
    messages::Show(kTgaCaption, "Couldn't load " + Quoted(fileName) + ". Colormapped TGA files not supported.");
    return false;
  }
  // Any other depth would be split into pixels of the wrong size.
  if (h.PixelDepth != 24 && h.PixelDepth != 32) {
    messages::Show(kTgaCaption, "Couldn't load " + Quoted(fileName) + ". Only 24 and 32 bit TGA files supported.");
    return false;
  }
  if (!SideOk(h.Width) || !SideOk(h.Height)) {
    messages::Show(kTgaCaption, "Couldn't load " + Quoted(fileName) + ". Bad image size.");
    return false;
  }

  const int64_t bpp = h.PixelDepth / 8;
  const int64_t pixelCount = int64_t{h.Width} * h.Height;
  const int64_t outBytes = pixelCount * bpp;
  // The image ID sits between the header and the pixels.
  const int64_t dataOffset = static_cast<int64_t>(sizeof raw) + h.IdLength;
  const int64_t available = in.size - dataOffset;
  if (available <= 0 || !in.Seek(dataOffset)) {
    messages::Show(kTgaCaption, shortRead);
    return false;
  }

  TPixels out;
  if (h.ImageType == 2) {
    if (outBytes > available) {
      messages::Show(kTgaCaption, shortRead);
      return false;
    }
    out.resize(static_cast<size_t>(outBytes));
    if (!in.Read(out.data(), out.size())) {
      messages::Show(kTgaCaption, shortRead);
      return false;
    }
    for (size_t i = 0; i < out.size(); i += static_cast<size_t>(bpp)) std::swap(out[i], out[i + 2]);
  } else {
    // A packet of 1 + bpp bytes yields at most 128 pixels; an input too
    // short to cover the image even so is refused before allocating. More
    // than one packet per pixel is never needed, so no more is read.
    const int64_t packets = (available + bpp) / (1 + bpp);
    if (pixelCount > packets * 128) {
      messages::Show(kTgaCaption, shortRead);
      return false;
    }
    const int64_t inBytes = std::min(available, pixelCount * (1 + bpp));
    TPixels input(static_cast<size_t>(inBytes));
    if (!in.Read(input.data(), input.size())) {
      messages::Show(kTgaCaption, shortRead);
      return false;
    }
    out.resize(static_cast<size_t>(outBytes));
    const size_t px = static_cast<size_t>(bpp);
    const size_t total = static_cast<size_t>(pixelCount);
    size_t done = 0, pos = 0;
    // Stops at width x height pixels (a last packet running past is cut)
    // and at the end of the input (a short read).
    while (done < total) {
      if (pos >= input.size()) break;
      const uint8_t header = input[pos++];
      const size_t count = static_cast<size_t>(header & 0x7F) + 1;
      const size_t n = std::min(count, total - done);
      if (header & 0x80) {
        if (input.size() - pos < px) break;
        const uint8_t* p = input.data() + pos;
        for (size_t k = 0; k < n; ++k) {
          uint8_t* d = out.data() + (done + k) * px;
          d[0] = p[2];
          d[1] = p[1];
          d[2] = p[0];
          if (px == 4) d[3] = p[3];
        }
        pos += px;
      } else {
        if (input.size() - pos < n * px) break;
        for (size_t k = 0; k < n; ++k) {
          const uint8_t* p = input.data() + pos + k * px;
          uint8_t* d = out.data() + (done + k) * px;
          d[0] = p[2];
          d[1] = p[1];
          d[2] = p[0];
          if (px == 4) d[3] = p[3];
        }
        pos += std::min(count * px, input.size() - pos);
      }
      done += n;
    }
    if (done < total) {
      messages::Show(kTgaCaption, shortRead);
      return false;
    }
  }

  // Both origin bits are honoured: rows stored right to left are turned
  // round as rows stored top-down are, so every origin comes out upright.
  if (h.Descriptor & kTgaRightOrigin) MirrorRows(out, static_cast<size_t>(bpp), h.Width);
  if (h.Descriptor & kTgaTopOrigin) FlipRows(out, static_cast<size_t>(h.Width) * static_cast<size_t>(bpp), h.Height);
  image->Width = h.Width;
  image->Height = h.Height;
  image->Format = bpp == 3 ? GL_RGB : GL_RGBA;
  image->Pixels = std::move(out);
  return true;
}

}  // namespace

bool ReadBMP(const std::string& fileName, TImage* image) {
  InFile in;
  if (!in.Open(fileName)) {
    messages::Show(kBmpCaption, "Error opening " + fileName);
    return false;
  }
  return ReadBMPFrom(in, fileName, image);
}

bool ReadJPG(const std::string& fileName, TImage* image) {
  InFile in;
  if (!in.Open(fileName)) {
    messages::Show(kBmpCaption, "Couldn't load JPG - " + Quoted(fileName));
    return false;
  }
  return ReadJPGFrom(in, fileName, image);
}

bool ReadTGA(const std::string& fileName, TImage* image) {
  InFile in;
  if (!in.Open(fileName)) {
    messages::Show(kTgaMissingCaption, "File not found  - " + fileName);
    return false;
  }
  return ReadTGAFrom(in, fileName, image);
}

bool ReadBMPBytes(const uint8_t* data, size_t size, const std::string& name, TImage* image) {
  InFile in;
  in.OpenBytes(data, size);
  return ReadBMPFrom(in, name, image);
}

bool ReadJPGBytes(const uint8_t* data, size_t size, const std::string& name, TImage* image) {
  InFile in;
  in.OpenBytes(data, size);
  return ReadJPGFrom(in, name, image);
}

bool ReadTGABytes(const uint8_t* data, size_t size, const std::string& name, TImage* image) {
  InFile in;
  in.OpenBytes(data, size);
  return ReadTGAFrom(in, name, image);
}

void UseDecoderRgba(bool on) { useDecoderRgba = on; }

// ---- upload and dispatch ----

namespace {

// The power of two a side is stored at: the nearest one, a side of three
// times a power of two going up (6 -> 8, 5 -> 4, 640 -> 512, 800 -> 1024).
int32_t StoredSide(int32_t side) {
  int32_t p = 1;
  for (uint32_t v = static_cast<uint32_t>(side); v > 1; v >>= 1, p *= 2)
    if (v == 3) return p * 4;
  return p;
}

// The source pixels that make up one stored pixel along a side, and their
// weights: a box one stored pixel wide (at least one source pixel), cut at
// the image's edges rather than wrapped around to the other side.
struct TTaps {
  int32_t First = 0;
  std::vector<float> Weights;
};

std::vector<TTaps> Taps(int32_t from, int32_t to) {
  std::vector<TTaps> taps(static_cast<size_t>(to));
  const double step = static_cast<double>(from) / to, reach = std::max(0.5, step / 2);
  for (int32_t i = 0; i < to; ++i) {
    const double centre = (i + 0.5) * step;
    const double lo = std::max(0.0, centre - reach), hi = std::min<double>(from, centre + reach);
    TTaps& t = taps[static_cast<size_t>(i)];
    t.First = std::min(from - 1, static_cast<int32_t>(lo));
    double sum = 0;
    for (int32_t k = t.First; k < from && k < hi; ++k) {
      const double w = std::min<double>(hi, k + 1) - std::max<double>(lo, k);
      t.Weights.push_back(static_cast<float>(w));
      sum += w;
    }
    for (float& w : t.Weights) w = static_cast<float>(w / sum);
  }
  return taps;
}

// Rescales tightly packed 8-bit pixels of `comps` channels, one stored row
// at a time so that even the largest image needs only a row of floats.
TPixels Rescale(const uint8_t* src, int32_t w, int32_t h, int comps, int32_t toW, int32_t toH) {
  const std::vector<TTaps> across = Taps(w, toW), down = Taps(h, toH);
  const size_t srcRow = static_cast<size_t>(w) * comps, dstRow = static_cast<size_t>(toW) * comps;
  TPixels out(dstRow * static_cast<size_t>(toH));
  std::vector<float> row(srcRow);
  for (int32_t y = 0; y < toH; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    const TTaps& ty = down[static_cast<size_t>(y)];
    for (size_t k = 0; k < ty.Weights.size(); ++k) {
      const uint8_t* s = src + static_cast<size_t>(ty.First + static_cast<int32_t>(k)) * srcRow;
      for (size_t i = 0; i < srcRow; ++i) row[i] += ty.Weights[k] * s[i];
    }
    uint8_t* d = out.data() + static_cast<size_t>(y) * dstRow;
    for (int32_t x = 0; x < toW; ++x) {
      const TTaps& tx = across[static_cast<size_t>(x)];
      for (int c = 0; c < comps; ++c) {
        float v = 0;
        for (size_t k = 0; k < tx.Weights.size(); ++k)
          v += tx.Weights[k] * row[static_cast<size_t>(tx.First + static_cast<int32_t>(k)) * comps + c];
        d[static_cast<size_t>(x) * comps + c] = static_cast<uint8_t>(std::clamp(std::lrint(v), 0L, 255L));
      }
    }
  }
  return out;
}

}  // namespace

uint32_t UploadTexture(int32_t width, int32_t height, uint32_t format, uint8_t typ, const uint8_t* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  // Magnification and minification filter of modes 0..3; the other modes
  // set magnification only and keep OpenGL's minification default.
  static constexpr GLint filters[4][2] = {{GL_NEAREST, GL_NEAREST},
                                          {GL_LINEAR, GL_LINEAR},
                                          {GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
                                          {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR}};
  if (typ < 4) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filters[typ][0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filters[typ][1]);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  // Rows are tightly packed; with the default 4-byte alignment GL would read
  // past the end of an RGB image whose row is not a multiple of 4 bytes.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // The image is scaled to power-of-two sides here rather than inside
  // gluBuild2DMipmaps, whose own rescale of a width that is no power of two
  // loses the top row.
  int32_t w = StoredSide(width), h = StoredSide(height);
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  while (maxSide > 0 && (w > maxSide || h > maxSide)) {
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  TPixels scaled;
  if (w != width || h != height) {
    scaled = Rescale(pixels, width, height, format == GL_RGBA ? 4 : 3, w, h);
    pixels = scaled.data();
  }
  gluBuild2DMipmaps(GL_TEXTURE_2D, format == GL_RGBA ? GL_RGBA : 3, w, h, format, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return name;
}

void MakeTexture(int32_t index, const TImage& image) {
  if (index < 0 || index >= texMan::TexCount()) return;
  texMan::TTextureEntry& e = texMan::TextureTable[static_cast<size_t>(index)];
  e.GLName = UploadTexture(image.Width, image.Height, image.Format, e.Typ, image.Pixels.data());
  e.Width = image.Width;
  e.Height = image.Height;
}

namespace {

bool LoadWith(TReader read, const std::string& fileName, int32_t index) {
  if (index < 0 || index >= texMan::TexCount()) return false;
  TImage image;
  if (!read(fileName, &image)) return false;
  MakeTexture(index, image);
  return true;
}

}  // namespace

bool LoadBMP(const std::string& fileName, int32_t index) { return LoadWith(ReadBMP, fileName, index); }
bool LoadJPG(const std::string& fileName, int32_t index) { return LoadWith(ReadJPG, fileName, index); }
bool LoadTGA(const std::string& fileName, int32_t index) { return LoadWith(ReadTGA, fileName, index); }

TReader ReaderFor(const std::string& fileName) {
  if (fileName.size() < 4) return nullptr;
  std::string ext = fileName.substr(fileName.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == ".BMP") return ReadBMP;
  if (ext == ".JPG") return ReadJPG;
  if (ext == ".TGA") return ReadTGA;
  return nullptr;
}

void LoadTextureFile(const std::string& fileName, int32_t index) {
  if (TReader read = ReaderFor(fileName)) LoadWith(read, fileName, index);
}

}  // namespace Texturez
