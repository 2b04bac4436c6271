#include "player/mainloop.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include <GL/gl.h>

#include "engine/scheduler.h"
#include "engine/settings.h"
#include "platform/muzax.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace mainloop {

int32_t FrameClock = 0;
int32_t UserOffset = 0;
int32_t DemoTime = 0;
bool FrameClockTimeBase = false;
bool Watching = false;
bool Paused = false;
bool OverlayShown = false;
bool Halted = false;

namespace {

// The platform of the loop that is running; RenderFrame and the keys reach
// the music through it.
const TLoopPlatform* running = nullptr;
uint32_t loopStart = 0;  // the tick the frame clock counts from
int32_t pausedAt = 0;    // the time base's position while paused
TWatchHooks watchHooks;

bool OnMusic() { return !FrameClockTimeBase && running && running->MusicPosition; }

uint32_t Now() { return running && running->GetTickCount ? running->GetTickCount() : 0; }

void SetFrameClock(int32_t ms) {
  FrameClock = ms;
  loopStart = Now() - static_cast<uint32_t>(ms);
}

}  // namespace

TLoopPlatform RealPlatform() {
  TLoopPlatform p;
  p.PeekMessage = openglx::PeekMessage;
  p.GetTickCount = [] { return static_cast<uint32_t>(SDL_GetTicks()); };
  p.RenderFrame = [] {
    openglx::BeginPicture();
    // Shown also when a frame threw, so the window never holds a stale one.
    struct TShow {
      ~TShow() { openglx::ShowPicture(); }
    } show;
    RenderFrame();
  };
  p.SwapBuffers = openglx::SwapBuffers;
  p.MusicPosition = muzax::MusicPosition;
  p.SeekMusic = muzax::SeekMusic;
  p.PlayMusic = muzax::PlayMusic;
  p.MusicEnded = muzax::MusicEnded;
  p.PauseMusic = muzax::PauseMusic;
  if (Watching) {
    if (watchHooks.BetweenFrames)
      p.BetweenFrames = [] { watchHooks.BetweenFrames(static_cast<uint32_t>(SDL_GetTicks())); };
    p.DrawOverlay = watchHooks.DrawOverlay;
    p.FrameFault = watchHooks.FrameFault;
  }
  return p;
}

void SetWatchHooks(const TWatchHooks& hooks) { watchHooks = hooks; }

void ResetLoopState() {
  FrameClock = 0;
  UserOffset = 0;
  DemoTime = 0;
  FrameClockTimeBase = settings::SoundOff;
  Paused = false;
  Halted = false;
  pausedAt = 0;
  std::memset(openglx::KeyDown, 0, sizeof openglx::KeyDown);
  openglx::FrameKeysSeen();
  openglx::FrameCount = 0;
  openglx::FPSText.clear();
}

int32_t BasePosition() {
  if (Paused) return pausedAt;
  return OnMusic() ? running->MusicPosition() : FrameClock;
}

void UpdateDemoTime() { DemoTime = BasePosition() + UserOffset; }

void SetPaused(bool paused) {
  if (!paused) Halted = false;
  if (paused == Paused) return;
  if (paused) {
    pausedAt = BasePosition();
    Paused = true;
    if (OnMusic() && running->PauseMusic) running->PauseMusic(true);
    return;
  }
  Paused = false;
  // The device may have run a little past the pause point before it held.
  if (OnMusic()) {
    if (running->SeekMusic) running->SeekMusic(pausedAt);
    if (running->PauseMusic) running->PauseMusic(false);
  }
  SetFrameClock(pausedAt);
}

void SeekTo(int32_t ms) {
  ms = std::max(ms, 0);
  Halted = false;
  if (Paused) pausedAt = ms;
  if (OnMusic()) {
    if (running->SeekMusic) running->SeekMusic(ms);
  }
  SetFrameClock(ms);
  scheduler::ResetTracks();
}

void UseFrameClock(bool frameClock, int32_t ms) {
  FrameClockTimeBase = frameClock;
  if (Paused) pausedAt = ms;
  SetFrameClock(ms);
}

void RenderFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  UpdateDemoTime();
  if (!Halted) scheduler::RenderTracks(DemoTime);
  if (settings::ShowFPS) {
    glLoadIdentity();
    const double x = scheduler::RenderWidth * -0.4 / scheduler::RenderHeight;
    glTranslatef(static_cast<float>(x), 0.4f, -1.0f);
    glRasterPos2f(0.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
    openglx::PrintText(openglx::FPSText);
  }
}

void RestartDemo() {
  if (FrameClockTimeBase) {
    UserOffset = -FrameClock;
  } else if (running && running->SeekMusic) {
    running->SeekMusic(0);
    if (Paused) pausedAt = 0;
  }
  scheduler::ResetTracks();
}

