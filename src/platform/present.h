// present: the picture the demo draws, kept apart from the window that shows
// it. The demo draws into a framebuffer object of the chosen size (the ARB or
// EXT extension; the demo's own drawing stays OpenGL 1.1), and each frame the
// picture is drawn onto the window scaled as large as fits, its aspect kept,
// centred between black bars, with linear filtering. Without framebuffer
// objects nothing is redirected and the demo draws into the window itself.
//
// Works on whatever GL context is current: the playback window's, or the
// hidden one a capture or a test draws on.
#pragma once

#include <cstdint>

namespace present {

struct TRect {
  int32_t X = 0, Y = 0, W = 0, H = 0;  // from the lower left, in pixels
};

// The largest rectangle of the picture's aspect inside the drawable, centred;
// all zero when either size is empty. Sizes and positions are rounded.
TRect Fit(int32_t pictureW, int32_t pictureH, int32_t drawableW, int32_t drawableH);

// True when the current context offers framebuffer objects.
bool Supported();

// Makes the picture of width x height for the current context and binds it.
// Its storage is at least `minSide` on each side (room for drawing that goes
// past the picture, such as render-to-texture at the blank-texture size); the
// picture is the lower left width x height of it. Colour and depth precision
// follow the context's own framebuffer, so the demo draws the same pixels as
// it would into the window. False (and nothing bound) without framebuffer
// objects or when the driver refuses the format.
bool Open(int32_t width, int32_t height, int32_t minSide);
// Deletes the picture; the window's framebuffer is bound again.
void Close();
// True between a successful Open and Close.
bool Active();

// Binds the picture for the demo to draw into (nothing without one).
void BeginFrame();
// Draws the picture onto the window's framebuffer, scaled to fit the
// drawable of drawableW x drawableH, and leaves that framebuffer bound (for
// an overlay, then the buffer swap). Every GL state the demo set is kept.
// Nothing happens without a picture.
void Show(int32_t drawableW, int32_t drawableH);

}  // namespace present
