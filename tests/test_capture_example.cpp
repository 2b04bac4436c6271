// The example demo, built with `qvl build` and captured with `qvlplay
// --capture`: each effect shows where and when its description puts it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

using testutil::Quote;

// Where a point at (x, y, z) in eye space lands in a w x h window under the
// player's 45-degree perspective; y counts from the top.
void Project(double x, double y, double z, int w, int h, int& px, int& py) {
  const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
  const double aspect = static_cast<double>(w) / h;
  px = static_cast<int>(std::lround((1.0 + f / aspect * x / -z) * w / 2.0));
  py = static_cast<int>(std::lround((1.0 - f * y / -z) * h / 2.0));
}

using testimg::Picture;
using testimg::Pixel;

bool Near(const Pixel& p, int r, int g, int b, int tolerance = 3) {
  return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

class CaptureExample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new std::filesystem::path(testutil::TempDir("capture-example"));
    const auto examples = std::filesystem::path(QVL_SOURCE_DIR) / "examples";
    for (const char* f : {"logo.bmp", "ring.tga"}) std::filesystem::copy_file(examples / f, *dir / f);
    auto r = testutil::Run(Quote(QVL_TOOL_PATH) + " build " + Quote((examples / "demo.json").string()) + " -o " +
                           Quote((*dir / "demo.qvl").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    r = testutil::Run(Quote(QVL_PLAYER_PATH) + " -C " + Quote(dir->string()) + " --capture " +
                      Quote((*dir / "frames").string()) + " --rate 2 --size 320x240");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*dir);
    delete dir;
  }
  // The frame at `ms` (the capture runs at 2 frames a second).
  Picture Frame(int ms) {
    char name[16];
    std::snprintf(name, sizeof name, "%06d.png", ms / 500);
    return testimg::ReadPng((*dir / "frames" / name).c_str());
  }
  static std::filesystem::path* dir;
};
std::filesystem::path* CaptureExample::dir = nullptr;

TEST_F(CaptureExample, EndDemoEndsTheCaptureOnItsFirstFrame) {
  // End Demo starts at 10000 ms: frames 0 .. 20, nothing after.
  EXPECT_TRUE(std::filesystem::exists(*dir / "frames" / "000020.png"));
  EXPECT_FALSE(std::filesystem::exists(*dir / "frames" / "000021.png"));
  const Picture first = Frame(0);
  EXPECT_EQ(std::make_pair(first.w, first.h), std::make_pair(320, 240));
}

TEST_F(CaptureExample, FaderColoursTheBackground) {
  // Fader 0 runs 0..10000 from (0.02, 0.02, 0.1) to (0.25, 0.05, 0.3).
  EXPECT_TRUE(Near(Frame(0).at(300, 10), 5, 5, 26));
  EXPECT_TRUE(Near(Frame(5000).at(300, 10), 35, 9, 51));
  // Fader 1 fades to black over the last second: half-way at 9500.
  const Pixel p = Frame(9500).at(300, 10);
  EXPECT_TRUE(Near(p, 31, 6, 37, 4)) << int(p.r) << "," << int(p.g) << "," << int(p.b);
}

TEST_F(CaptureExample, LinearMovesTheImageOnTheNextTrack) {
  // Linear 0..5000 from (-1.5, 0, -2) to (0, 0, 0); the image is drawn at
  // z -1.4 inside that translation. Its centre is textured, the point
  // mirrored on the other side of the window is background.
  for (int ms : {0, 2500}) {
    const double t = ms / 5000.0;
    int px, py;
    Project(-1.5 * (1 - t), 0, -2 * (1 - t) - 1.4, 320, 240, px, py);
    const Picture img = Frame(ms);
    const Pixel bg = img.at(300, 10);
    EXPECT_FALSE(Near(img.at(px, py), bg.r, bg.g, bg.b, 12)) << "at " << ms << " ms, pixel " << px << "," << py;
    EXPECT_TRUE(Near(img.at(319 - px, py), bg.r, bg.g, bg.b, 12)) << "at " << ms << " ms";
  }
}

}  // namespace
