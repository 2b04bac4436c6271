#include "player/capture.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <vector>

#include <GL/gl.h>

#include "data/demo.h"
#include "engine/settings.h"
#include "player/cmdline.h"
#include "player/mainloop.h"
#include "player/openglx.h"
#include "platform/offscreen.h"

namespace capture {

namespace {

std::string FrameFileName(const std::string& dir, int64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "%06lld.png", static_cast<long long>(frame));
  return (std::filesystem::path(dir) / name).string();
}

// Frames from `from` up to `end` inclusive.
int64_t FrameCountUpTo(int32_t from, int32_t rate, int32_t end) {
  // The first frame past `end` lies near (end - from) * rate / 1000.
  int64_t n = (static_cast<int64_t>(end) - from) * rate / 1000;
  while (n > 0 && FrameTime(from, rate, n) > end) --n;
  while (FrameTime(from, rate, n + 1) <= end) ++n;
  return n + 1;
}

void ShowProgress(int64_t done, int64_t total, double seconds) {
  const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
  const double left = fps > 0 ? static_cast<double>(total - done) / fps : 0.0;
  std::fprintf(stderr, "\rqvlplay: frame %lld of %lld, %.1f frames/s, %.0f s left   ",
               static_cast<long long>(done), static_cast<long long>(total), fps, left);
  std::fflush(stderr);
}

}  // namespace

int64_t FrameTime(int32_t from, int32_t rate, int64_t frame) {
  const int64_t num = frame * 1000;
  int64_t q = num / rate;
  const int64_t twiceRest = (num % rate) * 2;
  if (twiceRest > rate || (twiceRest == rate && (q & 1) != 0)) ++q;
  return from + q;
}

int32_t DefaultEnd(const scheduler::TDemoData& data, int32_t from) {
  int64_t end = from;
  const auto count = std::min<size_t>(data.Events.size(), static_cast<size_t>(std::max(data.EventCount, 0)));
  for (size_t i = 0; i < count; ++i)
    end = std::max(end, static_cast<int64_t>(data.Events[i].Start) + data.Events[i].Length);
  return static_cast<int32_t>(std::min<int64_t>(end, std::numeric_limits<int32_t>::max()));
}

int Run(const TCaptureJob& job) {
  settings::SoundOff = true;
  settings::ShowFPS = false;
  settings::FullScreen = false;
  settings::LoopDemo = false;
  settings::ScreenWidth = job.Width;
  settings::ScreenHeight = job.Height;
  settings::BlankTextureSize = cmdline::BlankTextureSizeFor(job.Width, job.Height);

  std::error_code ec;
  std::filesystem::create_directories(job.Dir, ec);
  if (ec || !std::filesystem::is_directory(job.Dir)) {
    std::fprintf(stderr, "qvlplay: cannot make the directory %s\n", job.Dir.c_str());
    return 1;
  }

  // Nothing appears on screen: a surface of the offscreen driver, or at
  // worst a window that is never shown.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::string error;
  if (!offscreen::Open(job.Width, job.Height, &error)) {
    unsetenv("SDL_VIDEODRIVER");
    if (!offscreen::Open(job.Width, job.Height, &error)) {
      std::fprintf(stderr, "qvlplay: no OpenGL context for capturing: %s\n", error.c_str());
      return 1;
    }
  }

  openglx::ResizeGLScene(job.Width, job.Height);
  openglx::InitGL();

  const int32_t end = job.HasTo ? job.To : DefaultEnd(demo::DemoData, job.From);
  const int64_t total = FrameCountUpTo(job.From, job.Rate, end);
  const bool progress = isatty(STDERR_FILENO) != 0;
  const auto started = std::chrono::steady_clock::now();

  scheduler::DemoFinished = 0;
  scheduler::ResetTracks();
  int rc = 0;
  int64_t frame = 0;
  // A fatal script fault has shown its message; the frames written so far
  // stay, the context goes.
  struct CloseOnFault {
    bool armed = true;
    bool newline;
    ~CloseOnFault() {
      if (!armed) return;
      if (newline) std::fputc('\n', stderr);
      mainloop::FreeResources();
      offscreen::Close();
    }
  } closeOnFault{true, progress};
  for (; frame < total; ++frame) {
    const auto t = static_cast<int32_t>(FrameTime(job.From, job.Rate, frame));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    mainloop::DemoTime = t;
    scheduler::RenderTracks(t);
    glFinish();
    const std::vector<uint8_t> rgba = offscreen::ReadPixels(job.Width, job.Height);
    if (!offscreen::WritePNG(FrameFileName(job.Dir, frame), job.Width, job.Height, rgba.data(), &error)) {
      if (progress) std::fputc('\n', stderr);
      std::fprintf(stderr, "qvlplay: %s\n", error.c_str());
      rc = 1;
      break;
    }
    if (progress) {
      const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
      ShowProgress(frame + 1, total, spent.count());
    }
    if (scheduler::DemoFinished != 0) {
      ++frame;
      break;
    }
  }
  closeOnFault.armed = false;
  if (progress) std::fputc('\n', stderr);

  mainloop::FreeResources();
  offscreen::Close();
  return rc;
}

}  // namespace capture
