#include "capture/capture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <vector>

#include <GL/gl.h>

#include "capture/frameRead.h"
#include "capture/pngPool.h"
#include "capture/videoOut.h"
#include "data/demo.h"
#include "engine/paths.h"
#include "engine/settings.h"
#include "platform/console.h"
#include "platform/offscreen.h"
#include "platform/present.h"

namespace capture {

namespace {

constexpr const char* MusicFile = "music.mp3";

// Ctrl-C and kill end the capture between frames, so that a video export can
// remove its temporary files; a vanished ffmpeg must not kill us mid-write.
volatile std::sig_atomic_t Interrupted = 0;

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

void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The music for `frames` frames from job.From into `path`. True when there
// is no music (nothing to write) or it was written; a damaged music file is
// only a warning, as it is when playing.
bool WriteMusicSpan(const TCaptureJob& job, const THooks& hooks, int64_t frames, const std::string& path,
                    bool& written) {
  written = false;
  std::error_code ec;
  if (!std::filesystem::exists(paths::Of(MusicFile), ec)) return true;
  int32_t sampleRate = 0;
  std::vector<int16_t> stereo;
  std::string error;
  if (!hooks.DecodeMusic(MusicFile, job.From, frames, job.Rate, sampleRate, stereo, error)) {
    std::fprintf(stderr, "qvlplay: no sound in the capture: %s\n", error.c_str());
    return true;
  }
  if (!WriteWav(path, sampleRate, stereo)) {
    std::fprintf(stderr, "qvlplay: cannot write %s\n", path.c_str());
    return false;
  }
  written = true;
  return true;
}

void PrintTimeDemo(int64_t frames, double seconds, const std::vector<double>& ms) {
  const TFrameTimes t = Summarize(ms);
  std::printf("qvlplay: timedemo: %lld frames in %.2f s, %.1f frames/s; "
              "frame ms min %.2f, median %.2f, p99 %.2f, max %.2f\n",
              static_cast<long long>(frames), seconds, seconds > 0 ? static_cast<double>(frames) / seconds : 0.0,
              t.Min, t.Median, t.P99, t.Max);
  std::fflush(stdout);
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

TFrameTimes Summarize(std::vector<double> ms) {
  TFrameTimes t;
  if (ms.empty()) return t;
  std::sort(ms.begin(), ms.end());
  const size_t n = ms.size();
  t.Min = ms.front();
  t.Max = ms.back();
  t.Median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
  const auto rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n)));
  t.P99 = ms[std::clamp<size_t>(rank, 1, n) - 1];
  return t;
}

