// The playback loop driven by a scripted message queue and a controlled
// tick source: the frame clock, the demo time, the keys and the ways the
// loop ends.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include "engine/registry.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/mainloop.h"
#include "player/openglx.h"

namespace {

using openglx::TMessage;
using openglx::TMsgKind;

TMessage Key(int vk, bool down = true) { return {down ? TMsgKind::KeyDown : TMsgKind::KeyUp, vk, 0}; }

struct FrameRecord {
  int32_t clock, offset, time, frameCount;
};

// One run of the loop. Messages in `queue` are taken before the next frame;
// `between(n)` runs after frame n has been shown and may queue input, move
// the clock or raise the finished flag. The loop is stopped by a quit
// message after `maxFrames` frames so a faulty rule cannot hang the test.
struct Harness {
  std::deque<TMessage> queue;
  uint32_t now = 70000;  // ticks since boot; any value
  uint32_t step = 100;   // ms each frame takes
  int32_t music = 0;     // the music position, when the music is the clock
  bool musicEnded = false;
  std::vector<int32_t> seeks;
  int plays = 0;
  std::vector<FrameRecord> frames;
  int swaps = 0;
  bool started = false;
  int maxFrames = 50;
  std::function<void(int)> between;
  std::function<void()> draw;  // extra drawing work inside the frame

  mainloop::TLoopPlatform Platform() {
    mainloop::TLoopPlatform p;
    p.PeekMessage = [this](TMessage& m) {
      if (queue.empty()) return false;
      m = queue.front();
      queue.pop_front();
      return true;
    };
    // The loop reads the start tick first; the first frame comes `step`
    // ms later.
    p.GetTickCount = [this] {
      if (started) return now;
      started = true;
      const uint32_t t = now;
      now += step;
      return t;
    };
    p.RenderFrame = [this] {
      mainloop::UpdateDemoTime();
      if (draw) draw();
      frames.push_back({mainloop::FrameClock, mainloop::UserOffset, mainloop::DemoTime, openglx::FrameCount});
    };
    p.SwapBuffers = [this] {
      ++swaps;
      now += step;
      const int n = static_cast<int>(frames.size());
      if (between) between(n);
      if (n >= maxFrames) queue.push_back({TMsgKind::Quit, 0, 0});
    };
    p.MusicPosition = [this] { return music; };
    p.SeekMusic = [this](int32_t ms) {
      seeks.push_back(ms);
      music = ms;
      musicEnded = false;
    };
    p.PlayMusic = [this] { ++plays; };
    p.MusicEnded = [this] { return musicEnded; };
    return p;
  }

  void Run() { mainloop::RunFrames(Platform()); }
};

class PlayerLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {settings::SoundOff, settings::ShowFPS, settings::LoopDemo};
    settings::SoundOff = true;
    settings::ShowFPS = false;
    settings::LoopDemo = false;
    mainloop::ResetLoopState();
    scheduler::Startup();
    scheduler::UseDemoData(nullptr);
    scheduler::DemoFinished = 0;
  }
  void TearDown() override {
    settings::SoundOff = saved_.soundOff;
    settings::ShowFPS = saved_.showFps;
    settings::LoopDemo = saved_.loop;
    scheduler::DemoFinished = 0;
    scheduler::UseDemoData(nullptr);
    mainloop::ResetLoopState();
  }
  struct {
    bool soundOff, showFps, loop;
  } saved_{};
};

TEST_F(PlayerLoop, FrameClockMovesHalfWayWithTruncatingDivision) {
  Harness h;
  h.maxFrames = 5;
  // Frame k is drawn when the ticks have moved by `elapsed[k]` since the
  // loop started.
  const uint32_t start = h.now;
  const uint32_t elapsed[] = {101, 201, 203, 1000, 1001};
  h.step = elapsed[0];
  h.between = [&](int n) {
    if (n < 5) h.now = start + elapsed[n];
  };
  h.Run();
  ASSERT_EQ(h.frames.size(), 5u);
  // The first frame's clock is half the time since the loop began.
  EXPECT_EQ(h.frames[0].clock, 50);
  EXPECT_EQ(h.frames[1].clock, 125);  // (50 + 201) / 2
  EXPECT_EQ(h.frames[2].clock, 164);  // (125 + 203) / 2
  EXPECT_EQ(h.frames[3].clock, 582);
  EXPECT_EQ(h.frames[4].clock, 791);
  for (const auto& f : h.frames) EXPECT_EQ(f.time, f.clock);
  EXPECT_EQ(h.swaps, 5);
}

