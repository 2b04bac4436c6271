// The playback loop driven by a scripted message queue and a controlled
// tick source: the frame clock, the demo time, the keys and the ways the
// loop ends.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/mainloop.h"
#include "player/openglx.h"

namespace {

using namespace openglx;  // messages, key table and Vk codes

TMessage Key(int vk, bool down = true) { return {down ? TMsgKind::KeyDown : TMsgKind::KeyUp, vk, 0}; }
const TMessage kQuit{TMsgKind::Quit, 0, 0};

struct FrameRecord {
  int32_t clock, offset, time, frameCount;
};

// One run of the loop. after[n] is queued once frame n has been shown (after[0]
// before the first); `between(n)` may move the clock or the music. A quit after
// `maxFrames` frames keeps a faulty rule from hanging the test.
struct Harness {
  std::deque<TMessage> queue;
  std::map<int, std::vector<TMessage>> after;
  uint32_t now = 70000;  // ticks since boot; any value
  uint32_t step = 100;   // ms each frame takes
  int32_t music = 0;
  bool musicEnded = false;
  std::vector<int32_t> seeks;
  int plays = 0, swaps = 0, maxFrames = 50;
  bool started = false;
  std::vector<FrameRecord> frames;
  std::function<void(int)> between;
  std::function<void(size_t)> draw;  // extra work inside frame k, from 0

  void Run() {
    mainloop::TLoopPlatform p;
    p.PeekMessage = [this](TMessage& m) {
      if (queue.empty()) return false;
      m = queue.front();
      queue.pop_front();
      return true;
    };
    // The loop reads the start tick first; the first frame comes `step` ms later.
    p.GetTickCount = [this] {
      if (started) return now;
      started = true;
      now += step;
      return now - step;
    };
    p.RenderFrame = [this] {
      mainloop::UpdateDemoTime();
      if (draw) draw(frames.size());
      frames.push_back({mainloop::FrameClock, mainloop::UserOffset, mainloop::DemoTime, openglx::FrameCount});
    };
    p.SwapBuffers = [this] {
      ++swaps;
      now += step;
      const int n = static_cast<int>(frames.size());
      if (between) between(n);
      for (const TMessage& m : after[n]) queue.push_back(m);
      if (n >= maxFrames) queue.push_back(kQuit);
    };
    p.MusicPosition = [this] { return music; };
    p.SeekMusic = [this](int32_t ms) {
      seeks.push_back(ms);
      music = ms;
      musicEnded = false;
    };
    p.PlayMusic = [this] { ++plays; };
    p.MusicEnded = [this] { return musicEnded; };
    for (const TMessage& m : after[0]) queue.push_back(m);
    mainloop::RunFrames(p);
  }
};

class PlayerLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {settings::SoundOff, settings::ShowFPS, settings::LoopDemo};
    settings::SoundOff = true;
    settings::ShowFPS = false;
    settings::LoopDemo = false;
    scheduler::Startup();
    scheduler::UseDemoData(nullptr);
    Fresh();
  }
  void TearDown() override {
    std::tie(settings::SoundOff, settings::ShowFPS, settings::LoopDemo) = saved_;
    scheduler::UseDemoData(nullptr);
    Fresh();
  }
  static void Fresh() {
    mainloop::ResetLoopState();
    scheduler::DemoFinished = 0;
  }
  // A fresh run of `frames` frames on the frame clock.
  static Harness Play(int frames, std::map<int, std::vector<TMessage>> after = {},
                      std::function<void(size_t)> draw = {}, int32_t offset = 0) {
    Fresh();
    mainloop::UserOffset = offset;
    Harness h;
    h.maxFrames = frames;
    h.after = std::move(after);
    h.draw = std::move(draw);
    h.Run();
    return h;
  }
  std::tuple<bool, bool, bool> saved_;
};

TEST_F(PlayerLoop, FrameClockMovesHalfWayAcrossTickWrap) {
  Harness h;
  h.now = 0xFFFFFFFFu - 50;  // the counter wraps during the run
  h.maxFrames = 5;
  const uint32_t start = h.now;
  const uint32_t elapsed[] = {101, 201, 203, 1000, 1001};  // at frame k, since the loop began
  h.step = elapsed[0];
  h.between = [&](int n) {
    if (n < 5) h.now = start + elapsed[n];
  };
  h.Run();
  ASSERT_EQ(h.frames.size(), 5u);
  // The first frame's clock is half the time since the loop began; then (clock + elapsed) / 2.
  const int32_t expected[] = {50, 125, 164, 582, 791};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(h.frames[k].clock, expected[k]) << k;
    EXPECT_EQ(h.frames[k].time, expected[k]) << k;
  }
}

