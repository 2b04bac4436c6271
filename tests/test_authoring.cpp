// The authoring loop without a display: reload on change, the file watcher, pause and seek.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "data/demo.h"
#include "app/modules.h"
#include "authoring/authoring.h"
#include "platform/fileWatch.h"
#include "loopHarness.h"
#include "operators/opScripter.h"
#include "toolRun.h"
#include "description/demoBuild.h"
#include "player/playerHooks.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using authoring::TOutcome;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// 16 frames of 100 ms with --watch on; the music moves with the frames unless paused.
testutil::LoopRun Watch(bool frameClock, std::map<int, std::vector<openglx::TMessage>> after, size_t failAt = 0,
                        std::function<void(int)> between = {}) {
  mainloop::ResetLoopState();
  mainloop::Watching = true;
  mainloop::FrameClockTimeBase = frameClock;
  testutil::LoopRun loop;
  loop.maxFrames = 16, loop.musicStep = 100, loop.failAt = failAt;
  loop.after = std::move(after);
  loop.between = std::move(between);
  loop.Run();
  mainloop::ResetLoopState();
  mainloop::Watching = false;
  return loop;
}

std::vector<int32_t> Times(const testutil::LoopRun& loop) {
  std::vector<int32_t> t;
  for (const auto& f : loop.frames) t.push_back(f.time);
  return t;
}

TEST(AuthoringKeys, PauseAndSeekMoveTheTimeBase) {
  using namespace openglx;
  using testutil::Key;
  for (const bool frameClock : {true, false}) {
    SCOPED_TRACE(frameClock ? "frame clock" : "music");
    // A key acts at the end of the next frame and shows in the one after.
    const auto loop = Watch(frameClock, {{4, {Key(VkSpace)}}, {6, {Key(VkRight)}}, {7, {Key(VkShift), Key(VkLeft)}},
                                         {8, {Key(VkShift, false)}}, {9, {Key(VkSpace)}}, {12, {Key(VkHome)}}});
    const auto t = Times(loop);
    const int32_t at = t[6];
    // Paused, +1 s, -100 ms, resumed where it stood, then running again.
    EXPECT_EQ(std::vector<int32_t>(t.begin() + 5, t.begin() + 11),
              (std::vector<int32_t>{at, at, at + 1000, at + 900, at + 900, at + 900}));
    EXPECT_TRUE(t[11] > at + 900 && t[11] < at + 1100) << t[11];
    EXPECT_TRUE(t[13] < 200 && t[14] > t[13]) << "Home";
    if (!frameClock) {
      EXPECT_EQ(loop.pauses, (std::vector<bool>{true, false}));
      EXPECT_EQ(loop.seeks, (std::vector<int32_t>{at + 1000, at + 900, at + 900, 0}));
    }
  }
}

TEST(AuthoringKeys, AFailingFrameHoldsTheDemoUntilResumed) {
  const auto loop = Watch(true, {{9, {testutil::Key(openglx::VkSpace)}}}, 4);
  const auto t = Times(loop);
  EXPECT_EQ(loop.faults, std::vector<std::string>{"bad error"});
  EXPECT_EQ(std::vector<int32_t>(t.begin() + 4, t.begin() + 11), std::vector<int32_t>(7, t[3]));
  EXPECT_GT(t[11], t[10]);
}

