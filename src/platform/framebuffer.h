// framebuffer: a framebuffer object (the ARB or EXT extension) with a colour
// texture and a depth buffer, for drawing that must not land in a window:
// the picture the player scales onto its window, and the hidden surface a
// capture or a test draws on where a hidden window's own pixels cannot be
// read back. Works on whatever GL context is current.
#pragma once

#include <cstdint>

namespace framebuffer {

struct TFramebuffer {
  uint32_t Name = 0;    // zero: none
  uint32_t Colour = 0;  // the colour texture, linear filtering, clamped
  uint32_t Depth = 0;   // the depth renderbuffer
  int32_t StorageWidth = 0, StorageHeight = 0;
};

// True when the current context offers framebuffer objects.
bool Supported();

// A framebuffer of at least width x height (powers of two where the driver
// wants them), bound on success. Colour and depth precision follow the
// framebuffer bound before, so drawing gives the same pixels as it would
// there; the new one is black. False, and the earlier binding kept, without
// framebuffer objects, for an empty or too large size, or a refused format.
bool Make(int32_t width, int32_t height, TFramebuffer& out);
// Deletes it (nothing for none) and leaves `fb` empty; binds nothing.
void Delete(TFramebuffer& fb);

// Binds the framebuffer named `name` (0: the window's own).
void Bind(uint32_t name);
// The framebuffer bound now.
uint32_t Bound();

}  // namespace framebuffer
