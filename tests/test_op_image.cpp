// Show Image on the shared GL context.
#include "opTestKit.h"
#include "operators/opImage.h"

namespace {

using namespace optest;

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255},
    kGrey{128, 128, 128, 255}, kBlack{0, 0, 0, 0};

class OpShowImage : public OpGLTest {
 protected:
  static int32_t AddSet(int32_t texture, float zoom, uint8_t drawMode, uint8_t blendMode = 0, float alpha = 1.0f, float x = 0.0f, float y = 0.0f) {
    return optest::AddSet(opImage::Sets(), {texture, x, y, zoom, alpha, drawMode, blendMode, {0, 0}});
  }
  void Show(int32_t set, float alpha = 1.0f) { RenderOnce(typeShowImage, set, Width(), Height(), 0.0f, alpha); }
  void ExpectPixels(std::initializer_list<std::tuple<int, int, RGBA>> want) {
    for (auto [x, y, c] : want) EXPECT_TRUE(NearRGB(ReadPixel(x, y), c)) << x << "," << y << ": " << ReadPixel(x, y);
  }
};

// 2 x 2 texels (red, green at the bottom; blue, white on top) in a 256 x 128 image. At z = -1.4 one
// unit is 220 pixels of the 256-pixel view.
TEST_F(OpShowImage, QuadAndDoubleSizeModesKeepTheAspectAndOrientation) {
  const int32_t tex = AddTexture(2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}, 256, 128);
  Show(AddSet(tex, 0.5f, 0));  // 1 x 0.5 units: +-110 by +-55 pixels
  ExpectPixels({{78, 103, kRed}, {233, 103, kGreen}, {78, 178, kBlue}, {178, 178, kWhite}, {128, 190, kBlack}, {244, 128, kBlack}});

  // Double size draws in the current space at its offset: 2 x 1 units moved by (0.5, -0.25), five
  // units away, span x 97..221 and y 82..143.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glTranslatef(0.0f, 0.0f, -5.0f);
  Show(AddSet(tex, 0.5f, 2, 0, 1.0f, 0.5f, -0.25f));
  ExpectPixels({{215, 88, kGreen}, {103, 88, kRed}, {103, 138, kBlue}, {215, 138, kWhite}, {226, 112, kBlack},
                {92, 112, kBlack}, {128, 148, kBlack}, {128, 77, kBlack}});
}

TEST_F(OpShowImage, OverlayModeMapsTheTextureOnceOrItsMiddleAndRestoresTheProjection) {
  SetSize(256, 128);
  std::vector<uint8_t> texels;  // 4 x 4: a grey ring around the quadrant colours
  for (int i = 0; i < 16; ++i) {
    const int x = i % 4, y = i / 4;
    const RGBA c = x % 3 == 0 || y % 3 == 0 ? kGrey : y == 1 ? (x == 1 ? kRed : kGreen) : (x == 1 ? kBlue : kWhite);
    texels.insert(texels.end(), {c.r, c.g, c.b, c.a});
  }
  const int32_t tex = AddTexture(4, 4, texels, 64, 64);
  Show(AddSet(tex, 1.0f, 1));
  ExpectPixels({{0, 0, kGrey}, {255, 127, kGrey}, {100, 50, kRed}, {156, 78, kWhite}});

  // Zoom 0.75 shows the texture window 0.25..0.75: the four middle texels.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glViewport(0, 0, 10, 10), glTranslatef(0.0f, 0.0f, -2.0f);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  Show(AddSet(tex, 0.75f, 1));
  ExpectPixels({{0, 0, kRed}, {255, 0, kGreen}, {0, 127, kBlue}, {255, 127, kWhite}});

  // Afterwards: the standard perspective on the full view, the caller's model-view.
  std::array<GLint, 4> vp{};
  glGetIntegerv(GL_VIEWPORT, vp.data());
  EXPECT_TRUE(CurrentMatrix(GL_MODELVIEW_MATRIX) == before && GetInt(GL_MATRIX_MODE) == GL_MODELVIEW && vp == (std::array<GLint, 4>{0, 0, 256, 128}));
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX);
  SetSize(256, 128);  // the standard perspective
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(projection[i], CurrentMatrix(GL_PROJECTION_MATRIX)[i], 1e-5) << i;
}