// A disk of named byte strings; a demo "loads" unless it starts with "bad".
TEST(AuthoringReload, ChangesGiveTheRightOutcome) {
  std::map<std::string, Bytes> disk{{"demo.qvl", B("one")}};
  std::vector<std::string> loads;
  int musicReloads = 0;
  authoring::THooks h;
  h.ReadFile = [&](const std::string& p, Bytes& b) { return disk.count(p) && (b = disk[p], true); };
  h.Load = [&](const Bytes& d, std::string& msg) {
    loads.emplace_back(d.begin(), d.end());
    return loads.back().rfind("bad", 0) != 0 || (msg = "damaged", false);
  };
  h.ReloadMusic = [&] { ++musicReloads; };
  h.ImageFiles = [] { return std::vector<std::string>{"a.bmp"}; };
  authoring::Begin("demo.qvl", h, B("one"), B("one"));
  EXPECT_EQ(authoring::WatchedFiles(), (std::vector<std::string>{"demo.qvl", "a.bmp", "music.mp3"}));

  struct Step {
    std::string changed;
    const char* content;  // written to demo.qvl first; null: untouched, "": deleted
    TOutcome outcome;
    std::vector<std::string> loads;  // in order
  };
  const Step steps[] = {
      {"demo.qvl", "two", TOutcome::Reloaded, {"two"}},
      {"demo.qvl", "two", TOutcome::Nothing, {}},  // saved again unchanged
      {"demo.qvl", "bad-tw", TOutcome::KeptLastGood, {"bad-tw", "two"}},  // half-written
      {"demo.qvl", "three", TOutcome::Reloaded, {"three"}},               // then completed
      {"demo.qvl", "", TOutcome::KeptLastGood, {"three"}},
      {"a.bmp", nullptr, TOutcome::Reloaded, {"three"}},
      {"music.mp3", nullptr, TOutcome::MusicReloaded, {}},
      {"notes.txt", nullptr, TOutcome::Nothing, {}},
  };
  for (const Step& s : steps) {
    if (s.content && *s.content) disk["demo.qvl"] = B(s.content);
    else if (s.content) disk.erase("demo.qvl");
    loads.clear();
    EXPECT_EQ(authoring::FilesChanged({s.changed}), s.outcome) << s.changed << " " << (s.content ? s.content : "");
    EXPECT_EQ(loads, s.loads) << s.changed;
  }
  EXPECT_EQ(musicReloads, 1);
  authoring::End();
}

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
  }
  static void Begin(const std::string& desc) {
    const demoBuild::TBuilt first = demoBuild::BuildDemoBytes(desc, ".");
    ASSERT_TRUE(first.Ok) << first.Error;
    ASSERT_TRUE(demo::LoadDemoBytes("demo.json", first.Bytes, false));
    authoring::THooks hooks = playerHooks::Authoring("demo.json", true);
    hooks.Report = {};
    authoring::Begin("demo.json", hooks, B(desc), first.Bytes, first.FilesRead);
  }
  fs::path oldCwd_ = fs::current_path(), dir_ = testutil::TempDir("authoring");
};

std::string Desc(int start) {
  return R"({"events":[{"Op":"Fader","Track":0,"Start":)" + std::to_string(start) +
         R"(,"Length":1000,"ParamSet":0}],"operators":{"Fader":[{"StartRed":1,"StartGreen":0,"StartBlue":0,)"
         R"("EndRed":1,"EndGreen":0,"EndBlue":0,"StartAlpha":1,"EndAlpha":1}]}})";
}

// The player's own hooks: a bad save names the fault as qvl build does, the
// events already playing stay and the time runs on.
TEST_F(AuthoringJson, ReloadKeepsTimeAndLastGoodDemo) {
  Begin(Desc(100));
  const std::map<int, std::string> saves{{3, Desc(200)}, {7, R"({"events":[{"Start":"x"}]})"}, {9, Desc(400)}};
  std::vector<TOutcome> outcomes;
  std::vector<int32_t> starts;
  const auto loop = Watch(true, {}, 0, [&](int n) {
    if (!saves.count(n)) return;
    testutil::WriteAll("demo.json", B(saves.at(n)));
    outcomes.push_back(authoring::FilesChanged({"demo.json"}));
    EXPECT_TRUE(n != 7 || authoring::LastMessage().starts_with("qvl build: demo.json: /events/0/Start: "))
        << authoring::LastMessage();
    starts.push_back(demo::DemoData.Events.at(0).Start);
  });
  EXPECT_EQ(outcomes, (std::vector<TOutcome>{TOutcome::Reloaded, TOutcome::KeptLastGood, TOutcome::Reloaded}));
  EXPECT_EQ(starts, (std::vector<int32_t>{200, 200, 400}));
  const auto t = Times(loop);
  for (size_t i = 1; i < t.size(); ++i) EXPECT_GT(t[i], t[i - 1]) << "frame " << i;
}

