// The playback loop on a scripted message queue and a controlled tick source.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "loopHarness.h"

namespace {

using namespace openglx;  // messages, key table and Vk codes
using testutil::Key;
using testutil::LoopRun;
using After = std::map<int, std::vector<TMessage>>;

class PlayerLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {settings::SoundOff, settings::ShowFPS, settings::LoopDemo};
    settings::SoundOff = true;
    settings::ShowFPS = settings::LoopDemo = false;
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
  static LoopRun Play(int frames, After after = {}, std::function<void(size_t)> draw = {}, int32_t offset = 0) {
    Fresh();
    mainloop::UserOffset = offset;
    LoopRun h;
    h.maxFrames = frames;
    h.after = std::move(after);
    h.draw = std::move(draw);
    h.Run();
    return h;
  }
  static std::function<void(size_t)> FinishAt(size_t k) {
    return [k](size_t frame) { scheduler::DemoFinished |= frame == k; };
  }
  std::tuple<bool, bool, bool> saved_;
};

TEST_F(PlayerLoop, FrameClockMovesHalfWayAcrossTickWrap) {
  LoopRun h;
  h.now = 0xFFFFFFFFu - 50;  // the counter wraps during the run
  h.maxFrames = 5;
  const uint32_t start = h.now;
  const uint32_t elapsed[] = {101, 201, 203, 1000, 1001};  // at frame k, since the loop began
  h.step = elapsed[0];
  h.between = [&](int n) { h.now = start + elapsed[std::min(n, 4)]; };
  h.Run();
  ASSERT_EQ(h.frames.size(), 5u);
  // The first frame's clock is half the time since the loop began; then (clock + elapsed) / 2.
  const int32_t expected[] = {50, 125, 164, 582, 791};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(std::tie(h.frames[k].clock, h.frames[k].time), std::tie(expected[k], expected[k]));
}

TEST_F(PlayerLoop, KeyOrderAndRepeat) {
  // F3 and F2 in one frame: F3 now, F2 in the next frame.
  LoopRun h = Play(4, {{1, {Key(VkF3), Key(VkF2)}}});
  EXPECT_EQ(std::make_tuple(h.frames[1].offset, h.frames[2].offset, h.frames[3].offset), std::make_tuple(0, 1000, 0));
  EXPECT_EQ(KeyDown[VkF2] + KeyDown[VkF3], 0);
  // F5 acts first, then F1 puts the offset to 0.
  EXPECT_EQ(Play(3, {{1, {Key(VkF1), Key(VkF5)}}}, {}, 5000).frames[2].offset, 0);
  // F5 with sound off: the demo time starts again from 0, no seek.
  h = Play(4, {{2, {Key(VkF5)}}});
  EXPECT_EQ(h.frames[3].offset, -h.frames[2].clock);
  EXPECT_EQ(h.frames[3].time, h.frames[3].clock - h.frames[2].clock);
  EXPECT_TRUE(h.seeks.empty());
  // Held: auto-repeat sends a key-down before every frame.
  h = Play(5, {{1, {Key(VkF3)}}, {2, {Key(VkF3)}}, {3, {Key(VkF3)}}, {4, {Key(VkF3, false)}}});
  EXPECT_EQ(std::make_pair(h.frames[4].offset, mainloop::UserOffset), std::make_pair(3000, 3000));
  // Pressed and released before the next frame: the press counts for that frame, once.
  h = Play(4, {{1, {Key(VkF2), Key(VkF2, false)}}});
  EXPECT_EQ(std::make_tuple(h.frames[1].offset, h.frames[2].offset, h.frames[3].offset), std::make_tuple(0, -1000, -1000));
  EXPECT_EQ(KeyDown[VkF2], 0);
  // ... and a tap of Escape ends the show; a key released after a frame has seen it is up at once.
  EXPECT_EQ(Play(50, {{2, {Key(VkEscape), Key(VkEscape, false)}}}).frames.size(), 3u);
  h = Play(4, {{1, {Key(VkShift)}}, {2, {Key(VkShift, false)}}});
  EXPECT_EQ(KeyDown[VkShift], 0);
}

TEST_F(PlayerLoop, EndingConditions) {
  // The finished flag ends the loop after the frame that raised it, which is shown,
  LoopRun h = Play(50, {}, FinishAt(2));
  EXPECT_EQ(std::make_pair(h.frames.size(), h.swaps), std::make_pair(size_t(3), 3));
  // ... and the keys of that frame are still handled,
  EXPECT_EQ(Play(50, {{0, {Key(VkF3)}}}, FinishAt(0)).frames.size(), 1u);
  EXPECT_EQ(mainloop::UserOffset, 1000);
  // ... unless Escape is down: then no key acts.
  EXPECT_EQ(Play(50, {{0, {Key(VkF1), Key(VkEscape)}}}, FinishAt(0)).frames.size(), 1u);
  EXPECT_EQ(KeyDown[VkF1], 1);
  // Escape alone: the frame after the key is the last.
  EXPECT_EQ(Play(50, {{3, {Key(VkEscape)}}}).frames.size(), 4u);
  // A quit message (the window was closed) ends before another frame.
  EXPECT_EQ(Play(50, {{2, {{TMsgKind::Quit, 0, 0}, Key(VkF3)}}}).frames.size(), 2u);
  EXPECT_EQ(KeyDown[VkF3], 0);
}

