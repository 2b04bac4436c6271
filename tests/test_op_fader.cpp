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
  struct Case {
    int32_t set;
    float progress, alpha;
    uint8_t clear;
    RGBA expected;
  };
  const Case cases[] = {
      {0, 0.0f, 1.0f, 0, {255, 0, 0, 255}},       {0, 0.5f, 1.0f, 0, {128, 0, 128, 255}},
      {0, 1.0f, 1.0f, 0, {0, 0, 255, 255}},       {1, 0.5f, 1.0f, 255, {128, 128, 128, 255}},
      {1, 1.0f, 1.0f, 255, {255, 255, 255, 255}}, {1, 0.0f, 0.25f, 255, {191, 191, 191, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "set " << c.set << " progress " << c.progress << " alpha " << c.alpha);
    glClearColor(c.clear / 255.0f, c.clear / 255.0f, c.clear / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeFader, c.set, Width(), Height(), c.progress, c.alpha);
    EXPECT_TRUE(NearRGB(ReadPixel(Width() / 2, Height() / 2), c.expected)) << ReadPixel(Width() / 2, Height() / 2);
  }
}

TEST_F(OpFader, CoversTheWholeViewThroughTheDepthBufferAndResetsState) {
  SetSize(256, 160);
  opFader::Sets().push_back({0, 1, 0, 0, 1, 0, 1, 1});
  DrawNearWall();
  // Leave the opposite state behind: it must not matter.
  const int32_t tex = AddSolidTexture({255, 0, 255, 255});
  glBindTexture(GL_TEXTURE_2D, texMan::TextureTable[static_cast<size_t>(tex - 1)].GLName);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glRotatef(3.0f, 0.0f, 0.0f, 1.0f);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);

  RenderOnce(typeFader, 0, 256, 160, 0.3f);

  for (auto [x, y] : {std::pair{0, 0}, {255, 0}, {0, 159}, {255, 159}, {128, 80}})
    EXPECT_TRUE(NearRGB(ReadPixel(x, y), RGBA{0, 255, 0, 255})) << x << "," << y << " " << ReadPixel(x, y);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), 0);
  EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

class OpEffectFader : public OpGLTest {};

TEST_F(OpEffectFader, HandsItsOpacityToTheNextTrackOnly) {
  opEfFade::Sets().push_back({0.0f, 1.0f});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeProbe, 7);
  AddEvent(0, 1000, 2, typeProbe, 8);
  for (auto [t, a] : {std::pair{0, 0.0f}, {250, 0.25f}, {1000, 1.0f}}) {
    SCOPED_TRACE(t);
    probeCalls.clear();
    scheduler::RenderTracks(t);
    ASSERT_EQ(probeCalls.size(), 2u);  // each following track exactly once
    EXPECT_EQ(probeCalls[0].Set, 7);
    EXPECT_FLOAT_EQ(probeCalls[0].Alpha, a);
    EXPECT_EQ(probeCalls[0].Time, t);
    EXPECT_EQ(probeCalls[1].Set, 8);
    EXPECT_FLOAT_EQ(probeCalls[1].Alpha, 1.0f);
  }
}

TEST_F(OpEffectFader, NestedFadersReplaceRatherThanCompound) {
  opEfFade::Sets().push_back({0.2f, 0.2f});
  opEfFade::Sets().push_back({0.6f, 0.6f});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeEffectFader, 1);
  AddEvent(0, 1000, 2, typeProbe, 0);
  scheduler::RenderTracks(500);
  ASSERT_EQ(probeCalls.size(), 1u);
  EXPECT_EQ(probeCalls[0].Track, 2);
  EXPECT_FLOAT_EQ(probeCalls[0].Alpha, 0.6f);
}

}  // namespace
