// The picture the demo draws and its scaled showing on the window: the fit
// rule, the bars, and the demo's GL state kept across the showing.
#include <tuple>

#include "glTest.h"
#include "platform/present.h"

namespace {

auto Tuple(const present::TRect& r) { return std::make_tuple(r.X, r.Y, r.W, r.H); }

TEST(PresentFit, LargestCentredRectangleOfThePicturesAspect) {
  EXPECT_EQ(Tuple(present::Fit(800, 600, 1920, 1080)), std::make_tuple(240, 0, 1440, 1080));  // bars at the sides
  EXPECT_EQ(Tuple(present::Fit(1920, 1080, 960, 300)), std::make_tuple(213, 0, 533, 300));    // 533.3 rounded
  EXPECT_EQ(Tuple(present::Fit(800, 600, 600, 1000)), std::make_tuple(0, 275, 600, 450));     // bars above and below
  EXPECT_EQ(Tuple(present::Fit(1920, 1080, 1920, 1080)), std::make_tuple(0, 0, 1920, 1080));
  EXPECT_EQ(Tuple(present::Fit(1280, 1024, 3840, 2160)), std::make_tuple(570, 0, 2700, 2160));  // HiDPI drawable
  EXPECT_EQ(Tuple(present::Fit(800, 600, 100, 0)), std::make_tuple(0, 0, 0, 0));  // minimised
  EXPECT_EQ(Tuple(present::Fit(1, 1000, 1000, 1)), std::make_tuple(499, 0, 1, 1));  // never below one pixel
}

class Present : public GLTest {
 protected:
  void TearDown() override {
    present::Close();
    GLTest::TearDown();
  }
};

TEST_F(Present, ShowsThePictureScaledBetweenBarsAndKeepsTheDemosState) {
  ASSERT_TRUE(present::Supported());
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);  // the window's old contents must not show through the bars
  ASSERT_TRUE(present::Open(64, 48, 100));
  EXPECT_EQ(ReadPixel(10, 10), (RGBA{0, 0, 0, 0}));  // a new picture is black
  // The demo: a red picture with a green top-right quarter, and state of its own.
  glViewport(0, 0, 64, 48);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST), glScissor(32, 24, 32, 24), glClearColor(0, 1, 0, 1), glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE), glColor4f(0.5f, 0.25f, 0.125f, 1);
  glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(0, 64, 0, 48, -1, 1);
  GLuint texture = 0;
  glGenTextures(1, &texture), glBindTexture(GL_TEXTURE_2D, texture);

  // Twice the picture's height and four times its width: scaled by 2 with 64 black columns each side.
  present::Show(256, 96);
  for (int y : {0, 95})
    for (int x : {0, 63, 192, 255}) EXPECT_EQ(ReadPixel(x, y), (RGBA{0, 0, 0, 255})) << x << "," << y;
  for (auto [x, y] : {std::pair{64, 0}, {64, 95}, {120, 60}, {186, 2}}) EXPECT_EQ(ReadPixel(x, y).r, 255) << x << "," << y;
  EXPECT_EQ(ReadPixel(185, 90), (RGBA{0, 255, 0, 255}));
  EXPECT_EQ(ReadPixel(132, 50), (RGBA{0, 255, 0, 255}));

  GLint viewport[4] = {}, scissor[4] = {}, bound = 0, mode = 0;
  GLfloat colour[4] = {}, projection[16] = {};
  glGetIntegerv(GL_VIEWPORT, viewport), glGetIntegerv(GL_SCISSOR_BOX, scissor);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound), glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetFloatv(GL_CURRENT_COLOR, colour), glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_EQ(std::make_tuple(viewport[2], viewport[3], scissor[0], scissor[2]), std::make_tuple(64, 48, 32, 32));
  EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_EQ(std::make_tuple(GLuint(bound), mode, colour[1]), std::make_tuple(texture, GL_PROJECTION, 0.25f));
  EXPECT_FLOAT_EQ(projection[0], 2.0f / 64);
  glDeleteTextures(1, &texture);

  // Bound again, the demo draws into its picture, not into the window.
  glDisable(GL_SCISSOR_TEST), glDisable(GL_BLEND);
  present::BeginFrame();
  glClearColor(0, 0, 1, 1), glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(ReadPixel(10, 10), (RGBA{0, 0, 255, 255}));
  present::Close();
  EXPECT_FALSE(present::Active());
  EXPECT_EQ(ReadPixel(10, 10), (RGBA{0, 0, 0, 255}));  // the window still shows the bars
  EXPECT_FALSE(present::Open(0, 48, 0));
}

}  // namespace
