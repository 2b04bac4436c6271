#include "player/mainloop.h"

#include <SDL.h>

#include <cstring>

#include <GL/gl.h>

#include "engine/scheduler.h"
#include "engine/settings.h"
#include "player/muzax.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace mainloop {

int32_t FrameClock = 0;
int32_t UserOffset = 0;
int32_t DemoTime = 0;
bool FrameClockTimeBase = false;

namespace {

// The platform of the loop that is running; RenderFrame and the keys reach
// the music through it.
const TLoopPlatform* running = nullptr;

}  // namespace

TLoopPlatform RealPlatform() {
  TLoopPlatform p;
  p.PeekMessage = openglx::PeekMessage;
  p.GetTickCount = [] { return static_cast<uint32_t>(SDL_GetTicks()); };
  p.RenderFrame = RenderFrame;
  p.SwapBuffers = openglx::SwapBuffers;
  p.MusicPosition = muzax::MusicPosition;
  p.SeekMusic = muzax::SeekMusic;
  p.PlayMusic = muzax::PlayMusic;
  p.MusicEnded = muzax::MusicEnded;
  return p;
}

void ResetLoopState() {
  FrameClock = 0;
  UserOffset = 0;
  DemoTime = 0;
  FrameClockTimeBase = settings::SoundOff;
  std::memset(openglx::KeyDown, 0, sizeof openglx::KeyDown);
  openglx::FrameCount = 0;
  openglx::FPSText.clear();
}

void UpdateDemoTime() {
  if (FrameClockTimeBase || !running || !running->MusicPosition)
    DemoTime = UserOffset + FrameClock;
  else
    DemoTime = running->MusicPosition() + UserOffset;
}

void RenderFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  UpdateDemoTime();
  scheduler::RenderTracks(DemoTime);
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
  if (FrameClockTimeBase)
    UserOffset = -FrameClock;
  else if (running && running->SeekMusic)
    running->SeekMusic(0);
  scheduler::ResetTracks();
}

void HandleKeys() {
  uint8_t* key = openglx::KeyDown;
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
  const uint32_t loopStart = platform.GetTickCount();
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
    FrameClock = static_cast<int32_t>((static_cast<int64_t>(FrameClock) + elapsed) / 2);
    platform.RenderFrame();
    platform.SwapBuffers();

    const bool musicOver = !FrameClockTimeBase && platform.MusicEnded && platform.MusicEnded();
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
  }
}

bool MainLoop() {
  if (!openglx::CreateGLWindow(settings::ScreenWidth, settings::ScreenHeight, settings::FullScreen, 32))
    return false;
  // Without a stream to follow, the music position would stand still at 0.
  FrameClockTimeBase = settings::SoundOff || !muzax::MusicAvailable();
  RunFrames(RealPlatform());
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
