#include "platform/present.h"

#include <algorithm>
#include <cmath>

#include <GL/gl.h>

#include "platform/framebuffer.h"

namespace present {

namespace {

// The picture of the current Open; zero when there is none.
struct TPicture {
  framebuffer::TFramebuffer Fb;
  uint32_t Window = 0;  // the framebuffer bound before, bound again to show the picture
  int32_t Width = 0, Height = 0;
};
TPicture picture;

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

bool Supported() { return framebuffer::Supported(); }

bool Open(int32_t width, int32_t height, int32_t minSide) {
  Close();
  if (width <= 0 || height <= 0) return false;
  TPicture p;
  p.Window = framebuffer::Bound();
  if (!framebuffer::Make(std::max(width, minSide), std::max(height, minSide), p.Fb)) return false;
  p.Width = width;
  p.Height = height;
  picture = p;
  return true;
}

void Close() {
  if (!picture.Fb.Name) return;
  framebuffer::Bind(picture.Window);
  framebuffer::Delete(picture.Fb);
  picture = TPicture{};
}

bool Active() { return picture.Fb.Name != 0; }

void BeginFrame() {
  if (picture.Fb.Name) framebuffer::Bind(picture.Fb.Name);
}

void Show(int32_t drawableW, int32_t drawableH) {
  if (!picture.Fb.Name) return;
  framebuffer::Bind(picture.Window);
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
  glBindTexture(GL_TEXTURE_2D, picture.Fb.Colour);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  const float u = static_cast<float>(picture.Width) / static_cast<float>(picture.Fb.StorageWidth);
  const float v = static_cast<float>(picture.Height) / static_cast<float>(picture.Fb.StorageHeight);
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
