// Fader and Effect Fader on the shared GL context.
#include "opTestKit.h"
#include "operators/opEfFade.h"
#include "operators/opFader.h"

namespace {

using namespace optest;

class OpFader : public OpGLTest {};

TEST_F(OpFader, ColourAndOpacityMoveFromStartToEnd) {
  // Red, opaque at the start; blue, opaque at the end.
  opFader::Sets().push_back({1, 0, 0, 0, 0, 1, 1, 1});
  // Black at the start, fully opaque; fully transparent at the end.
  opFader::Sets().push_back({0, 0, 0, 0, 0, 0, 1, 0});
  const int cx = Width() / 2, cy = Height() / 2;

  struct Case {
    int32_t set;
    float progress, alpha;
    RGBA clear, expected;
  };
  const Case cases[] = {
      {0, 0.0f, 1.0f, {0, 0, 0, 0}, {255, 0, 0, 255}},
      {0, 0.5f, 1.0f, {0, 0, 0, 0}, {128, 0, 128, 255}},
      {0, 1.0f, 1.0f, {0, 0, 0, 0}, {0, 0, 255, 255}},
      // Over white: the fade from black lets the white through.
      {1, 0.0f, 1.0f, {255, 255, 255, 255}, {0, 0, 0, 255}},
      {1, 0.5f, 1.0f, {255, 255, 255, 255}, {128, 128, 128, 255}},
      {1, 1.0f, 1.0f, {255, 255, 255, 255}, {255, 255, 255, 255}},
      // The alpha handed in scales the opacity.
      {1, 0.0f, 0.25f, {255, 255, 255, 255}, {191, 191, 191, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "set " << c.set << " progress " << c.progress << " alpha " << c.alpha);
    glClearColor(c.clear.r / 255.0f, c.clear.g / 255.0f, c.clear.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeFader, c.set, Width(), Height(), c.progress, c.alpha);
    const RGBA got = ReadPixel(cx, cy);
    EXPECT_TRUE(NearRGB(got, c.expected)) << got;
  }
}

TEST_F(OpFader, CoversTheWholeViewThroughTheDepthBufferAndResetsState) {
  SetSize(256, 160);  // 16:10, the widest shape the setup window offers
  opFader::Sets().push_back({0, 1, 0, 0, 1, 0, 1, 1});
  // Something nearer the camera fills the depth buffer; the fade still
  // covers it because depth testing is off while it draws.
  glDisable(GL_TEXTURE_2D);
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex3f(-5, -5, -1.1f);
  glVertex3f(5, -5, -1.1f);
  glVertex3f(5, 5, -1.1f);
  glVertex3f(-5, 5, -1.1f);
  glEnd();
  glEnable(GL_TEXTURE_2D);

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

TEST_F(OpFader, FreeSlotOrMissingSetDrawsNothing) {
  opFader::Sets().push_back({1, 1, 1, 1, 1, 1, 1, 1});
  Op(typeFader).Render(0, Width(), Height(), 0, 0, 0.5f, 1.0f);  // slot 0 is free
  Op(typeFader).Render(200, Width(), Height(), 0, 0, 0.5f, 1.0f);
  EXPECT_EQ(Op(typeFader).CreateInstance(1), -1);  // no set 1
  EXPECT_EQ(ReadPixel(Width() / 2, Height() / 2), (RGBA{0, 0, 0, 0}));
  EXPECT_EQ(Op(typeFader).GetParamInfo, nullptr);
}

class OpEffectFader : public OpGLTest {};

TEST_F(OpEffectFader, HandsItsOpacityToTheNextTrackOnly) {
  opEfFade::Sets().push_back({0.0f, 1.0f});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeProbe, 7);
  AddEvent(0, 1000, 2, typeProbe, 8);
  for (auto [t, a] : {std::pair{0, 0.0f}, {250, 0.25f}, {1000, 1.0f}}) {
    SCOPED_TRACE(t);
    probe.Calls.clear();
    scheduler::RenderTracks(t);
    ASSERT_EQ(probe.Calls.size(), 2u);  // each following track exactly once
    EXPECT_EQ(probe.Calls[0].Set, 7);
    EXPECT_FLOAT_EQ(probe.Calls[0].Alpha, a);
    EXPECT_EQ(probe.Calls[0].Width, Width());
    EXPECT_EQ(probe.Calls[0].Time, t);
    EXPECT_EQ(probe.Calls[1].Set, 8);
    EXPECT_FLOAT_EQ(probe.Calls[1].Alpha, 1.0f);
  }
}

TEST_F(OpEffectFader, NestedFadersReplaceRatherThanCompound) {
  opEfFade::Sets().push_back({0.2f, 0.2f});
  opEfFade::Sets().push_back({0.6f, 0.6f});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeEffectFader, 1);
  AddEvent(0, 1000, 2, typeProbe, 0);
  scheduler::RenderTracks(500);
  ASSERT_EQ(probe.Calls.size(), 1u);
  EXPECT_EQ(probe.Calls[0].Track, 2);
  EXPECT_FLOAT_EQ(probe.Calls[0].Alpha, 0.6f);
}

TEST_F(OpEffectFader, FadesAFaderDrawnOnTheNextTrack) {
  opEfFade::Sets().push_back({0.0f, 1.0f});
  opFader::Sets().push_back({1, 1, 1, 1, 1, 1, 1, 1});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeFader, 0);
  for (auto [t, v] : {std::pair{0, 0}, {500, 128}, {1000, 255}}) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scheduler::RenderTracks(t);
    const RGBA got = ReadPixel(Width() / 2, Height() / 2);
    const auto c = static_cast<uint8_t>(v);
    EXPECT_TRUE(NearRGB(got, RGBA{c, c, c, 0})) << t << " " << got;
  }
}

TEST_F(OpEffectFader, FreeSlotRendersNoFollowingTrack) {
  opEfFade::Sets().push_back({0.5f, 0.5f});
  AddEvent(0, 1000, 1, typeProbe, 0);
  scheduler::TrackPos = 0;
  Op(typeEffectFader).Render(3, Width(), Height(), 10, 10, 0.5f, 1.0f);
  EXPECT_TRUE(probe.Calls.empty());
  EXPECT_EQ(scheduler::TrackPos, 0);
}

}  // namespace
