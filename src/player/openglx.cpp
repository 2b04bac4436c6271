// openglx: the playback window and its GL context. In this order: module
// state and helpers (frame-rate timer, glyphs, full screen), start-up and
// the window's life (create, full screen, the picture, tear-down), the GL
// state and the frame-rate font, then the message handling (window
// procedure, key latch, key codes, the queue).
#include "player/openglx.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>

#include "data/demo.h"
#include "engine/dllShared.h"
#include "engine/messages.h"
#include "operators/roster.h"
#include "engine/scheduler.h"
#include "engine/settings.h"
#include "platform/fonts.h"
#include "platform/muzax.h"
#include "platform/present.h"
#include "resources/texLoad.h"

namespace openglx {

uint8_t KeyDown[256] = {};
int32_t FrameCount = 0;
std::string FPSText;
uint32_t FontBase = 0;

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int display = 0;            // the display the window opened on
bool isFullScreen = false;  // the window covers its display
bool videoUp = false;
// Keys pressed since the last frame, and those of them already released.
uint8_t pressedSinceFrame[256] = {};
uint8_t releasedSinceFrame[256] = {};  // the SDL equivalent of the registered window class
SDL_TimerID frameRateTimer = 0;
uint32_t timerEvent = static_cast<uint32_t>(-1);
std::function<void(const SDL_Event&)> eventTap;
std::function<void()> demoLoader;

constexpr int FontFirstChar = 32;
constexpr int FontCharCount = 96;
constexpr int FontPixelHeight = 11;

// Runs on SDL's timer thread: only posts a message, so the text is changed
// on the loop's own thread when the message is dispatched.
uint32_t OnFrameRateTimer(uint32_t interval, void*) {
  SDL_Event e{};
  e.type = timerEvent;
  e.user.code = FrameRateTimerId;
  SDL_PushEvent(&e);
  return interval;
}

// One glyph as a glBitmap display list: 1 bit a pixel, bottom row first,
// with the baseline at the raster position.
void CompileGlyph(TTF_Font* font, uint32_t list, uint16_t ch) {
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (TTF_GlyphMetrics(font, ch, &minx, &maxx, &miny, &maxy, &advance) != 0) advance = 0;
  SDL_Surface* s = TTF_GlyphIsProvided(font, ch) ? TTF_RenderGlyph_Solid(font, ch, SDL_Color{255, 255, 255, 255})
                                                 : nullptr;
  glNewList(list, GL_COMPILE);
  if (s && s->format->BytesPerPixel == 1 && s->w > 0 && s->h > 0) {
    const int w = s->w, h = s->h;
    const int rowBytes = (w + 7) / 8;
    std::vector<GLubyte> bits(static_cast<size_t>(rowBytes) * static_cast<size_t>(h), 0);
    SDL_LockSurface(s);
    const auto* px = static_cast<const uint8_t*>(s->pixels);
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = px + static_cast<size_t>(y) * static_cast<size_t>(s->pitch);
      GLubyte* out = bits.data() + static_cast<size_t>(h - 1 - y) * static_cast<size_t>(rowBytes);
      for (int x = 0; x < w; ++x)
        if (row[x] != 0) out[x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
    }
    SDL_UnlockSurface(s);
    // The surface's top row is the font's ascent above the baseline.
    const float yorig = static_cast<float>(h - TTF_FontAscent(font));
    glBitmap(w, h, 0.0f, yorig, static_cast<float>(advance), 0.0f, bits.data());
  } else {
    glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(advance), 0.0f, nullptr);
  }
  glEndList();
  if (s) SDL_FreeSurface(s);
}

// A borderless window over the whole display, at the mode it already has.
// Placed by hand as well as asked of the window manager, so that it covers
// the display where no window manager acts on the request.
bool EnterFullScreen() {
  const int at = SDL_GetWindowDisplayIndex(window);
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(at >= 0 ? at : display, &bounds) != 0) return false;
  SDL_SetWindowBordered(window, SDL_FALSE);
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
  if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    SDL_SetWindowBordered(window, SDL_TRUE);
    return false;
  }
  isFullScreen = true;
  return true;
}

