// tests/data/effects_a.json built with `qvl build` and captured with
// `qvlplay --capture`: particles, wobble, distortion and render to texture
// each show where and when the demo puts them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

using testutil::Quote;

constexpr int kSide = 512;  // the capture size, and the side of blank textures there

class CaptureEffectsA : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new std::filesystem::path(testutil::TempDir("capture-effects-a"));
    const auto src = std::filesystem::path(QVL_SOURCE_DIR);
    // A 4 x 4 checkerboard of 8-texel blocks, red 40 and 230.
    testimg::Picture logo = testimg::Blank(32, 32);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        logo.at(x, y) = ((x / 8 + (31 - y) / 8) % 2) ? testimg::Pixel{230, 180, 60} : testimg::Pixel{40, 90, 60};
    testutil::WriteAll(*dir / "logo.bmp", testimg::MakeBMP(logo));
    auto r = testutil::Run(Quote(QVL_TOOL_PATH) + " build " + Quote((src / "tests/data/effects_a.json").string()) +
                           " -o " + Quote((*dir / "demo.qvl").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    r = testutil::Run(Quote(QVL_PLAYER_PATH) + " -C " + Quote(dir->string()) + " --capture " +
                      Quote((*dir / "frames").string()) + " --rate 2 --size 512x512");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*dir);
    delete dir;
  }
  // Red, green and blue at (x, y) from the bottom-left of the frame at `ms`.
  static std::array<int, 3> Pixel(int ms, int x, int y) {
    static std::map<int, testimg::Picture> frames;
    auto& frame = frames[ms];
    if (frame.w == 0) {
      char name[16];
      std::snprintf(name, sizeof name, "%06d.png", ms / 500);
      frame = testimg::ReadPng((*dir / "frames" / name).string().c_str());
      EXPECT_TRUE(frame.w == kSide && frame.h == kSide) << name;
      if (frame.w != kSide || frame.h != kSide) frame = testimg::Blank(kSide, kSide);
    }
    const testimg::Pixel& q = frame.at(x, kSide - 1 - y);
    return {q.r, q.g, q.b};
  }
  // The logo is a 4 x 4 checkerboard of 8-texel blocks, red 40 and 230;
  // over the whole window a block is 128 pixels.
  static int LogoRed(int bx, int by) { return (bx + by) % 2 ? 230 : 40; }
  static std::filesystem::path* dir;
};
std::filesystem::path* CaptureEffectsA::dir = nullptr;

TEST_F(CaptureEffectsA, ParticlesDriftOnlyWhileTheirEventRuns) {
  auto magenta = [](int ms) {
    int n = 0;
    for (int y = 0; y < kSide; y += 4)
      for (int x = 0; x < kSide; x += 4) {
        const auto p = Pixel(ms, x, y);
        n += p[0] > 150 && p[1] < 60 && p[2] > 150;
      }
    return n;
  };
  EXPECT_GT(magenta(0), 500);
  EXPECT_GT(magenta(1500), 500);
  EXPECT_EQ(magenta(2500), 0);
  int moved = 0;
  for (int y = 0; y < kSide; y += 8)
    for (int x = 0; x < kSide; x += 8) moved += Pixel(0, x, y) != Pixel(1000, x, y);
  EXPECT_GT(moved, 100);
}

// Wobble (2000..3999) and Show Image's overlay (4000..4999) map the logo
// once onto the window; Image Distortion (5000..5999) shades its 20 strips
// from 0.75 at the bottom; Render To Texture (6000..6999) draws the wobble
// into the blank texture, erases the blue fader and Show Image puts the
// texture on a quad 441 pixels wide in the middle.
TEST_F(CaptureEffectsA, FullWindowEffectsAndTheRenderedTexture) {
  for (int by = 0; by < 4; ++by)
    for (int bx = 0; bx < 4; ++bx) {
      const int x = 64 + 128 * bx, y = 64 + 128 * by, red = LogoRed(bx, by);
      EXPECT_NEAR(Pixel(3000, x, y)[0], red, 3) << bx << "," << by;
      EXPECT_EQ(Pixel(3000, x, y), Pixel(4500, x, y)) << bx << "," << by;
      const double d = 1 - std::floor(y / 25.6) / 20;
      EXPECT_NEAR(Pixel(5500, x, y)[0], red * (1 - d * d / 4), 3) << bx << "," << by;
      const double u = (x + 0.5) / kSide, v = (y + 0.5) / kSide;
      const int qx = static_cast<int>(256 + (u - 0.5) * 441.4), qy = static_cast<int>(256 + (v - 0.5) * 441.4);
      EXPECT_NEAR(Pixel(6500, qx, qy)[0], red, 6) << bx << "," << by;
    }
  for (auto [x, y] : {std::pair{5, 5}, {506, 506}, {256, 20}}) EXPECT_EQ(Pixel(6500, x, y), (std::array{0, 0, 0}));
}

}  // namespace
