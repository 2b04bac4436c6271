// Image files built in memory (BMP, TGA raw and run-length, JPEG) from a picture given top row first.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace testimg {

struct Pixel {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Pixel&) const = default;
};

struct Picture {  // top row first
  int w = 0, h = 0;
  std::vector<Pixel> px;
  Pixel& at(int x, int y) { return px[static_cast<size_t>(y * w + x)]; }
  const Pixel& at(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
};

inline Picture Blank(int w, int h) { return {w, h, std::vector<Pixel>(static_cast<size_t>(w * h))}; }

// Every pixel different: red from x, green from y, blue and alpha mixed.
inline Picture Gradient(int w, int h) {
  Picture p = Blank(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = {uint8_t(10 + x * 17), uint8_t(20 + y * 29), uint8_t(200 - x - y), uint8_t(255 - 7 * (x + y))};
  return p;
}

// Four flat quadrants (red, green / blue, white): survives lossy compression.
inline Picture Quadrants(int w, int h) {
  Picture p = Blank(w, h);
  const Pixel q[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = q[(y >= h / 2) * 2 + (x >= w / 2)];
  return p;
}

using Bytes = std::vector<uint8_t>;

// A PNG file read top row first; w = 0 when it cannot be read.
inline Picture ReadPng(const char* path) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path)) return {};
  img.format = PNG_FORMAT_RGBA;
  Picture p = Blank(static_cast<int>(img.width), static_cast<int>(img.height));
  if (!png_image_finish_read(&img, nullptr, p.px.data(), 0, nullptr)) return {};
  return p;
}

inline void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
inline void Put32(Bytes& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }
inline void Set32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct BmpOptions {
  bool topDown = false;
  uint32_t infoSize = 40, gap = 0;  // gap: bytes between the headers and the rows
  bool zeroOffset = false;          // pixel-data offset left 0
  uint16_t bitCount = 24;
  uint32_t compression = 0, clrUsed = 0;
};

// 24-bit BGR rows padded to 4 bytes, bottom row first unless topDown.
inline Bytes MakeBMP(const Picture& p, const BmpOptions& o = {}) {
  const size_t pad = (4 - static_cast<size_t>(p.w) * 3 % 4) % 4;  // rows padded to 4 bytes
  Bytes rows;
  for (int i = 0; i < p.h; ++i, rows.resize(rows.size() + pad, 0))
    for (int x = 0; x < p.w; ++x) {
      const Pixel& c = p.at(x, o.topDown ? i : p.h - 1 - i);
      rows.insert(rows.end(), {c.b, c.g, c.r});
    }
  const uint32_t offset = 14 + o.infoSize + o.gap;
  Bytes b{'B', 'M'};
  for (uint32_t v : {static_cast<uint32_t>(offset + rows.size()), 0u, o.zeroOffset ? 0 : offset, o.infoSize,
                     static_cast<uint32_t>(p.w), static_cast<uint32_t>(o.topDown ? -p.h : p.h)})
    Put32(b, v);
  Put16(b, 1), Put16(b, o.bitCount);
  for (uint32_t v : {o.compression, 0u, 2835u, 2835u, o.clrUsed, 0u}) Put32(b, v);
  b.resize(offset, 0);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

struct TgaOptions {
  int bits = 24;
  bool rle = false, topOrigin = false, rightOrigin = false;
  uint8_t idLength = 0, imageType = 0 /* 0: 2 or 10 from rle */, colorMapType = 0;
};

inline Bytes TgaHeader(int w, int h, const TgaOptions& o, std::initializer_list<uint8_t> tail = {}) {
  Bytes b{o.idLength, o.colorMapType, static_cast<uint8_t>(o.imageType ? o.imageType : (o.rle ? 10 : 2))};
  b.resize(12, 0);  // colour-map fields and origin
  Put16(b, static_cast<uint32_t>(w)), Put16(b, static_cast<uint32_t>(h));
  b.insert(b.end(), {static_cast<uint8_t>(o.bits), static_cast<uint8_t>((o.bits == 32 ? 8 : 0) | (o.topOrigin ? 0x20 : 0) | (o.rightOrigin ? 0x10 : 0))});
  for (int i = 0; i < o.idLength; ++i) b.push_back(static_cast<uint8_t>(0xA0 + i));
  return b.insert(b.end(), tail), b;
}

// Rows bottom first unless topOrigin, pixels left to right unless rightOrigin; RLE packs runs of equal pixels (up to 128) into run packets and
// the rest into raw packets.
inline Bytes MakeTGA(const Picture& p, const TgaOptions& o = {}) {
  Bytes b = TgaHeader(p.w, p.h, o);
  std::vector<Pixel> seq;
  for (int i = 0; i < p.w * p.h; ++i) seq.push_back(p.at(o.rightOrigin ? p.w - 1 - i % p.w : i % p.w, o.topOrigin ? i / p.w : p.h - 1 - i / p.w));
  for (size_t i = 0, n = 1; i < seq.size(); i += n, n = 1) {
    const bool run = o.rle && i + 1 < seq.size() && seq[i + 1] == seq[i];
    while (o.rle && i + n < seq.size() && n < 128 && (seq[i + n] == seq[i]) == run) ++n;
    if (o.rle) b.push_back(static_cast<uint8_t>((run ? 0x80 : 0) | (n - 1)));
    for (size_t k = 0; k < (run ? 1 : n); ++k)
      b.insert(b.end(), {seq[i + k].b, seq[i + k].g, seq[i + k].r, seq[i + k].a}), b.resize(b.size() - (o.bits != 32));
  }
  return b;
}

// Baseline JPEG at the given quality; grey keeps only the red channel.
inline Bytes MakeJPEG(const Picture& p, int quality = 100, bool grey = false) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err), jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(p.w), c.image_height = static_cast<JDIMENSION>(p.h);
  c.input_components = grey ? 1 : 3, c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c), jpeg_set_quality(&c, quality, TRUE);
  // No chroma subsampling: flat colour areas keep their exact edges.
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row;
  for (int y = 0; y < p.h; ++y) {
    row.clear();
    for (int x = 0; x < p.w; ++x) row.insert(row.end(), {p.at(x, y).r, p.at(x, y).g, p.at(x, y).b});
    for (size_t i = 0; grey && i < row.size() / 3; ++i) row[i] = row[3 * i];
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c), std::free(mem);
  return out;
}

}  // namespace testimg
