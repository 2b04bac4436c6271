// overlay: the timeline drawn over the playing demo with --watch: the 32
// tracks as rows, the events as bars, a cursor at the demo time, the time,
// the frame rate and the last reload message. Clicking or dragging on the
// time axis moves the demo there.
#pragma once

#include <cstdint>
#include <string>

namespace overlay {

// With the playback window's GL context current.
void Startup();
void Shutdown();
void Draw();

// "mm:ss.mmm"; minutes go past 59, a time before 0 gets a "-".
std::string FormatTime(int32_t ms);
// The span the axis shows: to the end of the last event (at least 1 s) or
// to `time` when that is later.
int32_t AxisSpan(int32_t time);

}  // namespace overlay
