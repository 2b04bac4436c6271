// capture: renders the demo frame by frame, with no window on screen and no
// sound, into PNG files (with the music beside them as audio.wav), into a
// video file, or into nothing but a timing (timedemo).
#pragma once

#include <cstdint>
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

// Needs the module start-ups done and demo.qvl in the current directory.
// 0 when every frame was written; otherwise the failure has been reported
// on stderr and the result is 1.
int Run(const TCaptureJob& job);

}  // namespace capture