// The in-memory build is the file qvl build writes; a bad save of the script
// names the file and line and keeps the last good program.
TEST_F(AuthoringJson, SavingAnAssemblyFileRebuildsAsQvlBuildDoes) {
  const std::string desc = R"({"scripts":{"ScrICount":1,"programs":[{"AsmFile":"s.s"}]},)" + Desc(100).substr(1);
  testutil::WriteAll("s.s", B("PUSHI 7\nSTOREI 0\n"));
  testutil::WriteAll("demo.json", B(desc));
  ASSERT_EQ(testutil::Qvl("build demo.json -o built.qvl").status, 0);
  const demoBuild::TBuilt built = demoBuild::BuildDemoBytes(desc, ".");
  ASSERT_TRUE(built.Ok) << built.Error;
  EXPECT_EQ(built.Bytes, testutil::ReadAll("built.qvl"));

  Begin(desc);
  EXPECT_EQ(authoring::WatchedFiles(), (std::vector<std::string>{"demo.json", "s.s", "music.mp3"}));
  const auto code = [] { return opScripter::Scripts().at(0).Code; };
  testutil::WriteAll("s.s", B("PUSHI 8\nSTOREI 0\n"));
  EXPECT_EQ(authoring::FilesChanged({"s.s"}), TOutcome::Reloaded);
  EXPECT_EQ(code(), (std::vector<uint8_t>{0, 8, 0, 0, 0, 4, 0}));
  testutil::WriteAll("s.s", B("PUSHI 9\nPUSHX\n"));
  EXPECT_EQ(authoring::FilesChanged({"s.s"}), TOutcome::KeptLastGood);
  EXPECT_NE(authoring::LastMessage().find("/scripts/programs/0/AsmFile: s.s:2: unknown mnemonic"), std::string::npos)
      << authoring::LastMessage();
  EXPECT_EQ(code()[1], 8);
}

TEST(AuthoringWatch, ReportsWritesAndReplacementsOnce) {
  const fs::path dir = testutil::TempDir("watch");
  const std::string demo = (dir / "demo.qvl").string(), image = (dir / "a.bmp").string();
  for (const auto& f : {demo, image}) testutil::WriteAll(f, B("1"));
  for (const bool polling : {false, true}) {
    SCOPED_TRACE(polling ? "polling" : "notification");
    fileWatch::Watch({demo, image}, polling);
    EXPECT_EQ(fileWatch::Notifying(), !polling);
    uint32_t now = 0;
    auto changes = [&] {  // 500 ms of ticks
      std::vector<std::string> all;
      for (int i = 0; i < 50; ++i, now += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const std::string& f : fileWatch::Changed(now)) all.push_back(f);
      }
      return all;
    };
    EXPECT_TRUE(changes().empty());
    testutil::WriteAll(demo, B(polling ? "22" : "2"));  // in place, twice in a burst
    testutil::WriteAll(demo, B(polling ? "333" : "3"));
    EXPECT_EQ(changes(), std::vector<std::string>{demo});
    testutil::WriteAll(dir / "new.tmp", B("4444"));  // saved by rename, beside an unwatched file
    fs::rename(dir / "new.tmp", image);
    testutil::WriteAll(dir / "other.txt", B("x"));
    EXPECT_EQ(changes(), std::vector<std::string>{image});
    fileWatch::Shutdown();
  }
  fs::remove_all(dir);
}

}  // namespace
