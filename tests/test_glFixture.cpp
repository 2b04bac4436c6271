// The shared GL fixture itself: a context exists and draws what it is told.
#include "glTest.h"

using GLFixture = GLTest;

TEST_F(GLFixture, ClearsToBlackAndDrawsUntexturedQuadInColour) {
  EXPECT_EQ(ReadPixel(10, 10), (RGBA{0, 0, 0, 0}));
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex3f(-0.2f, -0.2f, -1.4f);
  glVertex3f(0.2f, -0.2f, -1.4f);
  glVertex3f(0.2f, 0.2f, -1.4f);
  glVertex3f(-0.2f, 0.2f, -1.4f);
  glEnd();
  EXPECT_TRUE(Near(ReadPixel(Width() / 2, Height() / 2), RGBA{255, 0, 0, 255}));
  EXPECT_EQ(ReadPixel(0, 0), (RGBA{0, 0, 0, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLFixture, SetSizeChangesViewport) {
  SetSize(64, 32);
  GLint vp[4] = {};
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 64);
  EXPECT_EQ(vp[3], 32);
}
