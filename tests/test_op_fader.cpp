// Fader and Effect Fader on the shared GL context.
#include "opTestKit.h"
#include "operators/opEfFade.h"
#include "operators/opFader.h"

namespace {

using namespace optest;

class OpFader : public OpGLTest {};

TEST_F(OpFader, ColourAndOpacityMoveFromStartToEnd) {
  opFader::Sets().push_back({1, 0, 0, 0, 0, 1, 1, 1});  // opaque red to opaque blue
  opFader::Sets().push_back({0, 0, 0, 0, 0, 0, 1, 0});  // opaque black to transparent
  const struct { int32_t set; float progress, alpha, clear; RGBA expected; } cases[] = {
      {0, 0.0f, 1.0f, 0, {255, 0, 0, 255}}, {0, 0.5f, 1.0f, 0, {128, 0, 128, 255}}, {0, 1.0f, 1.0f, 0, {0, 0, 255, 255}},
      {1, 0.5f, 1.0f, 1, {128, 128, 128, 255}}, {1, 0.0f, 0.25f, 1, {191, 191, 191, 255}}};
  for (const auto& c : cases) {
    glClearColor(c.clear, c.clear, c.clear, 1.0f), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeFader, c.set, Width(), Height(), c.progress, c.alpha);
    EXPECT_TRUE(NearRGB(ReadPixel(128, 128), c.expected)) << c.set << " " << c.progress << ": " << ReadPixel(128, 128);
  }
}

TEST_F(OpFader, CoversTheWholeViewThroughTheDepthBufferAndResetsState) {
  SetSize(256, 160);
  opFader::Sets().push_back({0, 1, 0, 0, 1, 0, 1, 1});
  DrawNearWall();
  // Leave the opposite state behind: it must not matter.
  glBindTexture(GL_TEXTURE_2D, texMan::TextureTable[static_cast<size_t>(AddSolidTexture({255, 0, 255, 255}) - 1)].GLName);
  glDisable(GL_DEPTH_TEST), glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE), glRotatef(3.0f, 0.0f, 0.0f, 1.0f);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  RenderOnce(typeFader, 0, 256, 160, 0.3f);
  for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {0, 159}, {255, 159}, {128, 80}})
    EXPECT_TRUE(NearRGB(ReadPixel(x, y), RGBA{0, 255, 0, 255})) << x << "," << y << " " << ReadPixel(x, y);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_BLEND) && CurrentMatrix(GL_MODELVIEW_MATRIX) == before);
  EXPECT_EQ((std::array{GetInt(GL_TEXTURE_BINDING_2D), GetInt(GL_BLEND_SRC), GetInt(GL_BLEND_DST)}),
            (std::array<GLint, 3>{0, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
}

// The opacity reaches the next track only; a nested fader replaces it rather than compounding.
TEST_F(OpFader, EffectFaderHandsItsOpacityToTheNextTrackOnly) {
  opEfFade::Sets() = {{0.0f, 1.0f}, {0.6f, 0.6f}};
  AddEvent(0, 1000, 0, typeEffectFader, 0), AddEvent(0, 1000, 1, typeProbe, 7), AddEvent(0, 1000, 2, typeProbe, 8);
  AddEvent(0, 1000, 3, typeEffectFader, 0), AddEvent(0, 1000, 4, typeEffectFader, 1), AddEvent(0, 1000, 5, typeProbe, 9);
  for (auto [t, a] : {std::pair{0, 0.0f}, {250, 0.25f}, {1000, 1.0f}}) {
    probeCalls.clear(), scheduler::RenderTracks(t);
    ASSERT_EQ(probeCalls.size(), 3u);  // each following track exactly once
    EXPECT_TRUE(probeCalls[0].Set == 7 && probeCalls[0].Time == t && std::fabs(probeCalls[0].Alpha - a) < 1e-6f) << t;
    EXPECT_TRUE(probeCalls[1].Set == 8 && probeCalls[1].Alpha == 1.0f && probeCalls[2].Track == 5 && probeCalls[2].Alpha == 0.6f);
  }
}

}  // namespace