// Back to a captioned window of the chosen size, centred on its display.
void LeaveFullScreen() {
  const int at = SDL_GetWindowDisplayIndex(window);
  SDL_SetWindowFullscreen(window, 0);
  SDL_SetWindowBordered(window, SDL_TRUE);
  SDL_SetWindowSize(window, settings::ScreenWidth, settings::ScreenHeight);
  const int d = at >= 0 ? at : display;
  SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(d), SDL_WINDOWPOS_CENTERED_DISPLAY(d));
  isFullScreen = false;
}

}  // namespace

// ---- start-up and the window's life ----

void Startup() {
  // Float-to-integer conversions round to nearest even; faults stay masked,
  // so divisions by zero give infinities and NaN.
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::memset(KeyDown, 0, sizeof KeyDown);
  FrameKeysSeen();
  FrameCount = 0;
  FPSText.clear();
  FontBase = 0;
}

void Shutdown() { FPSText.clear(); }

void ShowError(const std::string& message) { messages::Show("Whoops...", message); }

void ResizeGLScene(int32_t width, int32_t height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void SwapBuffers() {
  if (SDL_Window* w = SDL_GL_GetCurrentWindow()) SDL_GL_SwapWindow(w);
}

void DrawLoadProgress(int32_t done, int32_t total) {
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, std::max(viewport[2], 1), 0, std::max(viewport[3], 1), -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const double width = total > 0 ? viewport[2] * std::clamp(static_cast<double>(done) / total, 0.0, 1.0) : 0.0;
  constexpr double kBarHeight = 3;
  glColor3f(0.5f, 0.5f, 0.5f);
  glBegin(GL_QUADS);
  glVertex2d(0, 0);
  glVertex2d(width, 0);
  glVertex2d(width, kBarHeight);
  glVertex2d(0, kBarHeight);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
  SwapBuffers();
}

void TLoadBar::operator()(int32_t done, int32_t total) {
  if (done == Shown || std::chrono::steady_clock::now() - Start < std::chrono::milliseconds(500)) return;
  Shown = done;
  DrawLoadProgress(done, total);
}

bool CreateGLWindow(int32_t width, int32_t height, bool fullScreen, int32_t bits) {
  auto fail = [&](const char* message) {
    KillGLWindow(fullScreen);
    ShowError(message);
    return false;
  };

  // Steps 1-2: the instance and the window class are the video subsystem.
  // The window is sharp on a high-DPI screen: its drawable counts pixels.
  SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    ShowError("Unable to register window class");
    return false;
  }
  videoUp = true;
  if (timerEvent == static_cast<uint32_t>(-1)) timerEvent = SDL_RegisterEvents(1);
  display = settings::Display >= 0 && settings::Display < SDL_GetNumVideoDisplays() ? settings::Display : 0;

  const std::string title = "Now playing: " + demo::DemoTitle;

  // The pixel format has to be chosen before the window exists.
  const int channel = bits >= 24 ? 8 : 5;
  if (SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel) != 0 || SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel) != 0 || SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16) != 0 || SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) != 0 ||
      SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) != 0)
    return fail("pixel format unavaiable");

  // The window starts at the picture's size, centred on its display, and
  // may be resized; full screen covers the display at the mode it has.
  window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                            SDL_WINDOWPOS_CENTERED_DISPLAY(display), width, height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window) return fail("Window could not be created");

  context = SDL_GL_CreateContext(window);
  if (!context) return fail("Could not get OpenGL-rendering context");
  if (SDL_GL_MakeCurrent(window, context) != 0) return fail("UNable to activate OpenGL-rendering context");
  // Adaptive where the driver has it: a late frame is shown at once.
  if (!settings::VSync || SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(settings::VSync ? 1 : 0);

  if (fullScreen && !EnterFullScreen()) {
    ShowError("Couldnt change to fullscreen with this config. using windowed mode instead");
    fullScreen = false;
  }
  SDL_ShowCursor(fullScreen ? SDL_DISABLE : SDL_ENABLE);

  frameRateTimer = SDL_AddTimer(1000, OnFrameRateTimer, nullptr);

  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);

  // The demo draws its picture at the chosen size whatever the window's;
  // without framebuffer objects it draws into the window at the window's.
  int drawW = width, drawH = height;
  SDL_GL_GetDrawableSize(window, &drawW, &drawH);
  if (present::Open(width, height, settings::BlankTextureSize))
    ResizeGLScene(width, height);
  else
    ResizeGLScene(drawW, drawH);
  InitGL();
  return true;
}

