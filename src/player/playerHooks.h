// playerHooks: the player's side of the hook tables through which the
// capture and authoring rooms, and --watch in the main loop, reach it.
#pragma once

#include <string>

#include "authoring/authoring.h"
#include "capture/capture.h"
#include "player/mainloop.h"

namespace playerHooks {

// Reloads into the playing demo: `json` when demoFile is a JSON description.
authoring::THooks Authoring(const std::string& demoFile, bool json);
// The window's GL set-up, the music decoder and the resource tables.
capture::THooks Capture();
// The overlay and the file checks between frames.
mainloop::TWatchHooks Watch();

}  // namespace playerHooks
