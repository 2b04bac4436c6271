// Images whose sides are no power of two: level 0 is stored at the nearest
// power of two and every pixel of it comes from the picture, no row lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "glTest.h"
#include "resources/Texturez.h"

namespace {

// Four flat quadrants, none black; row 0 is the bottom row.
RGBA QuadrantColour(int x, int y, int w, int h, bool alpha) {
  static constexpr RGBA kColours[4] = {{200, 40, 40, 90}, {40, 200, 40, 160}, {40, 40, 200, 220}, {230, 230, 230, 255}};
  RGBA c = kColours[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
  if (!alpha) c.a = 255;
  return c;
}

// Which source half a stored pixel draws from along one side: 0 or 1 when
// its whole filter window lies in that half, -1 where the halves blend.
int Half(int i, int side, int stored) {
  const double conv = double(side) / stored, centre = (i + 0.5) * conv, reach = std::max(0.5, conv / 2);
  const double border = side / 2;
  if (centre + reach <= border + 1e-6) return 0;
  if (centre - reach >= border - 1e-6) return 1;
  return -1;
}

using TextureRescale = GLTest;

TEST_F(TextureRescale, EveryRowAndColumnOfLevelZeroComesFromThePicture) {
  const struct {
    int w, h, storedW, storedH;
  } cases[] = {{6, 4, 8, 4}, {5, 4, 4, 4}, {4, 6, 4, 8}, {7, 3, 8, 4}, {3, 12, 4, 16}, {640, 480, 512, 512},
               {800, 600, 1024, 512}, {1, 1, 1, 1}};
  for (const auto& c : cases)
    for (bool alpha : {false, true})
      for (uint8_t typ : {0, 3}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << (alpha ? " RGBA" : " RGB") << " mode " << int(typ));
        std::vector<uint8_t> pixels;
        for (int y = 0; y < c.h; ++y)
          for (int x = 0; x < c.w; ++x) {
            const RGBA q = QuadrantColour(x, y, c.w, c.h, alpha);
            pixels.insert(pixels.end(), {q.r, q.g, q.b});
            if (alpha) pixels.push_back(q.a);
          }
        GLuint name = Texturez::UploadTexture(c.w, c.h, alpha ? GL_RGBA : GL_RGB, typ, pixels.data());
        const TexLevel level = ReadTexLevel0(name);
        const int w = level.w, h = level.h;
        ASSERT_EQ(std::pair(w, h), std::pair(c.storedW, c.storedH));
        int wrong = 0;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const RGBA got = level.px[size_t(y) * w + x];
            const int hx = c.w == 1 ? 0 : Half(x, c.w, w), hy = c.h == 1 ? 0 : Half(y, c.h, h);
            // Blends of the quadrants are never black; pure pixels keep their quadrant's colour.
            bool ok = got.r + got.g + got.b >= 3 * 40 - 6;
            if (hx >= 0 && hy >= 0)
              ok = ok && Near(got, QuadrantColour(hx * (c.w - 1), hy * (c.h - 1), c.w, c.h, alpha), 2);
            if (!ok && ++wrong <= 3) ADD_FAILURE() << "stored pixel " << x << "," << y << " of " << w << "x" << h << ": " << got;
          }
        EXPECT_EQ(wrong, 0);
        glDeleteTextures(1, &name);
      }
}

}  // namespace
