// The authoring loop on a real X display (its own Xvfb): a saved demo shows
// within a second, a damaged one is ignored, Space freezes the picture and
// Tab shows the timeline. Pixels are read back with ffmpeg's screen grabber.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "xSession.h"

namespace {

namespace fs = std::filesystem;
using testutil::Quote;

// The window is 320x240, centred; `px` prints the centre's R G B, `strip` a
// checksum of the lower half, where the timeline lies. Every step waits for
// what it changes to show.
const char* kScript = R"sh(
play() {
  "$PLAYER" --no-setup --windowed --no-sound --watch --resolution 320x240 "$@" 2>>err.txt & P=$!
  window "Now playing" $P
  set -- $(geometry); X0=$1 Y0=$2
}
centre() { px $((X0 + 160)) $((Y0 + 120)); }
waitcentre() { waitpx $((X0 + 160)) $((Y0 + 120)) "$1"; }
strip() { grab $X0 $((Y0 + 120)) 320 120 strip.raw && md5sum < strip.raw | cut -c1-32; }
lines() { wc -l < err.txt; }
still() { a=$(centre); sleep 0.5; [ "$a" = "$(centre)" ]; }
red='[ $r -gt 200 ]' green='[ $g -gt 120 ]'
cp red.qvl demo.qvl
play; echo red $(waitcentre "$red")
cp green.qvl new.qvl && mv new.qvl demo.qvl; echo green $(waitcentre "$green")
n=$(lines); head -c 100 red.qvl > demo.qvl; waituntil '[ $(lines) -gt $n ]'; echo damaged $(centre)
cp green.qvl demo.qvl; m=$(centre); echo moving1 $m; echo moving2 $(waitcentre "[ \"\$r \$g \$b\" != \"$m\" ]")
key space; waitfor still; echo paused1 $(centre); sleep 1; echo paused2 $(centre)
p1=$(strip); echo plain1 $p1
key Tab; waituntil '[ "$(strip)" != $p1 ]'; echo overlay $(strip)
key Tab; waituntil '[ "$(strip)" = $p1 ]'; echo plain2 $(strip)
finish $P
cp red.json d.json; play --json d.json; echo jsonred $(waitcentre "$red")
cat green.json > d.json; echo jsongreen $(waitcentre "$green")
finish $P
)sh";

TEST(AuthoringWindow, SavesShowAtOnceUnderX) {
  if (!testutil::HaveX()) GTEST_SKIP() << "Xvfb, xdotool or ffmpeg is not installed";
  const fs::path dir = testutil::TempDir("authoring-x");
  // The green Fader darkens over a minute: the picture moves from frame to frame.
  for (const char* colour : {"red", "green"})
    fs::copy_file(fs::path(QVL_SOURCE_DIR) / "tests/data" / ("watch-" + std::string(colour) + ".json"),
                  dir / (std::string(colour) + ".json"));
  for (const char* colour : {"red", "green"})
    ASSERT_EQ(testutil::Qvl("build " + Quote((dir / (std::string(colour) + ".json")).string()) + " -o " +
                            Quote((dir / (std::string(colour) + ".qvl")).string()))
                  .status,
              0);
  const auto r = testutil::UnderXvfb(dir, "PLAYER=" + Quote(QVL_PLAYER_PATH) + kScript, "640x480x24");
  const std::string err = testutil::Slurp(dir / "err.txt");
  ASSERT_EQ(r.status, 0) << r.out << r.err << err;

  // Each line of the script is a label and what was seen.
  auto seen = testutil::Labelled(r.out);
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
  EXPECT_NE(r.out.find("\nexit 0\njsonred"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.rfind("exit 0"), r.out.size() - 7) << err;
  fs::remove_all(dir);
}

}  // namespace
