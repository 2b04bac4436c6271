#include "platform/present.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>

#ifndef APIENTRY
#define APIENTRY
#endif

namespace present {

namespace {

// The framebuffer-object names shared by the ARB and EXT extensions (same values).
constexpr GLenum kFramebuffer = 0x8D40;
constexpr GLenum kRenderbuffer = 0x8D41;
constexpr GLenum kColorAttachment0 = 0x8CE0;
constexpr GLenum kDepthAttachment = 0x8D00;
constexpr GLenum kFramebufferComplete = 0x8CD5;
constexpr GLenum kFramebufferBinding = 0x8CA6;
constexpr GLenum kDepthComponent16 = 0x81A5;
constexpr GLenum kDepthComponent24 = 0x81A6;
constexpr GLenum kDepthComponent32 = 0x81A7;
constexpr GLenum kClampToEdge = 0x812F;
constexpr GLenum kRgb8 = 0x8051;
constexpr GLenum kRgba8 = 0x8058;

struct TEntries {
  void(APIENTRY* GenFramebuffers)(GLsizei, GLuint*) = nullptr;
  void(APIENTRY* DeleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
  void(APIENTRY* BindFramebuffer)(GLenum, GLuint) = nullptr;
  void(APIENTRY* FramebufferTexture2D)(GLenum, GLenum, GLenum, GLuint, GLint) = nullptr;
  GLenum(APIENTRY* CheckFramebufferStatus)(GLenum) = nullptr;
  void(APIENTRY* GenRenderbuffers)(GLsizei, GLuint*) = nullptr;
  void(APIENTRY* DeleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
  void(APIENTRY* BindRenderbuffer)(GLenum, GLuint) = nullptr;
  void(APIENTRY* RenderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
  void(APIENTRY* FramebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
};

// The picture of the current Open; zero when there is none.
struct TPicture {
  TEntries Gl;
  GLuint Framebuffer = 0, Colour = 0, Depth = 0;
  GLint Window = 0;  // the window's framebuffer, bound again to show the picture
  int32_t Width = 0, Height = 0;
  int32_t StorageWidth = 0, StorageHeight = 0;
};
TPicture picture;

template <typename T>
bool Load(T& entry, const char* name, const char* suffix) {
  char full[64];
  std::strcpy(full, name);
  std::strcat(full, suffix);
  entry = reinterpret_cast<T>(SDL_GL_GetProcAddress(full));
  return entry != nullptr;
}

// The ARB entry points, else the EXT ones; false when neither is complete.
bool LoadEntries(TEntries& gl) {
  for (const char* suffix : {"", "EXT"}) {
    const bool wanted = *suffix ? SDL_GL_ExtensionSupported("GL_EXT_framebuffer_object")
                                : SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object");
    if (!wanted) continue;
    if (Load(gl.GenFramebuffers, "glGenFramebuffers", suffix) &&
        Load(gl.DeleteFramebuffers, "glDeleteFramebuffers", suffix) &&
        Load(gl.BindFramebuffer, "glBindFramebuffer", suffix) &&
        Load(gl.FramebufferTexture2D, "glFramebufferTexture2D", suffix) &&
        Load(gl.CheckFramebufferStatus, "glCheckFramebufferStatus", suffix) &&
        Load(gl.GenRenderbuffers, "glGenRenderbuffers", suffix) &&
        Load(gl.DeleteRenderbuffers, "glDeleteRenderbuffers", suffix) &&
        Load(gl.BindRenderbuffer, "glBindRenderbuffer", suffix) &&
        Load(gl.RenderbufferStorage, "glRenderbufferStorage", suffix) &&
        Load(gl.FramebufferRenderbuffer, "glFramebufferRenderbuffer", suffix))
      return true;
  }
  return false;
}

int32_t PowerOfTwoAtLeast(int32_t n) {
  int32_t p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

bool NonPowerOfTwoTextures() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return (version && std::atoi(version) >= 2) || SDL_GL_ExtensionSupported("GL_ARB_texture_non_power_of_two");
}

void DeleteObjects() {
  if (picture.Framebuffer) picture.Gl.DeleteFramebuffers(1, &picture.Framebuffer);
  if (picture.Depth) picture.Gl.DeleteRenderbuffers(1, &picture.Depth);
  if (picture.Colour) glDeleteTextures(1, &picture.Colour);
  picture = TPicture{};
}

}  // namespace

TRect Fit(int32_t pictureW, int32_t pictureH, int32_t drawableW, int32_t drawableH) {
  if (pictureW <= 0 || pictureH <= 0 || drawableW <= 0 || drawableH <= 0) return {};
  TRect r;
  // Compare the aspects without rounding: pw / ph against dw / dh.
  if (static_cast<int64_t>(drawableW) * pictureH <= static_cast<int64_t>(drawableH) * pictureW) {
    r.W = drawableW;
    r.H = static_cast<int32_t>(std::lrint(static_cast<double>(pictureH) * drawableW / pictureW));
  } else {
    r.H = drawableH;
    r.W = static_cast<int32_t>(std::lrint(static_cast<double>(pictureW) * drawableH / pictureH));
  }
  r.W = std::clamp(r.W, 1, drawableW);
  r.H = std::clamp(r.H, 1, drawableH);
  r.X = (drawableW - r.W) / 2;
  r.Y = (drawableH - r.H) / 2;
  return r;
}

bool Supported() {
  TEntries gl;
  return LoadEntries(gl);
}

bool Open(int32_t width, int32_t height, int32_t minSide) {
  Close();
  TPicture p;
  if (width <= 0 || height <= 0 || !LoadEntries(p.Gl)) return false;
  p.Width = width;
  p.Height = height;
  p.StorageWidth = std::max(width, minSide);
  p.StorageHeight = std::max(height, minSide);
  if (!NonPowerOfTwoTextures()) {
    p.StorageWidth = PowerOfTwoAtLeast(p.StorageWidth);
    p.StorageHeight = PowerOfTwoAtLeast(p.StorageHeight);
  }
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (p.StorageWidth > maxSide || p.StorageHeight > maxSide) return false;

  // The same precision as the window's own buffers.
  GLint alphaBits = 0, depthBits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  glGetIntegerv(kFramebufferBinding, &p.Window);
  const GLenum depthFormat = depthBits > 24 ? kDepthComponent32 : depthBits > 16 ? kDepthComponent24 : kDepthComponent16;

  // Texture state is the demo's: put its binding back afterwards.
  GLint boundTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
  glGenTextures(1, &p.Colour);
  glBindTexture(GL_TEXTURE_2D, p.Colour);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampToEdge);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampToEdge);
  p.Gl.GenRenderbuffers(1, &p.Depth);
  p.Gl.BindRenderbuffer(kRenderbuffer, p.Depth);
  p.Gl.RenderbufferStorage(kRenderbuffer, depthFormat, p.StorageWidth, p.StorageHeight);
  p.Gl.BindRenderbuffer(kRenderbuffer, 0);
  p.Gl.GenFramebuffers(1, &p.Framebuffer);
  p.Gl.BindFramebuffer(kFramebuffer, p.Framebuffer);
  p.Gl.FramebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, p.Depth);
  // Some drivers take no three-byte colour buffer: then four.
  bool complete = false;
  for (const GLenum format : {alphaBits > 0 ? kRgba8 : kRgb8, kRgba8}) {
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), p.StorageWidth, p.StorageHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    p.Gl.FramebufferTexture2D(kFramebuffer, kColorAttachment0, GL_TEXTURE_2D, p.Colour, 0);
    complete = p.Gl.CheckFramebufferStatus(kFramebuffer) == kFramebufferComplete;
    if (complete) break;
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
  picture = p;
  if (!complete) {
    picture.Gl.BindFramebuffer(kFramebuffer, static_cast<GLuint>(picture.Window));
    DeleteObjects();
    return false;
  }
  // A new picture is black, as a freshly set mode is.
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  return true;
}

void Close() {
  if (!picture.Framebuffer) return;
  picture.Gl.BindFramebuffer(kFramebuffer, static_cast<GLuint>(picture.Window));
  DeleteObjects();
}

bool Active() { return picture.Framebuffer != 0; }

void BeginFrame() {
  if (picture.Framebuffer) picture.Gl.BindFramebuffer(kFramebuffer, picture.Framebuffer);
}

void Show(int32_t drawableW, int32_t drawableH) {
  if (!picture.Framebuffer) return;
  picture.Gl.BindFramebuffer(kFramebuffer, static_cast<GLuint>(picture.Window));
  const TRect r = Fit(picture.Width, picture.Height, drawableW, drawableH);
  // The demo finds its state as it left it at the next frame.
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  for (const GLenum stack : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(stack);
    glPushMatrix();
    glLoadIdentity();
  }
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, drawableW, drawableH);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  for (const GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_LIGHTING, GL_FOG, GL_STENCIL_TEST,
                           GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_1D, GL_COLOR_LOGIC_OP})
    glDisable(cap);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glViewport(r.X, r.Y, r.W, r.H);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, picture.Colour);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  const float u = static_cast<float>(picture.Width) / static_cast<float>(picture.StorageWidth);
  const float v = static_cast<float>(picture.Height) / static_cast<float>(picture.StorageHeight);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(-1, -1);
  glTexCoord2f(u, 0), glVertex2f(1, -1);
  glTexCoord2f(u, v), glVertex2f(1, 1);
  glTexCoord2f(0, v), glVertex2f(-1, 1);
  glEnd();
  for (const GLenum stack : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(stack);
    glPopMatrix();
  }
  glPopAttrib();
}

}  // namespace present
