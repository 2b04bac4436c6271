// qvlplay as a program: command line, capture, damaged files, and a real window under Xvfb.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "data/filestuff.h"
#include "demoWriter.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "imageFiles.h"
#include "capture/capture.h"
#include "player/cmdline.h"
#include "toolRun.h"
#include "xSession.h"

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
const auto Sh = testutil::Run;

constexpr int32_t EndDemoType = 10;
scheduler::TDemoEvent Event(int32_t start, int32_t length, uint8_t track, int32_t type) {
  return {start, length, track, {}, type, 0};
}

// A demo whose timeline holds `events`, with one End Demo parameter set.
void WriteDemo(const fs::path& file, const std::vector<scheduler::TDemoEvent>& events) {
  filestuff::WriteDemoFile(file.string(), [&] {
    filestuff::WriteString("DemoTitle", "Player test");
    filestuff::WriteInt("EventCount", static_cast<int32_t>(events.size()));
    for (size_t i = 0; i < events.size(); ++i)
      filestuff::WriteBlock("Ev" + std::to_string(i), &events[i], sizeof(scheduler::TDemoEvent));
    filestuff::WriteInt("EDCount", 1);
    filestuff::WriteInt("ED0", 0);
  });
}

std::vector<fs::path> Frames(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

std::pair<int, int> PngSize(const fs::path& p) {
  const testimg::Picture pic = testimg::ReadPng(p.c_str());
  return {pic.w, pic.h};
}

std::string Headless(const std::string& args) {
  return "env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + Quote(QVL_PLAYER_PATH) + " " + args;
}

TEST(PlayerCommandLine, ParsesEachModeAndRejectsMisuse) {
  cmdline::TOptions o;
  std::string err;
  ASSERT_TRUE(cmdline::Parse({"qvlplay", "-C", "d", "--no-setup", "--windowed", "--resolution", "1280x1024",
                              "--show-fps", "--no-sound", "--sound-device", "2", "--loop"},
                             o, err))
      << err;
  EXPECT_TRUE(o.Dir == "d" && o.NoSetup && o.Windowed && o.ShowFPS && o.NoSound && o.Loop);
  EXPECT_EQ(std::tie(o.Width, o.Height, o.SoundDevice), std::make_tuple(1280, 1024, 2));
  // The blank texture: the largest power of two within the shorter side, at least 512.
  for (auto [w, h, side] : {std::tuple{1280, 1024, 1024}, {1024, 1280, 1024}, {1280, 720, 512}, {1920, 1080, 1024},
                            {64, 48, 512}, {3840, 2160, 2048}, {2048, 2047, 1024}})
    EXPECT_EQ(settings::BlankTextureSizeFor(w, h), side) << w << "x" << h;
  ASSERT_TRUE(cmdline::Parse({"qvlplay", "--display", "1", "--vsync", "off", "--no-setup", "--resolution", "desktop"}, o, err))
      << err;
  EXPECT_TRUE(o.HasDisplay && o.Display == 1 && !o.VSync && o.DesktopSize);
  ASSERT_TRUE(cmdline::Parse(
      {"qvlplay", "--capture", "out", "--rate", "30", "--size", "64x48", "--from", "-500", "--to", "2000"}, o, err))
      << err;
  EXPECT_EQ(std::tie(o.CaptureDir, o.Rate, o.CaptureWidth, o.CaptureHeight, o.From, o.To, o.HasTo),
            std::make_tuple("out", 30, 64, 48, -500, 2000, true));

  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"}, {"--windowed"} /* needs --no-setup */, {"--no-setup", "--resolution", "0x600"},
      {"--capture", "out"} /* no rate */, {"--capture", "out", "--rate", "25", "--to", "10", "--from", "20"},
      {"--capture", "out", "--rate", "25", "--from", "99999999999"}, {"-C"}, {"--display", "first"},
      {"--vsync", "maybe"}, {"--timedemo", "--vsync", "off"}, {"--no-setup", "--resolution", "desk"}};
  for (auto args : bad) {
    args.insert(args.begin(), "qvlplay");
    err.clear();
    EXPECT_FALSE(cmdline::Parse(args, o, err)) << args.back();
    EXPECT_TRUE(!err.empty() && err.find('\n') == std::string::npos) << err;
  }
  auto r = Sh(Headless("--capture"));
  EXPECT_EQ(std::make_pair(r.status, r.err),
            std::make_pair(2, std::string("qvlplay: --capture needs a value (see qvlplay --help)\n")));
  EXPECT_EQ(Sh(Headless("-C /nonexistent/qvl/dir --no-setup")).status, 2);
}

TEST(PlayerCapture, FrameTimesAndDefaultEnd) {
  EXPECT_EQ(std::make_tuple(capture::FrameTime(0, 16, 1), capture::FrameTime(-100, 16, 3),  // 62.5, 187.5
                            capture::FrameTime(0, 7, 7000000)),
            std::make_tuple(62, 88, 1000000000));
  scheduler::TDemoData d;
  EXPECT_EQ(capture::DefaultEnd(d, 300), 300);  // empty timeline: one frame
  d.Events = {Event(100, 400, 0, 0), Event(2000, 10, 3, 0), Event(2147483000, 2000, 1, 0)};
  d.EventCount = 2;  // the third is beyond the count
  EXPECT_EQ(capture::DefaultEnd(d, 0), 2010);
  d.EventCount = 3;
  EXPECT_EQ(capture::DefaultEnd(d, 0), 2147483647);
}

