// openglx: the playback window, its OpenGL context, the fixed GL state every
// operator starts from, the frame-rate font and the window's message
// handling (key table, frame-rate timer, resize, close).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

union SDL_Event;

namespace openglx {

// Kept by the message handling, read (and partly cleared) by the main loop.
// A key pressed since the last frame stays down for the next frame even
// when it has been released again.
extern uint8_t KeyDown[256];  // indexed by Windows virtual-key code
extern int32_t FrameCount;    // frames drawn since the last FPSText update
extern std::string FPSText;   // "FPS: <n>", empty until the first second
extern uint32_t FontBase;     // first of the 96 glyph lists; 0 without ShowFPS

// Virtual-key codes the player acts on.
inline constexpr int VkEscape = 27;
inline constexpr int VkF1 = 112;
inline constexpr int VkF2 = 113;
inline constexpr int VkF3 = 114;
inline constexpr int VkF5 = 116;
inline constexpr int VkTab = 9;
inline constexpr int VkShift = 16;
inline constexpr int VkSpace = 32;
inline constexpr int VkHome = 36;
inline constexpr int VkLeft = 37;
inline constexpr int VkRight = 39;

// One message of the playback window's queue, already translated from the
// platform event. A: key code, timer id or width; B: height.
enum class TMsgKind { Other, Quit, Create, Size, Close, KeyDown, KeyUp, Timer };
struct TMessage {
  TMsgKind Kind = TMsgKind::Other;
  int32_t A = 0;
  int32_t B = 0;
};
inline constexpr int32_t FrameRateTimerId = 1;

void Startup();  // floating-point environment; clears the key table
void Shutdown();

bool CreateGLWindow(int32_t width, int32_t height, bool fullScreen, int32_t bits);
void KillGLWindow(bool fullScreen);
// Full screen (a borderless window over the display) or a window of the
// chosen size, with the cursor hidden in full screen only. Alt+Enter calls it.
void SetFullScreen(bool on);
bool FullScreenNow();
// The demo draws into its picture between these two; ShowPicture draws the
// picture onto the window, scaled with its aspect kept, and leaves the
// window's framebuffer bound for an overlay and the swap. Both do nothing
// when the demo draws straight into the window.
void BeginPicture();
void ShowPicture();
// The number of displays, and the size of display `index` at its current
// mode; 0 and false without a video driver or such a display.
int32_t DisplayCount();
bool DisplaySize(int32_t index, int32_t& width, int32_t& height);
// After a frame's keys were handled: releases the keys let go before it.
void FrameKeysSeen();
void ResizeGLScene(int32_t width, int32_t height);
// GL state, operators, demo, tracks, music. Needs a current GL context.
void InitGL();
void BuildFont();
void PrintText(const std::string& text);
void ShowError(const std::string& message);

// The window procedure: acts on one message.
void WindowProc(const TMessage& msg);
// Takes one message off the queue; false when the queue is empty.
bool PeekMessage(TMessage& out);
// Sees every platform event PeekMessage takes (the overlay's input).
void SetEventTap(std::function<void(const SDL_Event&)> tap);
// Loads the demo in InitGL instead of reading demo.qvl; empty restores that.
void SetDemoLoader(std::function<void()> loader);
// Presents the back buffer of the current GL window.
void SwapBuffers();

// The black start frame with a thin bar along its bottom edge, `done` /
// `total` of the width, presented at once.
void DrawLoadProgress(int32_t done, int32_t total);
// The texture loader's progress hook while InitGL loads: nothing for the
// first half second, so a short load looks as if there were no bar; then a
// frame each time the count changes.
struct TLoadBar {
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
  int32_t Shown = -1;  // the count last drawn
  void operator()(int32_t done, int32_t total);
};

// The Windows virtual-key code of an SDL key symbol; 0 when it has none.
int32_t VirtualKeyOf(int32_t sdlKeycode);

}  // namespace openglx
