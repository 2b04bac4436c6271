// offscreen: an OpenGL context with no window on screen, for tests and
// tools. With SDL_VIDEODRIVER=offscreen (set here unless the caller chose a
// driver) SDL makes an EGL surface on Mesa's software renderer. On a
// system's own driver (Windows has no offscreen one) the window is hidden
// and the drawing goes into a framebuffer object bound in its place, since
// what a hidden window holds may not be read back there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace offscreen {

// Creates (once) a hidden window of at least width x height with a
// compatibility-profile context and makes it current. Returns false and
// fills *error when no context can be had.
bool Open(int width, int height, std::string* error = nullptr);
// The same on SDL's offscreen driver whatever SDL_VIDEODRIVER says, or where
// that driver gives no context (Windows has none) on the system's own one
// with a hidden window: nothing appears on screen either way.
bool OpenHeadless(int width, int height, std::string* error = nullptr);
void Close();
bool IsOpen();
// Resizes the drawable; the viewport is set to the new size.
void Resize(int width, int height);

// Reads the back buffer (or the current read buffer) as RGBA, top row first.
std::vector<uint8_t> ReadPixels(int width, int height);

// The address of the GL entry point `name` in the current context, null
// when the driver has none.
void* ProcAddress(const char* name);

}  // namespace offscreen