bool FullScreenNow() { return window && isFullScreen; }

void SetFullScreen(bool on) {
  if (!window) return;
  if (on)
    EnterFullScreen();
  else
    LeaveFullScreen();
  SDL_ShowCursor(isFullScreen ? SDL_DISABLE : SDL_ENABLE);
}

int32_t DisplayCount() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
  const int32_t n = std::max(SDL_GetNumVideoDisplays(), 0);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return n;
}

bool DisplaySize(int32_t index, int32_t& width, int32_t& height) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_Rect bounds{};
  const bool ok = SDL_GetDisplayBounds(index, &bounds) == 0;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (ok) width = bounds.w, height = bounds.h;
  return ok;
}

void BeginPicture() { present::BeginFrame(); }

void ShowPicture() {
  SDL_Window* w = SDL_GL_GetCurrentWindow();
  if (!w || !present::Active()) return;
  int drawW = 0, drawH = 0;
  SDL_GL_GetDrawableSize(w, &drawW, &drawH);
  present::Show(drawW, drawH);
}

void KillGLWindow(bool fullScreen) {
  if (frameRateTimer) {
    SDL_RemoveTimer(frameRateTimer);
    frameRateTimer = 0;
  }
  if (fullScreen || isFullScreen) {
    if (window) SDL_SetWindowFullscreen(window, 0);
    isFullScreen = false;
  }
  SDL_ShowCursor(SDL_ENABLE);
  if (context) {
    present::Close();
    if (SDL_GL_MakeCurrent(window, nullptr) != 0) ShowError("Release of DC & RC failed");
    SDL_GL_DeleteContext(context);
    context = nullptr;
  }
  if (window) {
    SDL_DestroyWindow(window);
    window = nullptr;
  }
  if (videoUp) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER);
    videoUp = false;
  }
}

// ---- GL state and the frame-rate font ----

void InitGL() {
  if (!dllShared::Host.DrawMesh) messages::Show(":(", "crash");

  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glShadeModel(GL_SMOOTH);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  ShowPicture();
  SwapBuffers();  // a black picture while the demo loads
  BeginPicture();
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);

  if (settings::ShowFPS) BuildFont();

  scheduler::RenderWidth = settings::ScreenWidth;
  scheduler::RenderHeight = settings::ScreenHeight;
  scheduler::UseDemoData(&demo::DemoData);

  roster::RegisterOperators();
  {
    // The bar is the loader's until the demo is in, however loading ends.
    texLoad::SetHooks({TLoadBar{}});
    struct Unhook {
      ~Unhook() { texLoad::SetHooks({}); }
    } unhook;
    if (demoLoader)
      demoLoader();
    else
      demo::LoadDemo("demo.qvl", false);
  }
  scheduler::ResetTracks();

  if (!settings::SoundOff) {
    muzax::InitAudio(settings::SoundDevice);
    muzax::OpenMusic("music.mp3");
    muzax::SeekMusic(0);
    muzax::PlayMusic();
  }
}

