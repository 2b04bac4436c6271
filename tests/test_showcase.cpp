// The showcase demo, built with `qvl build`, timed with `--timedemo` and
// captured with `--capture` at 2 frames a second: every effect shows where
// and when its description puts it, and End Demo ends the capture.
#include <gtest/gtest.h>

#include <cstdio>

#include "imageFiles.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;
using testimg::Picture;
using testimg::Pixel;
using testutil::Quote;

constexpr int W = 640, H = 480;

class Showcase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new fs::path(testutil::TempDir("showcase"));
    const fs::path examples = fs::path(QVL_SOURCE_DIR) / "examples";
    for (const auto& e : fs::directory_iterator(examples))
      if (e.path().extension() != ".json" && e.path().extension() != ".s") fs::copy_file(e.path(), *dir / e.path().filename());
    auto r = testutil::Run(Quote(QVL_TOOL_PATH) + " build " + Quote((examples / "demo.json").string()) + " -o " +
                           Quote((*dir / "demo.qvl").string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string play = Quote(QVL_PLAYER_PATH) + " -C " + Quote(dir->string()) + " --rate 2 --size 640x480 ";
    timedemo = new testutil::RunResult(testutil::Run(play + "--timedemo"));
    r = testutil::Run(play + "--capture " + Quote((*dir / "frames").string()));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir);
    delete dir;
    delete timedemo;
  }
  static Picture Frame(int ms) {
    char name[16];
    std::snprintf(name, sizeof name, "%06d.png", ms / 500);
    return testimg::ReadPng((*dir / "frames" / name).string().c_str());
  }
  static fs::path* dir;
  static testutil::RunResult* timedemo;
};
fs::path* Showcase::dir = nullptr;
testutil::RunResult* Showcase::timedemo = nullptr;

using Check = bool (*)(const Pixel&);
const Check amber = [](const Pixel& p) { return p.r > 150 && p.b < 100; };
const Check blue = [](const Pixel& p) { return p.b > 150 && p.r < 100; };
const Check checker = [](const Pixel& p) { return amber(p) || blue(p); };
const Check green = [](const Pixel& p) { return p.g > p.b && p.g > p.r + 40; };
const Check spark = [](const Pixel& p) { return p.r > 200 && p.g > 180; };
const Check grey = [](const Pixel& p) { return std::abs(p.r - p.g) < 20 && std::abs(p.g - p.b) < 20 && p.r > 90; };
const Check black = [](const Pixel& p) { return p.r + p.g + p.b < 30; };
const Check purple = [](const Pixel& p) { return p.b > p.r && p.b > p.g + 30; };
const Check white = [](const Pixel& p) { return p.r > 200 && p.g > 200 && p.b > 200; };
const Check lit = [](const Pixel& p) { return p.r + p.g + p.b > 150; };

// The share of pixels in [x0, x1) x [y0, y1) (y from the top) that pass.
double Share(const Picture& pic, const Check& test, int x0 = 0, int y0 = 0, int x1 = W, int y1 = H) {
  int pass = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) ++all, pass += test(pic.at(x, y));
  return all ? static_cast<double>(pass) / all : 0.0;
}

TEST_F(Showcase, TimedemoAndCaptureEndOnEndDemoThenFirstSceneTunnelSparksAndLines) {
  // End Demo at 60000 ms: frames 0 .. 120 at 2 a second, then nothing.
  EXPECT_TRUE(timedemo->status == 0 && timedemo->out.find("121 frames") != std::string::npos) << timedemo->out;
  EXPECT_TRUE(fs::exists(*dir / "frames" / "000120.png") && !fs::exists(*dir / "frames" / "000121.png"));
  EXPECT_GT(Share(Frame(0), black), 0.99);  // from black
  const Picture before = Frame(6000), after = Frame(10000);
  EXPECT_GT(Share(before, purple), 0.8);  // the tunnel of clouds fills the window
  EXPECT_GT(Share(before, spark), 0.001);
  EXPECT_LT(Share(before, green), 0.001);  // the lines come with the kick at 8 s
  EXPECT_GT(Share(after, green), 0.004);
}

TEST_F(Showcase, ScriptShapesWhereTheirScriptsPutThem) {
  const Picture p = Frame(24000);
  EXPECT_GT(Share(p, checker, 60, 160, 190, 290), 0.9);                 // the box
  EXPECT_GT(Share(p, black, 100, 310, 200, 325), 0.8);                  // its shadow, down and right
  EXPECT_GT(Share(p, lit, 420, 150, 560, 300), 0.8);                    // the lit sphere
  EXPECT_GT(Share(p, lit, 290, 60, 350, 110), 0.5);                     // ring, disc and cone
  EXPECT_GT(Share(p, lit, 100, 425, 540, H), 0.02);                     // the rays below the quad
  EXPECT_GT(Share(p, [](const Pixel& q) { return q.r > 100 && q.b < 90; }, 300, 380, 340, 405), 0.9);  // the quad
  EXPECT_LT(Share(Frame(16000), lit, 290, 60, 350, 110), 0.05);  // before the ring's script starts
}

TEST_F(Showcase, MeshAndImagesOnTheirPaths) {
  // Linear halfway: the torus at (-1.5, 0, -6.5) left of the middle.
  const Picture p = Frame(36000);
  EXPECT_TRUE(Share(p, grey, 130, 180, 240, 300) > 0.2 && Share(p, grey, 400, 180, 510, 300) < 0.02);
  // The logo a third along its curve, above right of the middle.
  EXPECT_GT(Share(p, white, 355, 160, 415, 192), 0.1);
  // The stripes fade in through the Effect Fader along the bottom edge.
  EXPECT_TRUE(Share(Frame(33500), amber, 0, 440, W, H) < 0.001 && Share(Frame(39500), amber, 0, 440, W, H) > 0.03);
}

TEST_F(Showcase, RenderedTextureFeedsTheWobbleThenTheDistortionAndFadeOut) {
  // Only the star tube, drawn into the texture and not on screen, has the
  // checker colours here: the wobbling picture is made of them.
  const Picture p = Frame(44000);
  EXPECT_TRUE(Share(p, amber) > 0.2 && Share(p, blue) > 0.2);
  // The texture (512 square) is taller than these frames: it was still
  // drawn whole, with no empty band along its top.
  EXPECT_LT(Share(p, black, 0, 0, W, 24), 0.2);
  // The distortion, the logo and the fade out.
  EXPECT_GT(Share(Frame(52000), checker), 0.4);
  EXPECT_GT(Share(Frame(54000), white, 150, 80, 490, 125), 0.02);
  EXPECT_GT(Share(Frame(59500), [](const Pixel& q) { return q.r + q.g + q.b < 90; }), 0.95);
}

}  // namespace
