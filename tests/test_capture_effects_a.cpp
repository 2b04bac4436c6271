// tests/data/effects_a.json built with `qvl build` and captured with `qvlplay --capture`: particles,
// wobble, distortion and render to texture each show where and when the demo puts them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

using testutil::Quote;

constexpr int kSide = 512;  // the capture size, and the side of blank textures there

class CaptureEffectsA : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = testutil::TempDir("capture-effects-a");
    testimg::Picture logo = testimg::Blank(32, 32);
    for (int i = 0; i < 32 * 32; ++i)
      logo.px[i] = LogoRed(i % 32 / 8, (31 - i / 32) / 8) == 230 ? testimg::Pixel{230, 180, 60} : testimg::Pixel{40, 90, 60};
    testutil::WriteAll(dir / "logo.bmp", testimg::MakeBMP(logo));
    auto r = testutil::Run(Quote(QVL_TOOL_PATH) + " build " + Quote(QVL_SOURCE_DIR "/tests/data/effects_a.json") + " -o " + Quote((dir / "demo.qvl").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    r = testutil::Run(Quote(QVL_PLAYER_PATH) + " -C " + Quote(dir.string()) + " --capture " + Quote((dir / "frames").string()) + " --rate 2 --size 512x512");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
  // Red, green and blue at (x, y) from the bottom-left of the frame at `ms`.
  static std::array<int, 3> Pixel(int ms, int x, int y) {
    static std::map<int, testimg::Picture> frames;
    auto& frame = frames[ms];
    if (frame.w == 0) {
      const std::string name = std::to_string(1000000 + ms / 500).substr(1) + ".png";
      frame = testimg::ReadPng((dir / "frames" / name).string().c_str());
      if (frame.w != kSide || frame.h != kSide) ADD_FAILURE() << name, frame = testimg::Blank(kSide, kSide);
    }
    const testimg::Pixel& q = frame.at(x, kSide - 1 - y);
    return {q.r, q.g, q.b};
  }
  // The logo is a 4 x 4 checkerboard of 8-texel blocks, red 40 and 230; over the window a block is 128 pixels.
  static int LogoRed(int bx, int by) { return (bx + by) % 2 ? 230 : 40; }
  static inline std::filesystem::path dir;
};

// Wobble (2000..3999) and Show Image's overlay (4000..4999) map the logo once onto the window; Image
// Distortion (5000..5999) shades its 20 strips from 0.75 at the bottom; Render To Texture (6000..6999)
// draws the wobble into the blank texture, erases the blue fader and Show Image puts the texture on a
// quad 441 pixels wide in the middle.
TEST_F(CaptureEffectsA, FullWindowEffectsAndTheRenderedTexture) {
  for (int by = 0; by < 4; ++by)
    for (int bx = 0; bx < 4; ++bx) {
      const int x = 64 + 128 * bx, y = 64 + 128 * by, red = LogoRed(bx, by);
      EXPECT_TRUE(std::abs(Pixel(3000, x, y)[0] - red) <= 3 && Pixel(3000, x, y) == Pixel(4500, x, y)) << bx << "," << by;
      const double d = 1 - std::floor(y / 25.6) / 20;
      EXPECT_NEAR(Pixel(5500, x, y)[0], red * (1 - d * d / 4), 3) << bx << "," << by;
      const double u = (x + 0.5) / kSide, v = (y + 0.5) / kSide;
      const int qx = static_cast<int>(256 + (u - 0.5) * 441.4), qy = static_cast<int>(256 + (v - 0.5) * 441.4);
      EXPECT_NEAR(Pixel(6500, qx, qy)[0], red, 6) << bx << "," << by;
    }
  for (auto [x, y] : {std::pair{5, 5}, {506, 506}, {256, 20}}) EXPECT_EQ(Pixel(6500, x, y), (std::array{0, 0, 0}));
}

}  // namespace
