// Full screen, scaling and Alt+Enter on a real X display (a 1920x1080 Xvfb
// with no window manager), and the setup window's Enter and Escape.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

#include "imageFiles.h"
#include "xSession.h"

namespace {

namespace fs = std::filesystem;
using testutil::Quote;

// A dim red background with a picture of four flat quadrants over it: still,
// so a screen grab and a capture of any time show the same thing.
const char* kStillDemo = R"({"title":"Still","textures":[{"Name":"quads","FileName":"quads.bmp","Typ":1}],
"events":[{"Op":"Fader","Track":0,"Start":0,"Length":600000,"ParamSet":0},
          {"Op":"Show Image","Track":1,"Start":0,"Length":600000,"ParamSet":0}],
"operators":{"Fader":[{"StartRed":0.4,"StartGreen":0,"StartBlue":0,"EndRed":0.4,"EndGreen":0,"EndBlue":0,"StartAlpha":1,"EndAlpha":1}],
"Show Image":[{"Texture":1,"X":0,"Y":0,"Zoom":0.5,"Alpha":1,"DrawMode":0,"BlendMode":0}]}})";

// Green darkening over a minute: a later frame is darker.
const char* kFadingDemo = R"({"title":"Fading","events":[{"Op":"Fader","Track":0,"Start":0,"Length":60000,"ParamSet":0}],
"operators":{"Fader":[{"StartRed":0,"StartGreen":1,"StartBlue":0,"EndRed":0,"EndGreen":0,"EndBlue":0,"StartAlpha":1,"EndAlpha":1}]}})";

class FullScreenX : public testutil::DirTest {
 protected:
  void SetUp() override {
    if (!testutil::HaveX()) GTEST_SKIP() << "Xvfb, xdotool or ffmpeg is not installed";
  }
  void Build(const char* json) {
    testutil::WriteAll(dir / "d.json", std::vector<unsigned char>(json, json + std::strlen(json)));
    const auto bmp = testimg::MakeBMP(testimg::Quadrants(64, 64));
    testutil::WriteAll(dir / "quads.bmp", std::vector<unsigned char>(bmp.begin(), bmp.end()));
    ASSERT_EQ(testutil::Qvl("build " + Quote((dir / "d.json").string()) + " -o " + Quote((dir / "demo.qvl").string())).status, 0);
  }
  testutil::RunResult X(const std::string& body) {
    return testutil::UnderXvfb(dir, "PLAY=" + Quote(QVL_PLAYER_PATH) + "\n" + body);
  }
};

bool Black(const std::string& rgb) { return rgb == "0 0 0"; }
bool DimRed(const std::string& rgb) {
  int r = 0, g = 0, b = 0;
  std::istringstream(rgb) >> r >> g >> b;
  return r > 80 && r < 120 && g < 10 && b < 10;
}

