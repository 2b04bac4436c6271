// The authoring loop on a real X display (its own Xvfb): a saved demo shows
// within a second, a damaged one is ignored, Space freezes the picture and
// Tab shows the timeline. Pixels are read back with ffmpeg's screen grabber.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "toolRun.h"

namespace {

namespace fs = std::filesystem;
using testutil::Quote;

// The window is 320x240 at the screen's corner; `px` prints the centre's
// R G B, `strip` a checksum of the lower half, where the timeline lies.
const char* kScript = R"(set -u
exec 3>disp; Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 2>/dev/null & X=$!; exec 3>&-
trap 'kill $X 2>/dev/null' EXIT
for i in $(seq 100); do [ -s disp ] && break; sleep 0.1; done
export DISPLAY=:$(cat disp) SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
px() { echo $1 $(ffmpeg -loglevel error -f x11grab -video_size 1x1 -i "$DISPLAY+160,120" -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1); }
strip() { ffmpeg -loglevel error -f x11grab -video_size 320x120 -i "$DISPLAY+0,120" -frames:v 1 -f rawvideo -pix_fmt rgb24 - | md5sum | cut -c1-32; }
play() {
  "$PLAYER" --no-setup --windowed --no-sound --watch --resolution 320x240 "$@" 2>>err.txt & P=$!
  for i in $(seq 100); do w=$(xdotool search --name 'Now playing' 2>/dev/null | head -n1); [ -n "$w" ] && break; sleep 0.1; done
  [ -n "$w" ] || { kill $P; exit 90; }
  sleep 1
}
stop() {
  for i in $(seq 20); do xdotool windowfocus $w 2>/dev/null; xdotool key Escape; sleep 0.3; kill -0 $P 2>/dev/null || break; done
  wait $P; echo $1 $?
}
cp red.qvl demo.qvl
play; px red
cp green.qvl new.qvl && mv new.qvl demo.qvl; sleep 1; px green
head -c 100 red.qvl > demo.qvl; sleep 1; px damaged
cp green.qvl demo.qvl; sleep 1; px moving1; sleep 1; px moving2
xdotool windowfocus $w; xdotool key space; sleep 0.5; px paused1; sleep 1; px paused2
echo plain1 $(strip); xdotool key Tab; sleep 0.5; echo overlay $(strip); xdotool key Tab; sleep 0.5; echo plain2 $(strip)
stop exit1
cp red.json d.json; play --json d.json; px jsonred
cat green.json > d.json; sleep 1; px jsongreen
stop exit2
)";

TEST(AuthoringWindow, SavesShowAtOnceUnderX) {
  if (testutil::Run("command -v Xvfb && command -v xdotool && command -v ffmpeg").status != 0)
    GTEST_SKIP() << "Xvfb, xdotool or ffmpeg is not installed";
  const fs::path dir = testutil::TempDir("authoring-x");
  // The green Fader darkens over a minute: the picture moves from frame to frame.
  for (const char* colour : {"red", "green"})
    fs::copy_file(fs::path(QVL_SOURCE_DIR) / "tests/data" / ("watch-" + std::string(colour) + ".json"),
                  dir / (std::string(colour) + ".json"));
  testutil::WriteAll(dir / "x.sh", std::vector<unsigned char>(kScript, kScript + std::strlen(kScript)));
  const std::string qvl = Quote(QVL_TOOL_PATH);
  const auto r = testutil::Run("cd " + Quote(dir.string()) + " && " + qvl + " build red.json -o red.qvl && " + qvl +
                               " build green.json -o green.qvl && PLAYER=" + Quote(QVL_PLAYER_PATH) +
                               " timeout 120 sh x.sh");
  const std::string err = testutil::Slurp(dir / "err.txt");
  ASSERT_EQ(r.status, 0) << r.out << r.err << err;

  // Each line of the script is a label and what was seen.
  std::map<std::string, std::string> seen;
  std::istringstream lines(r.out);
  for (std::string label, rest; lines >> label && std::getline(lines, rest);) seen[label] = rest;
  const auto colour = [&](const char* label) {
    std::istringstream in(seen[label]);
    int c[3] = {-1, -1, -1};
    in >> c[0] >> c[1] >> c[2];
    return std::string(c[0] > 200 && c[1] < 60 ? "red" : c[1] > 120 && c[0] < 60 ? "green" : "other");
  };
  for (const auto& [label, expected] : std::map<const char*, const char*>{
           {"red", "red"}, {"green", "green"}, {"damaged", "green"}, {"jsonred", "red"}, {"jsongreen", "green"}})
    EXPECT_EQ(colour(label), expected) << label << "\n" << r.out;
  EXPECT_NE(err.find("demo.qvl"), std::string::npos) << err;
  EXPECT_NE(seen["moving1"], seen["moving2"]) << r.out;
  EXPECT_EQ(seen["paused1"], seen["paused2"]) << r.out;
  EXPECT_NE(seen["plain1"], seen["overlay"]) << r.out;
  EXPECT_EQ(seen["plain1"], seen["plain2"]) << r.out;
  EXPECT_EQ(seen["exit1"] + seen["exit2"], " 0 0") << err;
  fs::remove_all(dir);
}

}  // namespace