TEST_F(PlayerLoop, FrameRateTimerCountsWithTheOverlayOff) {
  // The first timer is not ours; counting starts again from 0 after each update.
  const LoopRun h = Play(7, {{4, {{TMsgKind::Timer, 2, 0}, {TMsgKind::Timer, FrameRateTimerId, 0}}}});
  EXPECT_EQ(std::make_tuple(FPSText, h.frames[4].frameCount, FrameCount), std::make_tuple("FPS: 4", 1, 3));
}

TEST_F(PlayerLoop, MusicIsTheClockWhenSoundIsOn) {
  settings::SoundOff = false;
  Fresh();
  ASSERT_FALSE(mainloop::FrameClockTimeBase);
  LoopRun h;
  h.maxFrames = 4;
  h.music = 1234;
  h.musicStep = 40;
  h.after = {{1, {Key(VkF2)}}, {2, {Key(VkF5)}}};
  h.Run();
  // F5 seeks the music to 0 and keeps the offset.
  EXPECT_EQ(std::make_tuple(h.frames[0].time, h.frames[1].time, h.frames[2].time, h.frames[3].time),
            std::make_tuple(1234, 1274, 1314 - 1000, -1000));
  EXPECT_EQ(h.seeks, std::vector<int32_t>{0});
  EXPECT_EQ(h.plays, 0);
}

TEST_F(PlayerLoop, LoopDemoStartsAgainFromZero) {
  settings::LoopDemo = true;
  LoopRun h = Play(6, {}, FinishAt(3));
  ASSERT_EQ(h.frames.size(), 6u);  // not ended by the flag
  EXPECT_EQ(scheduler::DemoFinished, 0);
  EXPECT_EQ(h.frames[4].offset, -h.frames[3].clock);
  EXPECT_TRUE(h.frames[4].time >= 0 && h.frames[4].time < h.frames[3].time);
  EXPECT_EQ(Play(50, {{2, {Key(VkEscape)}}}).frames.size(), 3u);  // Escape still ends it
  // With music: the end of the track seeks to 0 and plays again.
  settings::SoundOff = false;
  Fresh();
  LoopRun m;
  m.maxFrames = 4;
  m.music = 5000;
  m.between = [&](int n) { m.musicEnded = m.musicEnded || n == 2; };
  m.Run();
  EXPECT_EQ(std::make_tuple(m.seeks, m.plays, m.frames[3].time), std::make_tuple(std::vector<int32_t>{0}, 1, 0));
}

// The keys against the real track scheduler.
std::vector<int32_t> renders;  // times the recording operator was drawn at
int creates = 0;

class PlayerLoopTracks : public PlayerLoop {
 protected:
  void SetUp() override {
    PlayerLoop::SetUp();
    savedOp_ = registry::Operators[0];
    op_.Name = "recorder";
    op_.CreateInstance = [](int32_t) { return ++creates, 0; };
    op_.FreeInstance = [](uint8_t) {};
    op_.Render = [](uint8_t, int32_t, int32_t, int32_t time, int32_t, float, float) { renders.push_back(time); };
    registry::Operators[0] = &op_;
  }
  void TearDown() override {
    registry::Operators[0] = savedOp_;
    PlayerLoop::TearDown();
  }
  // Plays one event from 0 to 5 s with frames every 100 ms; `key` goes in after frame `at`.
  LoopRun PlayEvent(int at, int key) {
    data_.Events = {{0, 5000, 0, {}, 0, 0}};
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

TEST_F(PlayerLoopTracks, F3KeepsTheTracksAndF2ResetsThemGivingNegativeTime) {
  PlayEvent(3, VkF3);
  EXPECT_EQ(creates, 1);  // a running event stays bound: no reset
  const LoopRun h = PlayEvent(3, VkF2);
  EXPECT_TRUE(h.frames[3].time >= 0 && h.frames[4].time < 0);
  EXPECT_EQ(creates, 2);  // the reset made the track bind the event anew
  const auto atOrAfterZero = std::count_if(h.frames.begin(), h.frames.end(), [](auto& f) { return f.time >= 0; });
  EXPECT_EQ(renders.size(), size_t(atOrAfterZero));  // never drawn at a negative time
}

}  // namespace
