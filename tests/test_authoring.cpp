// The authoring loop without a display: reloading on change with the last
// good demo kept, the file watcher, pause and seek on a controlled clock,
// and the in-memory build matching qvl build's file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "data/demo.h"
#include "engine/modules.h"
#include "player/authoring.h"
#include "player/fileWatch.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "player/overlay.h"
#include "toolRun.h"
#include "tools/demoBuild.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using authoring::TOutcome;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A disk of named byte strings; a demo "loads" unless it starts with "bad".
struct FakePlayer {
  std::map<std::string, Bytes> disk{{"demo.qvl", B("one")}};
  std::vector<std::string> loads;
  int musicReloads = 0;

  authoring::THooks Hooks() {
    authoring::THooks h;
    h.ReadFile = [this](const std::string& p, Bytes& b) {
      if (!disk.count(p)) return false;
      b = disk[p];
      return true;
    };
    h.Load = [this](const Bytes& d, std::string& msg) {
      loads.emplace_back(d.begin(), d.end());
      if (loads.back().rfind("bad", 0) == 0) msg = "demo.qvl: damaged";
      return msg.empty();
    };
    h.ReloadMusic = [this] { ++musicReloads; };
    h.ImageFiles = [] { return std::vector<std::string>{"a.bmp"}; };
    return h;
  }
};

TEST(AuthoringReload, ChangesGiveTheRightOutcome) {
  struct Step {
    const char* what;
    std::vector<std::string> changed;
    const char* newContent;  // written to demo.qvl first; null: untouched, "": deleted
    TOutcome outcome;
    std::vector<std::string> loads;  // what was loaded, in order
  };
  const Step steps[] = {
      {"replaced", {"demo.qvl"}, "two", TOutcome::Reloaded, {"two"}},
      {"rewritten unchanged", {"demo.qvl"}, "two", TOutcome::Nothing, {}},
      {"half-written", {"demo.qvl"}, "bad-tw", TOutcome::KeptLastGood, {"bad-tw", "two"}},
      {"then completed", {"demo.qvl"}, "three", TOutcome::Reloaded, {"three"}},
      {"deleted", {"demo.qvl"}, "", TOutcome::KeptLastGood, {"three"}},
      {"image changed", {"a.bmp"}, nullptr, TOutcome::Reloaded, {"three"}},
      {"music changed", {"music.mp3"}, nullptr, TOutcome::MusicReloaded, {}},
      {"unrelated", {"notes.txt"}, nullptr, TOutcome::Nothing, {}},
  };
  FakePlayer p;
  authoring::Begin("demo.qvl", p.Hooks(), B("one"), B("one"));
  EXPECT_EQ(authoring::WatchedFiles(), (std::vector<std::string>{"demo.qvl", "a.bmp", "music.mp3"}));
  for (const Step& s : steps) {
    if (s.newContent && !*s.newContent)
      p.disk.erase("demo.qvl");
    else if (s.newContent)
      p.disk["demo.qvl"] = B(s.newContent);
    p.loads.clear();
    EXPECT_EQ(authoring::FilesChanged(s.changed), s.outcome) << s.what;
    EXPECT_EQ(p.loads, s.loads) << s.what;
  }
  EXPECT_EQ(p.musicReloads, 1);
  authoring::End();
}

// The real hooks on a JSON description: a bad save names the fault as qvl
// build does and the events already playing stay.
class AuthoringJson : public ::testing::Test {
 protected:
  void SetUp() override {
    modules::StartModules();
    fs::current_path(dir_);
  }
  void TearDown() override {
    authoring::End();
    demo::LoadDemoWithoutTextures("none", false);
    fs::current_path(oldCwd_);
    fs::remove_all(dir_);
    mainloop::ResetLoopState();
    mainloop::Watching = false;
  }
  static std::string Desc(int start) {
    return R"({"events":[{"Op":"Fader","Track":0,"Start":)" + std::to_string(start) +
           R"(,"Length":1000,"ParamSet":0}],"operators":{"Fader":[{"StartRed":1,"StartGreen":0,"StartBlue":0,)"
           R"("EndRed":1,"EndGreen":0,"EndBlue":0,"StartAlpha":1,"EndAlpha":1}]}})";
  }
  fs::path oldCwd_ = fs::current_path(), dir_ = testutil::TempDir("authoring");
};