TEST_F(FullScreenX, DesktopModeKeepsTheAspectBetweenBlackBarsAndMatchesTheCapture) {
  Build(kStillDemo);
  // The picture part of the screen scaled back down to 800x600, beside a capture of the same demo.
  const auto r = X(R"sh(
"$PLAY" --no-setup --no-sound --resolution 800x600 2>err.txt & p=$!
window "Now playing"
echo geometry $(waituntil '[ "$(geometry)" = "0 0 1920 1080" ]'; geometry)
echo inside $(waitpx 240 540 '[ $r -gt 80 ]')
echo right $(px 1679 540)
for x in 0 120 239 1680 1800 1919; do echo bar$x $(px $x 540) $(px $x 5) $(px $x 1074); done
grab 240 0 1440 1080 picture.raw
boxes
finish $p
ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -s 1440x1080 -i picture.raw -vf scale=800:600:flags=area -f rawvideo -pix_fmt rgb24 small.raw
SDL_VIDEODRIVER=offscreen "$PLAY" --capture cap --rate 1 --to 0 --size 800x600
)sh");
  ASSERT_EQ(r.status, 0) << r.out << r.err << testutil::Slurp(dir / "err.txt");
  auto seen = testutil::Labelled(r.out);
  EXPECT_EQ(seen["geometry"], "0 0 1920 1080");
  EXPECT_TRUE(DimRed(seen["inside"]) && DimRed(seen["right"])) << r.out;
  for (const char* bar : {"bar0", "bar120", "bar239", "bar1680", "bar1800", "bar1919"})
    EXPECT_EQ(seen[bar], "0 0 0 0 0 0 0 0 0") << bar;
  EXPECT_EQ(r.out.find("box:"), std::string::npos) << r.out;  // no refusal box
  EXPECT_EQ(seen["exit"], "0");

  const testimg::Picture cap = testimg::ReadPng((dir / "cap/000000.png").c_str());
  const auto small = testutil::ReadAll(dir / "small.raw");
  ASSERT_EQ(std::make_tuple(cap.w, cap.h, small.size()), std::make_tuple(800, 600, size_t(800 * 600 * 3)));
  // Scaled up 1.8 times and down again: the same picture, blurred only along its edges.
  size_t off = 0, quadrantPixels = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const testimg::Pixel& c = cap.at(x, y);
      const uint8_t* s = &small[static_cast<size_t>(y * 800 + x) * 3];
      off += std::abs(c.r - s[0]) > 8 || std::abs(c.g - s[1]) > 8 || std::abs(c.b - s[2]) > 8;
      quadrantPixels += c.b > 200 && c.r < 50;
    }
  EXPECT_GT(quadrantPixels, 1000u);  // the picture is really there
  EXPECT_LT(off, 800u * 600 / 100) << off;
}

TEST_F(FullScreenX, TheFullSizeFillsTheScreenAndBarsFollowAResizedWindow) {
  Build(kStillDemo);
  // At 16:9 the demo's flat quads leave narrow margins of their own: the screen must match the capture.
  const auto r = X(R"sh(
"$PLAY" --no-setup --no-sound --resolution 1920x1080 & p=$!
window "Now playing"
waitpx 960 5 '[ $r -gt 80 ]' >/dev/null
grab 0 0 1920 1080 screen.raw
finish $p
"$PLAY" --no-setup --no-sound --windowed --resolution 1920x1080 & p=$!
window "Now playing"
xdotool windowsize $w 960 300
waituntil '[ "$(geometry | cut -d" " -f3-)" = "960 300" ]'
set -- $(geometry); x=$1 y=$2
# 16:9 in 960x300: 533 columns from 213.
echo leftbar $(waitpx $((x + 200)) $((y + 150)) '[ $r -eq 0 ]')
echo left $(px $((x + 230)) $((y + 150)))
echo top $(px $((x + 230)) $((y + 1)))
echo bottomright $(px $((x + 728)) $((y + 298)))
echo rightbar $(px $((x + 750)) $((y + 150)))
finish $p
SDL_VIDEODRIVER=offscreen "$PLAY" --capture cap --rate 1 --to 0 --size 1920x1080
)sh");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto seen = testutil::Labelled(r.out);
  EXPECT_TRUE(Black(seen["leftbar"]) && Black(seen["rightbar"])) << r.out;
  EXPECT_TRUE(DimRed(seen["left"]) && DimRed(seen["top"]) && DimRed(seen["bottomright"])) << r.out;
  EXPECT_EQ(r.out.rfind("exit 0"), r.out.size() - 7) << r.out;  // both runs ended well
  EXPECT_EQ(r.out.find("exit 0\n"), 0u) << r.out;

  // Shown one to one: the capture's pixels exactly.
  const testimg::Picture cap = testimg::ReadPng((dir / "cap/000000.png").c_str());
  const auto screen = testutil::ReadAll(dir / "screen.raw");
  ASSERT_EQ(std::make_tuple(cap.w, cap.h, screen.size()), std::make_tuple(1920, 1080, size_t(1920 * 1080 * 3)));
  size_t differ = 0;
  for (size_t i = 0; i < cap.px.size(); ++i)
    differ += cap.px[i].r != screen[3 * i] || cap.px[i].g != screen[3 * i + 1] || cap.px[i].b != screen[3 * i + 2];
  EXPECT_EQ(differ, 0u);
}