TEST_F(OpShowImage, EveryBlendModeOverAKnownBackgroundAndTheStateLeft) {
  const int32_t tex = AddSolidTexture({51, 153, 255, 255});
  // expected: over (64, 128, 192) at alpha 0.5; modes above 3 keep the caller's function
  const struct { uint8_t mode; GLenum src, dst; RGBA expected; } cases[] = {
      {0, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, {58, 140, 224, 0}}, {1, GL_SRC_ALPHA, GL_ONE, {90, 204, 255, 0}},
      {2, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR, {77, 128, 128, 0}}, {3, GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR, {89, 127, 63, 0}},
      {4, GL_ZERO, GL_ONE, {64, 128, 192, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.mode));
    glClearColor(64 / 255.0f, 128 / 255.0f, 192 / 255.0f, 1.0f), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glBlendFunc(GL_ZERO, GL_ONE);
    Show(AddSet(tex, 0.5f, 0, c.mode, 0.5f));
    EXPECT_EQ((std::array{GetInt(GL_BLEND_SRC), GetInt(GL_BLEND_DST)}), (std::array<GLint, 2>{GLint(c.src), GLint(c.dst)}));
    ExpectPixels({{128, 128, c.expected}});
  }
  // The alpha handed in multiplies the set's.
  glClearColor(0, 0, 0, 0), glClear(GL_COLOR_BUFFER_BIT), Show(AddSet(tex, 0.5f, 0, 0, 0.5f), 0.5f);
  ExpectPixels({{128, 128, {13, 38, 64, 0}}});

  // Whatever the mode: depth test on, blending off and its texture bound afterwards.
  const int32_t green = AddSolidTexture(kGreen);
  for (uint8_t mode : {0, 2, 3, 200}) {
    SCOPED_TRACE(int(mode));
    ResetState(), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), DrawNearWall();  // the wall does not hide the image
    glDisable(GL_DEPTH_TEST), glEnable(GL_BLEND), glTranslatef(0.0f, 0.0f, -1.0f), glRotatef(10.0f, 0.0f, 0.0f, 1.0f);
    const Matrix modelView = CurrentMatrix(GL_MODELVIEW_MATRIX), projection = CurrentMatrix(GL_PROJECTION_MATRIX);
    Show(AddSet(green, 0.3f, mode));
    ExpectPixels({{128, 128, mode <= 2 ? kGreen : kBlue}});
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_BLEND) && GLuint(GetInt(GL_TEXTURE_BINDING_2D)) == texMan::TextureTable[1].GLName);
    EXPECT_TRUE(CurrentMatrix(GL_MODELVIEW_MATRIX) == modelView && CurrentMatrix(GL_PROJECTION_MATRIX) == projection);
  }
}

TEST_F(OpShowImage, AChangedTextureIsFetchedAgainAndMissingOnesStandIn) {
  const int32_t wide = AddSolidTexture(kRed, 256, 128), square = AddSolidTexture(kGreen, 128, 128), set = AddSet(wide, 0.5f, 0);
  dllShared::fOperator& op = Op(typeShowImage);
  const auto slot = static_cast<uint8_t>(op.CreateInstance(set));
  op.Render(slot, Width(), Height(), 0, 0, 0, 1);
  ExpectPixels({{128, 208, kBlack}});  // 0.25 high: 55 pixels up
  op.SetParamValue(set, 0, &square), op.Render(slot, Width(), Height(), 0, 0, 0, 1);
  ExpectPixels({{128, 208, kGreen}});  // now 0.5 high: 110 pixels up
  op.FreeInstance(slot);

  // No texture is a white square, but an entry without an image draws nothing.
  texMan::TextureTable.push_back({"broken", "missing.jpg", 0, 0, 0, 0});  // its file failed to load
  const RGBA halfWhite{128, 128, 128, 0};
  // Texture number, colour at alpha 0.5 over black. Beyond the table the host knows no image either.
  for (auto [texture, want] : {std::pair{0, halfWhite}, {3, kBlack}, {4, kBlack}, {-4, halfWhite}})
    for (uint8_t mode : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "texture " << texture << " mode " << int(mode));
      ResetState(), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glDisable(GL_DEPTH_TEST), glEnable(GL_BLEND);
      if (mode == 2) glTranslatef(0.0f, 0.0f, -2.8f);
      Show(AddSet(texture, 0.5f, mode, 0, 0.5f));  // a 10 x 10 stand-in reaching 110 pixels up
      ExpectPixels({{128, 128, want}});
      if (mode != 1) ExpectPixels({{128, 228, want}});
    }
}

}  // namespace
