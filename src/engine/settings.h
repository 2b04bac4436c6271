// settings: the program-wide choices made in the setup window (or on the
// command line) and read by the window, the main loop, the music and the
// texture table.
#pragma once

#include <cstdint>

namespace settings {

extern bool StartPressed;         // the setup window was closed with Start
extern bool FullScreen;           // true unless "Windowed" is ticked
extern int32_t ScreenWidth;       // pixels
extern int32_t ScreenHeight;      // pixels
extern int32_t BlankTextureSize;  // side of blank textures
extern bool ShowFPS;              // draw the frame-rate text
extern bool SoundOff;             // no music; the frame clock is the time base
extern int32_t SoundDevice;       // 0 = default output, k = k-th device of the list
extern bool LoopDemo;             // start again from 0 when the demo ends
extern int32_t Display;           // the monitor the demo plays on, 0 = the first
extern bool VSync;                // buffer swaps wait for the display's refresh

// The blank-texture side for a screen size: the largest power of two that
// fits the shorter side, never below 512 (800x600, 1024x768, 1280x800 and
// 1280x720 give 512; 1280x1024 and 1920x1080 give 1024).
int32_t BlankTextureSizeFor(int32_t width, int32_t height);

}  // namespace settings