bool WriteWav(const std::string& path, int32_t rate, const std::vector<int16_t>& stereo) {
  const uint64_t dataBytes = stereo.size() * 2;
  if (dataBytes > 0xFFFFFFFFull - 36) return false;
  std::vector<uint8_t> head;
  head.insert(head.end(), {'R', 'I', 'F', 'F'});
  PutLE(head, static_cast<uint32_t>(36 + dataBytes), 4);
  head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLE(head, 16, 4);
  PutLE(head, 1, 2);  // PCM
  PutLE(head, 2, 2);  // channels
  PutLE(head, static_cast<uint32_t>(rate), 4);
  PutLE(head, static_cast<uint32_t>(rate) * 4, 4);
  PutLE(head, 4, 2);
  PutLE(head, 16, 2);
  head.insert(head.end(), {'d', 'a', 't', 'a'});
  PutLE(head, static_cast<uint32_t>(dataBytes), 4);
  std::vector<uint8_t> data(static_cast<size_t>(dataBytes));
  for (size_t i = 0; i < stereo.size(); ++i) {
    const auto v = static_cast<uint16_t>(stereo[i]);
    data[2 * i] = static_cast<uint8_t>(v & 0xFF);
    data[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
  ok = ok && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

int Run(const TCaptureJob& job, const THooks& hooks) {
  settings::SoundOff = true;
  settings::ShowFPS = false;
  settings::FullScreen = false;
  settings::LoopDemo = false;
  settings::ScreenWidth = job.Width;
  settings::ScreenHeight = job.Height;
  settings::BlankTextureSize = settings::BlankTextureSizeFor(job.Width, job.Height);

  std::string error;
  if (job.Output == TOutput::Frames) {
    std::error_code ec;
    std::filesystem::create_directories(paths::Of(job.Dir), ec);
    if (ec || !std::filesystem::is_directory(paths::Of(job.Dir), ec)) {
      std::fprintf(stderr, "qvlplay: cannot make the directory %s\n", job.Dir.c_str());
      return 1;
    }
  }

  // Nothing appears on screen: a surface of the offscreen driver, or at
  // worst a window that is never shown.
  // Render To Texture draws at the blank texture's size: the surface holds
  // that much even when the frames are smaller, and frames are read from
  // its lower left corner.
  const int surfaceWidth = std::max(job.Width, settings::BlankTextureSize);
  const int surfaceHeight = std::max(job.Height, settings::BlankTextureSize);
  if (!offscreen::OpenHeadless(surfaceWidth, surfaceHeight, &error)) {
    std::fprintf(stderr, "qvlplay: no OpenGL context for capturing: %s\n", error.c_str());
    return 1;
  }

  // The frames are the picture the window shows scaled; without framebuffer
  // objects they come from the surface itself.
  present::Open(job.Width, job.Height, settings::BlankTextureSize);
  // Loading the demo may throw on a damaged file: no threads or ffmpeg yet.
  hooks.OpenScene(job.Width, job.Height);

  const int32_t end = job.HasTo ? job.To : DefaultEnd(demo::DemoData, job.From);
  const int64_t total = FrameCountUpTo(job.From, job.Rate, end);
  const bool progress = console::ErrorIsTerminal();
  const auto started = std::chrono::steady_clock::now();
  auto shown = started;
  std::vector<double> frameMs;
  if (job.Output == TOutput::TimeDemo) frameMs.reserve(static_cast<size_t>(std::min<int64_t>(total, 1 << 20)));

  if (job.Output == TOutput::Video && !videoOut::Start(job.Dir, job.Width, job.Height, job.Rate, error)) {
    std::fprintf(stderr, "qvlplay: %s\n", error.c_str());
    hooks.FreeDemo();
    present::Close();
    offscreen::Close();
    return 1;
  }
  if (job.Output == TOutput::Frames) pngPool::Start(job.Dir, job.Width, job.Height);
  frameRead::Start(job.Width, job.Height);
  // Frames read back go to the PNG writers or down ffmpeg's pipe in the
  // order read; their buffers come back from there.
  int64_t handedOver = 0;
  auto spare = [&] { return job.Output == TOutput::Frames ? pngPool::Spare() : videoOut::Spare(); };
  auto handOver = [&](frameRead::TResult got, std::vector<uint8_t>& pixels) {
    if (got == frameRead::TResult::None) return true;
    if (got == frameRead::TResult::Failed) {
      error = "cannot read the frames back from OpenGL";
      return false;
    }
    if (job.Output == TOutput::Frames) return pngPool::Put(handedOver++, std::move(pixels));  // the pool has the reason
    ++handedOver;
    return videoOut::Put(std::move(pixels), error);
  };
  Interrupted = 0;
  console::CatchInterrupts(&Interrupted);
  scheduler::DemoFinished = 0;
  scheduler::ResetTracks();
  int rc = 0;
  int64_t frame = 0;
  try {
    for (; frame < total; ++frame) {
      if (Interrupted) {
        error = "capture interrupted";
        rc = 1;
        break;
      }
      const auto t = static_cast<int32_t>(FrameTime(job.From, job.Rate, frame));
      const auto before = std::chrono::steady_clock::now();
      present::BeginFrame();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glLoadIdentity();
      hooks.SetTime(t);
      scheduler::RenderTracks(t);
      bool ok = true;
      if (job.Output == TOutput::TimeDemo) {
        glFinish();
        frameMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
      } else {
        // The screen has no transparency: RGB, a quarter less to move and pack.
        std::vector<uint8_t> pixels = spare();
        ok = handOver(frameRead::Read(pixels), pixels);
      }
      const auto after = std::chrono::steady_clock::now();
      if (!ok) {
        rc = 1;
        break;
      }
      if (progress && (after - shown > std::chrono::milliseconds(100) || frame + 1 == total)) {
        shown = after;
        ShowProgress(frame + 1, total, std::chrono::duration<double>(after - started).count());
      }
      if (scheduler::DemoFinished != 0) {
        ++frame;
        break;
      }
    }
  } catch (...) {
    // A damaged demo: the workers and ffmpeg stop before the message.
    // The frame still being read back was drawn before the fault: it stays too.
    std::string ignored;
    if (job.Output == TOutput::Frames) {
      std::vector<uint8_t> pixels = spare();
      handOver(frameRead::Drain(pixels), pixels);
      pngPool::Finish(ignored);
    }
    if (job.Output == TOutput::Video) videoOut::Abort();
    frameRead::Shutdown();
    console::RestoreInterrupts();
    if (progress) std::fputc('\n', stderr);
    // A fatal script fault has shown its message; the frames written so far
    // stay, the context goes.
    hooks.FreeDemo();
    present::Close();
    offscreen::Close();
    throw;
  }
  if (rc == 0 && job.Output != TOutput::TimeDemo) {
    std::vector<uint8_t> pixels = spare();
    if (!handOver(frameRead::Drain(pixels), pixels)) rc = 1;
  }
  frameRead::Shutdown();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (progress) std::fputc('\n', stderr);

  // The frames made so far are finished even after a failure, so the
  // reason reported is the first one.
  if (job.Output == TOutput::Frames) {
    std::string poolError;
    if (!pngPool::Finish(poolError)) {
      error = poolError;
      rc = 1;
    }
    bool written = false;
    if (rc == 0 && !WriteMusicSpan(job, hooks, frame, paths::Text(paths::Of(job.Dir) / "audio.wav"), written))
      rc = 1;
  } else if (job.Output == TOutput::Video) {
    if (rc == 0) {
      const std::string wav = videoOut::TempName(job.Dir, "wav");
      bool written = false;
      rc = WriteMusicSpan(job, hooks, frame, wav, written) ? 0 : 1;
      if (rc == 0 && !Interrupted && !videoOut::Finish(written ? wav : std::string(), error)) rc = 1;
      if (Interrupted) error = "capture interrupted";
      std::error_code ec;
      std::filesystem::remove(paths::Of(wav), ec);
    }
    if (rc != 0 || Interrupted) {
      videoOut::Abort();
      rc = 1;
    }
  } else if (rc == 0) {
    PrintTimeDemo(frame, seconds, frameMs);
  }
  console::RestoreInterrupts();
  if (rc != 0 && !error.empty()) std::fprintf(stderr, "qvlplay: %s\n", error.c_str());

  hooks.FreeDemo();
  present::Close();
  offscreen::Close();
  return rc;
}

}  // namespace capture