class PlayerProgram : public testutil::DirTest {
 protected:
  std::string In() const { return "-C " + Quote(dir.string()) + " "; }
};

TEST_F(PlayerProgram, CaptureWritesEveryFrameAtTheAskedSize) {
  // An End Demo event at 1000 ms: frames 0, 100, ..., 1000 and no more.
  WriteDemo(dir / "demo.qvl", {Event(1000, 100, 5, EndDemoType)});
  ASSERT_EQ(Sh(Headless(In() + "--capture out --rate 10 --size 64x48")).status, 0);
  auto frames = Frames(dir / "out");
  ASSERT_EQ(frames.size(), 11u);
  EXPECT_EQ(frames.back().filename(), fs::path("000010.png"));
  for (const auto& f : frames) EXPECT_EQ(PngSize(f), std::make_pair(64, 48)) << f;

  // --to stops earlier and the size defaults to 800x600; --from moves the first frame's time.
  ASSERT_EQ(Sh(Headless(In() + "--capture to --rate 10 --to 450")).status, 0);
  frames = Frames(dir / "to");
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(PngSize(frames[0]), std::make_pair(800, 600));
  ASSERT_EQ(Sh(Headless(In() + "--capture from --rate 4 --from 600 --size 8x8")).status, 0);
  EXPECT_EQ(Frames(dir / "from").size(), 3u);  // 600, 850 and 1100, inside the End Demo event
}

TEST_F(PlayerProgram, DamagedDemoEndsWithMessageNotSignal) {
  WriteDemo(dir / "good.qvl", {Event(0, 100, 0, EndDemoType), Event(0, 50, 1, 0), Event(10, 20, 2, 4)});
  const auto good = testutil::ReadAll(dir / "good.qvl");
  std::vector<std::vector<unsigned char>> damaged;
  for (size_t cut : {size_t(20), good.size() / 2, good.size() - 3})
    damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
  damaged.push_back(good);
  std::memcpy(&damaged.back()[11], "\xFF\xFF\xFF\x7F", 4);  // two thousand million directory entries
  int failures = 0;
  for (size_t i = 0; i < damaged.size(); ++i) {
    testutil::WriteAll(dir / "demo.qvl", damaged[i]);
    const auto r = Sh("timeout 30 " + Headless(In() + "--capture out --rate 10 --size 8x8"));
    ASSERT_NE(r.status, -1) << "signal, variant " << i;
    if (r.status == 0) continue;
    ++failures;  // where the loader notices the damage it says what and where
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("demo.qvl"), std::string::npos) << r.err;
  }
  EXPECT_GE(failures, 3);
}

TEST_F(PlayerProgram, StderrSaysWhyNothingPlaysAndCarriesNoAlsaNoise) {
  const std::string line = "qvlplay: no demo.qvl in " + fs::canonical(dir).string() + ": nothing to play\n";
  auto r = Sh(Headless(In() + "--capture out --rate 10 --size 8x8"));
  EXPECT_EQ(std::make_pair(r.status, r.err), std::make_pair(0, line));
  // The empty demo still plays until it is stopped.
  r = Sh("timeout 3 " + Headless(In() + "--no-setup --windowed --no-sound --resolution 64x48"));
  EXPECT_EQ(r.err.rfind(line, 0), 0u) << r.err;

  // A sound card that does not exist: our one line, none of ALSA's own.
  WriteDemo(dir / "demo.qvl", {Event(300, 100, 0, EndDemoType)});
  fs::copy_file(fs::path(QVL_SOURCE_DIR) / "tests/data/tone.mp3", dir / "music.mp3");
  r = Sh("timeout 30 env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=alsa AUDIODEV=hw:99 " + Quote(QVL_PLAYER_PATH) +
         " " + In() + "--no-setup --windowed --resolution 64x48");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.rfind("qvlplay: no music: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(PlayerProgram, WindowedPlaybackEndsOnEscapeAndNamesAMissingDisplayUnderX) {
  if (!testutil::HaveX()) GTEST_SKIP() << "Xvfb, xdotool or ffmpeg is not installed";
  WriteDemo(dir / "demo.qvl", {Event(0, 600000, 0, 0)});
  const auto r = testutil::UnderXvfb(dir, "PLAY=" + Quote(QVL_PLAYER_PATH) + R"sh(
"$PLAY" --no-setup --windowed --show-fps --resolution 320x240 & p=$!
window "Now playing: Player test"
echo geometry $(geometry)
finish $p
"$PLAY" --no-setup --display 3 2>err.txt; echo display $? $(cat err.txt)
"$PLAY" --no-setup --resolution 1921x1080 2>err.txt; echo size $? $(cat err.txt)
)sh", "1024x768x24");
  EXPECT_EQ(r.status, 0) << r.err << r.out;
  auto seen = testutil::Labelled(r.out);
  EXPECT_EQ(seen["geometry"], "352 264 320 240");  // centred
  EXPECT_EQ(seen["exit"], "0");
  EXPECT_EQ(seen["display"], "1 qvlplay: there is no display 3 (displays found: 1)");
  EXPECT_EQ(seen["size"], "1 qvlplay: --resolution 1921x1080 is larger than display 0 (1024x768)");
}

}  // namespace
