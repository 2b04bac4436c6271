// Show Image on the shared GL context.
#include <cmath>

#include "opTestKit.h"
#include "operators/opImage.h"

namespace {

using namespace optest;

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255},
    kGrey{128, 128, 128, 255}, kBlack{0, 0, 0, 0};

class OpShowImage : public OpGLTest {
 protected:
  // 2 x 2 texels: red bottom-left, green bottom-right, blue top-left, white
  // top-right; entered as a 256 x 128 image, so its aspect is 0.5.
  static int32_t AddQuadrants(int32_t entryW = 256, int32_t entryH = 128) {
    return AddTexture(2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}, entryW, entryH);
  }

  static int32_t AddSet(int32_t texture, float zoom, uint8_t drawMode, uint8_t blendMode = 0, float alpha = 1.0f,
                        float x = 0.0f, float y = 0.0f) {
    opImage::Sets().push_back({texture, x, y, zoom, alpha, drawMode, blendMode, {0, 0}});
    return static_cast<int32_t>(opImage::Sets().size() - 1);
  }

  void ExpectPixel(int x, int y, RGBA want) {
    const RGBA got = ReadPixel(x, y);
    EXPECT_TRUE(NearRGB(got, want)) << "at " << x << "," << y << ": " << got << " want " << want;
  }
};

// At z = -1.4 under the 45 degree projection, one unit is 128 / 0.5799
// pixels of the 256-pixel view.
TEST_F(OpShowImage, QuadModeKeepsTheImageAspectAndOrientation) {
  const int32_t tex = AddQuadrants();
  RenderOnce(typeShowImage, AddSet(tex, 0.5f, 0), Width(), Height(), 0.0f);
  // 1 wide and 0.5 high: +-110 by +-55 pixels around the centre.
  ExpectPixel(128 - 50, 128 - 25, kRed);
  ExpectPixel(128 + 105, 128 - 25, kGreen);
  ExpectPixel(128 - 50, 128 + 50, kBlue);
  ExpectPixel(128 + 50, 128 + 50, kWhite);
  ExpectPixel(128, 128 + 62, kBlack);
  ExpectPixel(128 + 116, 128, kBlack);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OpShowImage, DoubleSizeModeDrawsInTheCurrentSpaceAtItsOffset) {
  const int32_t tex = AddQuadrants();
  glTranslatef(0.0f, 0.0f, -5.0f);
  // 2 x 1 units, moved by (0.5, -0.25), five units away: one unit is 61.8
  // pixels, so the quad spans x 97..221 and y 82..143.
  RenderOnce(typeShowImage, AddSet(tex, 0.5f, 2, 0, 1.0f, 0.5f, -0.25f), Width(), Height(), 0.0f);
  ExpectPixel(215, 88, kGreen);
  ExpectPixel(103, 88, kRed);
  ExpectPixel(103, 138, kBlue);
  ExpectPixel(215, 138, kWhite);
  ExpectPixel(226, 112, kBlack);
  ExpectPixel(92, 112, kBlack);
  ExpectPixel(128, 148, kBlack);
  ExpectPixel(128, 77, kBlack);
}

