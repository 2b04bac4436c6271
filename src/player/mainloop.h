// mainloop: the frame loop of the playback window. Draws one frame whenever
// the message queue is empty, turns the music position (or the frame clock)
// into the demo time, and acts on the playback keys.
#pragma once

#include <cstdint>
#include <functional>

#include "player/openglx.h"

namespace mainloop {

// Loop state; zero at program start.
extern int32_t FrameClock;  // smoothed ms since the loop started
extern int32_t UserOffset;  // ms added to the time base by the keys
extern int32_t DemoTime;    // the time of the frame being drawn
// True when the frame clock is the time base: sound off, or no music to
// follow. Fixed when the window has been set up.
extern bool FrameClockTimeBase;

// What the loop runs on. The real one is the window and the music; tests
// give their own queue, tick source and drawing.
struct TLoopPlatform {
  std::function<bool(openglx::TMessage&)> PeekMessage;
  std::function<uint32_t()> GetTickCount;
  std::function<void()> RenderFrame;  // the real one is mainloop::RenderFrame
  std::function<void()> SwapBuffers;
  std::function<int32_t()> MusicPosition;
  std::function<void(int32_t)> SeekMusic;
  std::function<void()> PlayMusic;
  std::function<bool()> MusicEnded;
};
TLoopPlatform RealPlatform();

// Clears the loop state and the window's key table and counters.
void ResetLoopState();

// Creates the window, runs the frames, tears down and frees the demo's
// resources. False when the window could not be made.
bool MainLoop();

// The frame loop alone, until a quit message, Escape or the end of the demo.
void RunFrames(const TLoopPlatform& platform);

// One frame: clear, demo time, tracks, frame-rate text.
void RenderFrame();
// Sets DemoTime from the time base of the running platform.
void UpdateDemoTime();
void HandleKeys();
// Starts the demo again from time 0, as F5 does.
void RestartDemo();
void FreeResources();

}  // namespace mainloop
