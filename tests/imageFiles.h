// Test helper: image files built in memory (BMP, TGA raw and run-length,
// JPEG through libjpeg) from a picture given top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace testimg {

struct Pixel {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Pixel&) const = default;
};

// Pixels top row first, as one looks at the picture.
struct Picture {
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
    for (int x = 0; x < w; ++x)
      p.at(x, y) = {static_cast<uint8_t>(10 + x * 17), static_cast<uint8_t>(20 + y * 29),
                    static_cast<uint8_t>(200 - x - y), static_cast<uint8_t>(255 - 7 * (x + y))};
  return p;
}

// Four flat quadrants (top-left red, top-right green, bottom-left blue,
// bottom-right white): survives lossy compression.
inline Picture Quadrants(int w, int h) {
  Picture p = Blank(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.at(x, y) = y < h / 2 ? (x < w / 2 ? Pixel{255, 0, 0} : Pixel{0, 255, 0})
                             : (x < w / 2 ? Pixel{0, 0, 255} : Pixel{255, 255, 255});
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
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct BmpOptions {
  bool topDown = false;
  uint32_t infoSize = 40;   // 124 for the version-5 header
  uint32_t gap = 0;         // bytes between the headers and the rows
  bool zeroOffset = false;  // pixel-data offset left 0
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t clrUsed = 0;
};

// 24-bit BGR rows padded to 4 bytes, bottom row first unless topDown.
inline Bytes MakeBMP(const Picture& p, const BmpOptions& o = {}) {
  const size_t pad = (4 - static_cast<size_t>(p.w) * 3 % 4) % 4;
  Bytes rows;
  for (int i = 0; i < p.h; ++i) {
    for (int x = 0; x < p.w; ++x) {
      const Pixel& c = p.at(x, o.topDown ? i : p.h - 1 - i);
      rows.insert(rows.end(), {c.b, c.g, c.r});
    }
    rows.resize(rows.size() + pad, 0);
  }
  const uint32_t offset = 14 + o.infoSize + o.gap;
  Bytes b{'B', 'M'};
  for (uint32_t v : {static_cast<uint32_t>(offset + rows.size()), 0u, o.zeroOffset ? 0 : offset, o.infoSize,
                     static_cast<uint32_t>(p.w), static_cast<uint32_t>(o.topDown ? -p.h : p.h)})
    Put32(b, v);
  Put16(b, 1);
  Put16(b, o.bitCount);
  for (uint32_t v : {o.compression, 0u, 2835u, 2835u, o.clrUsed, 0u}) Put32(b, v);
  b.resize(offset, 0);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

struct TgaOptions {
  int bits = 24;  // 24 or 32
  bool rle = false;
  bool topOrigin = false;
  uint8_t idLength = 0;
  uint8_t imageType = 0;  // 0: 2 or 10 from rle
  uint8_t colorMapType = 0;
};

inline Bytes TgaHeader(int w, int h, const TgaOptions& o) {
  Bytes b{o.idLength, o.colorMapType, static_cast<uint8_t>(o.imageType ? o.imageType : (o.rle ? 10 : 2))};
  b.resize(12, 0);  // colour-map fields and origin
  Put16(b, static_cast<uint32_t>(w));
  Put16(b, static_cast<uint32_t>(h));
  b.push_back(static_cast<uint8_t>(o.bits));
  b.push_back(static_cast<uint8_t>((o.bits == 32 ? 8 : 0) | (o.topOrigin ? 0x20 : 0)));
  for (int i = 0; i < o.idLength; ++i) b.push_back(static_cast<uint8_t>(0xA0 + i));
  return b;
}

// Rows bottom first unless topOrigin; RLE packs runs of equal pixels (up to
// 128) into run packets and the rest into raw packets.
inline Bytes MakeTGA(const Picture& p, const TgaOptions& o = {}) {
  Bytes b = TgaHeader(p.w, p.h, o);
  auto put = [&](const Pixel& c) {
    b.insert(b.end(), {c.b, c.g, c.r});
    if (o.bits == 32) b.push_back(c.a);
  };
  std::vector<Pixel> seq;
  for (int i = 0; i < p.h; ++i)
    for (int x = 0; x < p.w; ++x) seq.push_back(p.at(x, o.topOrigin ? i : p.h - 1 - i));
  for (size_t i = 0; i < seq.size();) {
    size_t run = 1;
    while (o.rle && i + run < seq.size() && run < 128 && seq[i + run] == seq[i]) ++run;
    if (!o.rle) {
      put(seq[i++]);
    } else if (run > 1) {
      b.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      put(seq[i]);
      i += run;
    } else {
      size_t raw = 1;
      while (i + raw < seq.size() && raw < 128 && !(i + raw + 1 < seq.size() && seq[i + raw] == seq[i + raw + 1])) ++raw;
      b.push_back(static_cast<uint8_t>(raw - 1));
      for (size_t k = 0; k < raw; ++k) put(seq[i + k]);
      i += raw;
    }
  }
  return b;
}

// Baseline JPEG at the given quality; grey keeps only the red channel.
inline Bytes MakeJPEG(const Picture& p, int quality = 100, bool grey = false) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(p.w);
  c.image_height = static_cast<JDIMENSION>(p.h);
  c.input_components = grey ? 1 : 3;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  // No chroma subsampling: flat colour areas keep their exact edges.
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row;
  for (int y = 0; y < p.h; ++y) {
    row.clear();
    for (int x = 0; x < p.w; ++x) {
      const Pixel& px = p.at(x, y);
      if (grey)
        row.push_back(px.r);
      else
        row.insert(row.end(), {px.r, px.g, px.b});
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

}  // namespace testimg
