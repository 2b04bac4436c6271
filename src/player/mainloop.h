// mainloop: the frame loop of the playback window. Draws one frame whenever
// the message queue is empty, turns the music position (or the frame clock)
// into the demo time, and acts on the playback keys.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "player/openglx.h"

namespace mainloop {

// Loop state; zero at program start.
extern int32_t FrameClock;  // smoothed ms since the loop started
extern int32_t UserOffset;  // ms added to the time base by the keys
extern int32_t DemoTime;    // the time of the frame being drawn
// True when the frame clock is the time base: sound off, or no music to
// follow. Fixed when the window has been set up.
extern bool FrameClockTimeBase;

// --watch: Space pauses, Left/Right (with Shift: finer) and Home move the
// time base, Tab shows the overlay. Off by default.
extern bool Watching;
extern bool Paused;
extern bool OverlayShown;
// A frame failed: nothing is drawn until a reload, a seek or resuming.
extern bool Halted;
inline constexpr int32_t SeekStep = 1000;
inline constexpr int32_t FineSeekStep = 100;

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
  std::function<void(bool)> PauseMusic;  // true holds the device, false plays on
  std::function<void()> BetweenFrames;   // after each frame is shown
  std::function<void()> DrawOverlay;     // over each frame, before it is shown
  // With --watch: a frame threw; the loop has paused and carries on.
  std::function<void(const std::string&)> FrameFault;
};
TLoopPlatform RealPlatform();

// What --watch adds to the window, installed by the program entry; the
// loop knows nothing else of authoring. Empty entries are skipped.
struct TWatchHooks {
  std::function<void()> WindowOpened;   // the window's GL context is current
  std::function<void()> WindowClosing;  // the window is about to go
  std::function<void(uint32_t now)> BetweenFrames;  // after each frame is shown; `now` a ms tick
  std::function<void()> DrawOverlay;                // over each frame, before it is shown
  // A frame threw; the loop has paused and carries on.
  std::function<void(const std::string&)> FrameFault;
};
void SetWatchHooks(const TWatchHooks& hooks);

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

// The time base's position (music or frame clock), without the keys' offset.
int32_t BasePosition();
void SetPaused(bool paused);
// Moves the time base to `ms` (at least 0); the tracks search again there.
void SeekTo(int32_t ms);
// Switches the time base to the frame clock or back to the music, at `ms`.
void UseFrameClock(bool frameClock, int32_t ms);
void FreeResources();

}  // namespace mainloop