TEST_F(OpShowImage, OverlayModeMapsTheTextureOnceOrItsMiddleAndRestoresTheProjection) {
  SetSize(256, 128);
  // 4 x 4 texels: a grey ring around the quadrant colours.
  std::vector<uint8_t> texels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      RGBA c = kGrey;
      if (x >= 1 && x <= 2 && y >= 1 && y <= 2) c = y == 1 ? (x == 1 ? kRed : kGreen) : (x == 1 ? kBlue : kWhite);
      texels.insert(texels.end(), {c.r, c.g, c.b, c.a});
    }
  const int32_t tex = AddTexture(4, 4, texels, 64, 64);

  RenderOnce(typeShowImage, AddSet(tex, 1.0f, 1), 256, 128, 0.0f);
  ExpectPixel(0, 0, kGrey);
  ExpectPixel(255, 127, kGrey);
  ExpectPixel(100, 50, kRed);
  ExpectPixel(156, 78, kWhite);

  // Zoom 0.75 shows the texture window 0.25..0.75: the four middle texels.
  glClear(GL_COLOR_BUFFER_BIT);
  ResetState();
  RenderOnce(typeShowImage, AddSet(tex, 0.75f, 1), 256, 128, 0.0f);
  ExpectPixel(0, 0, kRed);
  ExpectPixel(255, 0, kGreen);
  ExpectPixel(0, 127, kBlue);
  ExpectPixel(255, 127, kWhite);

  // Afterwards: the standard perspective, the caller's model-view matrix.
  glViewport(0, 0, 10, 10);
  glTranslatef(0.0f, 0.0f, -2.0f);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  RenderOnce(typeShowImage, AddSet(tex, 1.0f, 1), 256, 128, 0.0f);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
  GLint vp[4] = {};
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 256);
  EXPECT_EQ(vp[3], 128);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 2.0, 1.0, 100.0);
  const Matrix standard = CurrentMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_MODELVIEW);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(projection[i], standard[i], 1e-5) << i;
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OpShowImage, EveryBlendModeOverAKnownBackground) {
  const RGBA src{51, 153, 255, 255}, dst{64, 128, 192, 255};
  const int32_t tex = AddSolidTexture(src);
  struct Case {
    uint8_t mode;
    GLenum srcFactor, dstFactor;
  };
  const Case cases[] = {{0, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                        {1, GL_SRC_ALPHA, GL_ONE},
                        {2, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR},
                        {3, GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR},
                        {4, GL_ZERO, GL_ONE},  // kept from before the call
                        {9, GL_ZERO, GL_ONE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "blend mode " << int(c.mode));
    glClearColor(dst.r / 255.0f, dst.g / 255.0f, dst.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_ZERO, GL_ONE);
    // The set's alpha 0.5 times the alpha handed in.
    RenderOnce(typeShowImage, AddSet(tex, 0.5f, 0, c.mode, 0.5f), Width(), Height(), 0.0f, 1.0f);
    EXPECT_EQ(GetInt(GL_BLEND_SRC), static_cast<GLint>(c.srcFactor));
    EXPECT_EQ(GetInt(GL_BLEND_DST), static_cast<GLint>(c.dstFactor));
    const double a = 0.5;
    auto expect = [&](uint8_t sb, uint8_t db) {
      const double s = sb / 255.0, d = db / 255.0;
      double v = d;
      switch (c.mode) {
        case 0: v = s * a + d * (1 - a); break;
        case 1: v = s * a + d; break;
        case 2: v = s * a + d * (1 - s); break;
        case 3: v = s * (1 - d) + d * (1 - s); break;
        default: break;
      }
      return static_cast<uint8_t>(std::lround(std::min(v, 1.0) * 255));
    };
    ExpectPixel(128, 128, {expect(src.r, dst.r), expect(src.g, dst.g), expect(src.b, dst.b), 255});
  }
  // The alpha handed in multiplies the set's.
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  RenderOnce(typeShowImage, AddSet(tex, 0.5f, 0, 0, 0.5f), Width(), Height(), 0.0f, 0.5f);
  ExpectPixel(128, 128, {13, 38, 64, 0});
}

TEST_F(OpShowImage, LeavesDepthOnBlendingOffAndItsTextureBoundWhateverTheMode) {
  const int32_t tex = AddSolidTexture(kGreen);
  const GLuint name = texMan::TextureTable[0].GLName;
  for (uint8_t mode : {0, 2, 3, 200}) {
    SCOPED_TRACE(int(mode));
    ResetState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A nearer surface in the depth buffer does not hide the image.
    glDisable(GL_TEXTURE_2D);
    glColor3f(0, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(-5, -5, -1.1f);
    glVertex3f(5, -5, -1.1f);
    glVertex3f(5, 5, -1.1f);
    glVertex3f(-5, 5, -1.1f);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glTranslatef(0.0f, 0.0f, -1.0f);
    glRotatef(10.0f, 0.0f, 0.0f, 1.0f);
    const Matrix modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
    const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX);

    RenderOnce(typeShowImage, AddSet(tex, 0.3f, mode), Width(), Height(), 0.0f);

    ExpectPixel(128, 128, mode <= 2 ? kGreen : kBlue);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(static_cast<GLuint>(GetInt(GL_TEXTURE_BINDING_2D)), name);
    EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), modelView);
    EXPECT_EQ(CurrentMatrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

TEST_F(OpShowImage, AChangedTextureIsFetchedAgainByAHeldSlot) {
  const int32_t wide = AddSolidTexture(kRed, 256, 128);
  const int32_t square = AddSolidTexture(kGreen, 128, 128);
  const int32_t set = AddSet(wide, 0.5f, 0);
  dllShared::fOperator& op = Op(typeShowImage);
  const int32_t slot = op.CreateInstance(set);
  op.Render(static_cast<uint8_t>(slot), Width(), Height(), 0, 0, 0, 1);
  ExpectPixel(128, 128 + 80, kBlack);  // 0.25 high: 55 pixels up
  op.SetParamValue(set, 0, &square);
  glClear(GL_COLOR_BUFFER_BIT);
  op.Render(static_cast<uint8_t>(slot), Width(), Height(), 0, 0, 0, 1);
  ExpectPixel(128, 128, kGreen);
  ExpectPixel(128, 128 + 80, kGreen);  // now 0.5 high: 110 pixels up
}

TEST_F(OpShowImage, NoTextureIsAWhiteSquareButAnEntryWithoutImageDrawsNothing) {
  AddSolidTexture(kRed);
  texMan::TextureTable.push_back({"broken", "missing.jpg", 0, 0, 0, 0});  // its file failed to load
  struct Case {
    int32_t texture;
    RGBA centre, high;
  };
  // Alpha 0.5 over black; zoom 0.5 on a 10 x 10 stand-in reaches 110 pixels up.
  const Case cases[] = {{0, {128, 128, 128, 0}, {128, 128, 128, 0}},
                        {2, kBlack, kBlack},
                        {3, kBlack, kBlack},  // beyond the table: the host knows no image either
                        {-4, {128, 128, 128, 0}, {128, 128, 128, 0}}};
  for (const Case& c : cases) {
    for (uint8_t mode : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "texture " << c.texture << " mode " << int(mode));
      ResetState();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glDisable(GL_DEPTH_TEST);
      glEnable(GL_BLEND);
      if (mode == 2) glTranslatef(0.0f, 0.0f, -2.8f);
      RenderOnce(typeShowImage, AddSet(c.texture, 0.5f, mode, 0, 0.5f), Width(), Height(), 0.0f);
      ExpectPixel(128, 128, c.centre);
      if (mode != 1) ExpectPixel(128, 128 + 100, c.high);
      EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
      EXPECT_FALSE(glIsEnabled(GL_BLEND));
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
  }
}

}  // namespace