TEST_F(PlayerLoop, FrameClockSurvivesTickCounterWrap) {
  Harness h;
  h.now = 0xFFFFFFFFu - 50;  // the counter wraps during the run
  h.maxFrames = 3;
  h.Run();
  ASSERT_EQ(h.frames.size(), 3u);
  EXPECT_EQ(h.frames[0].clock, 50);
  EXPECT_EQ(h.frames[1].clock, 125);  // (50 + 200) / 2
  EXPECT_EQ(h.frames[2].clock, 212);  // (125 + 300) / 2
}

TEST_F(PlayerLoop, KeyOrderWithinOneFrame) {
  Harness h;
  h.maxFrames = 4;
  h.between = [&](int n) {
    if (n == 1) {
      // F3 and F2 together: F3 now, F2 in the next frame.
      h.queue.push_back(Key(openglx::VkF3));
      h.queue.push_back(Key(openglx::VkF2));
    }
  };
  h.Run();
  ASSERT_EQ(h.frames.size(), 4u);
  EXPECT_EQ(h.frames[1].offset, 0);
  EXPECT_EQ(h.frames[2].offset, 1000);  // after F3
  EXPECT_EQ(h.frames[3].offset, 0);     // after F2
  EXPECT_EQ(openglx::KeyDown[openglx::VkF2], 0);
  EXPECT_EQ(openglx::KeyDown[openglx::VkF3], 0);

  // F5 acts first, then F1 sets the offset to 0.
  mainloop::ResetLoopState();
  mainloop::UserOffset = 5000;
  Harness g;
  g.maxFrames = 3;
  g.between = [&](int n) {
    if (n == 1) {
      g.queue.push_back(Key(openglx::VkF1));
      g.queue.push_back(Key(openglx::VkF5));
    }
  };
  g.Run();
  EXPECT_EQ(g.frames[2].offset, 0);

  // F5 alone with sound off: the demo time starts again from 0.
  mainloop::ResetLoopState();
  Harness f;
  f.maxFrames = 4;
  f.between = [&](int n) {
    if (n == 2) f.queue.push_back(Key(openglx::VkF5));
  };
  f.Run();
  EXPECT_EQ(f.frames[3].offset, -f.frames[2].clock);
  EXPECT_EQ(f.frames[3].time, f.frames[3].clock - f.frames[2].clock);
  EXPECT_TRUE(f.seeks.empty());
}

TEST_F(PlayerLoop, HeldKeyRepeatsAndQuickTapDoesNothing) {
  Harness h;
  h.maxFrames = 5;
  // Auto-repeat: a key-down arrives before every frame while held.
  h.between = [&](int n) {
    if (n <= 3) h.queue.push_back(Key(openglx::VkF3));
    if (n == 4) h.queue.push_back(Key(openglx::VkF3, false));
  };
  h.Run();
  EXPECT_EQ(h.frames[4].offset, 3000);
  EXPECT_EQ(mainloop::UserOffset, 3000);

  // Pressed and released before the next frame: the queue is emptied first.
  mainloop::ResetLoopState();
  Harness g;
  g.maxFrames = 3;
  g.between = [&](int n) {
    if (n == 1) {
      g.queue.push_back(Key(openglx::VkF2));
      g.queue.push_back(Key(openglx::VkF2, false));
    }
  };
  g.Run();
  for (const auto& f : g.frames) EXPECT_EQ(f.offset, 0);
}

