// messageBox: the message-layer sink of the player: an owner-less box with
// the caption, the text and one OK button, or "<caption>: <text>" on stderr
// where no display is available (offscreen and dummy drivers, no X or
// Wayland display, or a box that cannot be shown).
#pragma once

namespace messageBox {

void InstallMessageBoxSink();

// True when a box can be put on a screen.
bool DisplayAvailable();

}  // namespace messageBox
