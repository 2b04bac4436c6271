// opView: the two projections the full-window operators switch between.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>

namespace opView {

// Pixel coordinates over the whole window: the projection becomes an
// orthographic one (0..width, 0..height, near 0, far 128) and stays the
// current matrix; the model-view matrix is left as it is.
inline void BeginPixelSpace(int32_t width, int32_t height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, width, height);
  glOrtho(0.0, width, 0.0, height, 0.0, 128.0);
}

// Puts back the standard 45-degree perspective for the given size and an
// identity model-view matrix, which is left current. A zero height counts
// as 1, as on a window resize, so the projection stays finite.
inline void RestorePerspective(int32_t width, int32_t height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double aspect = static_cast<double>(width) / static_cast<double>(height > 0 ? height : 1);
  gluPerspective(45.0, aspect, 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace opView