TEST_F(PlayerLoop, KeyOrderAndRepeat) {
  // F3 and F2 in one frame: F3 now, F2 in the next frame.
  Harness h = Play(4, {{1, {Key(VkF3), Key(VkF2)}}});
  EXPECT_EQ(h.frames[1].offset, 0);
  EXPECT_EQ(h.frames[2].offset, 1000);
  EXPECT_EQ(h.frames[3].offset, 0);
  EXPECT_EQ(KeyDown[VkF2] + KeyDown[VkF3], 0);

  // F5 acts first, then F1 puts the offset to 0.
  h = Play(3, {{1, {Key(VkF1), Key(VkF5)}}}, {}, 5000);
  EXPECT_EQ(h.frames[2].offset, 0);

  // F5 with sound off: the demo time starts again from 0, no seek.
  h = Play(4, {{2, {Key(VkF5)}}});
  EXPECT_EQ(h.frames[3].offset, -h.frames[2].clock);
  EXPECT_EQ(h.frames[3].time, h.frames[3].clock - h.frames[2].clock);
  EXPECT_TRUE(h.seeks.empty());

  // Held: auto-repeat sends a key-down before every frame.
  h = Play(5, {{1, {Key(VkF3)}}, {2, {Key(VkF3)}}, {3, {Key(VkF3)}}, {4, {Key(VkF3, false)}}});
  EXPECT_EQ(h.frames[4].offset, 3000);
  EXPECT_EQ(mainloop::UserOffset, 3000);

  // Pressed and released before the next frame: the queue is emptied first.
  h = Play(3, {{1, {Key(VkF2), Key(VkF2, false)}}});
  for (const auto& f : h.frames) EXPECT_EQ(f.offset, 0);
}

TEST_F(PlayerLoop, EndingConditions) {
  const auto finishAt = [](size_t k) {
    return [k](size_t frame) {
      if (frame == k) scheduler::DemoFinished = 1;
    };
  };
  // The finished flag ends the loop after the frame that raised it, which is shown,
  Harness h = Play(50, {}, finishAt(2));
  EXPECT_EQ(h.frames.size(), 3u);
  EXPECT_EQ(h.swaps, 3);
  // ... and the keys of that frame are still handled,
  h = Play(50, {{0, {Key(VkF3)}}}, finishAt(0));
  EXPECT_EQ(h.frames.size(), 1u);
  EXPECT_EQ(mainloop::UserOffset, 1000);
  // ... unless Escape is down: then no key acts.
  h = Play(50, {{0, {Key(VkF1), Key(VkEscape)}}}, finishAt(0));
  EXPECT_EQ(h.frames.size(), 1u);
  EXPECT_EQ(KeyDown[VkF1], 1);
  // Escape alone: the frame after the key is the last.
  EXPECT_EQ(Play(50, {{3, {Key(VkEscape)}}}).frames.size(), 4u);
  // A quit message (the window was closed) ends before another frame.
  EXPECT_EQ(Play(50, {{2, {kQuit, Key(VkF3)}}}).frames.size(), 2u);
  EXPECT_EQ(KeyDown[VkF3], 0);
}

TEST_F(PlayerLoop, FrameRateTimerCountsWithTheOverlayOff) {
  // The first timer is not ours.
  const Harness h = Play(7, {{4, {{TMsgKind::Timer, 2, 0}, {TMsgKind::Timer, FrameRateTimerId, 0}}}});
  EXPECT_EQ(FPSText, "FPS: 4");
  // Counting starts again from 0 after each update.
  EXPECT_EQ(h.frames[4].frameCount, 1);
  EXPECT_EQ(FrameCount, 3);
}