TEST_F(PlayerLoop, EndingConditions) {
  {  // The finished flag ends the loop after the frame that raised it.
    Harness h;
    h.draw = [&] {
      if (h.frames.size() == 2) scheduler::DemoFinished = 1;
    };
    h.Run();
    EXPECT_EQ(h.frames.size(), 3u);
    EXPECT_EQ(h.swaps, 3);  // that frame was shown
  }
  {  // ... and the keys of that frame are still handled.
    mainloop::ResetLoopState();
    scheduler::DemoFinished = 0;
    Harness h;
    h.queue.push_back(Key(openglx::VkF3));
    h.draw = [] { scheduler::DemoFinished = 1; };
    h.Run();
    EXPECT_EQ(h.frames.size(), 1u);
    EXPECT_EQ(mainloop::UserOffset, 1000);
  }
  {  // Escape held while the flag is raised: the loop ends, no key acts.
    mainloop::ResetLoopState();
    scheduler::DemoFinished = 0;
    Harness h;
    h.queue.push_back(Key(openglx::VkF1));
    h.queue.push_back(Key(openglx::VkEscape));
    h.draw = [] { scheduler::DemoFinished = 1; };
    h.Run();
    EXPECT_EQ(h.frames.size(), 1u);
    EXPECT_EQ(openglx::KeyDown[openglx::VkF1], 1);
  }
  {  // Escape alone: the frame after the key is the last.
    mainloop::ResetLoopState();
    scheduler::DemoFinished = 0;
    Harness h;
    h.between = [&](int n) {
      if (n == 3) h.queue.push_back(Key(openglx::VkEscape));
    };
    h.Run();
    EXPECT_EQ(h.frames.size(), 4u);
  }
  {  // A quit message (the window was closed) ends before another frame.
    mainloop::ResetLoopState();
    Harness h;
    h.between = [&](int n) {
      if (n == 2) {
        h.queue.push_back({TMsgKind::Quit, 0, 0});
        h.queue.push_back(Key(openglx::VkF3));
      }
    };
    h.Run();
    EXPECT_EQ(h.frames.size(), 2u);
    EXPECT_EQ(openglx::KeyDown[openglx::VkF3], 0);  // never reached
  }
}

TEST_F(PlayerLoop, FrameRateTimerTurnsCountIntoText) {
  Harness h;
  h.maxFrames = 7;
  h.between = [&](int n) {
    if (n == 4) {
      h.queue.push_back({TMsgKind::Timer, 2, 0});  // not ours
      h.queue.push_back({TMsgKind::Timer, openglx::FrameRateTimerId, 0});
    }
  };
  h.Run();
  EXPECT_EQ(openglx::FPSText, "FPS: 4");
  // Counting goes on with the overlay off, from 0 after each update.
  EXPECT_FALSE(settings::ShowFPS);
  EXPECT_EQ(h.frames[4].frameCount, 1);
  EXPECT_EQ(openglx::FrameCount, 3);
}

TEST_F(PlayerLoop, MusicIsTheClockWhenSoundIsOn) {
  settings::SoundOff = false;
  mainloop::ResetLoopState();
  mainloop::FrameClockTimeBase = false;
  Harness h;
  h.maxFrames = 4;
  h.music = 1234;
  h.between = [&](int n) {
    h.music += 40;
    if (n == 1) h.queue.push_back(Key(openglx::VkF2));
    if (n == 2) h.queue.push_back(Key(openglx::VkF5));
  };
  h.Run();
  EXPECT_EQ(h.frames[0].time, 1234);
  EXPECT_EQ(h.frames[1].time, 1274);
  EXPECT_EQ(h.frames[2].time, 1314 - 1000);
  // F5 seeks the music to 0 and keeps the offset.
  ASSERT_EQ(h.seeks, std::vector<int32_t>{0});
  EXPECT_EQ(h.frames[3].offset, -1000);
  EXPECT_EQ(h.frames[3].time, -1000);  // the music was just put back to 0
  // Without looping, music that has ended keeps the loop running.
  EXPECT_EQ(h.plays, 0);
}