void BuildFont() {
  FontBase = glGenLists(FontCharCount);
  if (FontBase == 0) return;
  if (!TTF_WasInit() && TTF_Init() != 0) return;
  const std::string file = fonts::FileFor("Arial");
  TTF_Font* font = file.empty() ? nullptr : TTF_OpenFont(file.c_str(), FontPixelHeight);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < FontCharCount; ++i) {
    const auto list = FontBase + static_cast<uint32_t>(i);
    if (font) {
      CompileGlyph(font, list, static_cast<uint16_t>(FontFirstChar + i));
    } else {
      // No font at all: empty lists, so the overlay simply shows nothing.
      glNewList(list, GL_COMPILE);
      glEndList();
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  // The bitmaps now live in the display lists.
  if (font) TTF_CloseFont(font);
}

void PrintText(const std::string& text) {
  if (text.empty() || FontBase == 0) return;
  glPushAttrib(GL_LIST_BIT);
  glListBase(FontBase - FontFirstChar);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
  glPopAttrib();
}

// ---- message handling ----

void WindowProc(const TMessage& msg) {
  switch (msg.Kind) {
    case TMsgKind::Create:
      break;
    case TMsgKind::Size:
      // The picture keeps its size; the window only shows it scaled.
      if (!present::Active()) ResizeGLScene(msg.A, msg.B);
      break;
    case TMsgKind::Close: {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
      break;
    }
    case TMsgKind::KeyDown:
      if (msg.A >= 0 && msg.A < 256) KeyDown[msg.A] = 1, pressedSinceFrame[msg.A] = 1;
      break;
    case TMsgKind::KeyUp:
      // A press no frame has seen yet stays down until one has.
      if (msg.A >= 0 && msg.A < 256) {
        if (pressedSinceFrame[msg.A])
          releasedSinceFrame[msg.A] = 1;
        else
          KeyDown[msg.A] = 0;
      }
      break;
    case TMsgKind::Timer:
      if (msg.A == FrameRateTimerId) {
        FPSText = "FPS: " + std::to_string(FrameCount);
        FrameCount = 0;
      }
      break;
    case TMsgKind::Quit:
    case TMsgKind::Other:
      break;
  }
}

void FrameKeysSeen() {
  for (int k = 0; k < 256; ++k)
    if (releasedSinceFrame[k]) KeyDown[k] = 0;
  std::memset(pressedSinceFrame, 0, sizeof pressedSinceFrame);
  std::memset(releasedSinceFrame, 0, sizeof releasedSinceFrame);
}

int32_t VirtualKeyOf(int32_t sym) {
  if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
  if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
  if (sym >= SDLK_F1 && sym <= SDLK_F12) return 112 + (sym - SDLK_F1);
  if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) return 97 + (sym - SDLK_KP_1);
  switch (sym) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return VkEscape;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    default: return 0;
  }
}

void SetEventTap(std::function<void(const SDL_Event&)> tap) { eventTap = std::move(tap); }
void SetDemoLoader(std::function<void()> loader) { demoLoader = std::move(loader); }

bool PeekMessage(TMessage& out) {
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  if (eventTap) eventTap(e);
  out = TMessage{};
  if (e.type == SDL_QUIT) {
    out.Kind = TMsgKind::Quit;
  } else if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
    // Auto-repeat arrives as further key-down events and sets the entry again.
    const int32_t vk = VirtualKeyOf(e.key.keysym.sym);
    // F10 and keys struck with Alt (without Ctrl) are system keys: they go
    // to the system's menu handling and never reach the key table.
    const uint16_t mod = e.key.keysym.mod;
    const bool systemKey = vk == 121 || ((mod & KMOD_ALT) != 0 && (mod & KMOD_CTRL) == 0);
    // Alt+Enter switches between full screen and a window.
    if (systemKey && vk == 13 && e.type == SDL_KEYDOWN && !e.key.repeat) SetFullScreen(!FullScreenNow());
    if (vk != 0 && !systemKey) {
      out.Kind = e.type == SDL_KEYDOWN ? TMsgKind::KeyDown : TMsgKind::KeyUp;
      out.A = vk;
    }
  } else if (e.type == SDL_WINDOWEVENT) {
    if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
      int w = e.window.data1, h = e.window.data2;
      if (window) SDL_GL_GetDrawableSize(window, &w, &h);
      out.Kind = TMsgKind::Size;
      out.A = w;
      out.B = h;
    } else if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) {
      out.Kind = TMsgKind::Size;  // a minimised window has no client area
    } else if (e.window.event == SDL_WINDOWEVENT_RESTORED && window) {
      // The size did not change, so no size event follows: give the client
      // area back, or the viewport would stay at the minimised one.
      out.Kind = TMsgKind::Size;
      SDL_GL_GetDrawableSize(window, &out.A, &out.B);
    } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
      out.Kind = TMsgKind::Close;
    }
  } else if (e.type == timerEvent) {
    out.Kind = TMsgKind::Timer;
    out.A = e.user.code;
  }
  return true;
}

}  // namespace openglx
