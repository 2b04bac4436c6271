// capture: renders the demo frame by frame into PNG files, with no window
// on screen and no sound.
#pragma once

#include <cstdint>
#include <string>

#include "engine/scheduler.h"

namespace capture {

struct TCaptureJob {
  std::string Dir;
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

// Needs the module start-ups done and demo.qvl in the current directory.
// 0 when every frame was written; otherwise the failure has been reported
// on stderr and the result is 1.
int Run(const TCaptureJob& job);

}  // namespace capture