namespace {

void HandleAuthoringKeys() {
  uint8_t* key = openglx::KeyDown;
  if (key[openglx::VkSpace]) {
    key[openglx::VkSpace] = 0;
    SetPaused(!Paused);
  }
  if (key[openglx::VkTab]) {
    key[openglx::VkTab] = 0;
    OverlayShown = !OverlayShown;
  }
  const int32_t step = key[openglx::VkShift] ? FineSeekStep : SeekStep;
  if (key[openglx::VkLeft]) {
    key[openglx::VkLeft] = 0;
    SeekTo(BasePosition() - step);
  }
  if (key[openglx::VkRight]) {
    key[openglx::VkRight] = 0;
    SeekTo(BasePosition() + step);
  }
  if (key[openglx::VkHome]) {
    key[openglx::VkHome] = 0;
    // The demo's start, whatever F2/F3 had added.
    UserOffset = 0;
    SeekTo(0);
  }
}

}  // namespace

void HandleKeys() {
  uint8_t* key = openglx::KeyDown;
  if (Watching) HandleAuthoringKeys();
  if (key[openglx::VkF5]) {
    key[openglx::VkF5] = 0;
    RestartDemo();
  }
  if (key[openglx::VkF3]) {
    UserOffset += 1000;
    key[openglx::VkF3] = 0;
  } else if (key[openglx::VkF2]) {
    UserOffset -= 1000;
    scheduler::ResetTracks();
    key[openglx::VkF2] = 0;
  } else if (key[openglx::VkF1]) {
    UserOffset = 0;
    scheduler::ResetTracks();
    key[openglx::VkF1] = 0;
  }
}

void RunFrames(const TLoopPlatform& platform) {
  // Put back even when a damaged demo throws out of a frame.
  struct Restore {
    const TLoopPlatform* outer;
    ~Restore() { running = outer; }
  } restore{running};
  running = &platform;
  loopStart = platform.GetTickCount();
  bool done = false;
  while (!done) {
    openglx::TMessage msg;
    if (platform.PeekMessage(msg)) {
      if (msg.Kind == openglx::TMsgKind::Quit)
        done = true;
      else
        openglx::WindowProc(msg);
      continue;
    }

    openglx::FrameCount += 1;
    // The tick counter wraps; the difference stays right across the wrap.
    const auto elapsed = static_cast<int64_t>(static_cast<uint32_t>(platform.GetTickCount() - loopStart));
    if (!Paused) FrameClock = static_cast<int32_t>((static_cast<int64_t>(FrameClock) + elapsed) / 2);
    if (Watching && platform.FrameFault) {
      // An author's mistake that stops a frame (a script's fatal error) must
      // not end the session: say it, hold still and wait for the next save.
      try {
        platform.RenderFrame();
      } catch (const std::exception& e) {
        Halted = true;
        SetPaused(true);
        scheduler::ResetTracks();
        platform.FrameFault(e.what());
      }
    } else {
      platform.RenderFrame();
    }
    if (platform.DrawOverlay) platform.DrawOverlay();
    platform.SwapBuffers();
    if (platform.BetweenFrames) platform.BetweenFrames();

    const bool musicOver = !FrameClockTimeBase && !Paused && platform.MusicEnded && platform.MusicEnded();
    if (settings::LoopDemo && (scheduler::DemoFinished != 0 || musicOver)) {
      scheduler::DemoFinished = 0;
      RestartDemo();
      // A stream that has run out stops; start it again from the top.
      if (musicOver && platform.PlayMusic) platform.PlayMusic();
    } else if (scheduler::DemoFinished != 0) {
      done = true;
    }

    if (openglx::KeyDown[openglx::VkEscape])
      done = true;
    else
      HandleKeys();
    openglx::FrameKeysSeen();
  }
}

bool MainLoop() {
  if (!openglx::CreateGLWindow(settings::ScreenWidth, settings::ScreenHeight, settings::FullScreen, 32))
    return false;
  // Without a stream to follow, the music position would stand still at 0.
  FrameClockTimeBase = settings::SoundOff || !muzax::MusicAvailable();
  if (Watching && watchHooks.WindowOpened) watchHooks.WindowOpened();
  RunFrames(RealPlatform());
  if (Watching && watchHooks.WindowClosing) watchHooks.WindowClosing();
  openglx::KillGLWindow(false);
  FreeResources();
  return true;
}

void FreeResources() {
  muzax::FreeAudio();
  const int32_t count = texMan::TexCount();
  for (int32_t i = 0; i < count; ++i) texMan::DeleteTexture(i);
  mshman::ClearMeshes();
}

}  // namespace mainloop
