// GL test fixture: one shared offscreen context (opened on first use); every test starts from the
// player's baseline state on a cleared drawable.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/offscreen.h"

struct RGBA {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const RGBA&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RGBA& c) {
  return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

// True when every channel of a and b is within tol of each other.
inline bool Near(const RGBA& a, const RGBA& b, int tol = 2) {
  return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol &&
         std::abs(a.a - b.a) <= tol;
}

// Level 0 of a texture object, rows bottom first.
struct TexLevel {
  int w = 0, h = 0;
  std::vector<RGBA> px;
};
inline TexLevel ReadTexLevel0(GLuint name) {
  TexLevel l;
  glBindTexture(GL_TEXTURE_2D, name), glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &l.w), glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &l.h);
  l.px.resize(static_cast<size_t>(l.w) * static_cast<size_t>(l.h));
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, l.px.data());
  return l;
}

class GLTest : public ::testing::Test {
 protected:
  static constexpr int kDefaultSize = 256;

  void SetUp() override {
    std::string error;
    // No skip: GL tests must run in CI, so a missing context is a failure.
    ASSERT_TRUE(offscreen::Open(kDefaultSize, kDefaultSize, &error)) << "no offscreen GL context: " << error;
    SetSize(kDefaultSize, kDefaultSize), ResetState(), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  void TearDown() override {
    while (glGetError() != GL_NO_ERROR) {  // leave no error for the next test
    }
  }

  // Resizes the drawable; viewport and projection follow.
  void SetSize(int w, int h) {
    width_ = w, height_ = h, offscreen::Resize(w, h), glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION), glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(w) / static_cast<double>(h > 0 ? h : 1), 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW), glLoadIdentity();
  }

  static void ResetState() {
    glBindTexture(GL_TEXTURE_2D, 0), glDisable(GL_LIGHTING), glDisable(GL_CULL_FACE), glDisable(GL_ALPHA_TEST);
    glClearColor(0, 0, 0, 0), glShadeModel(GL_SMOOTH), glClearDepth(1.0), glEnable(GL_DEPTH_TEST), glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE), glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST), glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND), glEnable(GL_TEXTURE_2D), glColor4f(1, 1, 1, 1), glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4), glMatrixMode(GL_TEXTURE), glLoadIdentity(), glMatrixMode(GL_MODELVIEW), glLoadIdentity();
  }

  // One pixel of the current read buffer; (0, 0) is the bottom-left corner.
  static RGBA ReadPixel(int x, int y) {
    std::array<uint8_t, 4> p{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1), glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return {p[0], p[1], p[2], p[3]};
  }

  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_ = kDefaultSize;
  int height_ = kDefaultSize;
};
