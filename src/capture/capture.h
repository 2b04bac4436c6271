// capture: renders the demo frame by frame, with no window on screen and no
// sound, into PNG files (with the music beside them as audio.wav), into a
// video file, or into nothing but a timing (timedemo).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/scheduler.h"

namespace capture {

enum class TOutput { Frames, Video, TimeDemo };

struct TCaptureJob {
  TOutput Output = TOutput::Frames;
  std::string Dir;  // the directory of the frames, or the video file
  int32_t Rate = 25;  // frames a second
  int32_t Width = 800;
  int32_t Height = 600;
  int32_t From = 0;
  bool HasTo = false;
  int32_t To = 0;
};

// The demo time of frame i: from + i * 1000 / rate, rounded half to even.
int64_t FrameTime(int32_t from, int32_t rate, int64_t frame);

// The last time a capture with no --to renders: the end of the timeline's
// last event, never before `from`.
int32_t DefaultEnd(const scheduler::TDemoData& data, int32_t from);

// What a timedemo prints: frame times in ms.
struct TFrameTimes {
  double Min = 0, Median = 0, P99 = 0, Max = 0;
};
// Median of an even count is the mean of the middle two; the 99th percentile
// is the nearest rank. All zero for no frames.
TFrameTimes Summarize(std::vector<double> ms);

// PCM as a 16-bit stereo WAV file. False when it cannot be written.
bool WriteWav(const std::string& path, int32_t rate, const std::vector<int16_t>& stereo);

// What a capture needs of the player, handed in by the program entry. Every
// entry must be set.
struct THooks {
  // Called once, with the GL context current and before the first frame:
  // sets the view up for width x height and loads the demo. May throw on a
  // damaged demo.
  std::function<void(int32_t width, int32_t height)> OpenScene;
  // Called before each frame is drawn with its demo time, which the demo
  // then reads as the time now.
  std::function<void(int32_t ms)> SetTime;
  // The music file `fileName` from demo time `fromMs` for frames / rate
  // seconds, as 16-bit stereo at `sampleRate`. False with a one-line reason.
  std::function<bool(const std::string& fileName, int32_t fromMs, int64_t frames, int32_t rate,
                     int32_t& sampleRate, std::vector<int16_t>& stereo, std::string& error)>
      DecodeMusic;
  // Frees the demo's textures, meshes and music before the context closes;
  // called once on every way out after OpenScene returned.
  std::function<void()> FreeDemo;
};

// Needs the module start-ups done and demo.qvl in the current directory.
// 0 when every frame was written; otherwise the failure has been reported
// on stderr and the result is 1.
int Run(const TCaptureJob& job, const THooks& hooks);

}  // namespace capture
