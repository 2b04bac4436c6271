// qvlplay as a program: command line, capture, damaged files, and a real
// window under a virtual X server.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "data/filestuff.h"
#include "demoWriter.h"
#include "engine/scheduler.h"
#include "player/capture.h"
#include "player/cmdline.h"
#include "toolRun.h"

namespace {

namespace fs = std::filesystem;
using testutil::Quote;

const std::string Player = QVL_PLAYER_PATH;

// As testutil::Run, with output files of this process only: ctest runs
// several test processes at once.
testutil::RunResult Exec(const std::string& command) {
  static int n = 0;
  const auto base = fs::temp_directory_path() /
                    ("qvl-player-run-" + std::to_string(::getpid()) + "-" + std::to_string(++n));
  const std::string out = base.string() + ".out", err = base.string() + ".err";
  const int raw = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
  testutil::RunResult r;
  if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  r.out = testutil::Slurp(out);
  r.err = testutil::Slurp(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

scheduler::TDemoEvent Event(int32_t start, int32_t length, uint8_t track, int32_t type) {
  scheduler::TDemoEvent e{};
  e.Start = start;
  e.Length = length;
  e.Track = track;
  e.OpType = type;
  return e;
}

constexpr int32_t EndDemoType = 10;

// A demo whose timeline holds `events`, with one End Demo parameter set.
void WriteDemo(const fs::path& file, const std::vector<scheduler::TDemoEvent>& events) {
  filestuff::WriteDemoFile(file.string(), [&] {
    filestuff::WriteString("DemoTitle", "Player test");
    filestuff::WriteInt("EventCount", static_cast<int32_t>(events.size()));
    for (size_t i = 0; i < events.size(); ++i)
      filestuff::WriteBlock("Ev" + std::to_string(i), &events[i], sizeof(scheduler::TDemoEvent));
    filestuff::WriteInt("EDCount", 1);
    const int32_t set = 0;
    filestuff::WriteBlock("ED0", &set, 4);
  });
}

std::vector<fs::path> Frames(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

// Width and height from a PNG's header chunk.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& p) {
  const auto b = testutil::ReadAll(p);
  if (b.size() < 24) return {0, 0};
  auto be = [&](size_t o) { return uint32_t(b[o]) << 24 | uint32_t(b[o + 1]) << 16 | uint32_t(b[o + 2]) << 8 | b[o + 3]; };
  return {be(16), be(20)};
}

std::string Headless(const std::string& args) {
  return "env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + Quote(Player) + " " + args;
}

TEST(PlayerCommandLine, AcceptsEachModeAndRejectsMisuse) {
  cmdline::TOptions o;
  std::string err;
  ASSERT_TRUE(cmdline::Parse({"qvlplay"}, o, err));
  EXPECT_FALSE(o.NoSetup || o.Capture);

  ASSERT_TRUE(cmdline::Parse({"qvlplay", "-C", "d", "--no-setup", "--windowed", "--resolution", "1280x1024",
                              "--show-fps", "--no-sound", "--sound-device", "2", "--loop"},
                             o, err))
      << err;
  EXPECT_EQ(o.Dir, "d");
  EXPECT_TRUE(o.NoSetup && o.Windowed && o.ShowFPS && o.NoSound && o.Loop);
  EXPECT_EQ(o.Width, 1280);
  EXPECT_EQ(o.Height, 1024);
  EXPECT_EQ(o.SoundDevice, 2);
  EXPECT_EQ(cmdline::BlankTextureSizeFor(1280, 1024), 1024);
  EXPECT_EQ(cmdline::BlankTextureSizeFor(1280, 800), 512);
  EXPECT_EQ(cmdline::BlankTextureSizeFor(1024, 1280), 512);

  ASSERT_TRUE(cmdline::Parse({"qvlplay", "--capture", "out", "--rate", "30", "--size", "64x48", "--from", "-500",
                              "--to", "2000"},
                             o, err))
      << err;
  EXPECT_EQ(o.CaptureDir, "out");
  EXPECT_EQ(o.Rate, 30);
  EXPECT_EQ(o.CaptureWidth, 64);
  EXPECT_EQ(o.CaptureHeight, 48);
  EXPECT_EQ(o.From, -500);
  EXPECT_TRUE(o.HasTo);
  EXPECT_EQ(o.To, 2000);

  const std::vector<std::vector<std::string>> bad = {
      {"qvlplay", "--bogus"},
      {"qvlplay", "--windowed"},  // setup choices need --no-setup
      {"qvlplay", "--no-setup", "--resolution", "800"},
      {"qvlplay", "--no-setup", "--resolution", "0x600"},
      {"qvlplay", "--no-setup", "--resolution", "800x600x3"},
      {"qvlplay", "--no-setup", "--sound-device", "-1"},
      {"qvlplay", "--no-setup", "--sound-device"},
      {"qvlplay", "--capture", "out"},  // no rate
      {"qvlplay", "--capture", "out", "--rate", "0"},
      {"qvlplay", "--capture", "out", "--rate", "25x"},
      {"qvlplay", "--capture", "out", "--rate", "25", "--to", "10", "--from", "20"},
      {"qvlplay", "--capture", "out", "--rate", "25", "--from", "99999999999"},
      {"qvlplay", "--capture", "out", "--rate", "25", "--no-sound"},
      {"qvlplay", "--rate", "25"},
      {"qvlplay", "-C"},
  };
  for (const auto& args : bad) {
    err.clear();
    EXPECT_FALSE(cmdline::Parse(args, o, err)) << args.back();
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), std::string::npos);
  }
}

TEST(PlayerCommandLine, ProgramExitsTwoOnBadArguments) {
  auto r = Exec(Headless("--capture"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--capture needs a value"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

  r = Exec(Headless("-C /nonexistent/qvl/dir --no-setup"));
  EXPECT_EQ(r.status, 2);

  r = Exec(Headless("--help"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--capture DIR"), std::string::npos);
  r = Exec(Headless("--version"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("qvlplay ", 0), 0u);
}

TEST(PlayerCapture, FrameTimesRoundHalfToEven) {
  EXPECT_EQ(capture::FrameTime(0, 3, 1), 333);
  EXPECT_EQ(capture::FrameTime(0, 3, 2), 667);
  EXPECT_EQ(capture::FrameTime(0, 16, 1), 62);  // 62.5
  EXPECT_EQ(capture::FrameTime(0, 16, 3), 188);  // 187.5
  EXPECT_EQ(capture::FrameTime(-100, 25, 4), 60);
  EXPECT_EQ(capture::FrameTime(0, 7, 7000000), 1000000000);

  scheduler::TDemoData d;
  EXPECT_EQ(capture::DefaultEnd(d, 300), 300);  // empty timeline: one frame
  d.Events = {Event(100, 400, 0, 0), Event(2000, 10, 3, 0), Event(2147483000, 2000, 1, 0)};
  d.EventCount = 2;  // the third is beyond the count
  EXPECT_EQ(capture::DefaultEnd(d, 0), 2010);
  d.EventCount = 3;
  EXPECT_EQ(capture::DefaultEnd(d, 0), 2147483647);
}

class PlayerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testutil::TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(PlayerProgram, CaptureWritesEveryFrameAtTheAskedSize) {
  // An End Demo event at 1000 ms: frames 0, 100, ..., 1000 and no more.
  WriteDemo(dir_ / "demo.qvl", {Event(1000, 100, 5, EndDemoType)});
  auto r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture out --rate 10 --size 64x48"));
  ASSERT_EQ(r.status, 0) << r.err;
  auto frames = Frames(dir_ / "out");
  ASSERT_EQ(frames.size(), 11u);
  EXPECT_EQ(frames.front().filename(), "000000.png");
  EXPECT_EQ(frames.back().filename(), "000010.png");
  for (const auto& f : frames) EXPECT_EQ(PngSize(f), std::make_pair(64u, 48u)) << f;

  // --to stops earlier; --from moves the first frame's time.
  r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture to --rate 10 --to 450"));
  ASSERT_EQ(r.status, 0) << r.err;
  frames = Frames(dir_ / "to");
  EXPECT_EQ(frames.size(), 5u);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(PngSize(frames[0]), std::make_pair(800u, 600u));

  r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture from --rate 4 --from 600 --size 8x8"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Frames(dir_ / "from").size(), 3u);  // 600, 850 and 1100, inside the End Demo event
}

TEST_F(PlayerProgram, CaptureWithoutEndDemoStopsAtTheLastEvent) {
  WriteDemo(dir_ / "demo.qvl", {Event(0, 500, 0, 0), Event(200, 900, 1, 3)});
  auto r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture out --rate 4 --size 16x16"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Frames(dir_ / "out").size(), 5u);  // 0, 250, 500, 750, 1000 <= 1100
  // No demo file at all: an empty timeline gives the one frame at --from.
  fs::remove(dir_ / "demo.qvl");
  r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture none --rate 4 --size 16x16"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Frames(dir_ / "none").size(), 1u);
}

TEST_F(PlayerProgram, DamagedDemoEndsWithMessageNotSignal) {
  // A sound demo file, then cut short at several places and given a
  // directory that points outside the file.
  WriteDemo(dir_ / "good.qvl", {Event(0, 100, 0, EndDemoType), Event(0, 50, 1, 0), Event(10, 20, 2, 4)});
  const auto good = testutil::ReadAll(dir_ / "good.qvl");
  ASSERT_GT(good.size(), 60u);

  std::vector<std::vector<unsigned char>> damaged;
  for (size_t cut : {size_t(20), good.size() / 3, good.size() / 2, good.size() - 3}) {
    damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  auto hugeCount = good;
  hugeCount[11] = hugeCount[12] = hugeCount[13] = 0xFF;
  hugeCount[14] = 0x7F;  // two thousand million directory entries
  damaged.push_back(hugeCount);

  int failures = 0;
  for (size_t i = 0; i < damaged.size(); ++i) {
    testutil::WriteAll(dir_ / "demo.qvl", damaged[i]);
    const auto r = Exec(Headless("-C " + Quote(dir_.string()) + " --capture out --rate 10 --size 8x8"));
    ASSERT_NE(r.status, -1) << "signal, variant " << i;
    // Where the loader notices the damage it says what and where.
    if (r.status != 0) {
      ++failures;
      EXPECT_EQ(r.status, 1) << r.err;
      EXPECT_NE(r.err.find("demo.qvl"), std::string::npos) << r.err;
    }
  }
  EXPECT_GE(failures, 3);

  // The player's window, too, closes and reports instead of playing on.
  for (const auto& bytes : {damaged.front(), hugeCount}) {
    testutil::WriteAll(dir_ / "demo.qvl", bytes);
    const auto r =
        Exec("timeout 30 " + Headless("-C " + Quote(dir_.string()) + " --no-setup --windowed --no-sound"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("demo.qvl"), std::string::npos) << r.err;
  }
}

// Runs `body` as a shell script under a virtual X server. `find NAME`
// waits for a window whose name matches and prints its id.
testutil::RunResult UnderX(const fs::path& dir, const std::string& body) {
  const std::string script =
      "export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy\n"
      "find() { for i in $(seq 100); do w=$(xdotool search --name \"$1\" 2>/dev/null | head -n1); "
      "[ -n \"$w\" ] && { echo $w; return 0; }; sleep 0.1; done; return 1; }\n" +
      body;
  const fs::path file = dir / "x.sh";
  testutil::WriteAll(file, std::vector<unsigned char>(script.begin(), script.end()));
  return Exec("timeout 60 xvfb-run -a -s '-screen 0 1024x768x24' sh " + Quote(file.string()));
}

bool HaveX() {
  return Exec("command -v xvfb-run").status == 0 && Exec("command -v xdotool").status == 0;
}

TEST_F(PlayerProgram, WindowedPlaybackEndsOnEscapeUnderX) {
  if (!HaveX()) GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  WriteDemo(dir_ / "demo.qvl", {Event(0, 600000, 0, 0)});
  const auto r = UnderX(dir_, Quote(Player) + " -C " + Quote(dir_.string()) +
                                  " --no-setup --windowed --show-fps --resolution 320x240 & p=$!\n"
                                  "w=$(find 'Now playing: Player test') || { kill $p; exit 90; }\n"
                                  "sleep 1; xdotool windowfocus --sync $w; xdotool key Escape; wait $p\n");
  EXPECT_EQ(r.status, 0) << r.err << r.out;
}

TEST_F(PlayerProgram, RefusedFullScreenPlaysInAWindowUnderX) {
  if (!HaveX()) GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  // The virtual screen has one mode, 1024x768; 123x77 is refused.
  const auto r = UnderX(dir_, Quote(Player) + " -C " + Quote(dir_.string()) +
                                  " --no-setup --resolution 123x77 --no-sound & p=$!\n"
                                  "w=$(find 'Now playing: Unknown') || { kill $p; exit 90; }\n"
                                  "b=$(xdotool search --name 'Whoops' 2>/dev/null | head -n1)\n"
                                  "[ -n \"$b\" ] && { echo box shown; xdotool windowfocus --sync $b; xdotool key Return; }\n"
                                  "sleep 1; xdotool getwindowgeometry $w; xdotool windowfocus --sync $w; "
                                  "xdotool key Escape; wait $p\n");
  EXPECT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("Geometry: 123x77"), std::string::npos) << r.out;
  // Without a box program on the virtual display the text goes to stderr.
  if (r.out.find("box shown") == std::string::npos) {
    EXPECT_NE(r.err.find("Couldnt change to fullscreen with this config. using windowed mode instead"),
              std::string::npos)
        << r.err;
  }
}

}  // namespace