TEST_F(AuthoringJson, ReloadKeepsTimeAndLastGoodDemo) {
  Bytes first;
  std::string error;
  ASSERT_TRUE(tools::BuildDemoBytes(Desc(100), ".", first, error)) << error;
  testutil::WriteAll("demo.json", B(Desc(100)));
  ASSERT_TRUE(demo::LoadDemoBytes("demo.json", first, false));
  authoring::THooks hooks = authoring::RealHooks("demo.json", true);
  hooks.Report = {};
  authoring::Begin("demo.json", hooks, B(Desc(100)), first);

  // The loop runs on a frame clock of 100 ms frames; saves land between frames.
  mainloop::ResetLoopState();
  mainloop::FrameClockTimeBase = true;
  uint32_t now = 5000;
  int frame = 0;
  std::vector<int32_t> times, starts;
  const std::map<int, std::string> saves{
      {3, Desc(200)}, {5, Desc(300).substr(0, 40)}, {7, R"({"events":[{"Start":"x"}]})"}, {9, Desc(400)}};
  std::vector<TOutcome> outcomes;
  mainloop::TLoopPlatform p;
  p.PeekMessage = [&](openglx::TMessage& m) {
    if (frame < 12) return false;
    m.Kind = openglx::TMsgKind::Quit;
    return true;
  };
  p.GetTickCount = [&] { return now; };
  p.RenderFrame = [&] {
    mainloop::UpdateDemoTime();
    times.push_back(mainloop::DemoTime);
  };
  p.SwapBuffers = [&] { now += 100; };
  p.BetweenFrames = [&] {
    ++frame;
    if (saves.count(frame)) {
      testutil::WriteAll("demo.json", B(saves.at(frame)));
      outcomes.push_back(authoring::FilesChanged({"demo.json"}));
      if (frame == 7) EXPECT_EQ(authoring::LastMessage().rfind("qvl build: demo.json: /events/0/Start: ", 0), 0u);
      starts.push_back(demo::DemoData.Events.at(0).Start);
    }
  };
  mainloop::RunFrames(p);
  EXPECT_EQ(outcomes, (std::vector<TOutcome>{TOutcome::Reloaded, TOutcome::KeptLastGood, TOutcome::KeptLastGood,
                                              TOutcome::Reloaded}));
  EXPECT_EQ(starts, (std::vector<int32_t>{200, 200, 200, 400}));
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << "frame " << i;
}

TEST_F(AuthoringJson, InMemoryBuildIsTheFileQvlBuildWrites) {
  const std::string example = std::string(QVL_SOURCE_DIR) + "/examples/demo.json";
  const auto r = testutil::Run(testutil::Quote(QVL_TOOL_PATH) + " build " + testutil::Quote(example) + " -o built.qvl");
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes bytes;
  std::string error;
  ASSERT_TRUE(tools::BuildDemoBytes(testutil::Slurp(example), ".", bytes, error)) << error;
  EXPECT_EQ(bytes, testutil::ReadAll("built.qvl"));
}

