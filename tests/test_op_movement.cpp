// Linear, Bezier and Sinemove moving the next track, and End Demo, driven
// through the scheduler with a probe operator on the tracks that follow.
#include <cmath>
#include <cstring>
#include <numbers>

#include "opTestKit.h"
#include "operators/opBezier.h"
#include "operators/opEfFade.h"
#include "operators/opEndDemo.h"
#include "operators/opImage.h"
#include "operators/opLinear.h"
#include "operators/opSineMove.h"

namespace {

using namespace optest;
using dllShared::TVector3;

void ExpectPoint(const Matrix& m, Vec3 p, Vec3 want, double tol = 1e-5) {
  const Vec3 got = Apply(m, p);
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}

class OpMovement : public OpGLTest {
 protected:
  // The mover on track 0 over [0, 1000], probes on tracks 1 and 2.
  void MoverThenTwoProbes(int32_t type, int32_t set) {
    AddEvent(0, 1000, 0, type, set);
    AddEvent(0, 1000, 1, typeProbe, 1);
    AddEvent(0, 1000, 2, typeProbe, 2);
  }
  // One frame; returns what the probe on track 1 saw, after checking that
  // track 2 was left where it was and the walk's matrix is back.
  Matrix Frame(int32_t t) {
    probe.Calls.clear();
    scheduler::RenderTracks(t);
    EXPECT_TRUE(IsIdentity(CurrentMatrix(GL_MODELVIEW_MATRIX)));
    if (probe.Calls.size() != 2u) {
      ADD_FAILURE() << "probe calls: " << probe.Calls.size();
      return {};
    }
    EXPECT_EQ(probe.Calls[0].Set, 1);
    EXPECT_EQ(probe.Calls[1].Set, 2);
    EXPECT_TRUE(IsIdentity(probe.Calls[1].ModelView));
    return probe.Calls[0].ModelView;
  }
};

TEST_F(OpMovement, LinearGoesFromStartToEndPoseTranslatingBeforeTurning) {
  // Rotations X 90 then Y 90 (applied Z, Y, X outermost first) send the y
  // axis to the x axis; the wrong order would send it to z.
  opLinear::Sets().push_back({{1, 2, 3}, {-3, 0, 5}, {90, 90, 0}, {0, 0, 90}, 0, {0, 0, 0}});
  MoverThenTwoProbes(typeLinear, 0);
  ExpectPoint(Frame(0), {0, 1, 0}, {2, 2, 3});
  ExpectPoint(Frame(0), {0, 0, 0}, {1, 2, 3});
  // Halfway: at (-1, 1, 4), turned 45 about each of X, Y and Z.
  const Matrix mid = Frame(500);
  ExpectPoint(mid, {0, 0, 0}, {-1, 1, 4});
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(-1, 1, 4);
  glRotatef(45, 0, 0, 1);
  glRotatef(45, 0, 1, 0);
  glRotatef(45, 1, 0, 0);
  const Matrix want = CurrentMatrix(GL_MODELVIEW_MATRIX);
  glPopMatrix();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(mid[i], want[i], 1e-5) << i;
  // The end: (-3, 0, 5), turned 90 about Z only, about its own origin.
  ExpectPoint(Frame(1000), {1, 0, 0}, {-3, 1, 5});
}

TEST_F(OpMovement, LinearHoldsTheStartPoseOnlyForHoldPositionOne) {
  opLinear::Sets().push_back({{1, 0, 0}, {5, 0, 0}, {}, {}, 1, {0, 0, 0}});
  opLinear::Sets().push_back({{1, 0, 0}, {5, 0, 0}, {}, {}, 2, {0, 0, 0}});
  AddEvent(0, 1000, 0, typeLinear, 0);
  AddEvent(0, 1000, 1, typeProbe, 1);
  AddEvent(0, 1000, 2, typeProbe, 2);
  EXPECT_FLOAT_EQ(Frame(1000)[12], 1.0f);
  data_.Events[0].ParamSet = 1;
  scheduler::ResetTracks();
  EXPECT_FLOAT_EQ(Frame(1000)[12], 5.0f);
}

TEST_F(OpMovement, BezierIsPulledByTheMiddlePoseWithItsRotationStoredXZY) {
  TVector3 zero{0, 0, 0};
  opBezier::TBezierParams p{zero, zero, {2, 0, 0}, zero, zero, {0, 0, 0}};
  // The record's bytes 60, 64, 68 hold the middle X, Z, Y angles: 20 at 64
  // is a Z angle.
  const float z20[3] = {0, 20, 0};
  std::memcpy(reinterpret_cast<char*>(&p) + 60, z20, sizeof z20);
  opBezier::Sets().push_back(p);
  MoverThenTwoProbes(typeBezier, 0);
  EXPECT_TRUE(IsIdentity(Frame(0)));
  const Matrix mid = Frame(500);
  EXPECT_NEAR(mid[12], 1.0, 1e-6);  // S/4 + M/2 + E/4
  // Turned 10 degrees about Z: x goes towards +y.
  EXPECT_NEAR(mid[0], std::cos(10 * std::numbers::pi / 180), 1e-6);
  EXPECT_NEAR(mid[1], std::sin(10 * std::numbers::pi / 180), 1e-6);
  EXPECT_TRUE(IsIdentity(Frame(1000)));

  // 20 at byte 68 is a Y angle: x goes towards -z.
  const float y20[3] = {0, 0, 20};
  std::memcpy(reinterpret_cast<char*>(&opBezier::Sets()[0]) + 60, y20, sizeof y20);
  const Matrix turned = Frame(500);
  EXPECT_NEAR(turned[0], std::cos(10 * std::numbers::pi / 180), 1e-6);
  EXPECT_NEAR(turned[2], -std::sin(10 * std::numbers::pi / 180), 1e-6);
  EXPECT_NEAR(turned[1], 0.0, 1e-6);
}

TEST_F(OpMovement, SinemoveSwingsWithElapsedTimeNotProgress) {
  opSineMove::Sets().push_back({{0, 0, 0}, {1, 0, 0}, {}, {}, 1000});
  opSineMove::Sets().push_back({{0, 0, 0}, {1, 0, 0}, {}, {}, -1000});
  opSineMove::Sets().push_back({{3, 0, 0}, {1, 0, 0}, {}, {}, 0});
  for (int32_t set : {0, 1}) {
    SCOPED_TRACE(set);
    data_ = {};
    scheduler::ResetTracks();
    // A long event: progress stays far from the blend factor.
    AddEvent(0, 100000, 0, typeSineMove, set);
    AddEvent(0, 100000, 1, typeProbe, 1);
    AddEvent(0, 100000, 2, typeProbe, 2);
    EXPECT_FLOAT_EQ(Frame(0)[12], 0.0f);
    EXPECT_NEAR(Frame(1571)[12], 0.5, 0.001);
    EXPECT_NEAR(Frame(3142)[12], 1.0, 0.0001);
    EXPECT_NEAR(Frame(6283)[12], 0.0, 0.0001);
  }
  // A speed of 0 holds the start pose.
  data_ = {};
  scheduler::ResetTracks();
  AddEvent(0, 100000, 0, typeSineMove, 2);
  AddEvent(0, 100000, 1, typeProbe, 1);
  AddEvent(0, 100000, 2, typeProbe, 2);
  const Matrix held = Frame(777);
  EXPECT_FLOAT_EQ(held[12], 3.0f);
  for (float v : held) EXPECT_TRUE(std::isfinite(v));
}

TEST_F(OpMovement, ChainedMoversAddUpAndPassAlphaAndSizeOn) {
  opEfFade::Sets().push_back({0.4f, 0.4f});
  opLinear::Sets().push_back({{1, 0, 0}, {1, 0, 0}, {}, {}, 0, {0, 0, 0}});
  opBezier::TBezierParams b{};
  b.StartPos = b.MiddlePos = b.EndPos = {0, 2, 0};
  opBezier::Sets().push_back(b);
  opSineMove::Sets().push_back({{0, 0, -3}, {0, 0, -3}, {0, 0, 90}, {0, 0, 90}, 1000});
  AddEvent(0, 1000, 0, typeEffectFader, 0);
  AddEvent(0, 1000, 1, typeLinear, 0);
  AddEvent(0, 1000, 2, typeBezier, 0);
  AddEvent(0, 1000, 3, typeSineMove, 0);
  AddEvent(0, 1000, 4, typeProbe, 4);
  AddEvent(0, 1000, 5, typeProbe, 5);
  scheduler::RenderTracks(300);
  ASSERT_EQ(probe.Calls.size(), 2u);
  const ProbeCall& moved = probe.Calls[0];
  EXPECT_EQ(moved.Track, 4);
  ExpectPoint(moved.ModelView, {0, 0, 0}, {1, 2, -3});
  ExpectPoint(moved.ModelView, {1, 0, 0}, {1, 3, -3});  // turned by the last mover only
  EXPECT_FLOAT_EQ(moved.Alpha, 0.4f);
  EXPECT_EQ(moved.Width, Width());
  EXPECT_EQ(moved.Time, 300);
  EXPECT_FLOAT_EQ(moved.Progress, 0.3f);
  EXPECT_EQ(probe.Calls[1].Track, 5);
  EXPECT_TRUE(IsIdentity(probe.Calls[1].ModelView));
  EXPECT_FLOAT_EQ(probe.Calls[1].Alpha, 1.0f);
  EXPECT_TRUE(IsIdentity(CurrentMatrix(GL_MODELVIEW_MATRIX)));
}

TEST_F(OpMovement, MovesTheNextTracksPictureAndOnlyThat) {
  const int32_t red = AddSolidTexture({255, 0, 0, 255});
  const int32_t green = AddSolidTexture({0, 255, 0, 255});
  opImage::Sets().push_back({red, 0, 0, 0.1f, 1, 0, 0, {0, 0}});
  opImage::Sets().push_back({green, 0, 0, 0.1f, 1, 0, 0, {0, 0}});
  // 0.3 to the right at the image's depth is 66 pixels.
  opLinear::Sets().push_back({{0.3f, 0, 0}, {0.3f, 0, 0}, {}, {}, 0, {0, 0, 0}});
  AddEvent(0, 1000, 0, typeLinear, 0);
  AddEvent(0, 1000, 1, typeShowImage, 0);
  AddEvent(0, 1000, 2, typeShowImage, 1);
  scheduler::RenderTracks(100);
  EXPECT_TRUE(NearRGB(ReadPixel(128 + 66, 128), {255, 0, 0, 0}));
  EXPECT_TRUE(NearRGB(ReadPixel(128, 128), {0, 255, 0, 0}));
  EXPECT_TRUE(NearRGB(ReadPixel(128 - 66, 128), {0, 0, 0, 0}));
}

TEST_F(OpMovement, AFreeSlotRendersNothingAfterIt) {
  opLinear::Sets().push_back({});
  opBezier::Sets().push_back({});
  opSineMove::Sets().push_back({});
  AddEvent(0, 1000, 1, typeProbe, 1);
  for (int32_t type : {typeLinear, typeBezier, typeSineMove}) {
    scheduler::TrackPos = 0;
    Op(type).Render(2, Width(), Height(), 0, 0, 0, 1);
    Op(type).Render(255, Width(), Height(), 0, 0, 0, 1);
    EXPECT_EQ(scheduler::TrackPos, 0);
  }
  EXPECT_TRUE(probe.Calls.empty());
}

class OpEndDemo : public OpGLTest {};

TEST_F(OpEndDemo, RaisesTheFlagOnTheFirstFrameInsideItsEventAndTheFrameGoesOn) {
  opEndDemo::Sets().push_back({7});
  opEndDemo::Sets().push_back({-3});
  AddEvent(60000, 500, 0, typeEndDemo, 1);
  AddEvent(0, 100000, 1, typeProbe, 1);
  scheduler::RenderTracks(59990);
  EXPECT_EQ(scheduler::DemoFinished, 0);
  scheduler::RenderTracks(60005);
  EXPECT_EQ(scheduler::DemoFinished, 1);
  ASSERT_EQ(probe.Calls.size(), 2u);  // the track after it is still rendered
  EXPECT_EQ(probe.Calls[1].Time, 60005);
  scheduler::RenderTracks(61000);  // past the event: the flag stays up
  EXPECT_EQ(scheduler::DemoFinished, 1);
}

TEST_F(OpEndDemo, EventsNoFrameFallsIntoOrWithoutASetNeverEndTheDemo) {
  opEndDemo::Sets().push_back({0});
  AddEvent(70000, 2, 0, typeEndDemo, 0);
  AddEvent(0, 100000, 1, typeEndDemo, 5);  // names a set the demo lacks
  for (int32_t t : {69990, 70010, 70030}) scheduler::RenderTracks(t);
  Op(typeEndDemo).Render(3, Width(), Height(), 0, 0, 0, 1);  // a free slot
  EXPECT_EQ(scheduler::DemoFinished, 0);
}

}  // namespace
