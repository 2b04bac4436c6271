// Images whose sides are no power of two: level 0 is stored at the nearest power of two and every pixel
// of it comes from the picture, no row lost.
#include <gtest/gtest.h>

#include <algorithm>

#include "glTest.h"
#include "resources/Texturez.h"

namespace {

// Four flat quadrants, none black; row 0 is the bottom row.
RGBA QuadrantColour(int x, int y, int w, int h, bool alpha) {
  static constexpr RGBA kColours[4] = {{200, 40, 40, 90}, {40, 200, 40, 160}, {40, 40, 200, 220}, {230, 230, 230, 255}};
  const RGBA c = kColours[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
  return {c.r, c.g, c.b, alpha ? c.a : uint8_t{255}};
}

// Which source half a stored pixel draws from along one side: 0 or 1 when its whole filter window lies
// in that half, -1 where the halves blend.
int Half(int i, int side, int stored) {
  const double conv = double(side) / stored, centre = (i + 0.5) * conv, reach = std::max(0.5, conv / 2), border = side / 2;
  return centre + reach <= border + 1e-6 ? 0 : centre - reach >= border - 1e-6 ? 1 : -1;
}

using TextureRescale = GLTest;

TEST_F(TextureRescale, EveryRowAndColumnOfLevelZeroComesFromThePicture) {
  const struct { int w, h, storedW, storedH; } cases[] = {{6, 4, 8, 4}, {5, 4, 4, 4}, {7, 3, 8, 4}, {3, 12, 4, 16}, {640, 480, 512, 512}, {1, 1, 1, 1}};
  for (const auto& c : cases)
    for (bool alpha : {false, true})
      for (uint8_t typ : {0, 3}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << (alpha ? " RGBA" : " RGB") << " mode " << int(typ));
        std::vector<uint8_t> pixels;
        for (int i = 0; i < c.w * c.h; ++i) {
          const RGBA q = QuadrantColour(i % c.w, i / c.w, c.w, c.h, alpha);
          pixels.insert(pixels.end(), {q.r, q.g, q.b, q.a}), pixels.resize(pixels.size() - !alpha);
        }
        GLuint name = Texturez::UploadTexture(c.w, c.h, alpha ? GL_RGBA : GL_RGB, typ, pixels.data());
        const TexLevel level = ReadTexLevel0(name);
        const int w = level.w, h = level.h;
        glDeleteTextures(1, &name);
        ASSERT_EQ(std::pair(w, h), std::pair(c.storedW, c.storedH));
        int wrong = 0;
        for (int i = 0; i < w * h; ++i) {
          const RGBA got = level.px[size_t(i)];
          const int hx = c.w == 1 ? 0 : Half(i % w, c.w, w), hy = c.h == 1 ? 0 : Half(i / w, c.h, h);
          // Blends of the quadrants are never black; pure pixels keep their quadrant's colour.
          const bool ok = got.r + got.g + got.b >= 3 * 40 - 6 &&
                          (hx < 0 || hy < 0 || Near(got, QuadrantColour(hx * (c.w - 1), hy * (c.h - 1), c.w, c.h, alpha), 2));
          if (!ok && ++wrong <= 3) ADD_FAILURE() << "stored pixel " << i % w << "," << i / w << " of " << w << "x" << h << ": " << got;
        }
        EXPECT_EQ(wrong, 0);
      }
}

}  // namespace