// Pause and seek on both time bases; `music` stands in for the stream.
TEST(AuthoringKeys, PauseAndSeekMoveTheTimeBase) {
  for (const bool frameClock : {true, false}) {
    SCOPED_TRACE(frameClock ? "frame clock" : "music");
    mainloop::ResetLoopState();
    mainloop::Watching = true;
    mainloop::FrameClockTimeBase = frameClock;
    uint32_t now = 1000;
    int32_t music = 0;
    bool held = false;
    std::vector<int32_t> times, seeks;
    std::vector<bool> pauses;
    // Keys pressed (negative: released) once n frames are shown; they act at
    // the end of the next frame and show in the one after.
    const std::map<size_t, std::vector<int>> keys{{4, {openglx::VkSpace}},
                                                  {6, {openglx::VkRight}},
                                                  {7, {openglx::VkShift, openglx::VkLeft}},
                                                  {8, {-openglx::VkShift}},
                                                  {9, {openglx::VkSpace}},
                                                  {12, {openglx::VkHome}}};
    std::deque<openglx::TMessage> queue;
    mainloop::TLoopPlatform p;
    p.PeekMessage = [&](openglx::TMessage& m) {
      if (queue.empty()) return false;
      m = queue.front();
      queue.pop_front();
      return true;
    };
    p.GetTickCount = [&] { return now; };
    p.RenderFrame = [&] {
      mainloop::UpdateDemoTime();
      times.push_back(mainloop::DemoTime);
    };
    p.SwapBuffers = [&] {
      now += 100;
      if (!held) music += 100;
      if (keys.count(times.size()))
        for (int k : keys.at(times.size()))
          queue.push_back({k > 0 ? openglx::TMsgKind::KeyDown : openglx::TMsgKind::KeyUp, std::abs(k), 0});
      if (times.size() == 15) queue.push_back({openglx::TMsgKind::Quit, 0, 0});
    };
    p.MusicPosition = [&] { return music; };
    p.SeekMusic = [&](int32_t ms) {
      seeks.push_back(ms);
      music = ms;
    };
    p.PauseMusic = [&](bool h) {
      held = h;
      pauses.push_back(h);
    };
    mainloop::RunFrames(p);
    ASSERT_EQ(times.size(), 15u);
    const int32_t at = times[6];
    // Resumed where it stood, then running again.
    EXPECT_EQ(std::vector<int32_t>(times.begin() + 5, times.begin() + 11),
              (std::vector<int32_t>{at, at, at + 1000, at + 900, at + 900, at + 900}));
    EXPECT_GT(times[11], at + 900);
    EXPECT_LT(times[11], at + 1100);
    EXPECT_LT(times[13], 200);  // Home
    EXPECT_GT(times[14], times[13]);
    if (!frameClock) {
      EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
      EXPECT_EQ(seeks, (std::vector<int32_t>{at + 1000, at + 900, at + 900, 0}));
    }
  }
  mainloop::ResetLoopState();
  mainloop::Watching = false;
}

TEST(AuthoringKeys, WithoutWatchTheKeysDoNothing) {
  mainloop::ResetLoopState();
  mainloop::Watching = false;
  openglx::KeyDown[openglx::VkSpace] = 1;
  openglx::KeyDown[openglx::VkRight] = 1;
  mainloop::HandleKeys();
  EXPECT_FALSE(mainloop::Paused);
  EXPECT_EQ(mainloop::UserOffset, 0);
  mainloop::ResetLoopState();
}

TEST(AuthoringWatch, ReportsWritesAndReplacementsOnce) {
  const fs::path dir = testutil::TempDir("watch");
  const std::string demo = (dir / "demo.qvl").string(), image = (dir / "a.bmp").string();
  testutil::WriteAll(demo, B("1"));
  testutil::WriteAll(image, B("1"));
  for (const bool polling : {false, true}) {
    SCOPED_TRACE(polling ? "polling" : "notification");
    fileWatch::Startup();
    fileWatch::Watch({demo, image}, polling);
    EXPECT_EQ(fileWatch::Notifying(), !polling);
    uint32_t now = 0;
    auto changes = [&] {
      std::vector<std::string> all;
      for (int i = 0; i < 60; ++i) {  // 600 ms of ticks and sleep
        now += 10;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const std::string& f : fileWatch::Changed(now)) all.push_back(f);
      }
      return all;
    };
    EXPECT_TRUE(changes().empty());
    testutil::WriteAll(demo, B(polling ? "22" : "2"));  // in place, a burst of writes
    testutil::WriteAll(demo, B(polling ? "333" : "3"));
    EXPECT_EQ(changes(), std::vector<std::string>{demo});
    testutil::WriteAll(dir / "new.tmp", B("4444"));  // saved by rename
    fs::rename(dir / "new.tmp", image);
    testutil::WriteAll(dir / "other.txt", B("x"));
    EXPECT_EQ(changes(), std::vector<std::string>{image});
    fileWatch::Shutdown();
  }
  fs::remove_all(dir);
}

TEST(AuthoringOverlay, TimeReadsAsMinutesSecondsMilliseconds) {
  EXPECT_EQ(overlay::FormatTime(0), "00:00.000");
  EXPECT_EQ(overlay::FormatTime(61234), "01:01.234");
  EXPECT_EQ(overlay::FormatTime(6000000), "100:00.000");
  EXPECT_EQ(overlay::FormatTime(-1500), "-00:01.500");
}

}  // namespace