TEST_F(PlayerLoop, LoopDemoStartsAgainFromZero) {
  settings::LoopDemo = true;
  {
    Harness h;
    h.maxFrames = 6;
    h.draw = [&] {
      if (h.frames.size() == 3) scheduler::DemoFinished = 1;
    };
    h.Run();
    ASSERT_EQ(h.frames.size(), 6u);  // not ended by the flag
    EXPECT_EQ(scheduler::DemoFinished, 0);
    EXPECT_EQ(h.frames[4].offset, -h.frames[3].clock);
    EXPECT_LT(h.frames[4].time, h.frames[3].time);
    EXPECT_GE(h.frames[4].time, 0);
  }
  {  // With music: the end of the track starts the demo again.
    settings::SoundOff = false;
    mainloop::ResetLoopState();
    mainloop::FrameClockTimeBase = false;
    Harness h;
    h.maxFrames = 4;
    h.music = 5000;
    h.between = [&](int n) {
      if (n == 2) h.musicEnded = true;
    };
    h.Run();
    EXPECT_EQ(h.seeks, std::vector<int32_t>{0});
    EXPECT_EQ(h.plays, 1);
    EXPECT_EQ(h.frames[3].time, 0);
  }
  {  // Escape still ends a looping demo.
    mainloop::ResetLoopState();
    Harness h;
    h.between = [&](int n) {
      if (n == 2) h.queue.push_back(Key(openglx::VkEscape));
    };
    h.Run();
    EXPECT_EQ(h.frames.size(), 3u);
  }
}

// ---- the keys against the real track scheduler ----

struct RecordingOp {
  std::vector<int32_t> renders;  // times
  int creates = 0;
};
RecordingOp recorder;

int32_t RecCreate(int32_t) {
  ++recorder.creates;
  return 0;
}
void RecFree(uint8_t) {}
void RecRender(uint8_t, int32_t, int32_t, int32_t time, int32_t, float, float) { recorder.renders.push_back(time); }

class PlayerLoopTracks : public PlayerLoop {
 protected:
  void SetUp() override {
    PlayerLoop::SetUp();
    saved_ = registry::Operators[0];
    op_ = dllShared::fOperator{};
    op_.Name = "recorder";
    op_.CreateInstance = RecCreate;
    op_.FreeInstance = RecFree;
    op_.Render = RecRender;
    registry::Operators[0] = &op_;
    recorder = {};
  }
  void TearDown() override {
    registry::Operators[0] = saved_;
    PlayerLoop::TearDown();
  }
  void Use(std::vector<scheduler::TDemoEvent> events) {
    data_.Events = std::move(events);
    data_.EventCount = static_cast<int32_t>(data_.Events.size());
    scheduler::UseDemoData(&data_);
    scheduler::ResetTracks();
  }
  static scheduler::TDemoEvent Event(int32_t start, int32_t length) {
    scheduler::TDemoEvent e{};
    e.Start = start;
    e.Length = length;
    return e;
  }
  dllShared::fOperator op_{};
  dllShared::fOperator* saved_ = nullptr;
  scheduler::TDemoData data_;
};

TEST_F(PlayerLoopTracks, F3SkipsAnEventInsideTheSkippedSecond) {
  // Frames every 100 ms; the clock runs half a frame behind.
  Use({Event(1200, 300)});
  Harness h;
  h.maxFrames = 30;
  h.draw = [] { scheduler::RenderTracks(mainloop::DemoTime); };
  h.between = [&](int n) {
    if (n == 10) h.queue.push_back(Key(openglx::VkF3));
  };
  h.Run();
  ASSERT_LT(h.frames[10].time, 1200);
  ASSERT_GT(h.frames[11].time, 1500);
  EXPECT_TRUE(recorder.renders.empty());
}

TEST_F(PlayerLoopTracks, F2EarlyGivesNegativeTimeAndEventsWait) {
  Use({Event(0, 5000)});
  Harness h;
  h.maxFrames = 20;
  h.draw = [] { scheduler::RenderTracks(mainloop::DemoTime); };
  h.between = [&](int n) {
    if (n == 3) h.queue.push_back(Key(openglx::VkF2));
  };
  h.Run();
  // The key acts after the fourth frame; the frames after it lie before 0
  // for a while, and the event is drawn in exactly the frames at or after 0.
  EXPECT_GE(h.frames[3].time, 0);
  EXPECT_LT(h.frames[4].time, 0);
  std::vector<int32_t> expected;
  for (const auto& f : h.frames)
    if (f.time >= 0) expected.push_back(f.time);
  EXPECT_EQ(recorder.renders, expected);
  EXPECT_LT(expected.size(), h.frames.size());
  // The reset made the track search again and bind the event anew.
  EXPECT_EQ(recorder.creates, 2);
}

}  // namespace