TEST_F(PlayerLoop, MusicIsTheClockWhenSoundIsOn) {
  settings::SoundOff = false;
  Fresh();
  ASSERT_FALSE(mainloop::FrameClockTimeBase);
  Harness h;
  h.maxFrames = 4;
  h.music = 1234;
  h.between = [&](int) { h.music += 40; };
  h.after = {{1, {Key(VkF2)}}, {2, {Key(VkF5)}}};
  h.Run();
  EXPECT_EQ(h.frames[0].time, 1234);
  EXPECT_EQ(h.frames[1].time, 1274);
  EXPECT_EQ(h.frames[2].time, 1314 - 1000);
  // F5 seeks the music to 0 and keeps the offset.
  EXPECT_EQ(h.seeks, std::vector<int32_t>{0});
  EXPECT_EQ(h.frames[3].time, -1000);
  EXPECT_EQ(h.plays, 0);
}

TEST_F(PlayerLoop, LoopDemoStartsAgainFromZero) {
  settings::LoopDemo = true;
  Harness h = Play(6, {}, [](size_t k) {
    if (k == 3) scheduler::DemoFinished = 1;
  });
  ASSERT_EQ(h.frames.size(), 6u);  // not ended by the flag
  EXPECT_EQ(scheduler::DemoFinished, 0);
  EXPECT_EQ(h.frames[4].offset, -h.frames[3].clock);
  EXPECT_GE(h.frames[4].time, 0);
  EXPECT_LT(h.frames[4].time, h.frames[3].time);
  EXPECT_EQ(Play(50, {{2, {Key(VkEscape)}}}).frames.size(), 3u);  // Escape still ends it
  // With music: the end of the track seeks to 0 and plays again.
  settings::SoundOff = false;
  Fresh();
  Harness m;
  m.maxFrames = 4;
  m.music = 5000;
  m.between = [&](int n) { m.musicEnded = m.musicEnded || n == 2; };
  m.Run();
  EXPECT_EQ(m.seeks, std::vector<int32_t>{0});
  EXPECT_EQ(m.plays, 1);
  EXPECT_EQ(m.frames[3].time, 0);
}

// ---- the keys against the real track scheduler ----

std::vector<int32_t> renders;  // times the recording operator was drawn at
int creates = 0;

class PlayerLoopTracks : public PlayerLoop {
 protected:
  void SetUp() override {
    PlayerLoop::SetUp();
    savedOp_ = registry::Operators[0];
    op_.Name = "recorder";
    op_.CreateInstance = [](int32_t) -> int32_t {
      ++creates;
      return 0;
    };
    op_.FreeInstance = [](uint8_t) {};
    op_.Render = [](uint8_t, int32_t, int32_t, int32_t time, int32_t, float, float) { renders.push_back(time); };
    registry::Operators[0] = &op_;
  }
  void TearDown() override {
    registry::Operators[0] = savedOp_;
    PlayerLoop::TearDown();
  }
  // Plays one event with frames every 100 ms; `key` goes in after frame `at`.
  Harness PlayEvent(int32_t start, int32_t length, int at, int key) {
    scheduler::TDemoEvent e{};
    e.Start = start;
    e.Length = length;
    data_.Events = {e};
    data_.EventCount = 1;
    scheduler::UseDemoData(&data_);
    scheduler::ResetTracks();
    renders.clear();
    creates = 0;
    return Play(25, {{at, {Key(key)}}}, [](size_t) { scheduler::RenderTracks(mainloop::DemoTime); });
  }
  dllShared::fOperator op_{};
  dllShared::fOperator* savedOp_ = nullptr;
  scheduler::TDemoData data_;
};

TEST_F(PlayerLoopTracks, F3SkipsWithoutReset) {
  const Harness h = PlayEvent(1200, 300, 10, VkF3);
  ASSERT_LT(h.frames[10].time, 1200);
  ASSERT_GT(h.frames[11].time, 1500);
  EXPECT_TRUE(renders.empty());  // an event inside the skipped second never starts
  PlayEvent(0, 5000, 3, VkF3);
  EXPECT_EQ(creates, 1);  // a running event stays bound: no reset
}

TEST_F(PlayerLoopTracks, F2EarlyGivesNegativeTimeAndEventsWait) {
  const Harness h = PlayEvent(0, 5000, 3, VkF2);
  EXPECT_GE(h.frames[3].time, 0);
  EXPECT_LT(h.frames[4].time, 0);
  // The event is drawn in exactly the frames at or after 0.
  std::vector<int32_t> expected;
  for (const auto& f : h.frames)
    if (f.time >= 0) expected.push_back(f.time);
  EXPECT_EQ(renders, expected);
  EXPECT_LT(expected.size(), h.frames.size());
  // The reset made the track bind the event anew.
  EXPECT_EQ(creates, 2);
}

}  // namespace
