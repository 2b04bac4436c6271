#include "platform/offscreen.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <GL/gl.h>

#include "platform/framebuffer.h"

namespace offscreen {

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
// The size the window's surface was made with; the offscreen driver does
// not grow a surface when its window is resized.
int surfaceWidth = 0;
int surfaceHeight = 0;
// On a system's own driver the window is hidden, and what a hidden window
// holds is undefined on some drivers (Windows'): the drawing goes into a
// framebuffer object instead, where there are framebuffer objects.
framebuffer::TFramebuffer surface;

bool OnOffscreenDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "offscreen") == 0;
}

bool IsWindows() { return std::strcmp(SDL_GetPlatform(), "Windows") == 0; }

// An empty name is no choice: SDL then takes the system's own driver.
void SetDriver(const char* name) { SDL_setenv("SDL_VIDEODRIVER", name ? name : "", 1); }

}  // namespace

bool Open(int width, int height, std::string* error) {
  if (window) {
    Resize(width, height);
    SDL_GL_MakeCurrent(window, context);
    return true;
  }
  // Windows has no offscreen driver: there the hidden window is the system's.
  if (!IsWindows()) SDL_setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = std::string("SDL video: ") + SDL_GetError();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  window = SDL_CreateWindow("qvl offscreen", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) {
    if (error) *error = std::string("SDL window: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  context = SDL_GL_CreateContext(window);
  if (!context) {
    if (error) *error = std::string("GL context: ") + SDL_GetError();
    SDL_DestroyWindow(window);
    window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  SDL_GL_MakeCurrent(window, context);
  surfaceWidth = width;
  surfaceHeight = height;
  if (!OnOffscreenDriver()) framebuffer::Make(width, height, surface);
  glViewport(0, 0, width, height);
  return true;
}

bool OpenHeadless(int width, int height, std::string* error) {
  if (window) return Open(width, height, error);
  const char* chosen = std::getenv("SDL_VIDEODRIVER");
  const std::string before = chosen ? chosen : "";
  SetDriver("offscreen");
  if (Open(width, height, error)) return true;
  SetDriver(nullptr);
  const bool ok = Open(width, height, error);
  if (chosen) SetDriver(before.c_str());
  return ok;
}

void Close() {
  if (surface.Name) {
    framebuffer::Bind(0);
    framebuffer::Delete(surface);
  }
  if (context) SDL_GL_DeleteContext(context);
  if (window) SDL_DestroyWindow(window);
  context = nullptr;
  window = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool IsOpen() { return window != nullptr; }

void Resize(int width, int height) {
  if (!window) return;
  if (surface.Name) {
    // A larger framebuffer in the same context: every texture stays.
    if (surface.StorageWidth < width || surface.StorageHeight < height) {
      framebuffer::TFramebuffer larger;
      if (framebuffer::Make(std::max(width, surface.StorageWidth), std::max(height, surface.StorageHeight), larger)) {
        framebuffer::Delete(surface);
        surface = larger;
      }
      framebuffer::Bind(surface.Name);
    }
    glViewport(0, 0, width, height);
    return;
  }
  SDL_SetWindowSize(window, width, height);
  if (surfaceWidth < width || surfaceHeight < height) {
    // Move the context (and with it every texture) onto a window whose
    // surface is large enough.
    SDL_Window* bigger = SDL_CreateWindow("qvl offscreen", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (bigger && SDL_GL_MakeCurrent(bigger, context) == 0) {
      SDL_DestroyWindow(window);
      window = bigger;
      surfaceWidth = width;
      surfaceHeight = height;
    } else if (bigger) {
      SDL_DestroyWindow(bigger);
      SDL_GL_MakeCurrent(window, context);
    }
  }
  glViewport(0, 0, width, height);
}

std::vector<uint8_t> ReadPixels(int width, int height) {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> topDown(bottomUp.size());
  const size_t row = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::copy_n(bottomUp.data() + static_cast<size_t>(height - 1 - y) * row, row,
                topDown.data() + static_cast<size_t>(y) * row);
  return topDown;
}

void* ProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

}  // namespace offscreen
