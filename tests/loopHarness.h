// One run of the frame loop on a scripted message queue, a controlled tick source and a music stand-in.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/mainloop.h"
#include "player/openglx.h"

namespace testutil {

inline openglx::TMessage Key(int vk, bool down = true) {
  return {down ? openglx::TMsgKind::KeyDown : openglx::TMsgKind::KeyUp, vk, 0};
}

struct FrameRecord {
  int32_t clock, offset, time, frameCount;  // the loop's state as each frame was drawn
};

// after[n] is queued once frame n has been shown (after[0] before the first);
// `between(n)` may then move the clock or the music. A quit after `maxFrames`
// frames keeps a faulty rule from hanging the test.
struct LoopRun {
  std::map<int, std::vector<openglx::TMessage>> after;
  uint32_t now = 70000;  // ticks since boot; any value
  uint32_t step = 100;   // ms each frame takes
  int32_t music = 0, musicStep = 0;  // the music moves musicStep ms a frame unless paused
  bool held = false, musicEnded = false;
  int plays = 0, swaps = 0, maxFrames = 50;
  size_t failAt = 0;  // this frame (counted from 1) throws once, as a script's fatal error does
  std::vector<int32_t> seeks;
  std::vector<bool> pauses;
  std::vector<std::string> faults;
  std::vector<FrameRecord> frames;
  std::function<void(int)> between;
  std::function<void(size_t)> draw;  // extra work inside frame k, from 0

  void Run() {
    std::deque<openglx::TMessage> queue;
    bool started = false;
    mainloop::TLoopPlatform p;
    p.PeekMessage = [&](openglx::TMessage& m) {
      if (queue.empty()) return false;
      m = queue.front(), queue.pop_front();
      return true;
    };
    // The loop reads the start tick first; the first frame comes `step` ms later.
    p.GetTickCount = [&] { return started ? now : (started = true, now += step, now - step); };
    p.RenderFrame = [&] {
      mainloop::UpdateDemoTime();
      if (draw) draw(frames.size());
      frames.push_back({mainloop::FrameClock, mainloop::UserOffset, mainloop::DemoTime, openglx::FrameCount});
      if (frames.size() == failAt) throw std::runtime_error("bad error");
    };
    p.FrameFault = [&](const std::string& m) { faults.push_back(m); };
    p.SwapBuffers = [&] {
      ++swaps, now += step, music += held ? 0 : musicStep;
      const int n = static_cast<int>(frames.size());
      if (between) between(n);
      for (const openglx::TMessage& m : after[n]) queue.push_back(m);
      if (n >= maxFrames) queue.push_back({openglx::TMsgKind::Quit, 0, 0});
    };
    p.MusicPosition = [&] { return music; };
    p.SeekMusic = [&](int32_t ms) { seeks.push_back(music = ms), musicEnded = false; };
    p.PlayMusic = [&] { ++plays; };
    p.MusicEnded = [&] { return musicEnded; };
    p.PauseMusic = [&](bool h) { pauses.push_back(held = h); };
    for (const openglx::TMessage& m : after[0]) queue.push_back(m);
    mainloop::RunFrames(p);
  }
};

}  // namespace testutil
