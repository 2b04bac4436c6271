#include "capture/frameRead.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include <GL/gl.h>

#include "platform/offscreen.h"

#ifndef APIENTRY
#define APIENTRY
#endif

namespace frameRead {

namespace {

constexpr GLenum PixelPackBuffer = 0x88EB;
constexpr GLenum StreamRead = 0x88E1;
constexpr GLenum ReadOnly = 0x88B8;

// The buffer-object entry points, from the driver at Start.
struct TBufferApi {
  void(APIENTRY* Gen)(GLsizei, GLuint*) = nullptr;
  void(APIENTRY* Delete)(GLsizei, const GLuint*) = nullptr;
  void(APIENTRY* Bind)(GLenum, GLuint) = nullptr;
  void(APIENTRY* Data)(GLenum, ptrdiff_t, const void*, GLenum) = nullptr;
  void*(APIENTRY* Map)(GLenum, GLenum) = nullptr;
  GLboolean(APIENTRY* Unmap)(GLenum) = nullptr;
};

// Lives from Start to Shutdown.
struct TReader {
  int Width = 0, Height = 0;
  size_t Bytes = 0;
  bool Deferred = false;
  TBufferApi Gl;
  GLuint Buffers[2] = {};
  int Next = 0;          // the buffer the next read goes into
  bool Pending = false;  // the other buffer holds a frame not yet collected
} Reader;

template <typename T>
bool Load(T& entry, const char* name) {
  entry = reinterpret_cast<T>(offscreen::ProcAddress(name));
  return entry != nullptr;
}

// Buffer objects are core from 1.5, packing into them from 2.1.
bool HavePixelBuffers(TBufferApi& gl) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  int major = 0, minor = 0;
  const bool core = version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 2 || (major == 2 && minor >= 1));
  if (!core && !(extensions && std::strstr(extensions, "GL_ARB_pixel_buffer_object"))) return false;
  return Load(gl.Gen, "glGenBuffers") && Load(gl.Delete, "glDeleteBuffers") && Load(gl.Bind, "glBindBuffer") &&
         Load(gl.Data, "glBufferData") && Load(gl.Map, "glMapBuffer") && Load(gl.Unmap, "glUnmapBuffer");
}

// The one copy between the driver's buffer and `out`.
bool Collect(GLuint buffer, std::vector<uint8_t>& out) {
  Reader.Gl.Bind(PixelPackBuffer, buffer);
  const void* pixels = Reader.Gl.Map(PixelPackBuffer, ReadOnly);
  if (pixels) {
    out.resize(Reader.Bytes);
    std::memcpy(out.data(), pixels, Reader.Bytes);
  }
  const bool unmapped = pixels && Reader.Gl.Unmap(PixelPackBuffer) == GL_TRUE;
  Reader.Gl.Bind(PixelPackBuffer, 0);
  return unmapped;
}

}  // namespace

void Start(int width, int height, TMode mode) {
  Shutdown();
  Reader.Width = width;
  Reader.Height = height;
  Reader.Bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  Reader.Deferred = mode == TMode::Auto && HavePixelBuffers(Reader.Gl);
  if (!Reader.Deferred) return;
  Reader.Gl.Gen(2, Reader.Buffers);
  for (const GLuint b : Reader.Buffers) {
    Reader.Gl.Bind(PixelPackBuffer, b);
    Reader.Gl.Data(PixelPackBuffer, static_cast<ptrdiff_t>(Reader.Bytes), nullptr, StreamRead);
  }
  Reader.Gl.Bind(PixelPackBuffer, 0);
}

bool Deferred() { return Reader.Deferred; }

TResult Read(std::vector<uint8_t>& out) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!Reader.Deferred) {
    out.resize(Reader.Bytes);
    glReadPixels(0, 0, Reader.Width, Reader.Height, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    return TResult::Frame;
  }
  Reader.Gl.Bind(PixelPackBuffer, Reader.Buffers[Reader.Next]);
  glReadPixels(0, 0, Reader.Width, Reader.Height, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  Reader.Gl.Bind(PixelPackBuffer, 0);
  const bool had = Reader.Pending;
  Reader.Pending = true;
  Reader.Next = 1 - Reader.Next;
  if (!had) return TResult::None;
  return Collect(Reader.Buffers[Reader.Next], out) ? TResult::Frame : TResult::Failed;
}

TResult Drain(std::vector<uint8_t>& out) {
  if (!Reader.Deferred || !Reader.Pending) return TResult::None;
  Reader.Pending = false;
  return Collect(Reader.Buffers[1 - Reader.Next], out) ? TResult::Frame : TResult::Failed;
}

void Shutdown() {
  if (Reader.Deferred && Reader.Gl.Delete) Reader.Gl.Delete(2, Reader.Buffers);
  Reader = TReader{};
}

}  // namespace frameRead