TEST_F(FullScreenX, AltEnterSwitchesWithoutLosingTheDemoTime) {
  Build(kFadingDemo);
  // cursor: the pointer (at the screen's centre) drawn over a flat picture leaves it uneven.
  const auto r = X(R"sh(
cursor() { ffmpeg -loglevel error -f x11grab -draw_mouse 1 -video_size 16x16 -i "$DISPLAY+952,532" -frames:v 1 -f rawvideo -pix_fmt rgb24 -y c.raw
  [ $(od -An -v -w3 -tu1 c.raw | sort -u | wc -l) -gt 1 ] && echo shown || echo hidden; }
"$PLAY" --no-setup --no-sound --resolution 800x600 & p=$!
window "Now playing"
waituntil '[ "$(geometry)" = "0 0 1920 1080" ]'
set -- $(waitpx 960 540 '[ $g -gt 0 ]'); g0=$2; echo full1 $g0 $(cursor)
key alt+Return
echo window $(waituntil '[ "$(geometry)" = "560 240 800 600" ]'; geometry)
set -- $(waitpx 960 540 "[ \$g -ne $g0 ]"); g1=$2; echo window1 $g1 $(cursor)
key alt+Return
echo full $(waituntil '[ "$(geometry)" = "0 0 1920 1080" ]'; geometry)
waitpx 100 540 '[ $g -eq 0 ]' >/dev/null
set -- $(waitpx 960 540 "[ \$g -ne $g1 ]"); echo full2 $2 $(cursor)
finish $p
)sh");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto seen = testutil::Labelled(r.out);
  EXPECT_EQ(seen["window"], "560 240 800 600");
  EXPECT_EQ(seen["full"], "0 0 1920 1080");
  int g0 = 0, g1 = 0, g2 = 0;
  std::string c0, c1, c2;
  std::istringstream(seen["full1"]) >> g0 >> c0;
  std::istringstream(seen["window1"]) >> g1 >> c1;
  std::istringstream(seen["full2"]) >> g2 >> c2;
  // Each frame after a switch shows a later time: darker, never the start again.
  EXPECT_TRUE(g0 > g1 && g1 > g2 && g2 > 0) << r.out;
  EXPECT_EQ(std::make_tuple(c0, c1, c2), std::make_tuple("hidden", "shown", "hidden"));
  EXPECT_EQ(seen["exit"], "0");
}

TEST_F(FullScreenX, SetupWindowEnterStartsAndEscapeQuits) {
  Build(kStillDemo);
  const auto r = X(R"sh(
"$PLAY" 2>/dev/null & p=$!
window "'Still' Setup"
key Return
window "Now playing"
echo started $(waituntil '[ "$(geometry)" = "0 0 1920 1080" ]'; geometry) $(waitpx 100 540 '[ $r -eq 0 ]') $(waitpx 960 5 '[ $r -gt 80 ]')
finish $p
"$PLAY" 2>quit.txt & p=$!
window "'Still' Setup"
key Escape
played=no
watched() { found "Now playing" && played=yes; ended $p; }
waitfor watched
wait $p; echo quit $? $played
)sh");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto seen = testutil::Labelled(r.out);
  // The defaults: full screen at 800x600, so bars at the sides.
  EXPECT_EQ(seen["started"].substr(0, 14), "0 0 1920 1080 ") << r.out;
  EXPECT_EQ(seen["exit"], "0");
  EXPECT_EQ(seen["quit"], "0 no") << testutil::Slurp(dir / "quit.txt");
}

}  // namespace
