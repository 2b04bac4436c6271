#include "platform/framebuffer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>

#ifndef APIENTRY
#define APIENTRY
#endif

namespace framebuffer {

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
// Those of the context the last Make ran on.
TEntries Gl;

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

}  // namespace

bool Supported() {
  TEntries gl;
  return LoadEntries(gl);
}

bool Make(int32_t width, int32_t height, TFramebuffer& out) {
  out = TFramebuffer{};
  if (width <= 0 || height <= 0 || !LoadEntries(Gl)) return false;
  TFramebuffer f;
  f.StorageWidth = width;
  f.StorageHeight = height;
  if (!NonPowerOfTwoTextures()) {
    f.StorageWidth = PowerOfTwoAtLeast(f.StorageWidth);
    f.StorageHeight = PowerOfTwoAtLeast(f.StorageHeight);
  }
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (f.StorageWidth > maxSide || f.StorageHeight > maxSide) return false;

  // The same precision as the buffers bound before.
  GLint alphaBits = 0, depthBits = 0, before = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  glGetIntegerv(kFramebufferBinding, &before);
  const GLenum depthFormat = depthBits > 24 ? kDepthComponent32 : depthBits > 16 ? kDepthComponent24 : kDepthComponent16;

  // Texture state is the demo's: put its binding back afterwards.
  GLint boundTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
  GLuint colour = 0, depth = 0, name = 0;
  glGenTextures(1, &colour);
  glBindTexture(GL_TEXTURE_2D, colour);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampToEdge);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampToEdge);
  Gl.GenRenderbuffers(1, &depth);
  Gl.BindRenderbuffer(kRenderbuffer, depth);
  Gl.RenderbufferStorage(kRenderbuffer, depthFormat, f.StorageWidth, f.StorageHeight);
  Gl.BindRenderbuffer(kRenderbuffer, 0);
  Gl.GenFramebuffers(1, &name);
  Gl.BindFramebuffer(kFramebuffer, name);
  Gl.FramebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, depth);
  f.Name = name, f.Colour = colour, f.Depth = depth;
  // Some drivers take no three-byte colour buffer: then four.
  bool complete = false;
  for (const GLenum format : {alphaBits > 0 ? kRgba8 : kRgb8, kRgba8}) {
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), f.StorageWidth, f.StorageHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    Gl.FramebufferTexture2D(kFramebuffer, kColorAttachment0, GL_TEXTURE_2D, colour, 0);
    complete = Gl.CheckFramebufferStatus(kFramebuffer) == kFramebufferComplete;
    if (complete) break;
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
  if (!complete) {
    Delete(f);
    Gl.BindFramebuffer(kFramebuffer, static_cast<GLuint>(before));
    return false;
  }
  // A new framebuffer is black, as a freshly set mode is.
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  out = f;
  return true;
}

void Delete(TFramebuffer& fb) {
  if (fb.Name) Gl.DeleteFramebuffers(1, &fb.Name);
  if (fb.Depth) Gl.DeleteRenderbuffers(1, &fb.Depth);
  if (fb.Colour) glDeleteTextures(1, &fb.Colour);
  fb = TFramebuffer{};
}

void Bind(uint32_t name) {
  if (Gl.BindFramebuffer) Gl.BindFramebuffer(kFramebuffer, name);
}

uint32_t Bound() {
  if (!Gl.BindFramebuffer) return 0;
  GLint bound = 0;
  glGetIntegerv(kFramebufferBinding, &bound);
  return static_cast<uint32_t>(bound);
}

}  // namespace framebuffer
