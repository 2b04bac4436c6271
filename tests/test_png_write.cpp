// The PNG writer against libpng: the pictures it writes decode (with libpng)
// to exactly the pixels given and to what libpng's own writer, as capture
// used it (Sub filter, zlib level 1), gives for the same frames.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <random>

#include "platform/pngWrite.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

// The writer capture had before: bottom-up RGB rows in, a file out.
Bytes LibpngWrite(const Bytes& bottomUp, int w, int h) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (int y = h - 1; y >= 0; --y) png_write_row(png, const_cast<png_bytep>(&bottomUp[size_t(y) * w * 3]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Top row first, in the file's own channel count; empty when libpng refuses it.
Bytes Decode(const Bytes& file, int channels, int* w = nullptr, int* h = nullptr) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, file.data(), file.size())) return {};
  if (PNG_IMAGE_SAMPLE_CHANNELS(img.format) != unsigned(channels) || img.format & PNG_FORMAT_FLAG_COLORMAP) return {};
  img.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
  Bytes px(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return {};
  if (w) *w = int(img.width), *h = int(img.height);
  return px;
}

Bytes FlipRows(const Bytes& px, int w, int h, int channels) {
  Bytes out(px.size());
  const size_t row = size_t(w) * channels;
  for (int y = 0; y < h; ++y) std::copy_n(&px[size_t(h - 1 - y) * row], row, &out[size_t(y) * row]);
  return out;
}

// Frames like the renderer's: a flat background, a shaded disc, a checker,
// a band of noise, and hard one-pixel lines.
Bytes Scene(int w, int h, int channels, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes px(size_t(w) * h * channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * channels];
      const double dx = x - w * 0.6, dy = y - h * 0.4, r = std::hypot(dx, dy);
      uint8_t c[4] = {30, 12, 40, 255};
      if (r < h / 3.0) {
        const double shade = 1 - r / (h / 3.0);
        c[0] = uint8_t(std::lround(90 + 160 * shade)), c[1] = uint8_t(std::lround(40 + 80 * shade)), c[2] = 200;
      } else if (x < w / 3 && y > h / 4 && y < h * 3 / 4) {
        const bool odd = ((x / 16) + (y / 16)) % 2;
        c[0] = odd ? 230 : 30, c[1] = odd ? 160 : 110, c[2] = odd ? 30 : 220;
      } else if (y > h * 7 / 8) {
        for (auto& v : c) v = uint8_t(rng());
      } else if ((x + 2 * y) % 37 == 0) {
        c[0] = c[1] = c[2] = 255;
      }
      std::copy_n(c, channels, p);
    }
  return px;
}

TEST(PngWrite, FramesDecodeToTheirPixelsAndToWhatLibpngWrites) {
  // Odd sizes, one pixel, a row longer than the match window, and a frame
  // large enough for distances past 32 KiB.
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {7, 5}, {97, 61}, {12000, 3}, {800, 600}, {1920, 1080}};
  unsigned seed = 1;
  for (const auto& [w, h] : sizes) {
    const Bytes bottomUp = Scene(w, h, 3, seed++);
    Bytes file;
    ASSERT_TRUE(pngWrite::Encode({bottomUp.data(), w, h, 3, true}, file)) << w << "x" << h;
    int dw = 0, dh = 0;
    const Bytes ours = Decode(file, 3, &dw, &dh);
    EXPECT_TRUE(dw == w && dh == h) << w << "x" << h;
    EXPECT_TRUE(ours == FlipRows(bottomUp, w, h, 3)) << w << "x" << h;
    EXPECT_TRUE(ours == Decode(LibpngWrite(bottomUp, w, h), 3)) << w << "x" << h;
  }
}

TEST(PngWrite, RgbaKeepsAlphaAndExtremePicturesRoundTrip) {
  // Every byte value on every channel, all one colour (the longest matches),
  // and pure noise (no matches at all).
  const int w = 300, h = 200;
  Bytes ramp(size_t(w) * h * 4), flat(ramp.size(), 0xAB), noise(ramp.size());
  std::mt19937 rng(7);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = uint8_t(i * 7 + i / 1200), noise[i] = uint8_t(rng());
  for (const Bytes* px : {&ramp, &flat, &noise})
    for (const int channels : {3, 4}) {
      const int rows = int(px->size() / (size_t(w) * channels));
      Bytes file;
      ASSERT_TRUE(pngWrite::Encode({px->data(), w, rows, channels, false}, file));
      const Bytes decoded = Decode(file, channels);
      EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), px->begin()) && !decoded.empty()) << channels;
    }
}

TEST(PngWrite, RefusesWhatItCannotWriteAndNamesTheFile) {
  const uint8_t px[16] = {};
  Bytes file{1, 2};
  EXPECT_FALSE(pngWrite::Encode({px, 2, 2, 2, false}, file));
  EXPECT_FALSE(pngWrite::Encode({px, 0, 2, 3, false}, file));
  EXPECT_FALSE(pngWrite::Encode({px, 1 << 16, 1 << 15, 3, false}, file));
  EXPECT_TRUE(file.empty());
  std::string error;
  EXPECT_FALSE(pngWrite::Write("/nonexistent-dir/a.png", {px, 2, 2, 3, false}, &error));
  EXPECT_EQ(error, "cannot write /nonexistent-dir/a.png");
  EXPECT_FALSE(pngWrite::Write("b.png", {px, 2, 2, 5, false}, &error));
  EXPECT_EQ(error, "cannot encode b.png");
}

}  // namespace
