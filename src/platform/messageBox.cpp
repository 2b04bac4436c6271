#include "platform/messageBox.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/messages.h"

namespace messageBox {

namespace {

bool HeadlessDriver(const char* name) {
  return name && (!std::strcmp(name, "offscreen") || !std::strcmp(name, "dummy") || !std::strcmp(name, "evdev"));
}

void ShowBox(const std::string& caption, const std::string& text) {
  // The window module's own failures carry the error icon.
  const Uint32 flags = caption == "Whoops..." ? SDL_MESSAGEBOX_ERROR : 0;
  if (DisplayAvailable() && SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) == 0) return;
  messages::WriteToStderr(caption, text);
}

}  // namespace

bool DisplayAvailable() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && !HeadlessDriver(driver) && SDL_GetNumVideoDisplays() > 0;
  }
  // Before video is up (the setup window's own errors, the tools) ask the
  // environment what SDL would find.
  if (HeadlessDriver(std::getenv("SDL_VIDEODRIVER"))) return false;
#if defined(_WIN32) || defined(__APPLE__)
  return true;
#else
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
#endif
}

void InstallMessageBoxSink() { messages::SetSink(ShowBox); }

}  // namespace messageBox
