// Linear, Bezier and Sinemove moving the next track, and End Demo, driven through the scheduler with a
// probe operator on the tracks that follow.
#include <cstring>
#include <numbers>

#include "opTestKit.h"
#include "operators/opBezier.h"
#include "operators/opEfFade.h"
#include "operators/opEndDemo.h"
#include "operators/opFader.h"
#include "operators/opLinear.h"
#include "operators/opSineMove.h"

namespace {

using namespace optest;

struct Vec3 { double x, y, z; };

// Where the column-major matrix m sends p.
void ExpectPoint(const Matrix& m, Vec3 p, Vec3 want) {
  const auto at = [&](int r) { return m[r] * p.x + m[r + 4] * p.y + m[r + 8] * p.z + m[r + 12]; };
  EXPECT_LT(std::hypot(at(0) - want.x, at(1) - want.y, at(2) - want.z), 1e-5);
}

class OpMovement : public OpGLTest {
 protected:
  // The mover on track 0, probes on tracks 1 and 2, all over [0, length].
  void MoverThenTwoProbes(int32_t type, int32_t set, int32_t length = 1000) {
    data_ = {}, scheduler::ResetTracks();
    AddEvent(0, length, 0, type, set), AddEvent(0, length, 1, typeProbe, 1), AddEvent(0, length, 2, typeProbe, 2);
  }
  // One frame; returns what the probe on track 1 saw, after checking that track 2 was not moved and
  // the walk's matrix is back.
  Matrix Frame(int32_t t) {
    probeCalls.clear(), scheduler::RenderTracks(t);
    EXPECT_TRUE(IsIdentity(CurrentMatrix(GL_MODELVIEW_MATRIX)));
    if (probeCalls.size() != 2u) return ADD_FAILURE() << "probe calls: " << probeCalls.size(), Matrix{};
    EXPECT_TRUE(probeCalls[0].Set == 1 && IsIdentity(probeCalls[1].ModelView));
    return probeCalls[0].ModelView;
  }
};

TEST_F(OpMovement, LinearBezierAndSinemovePaths) {
  // Linear: X 90 then Y 90 sends the y axis to x; the wrong order would send it to z.
  opLinear::Sets().push_back({{1, 2, 3}, {-3, 0, 5}, {90, 90, 0}, {0, 0, 90}, 0, {0, 0, 0}});
  MoverThenTwoProbes(typeLinear, 0);
  ExpectPoint(Frame(0), {0, 1, 0}, {2, 2, 3});
  const Matrix mid = Frame(500);  // 45 degrees about each axis
  ExpectPoint(mid, {0, 0, 0}, {-1, 1, 4});
  ExpectPoint(mid, {1, 0, 0}, {-0.5, 1.5, 4 - std::sqrt(0.5)});
  ExpectPoint(Frame(1000), {1, 0, 0}, {-3, 1, 5});

  // HoldPosition 1 keeps the start pose; any other value moves.
  opLinear::Sets() = {{{1, 0, 0}, {5, 0, 0}, {}, {}, 1, {0, 0, 0}}, {{1, 0, 0}, {5, 0, 0}, {}, {}, 2, {0, 0, 0}}};
  MoverThenTwoProbes(typeLinear, 0);
  const float held = Frame(1000)[12];
  MoverThenTwoProbes(typeLinear, 1);
  EXPECT_TRUE(held == 1.0f && Frame(1000)[12] == 5.0f);

  // Bezier is pulled by the middle pose, its rotation stored X, Z, Y.
  opBezier::TBezierParams p{};
  const float raw[3] = {0, 20, 0};  // bytes 60, 64, 68 of the record: 20 at 64 is a Z angle
  std::memcpy(reinterpret_cast<char*>(&p) + 60, raw, sizeof raw);
  p.MiddlePos = {2, 0, 0}, opBezier::Sets().push_back(p);
  MoverThenTwoProbes(typeBezier, 0);
  EXPECT_TRUE(IsIdentity(Frame(0)) && IsIdentity(Frame(1000)));
  // x: S/4 + M/2 + E/4; turned 10 degrees about z
  ExpectPoint(Frame(500), {1, 0, 0}, {1 + std::cos(10 * std::numbers::pi / 180), std::sin(10 * std::numbers::pi / 180), 0});

  // Sinemove swings with elapsed time, not progress.
  opSineMove::Sets().push_back({{0, 0, 0}, {1, 0, 0}, {}, {}, 1000});
  opSineMove::Sets().push_back({{3, 0, 0}, {1, 0, 0}, {}, {}, 0});
  MoverThenTwoProbes(typeSineMove, 0, 100000);  // progress stays far from the blend
  for (auto [t, x] : {std::pair{0, 0.0}, {1571, 0.5}, {3142, 1.0}, {6283, 0.0}}) EXPECT_NEAR(Frame(t)[12], x, 0.001) << t;
  MoverThenTwoProbes(typeSineMove, 1, 100000);  // speed 0 holds the start pose
  const Matrix still = Frame(777);
  EXPECT_TRUE(still[12] == 3.0f && std::all_of(still.begin(), still.end(), [](float v) { return std::isfinite(v); }));
}

TEST_F(OpMovement, ChainedMoversAddUpAndPassAlphaAndSizeOn) {
  opEfFade::Sets().push_back({0.4f, 0.4f});
  opLinear::Sets().push_back({{1, 0, 0}, {1, 0, 0}, {}, {}, 0, {0, 0, 0}});
  opBezier::Sets().push_back({{0, 2, 0}, {0, 2, 0}, {0, 2, 0}, {}, {}, {}});
  opSineMove::Sets().push_back({{0, 0, -3}, {0, 0, -3}, {0, 0, 90}, {0, 0, 90}, 1000});
  for (uint8_t track = 0; int32_t type : {typeEffectFader, typeLinear, typeBezier, typeSineMove, typeProbe, typeProbe})
    AddEvent(0, 1000, track++, type, 0);
  scheduler::RenderTracks(300);
  ASSERT_EQ(probeCalls.size(), 2u);
  const ProbeCall& moved = probeCalls[0];
  ExpectPoint(moved.ModelView, {1, 0, 0}, {1, 3, -3});  // turned by the last mover only
  EXPECT_TRUE(moved.Track == 4 && moved.Alpha == 0.4f && moved.Width == Width() && moved.Time == 300);
  EXPECT_TRUE(probeCalls[1].Track == 5 && IsIdentity(probeCalls[1].ModelView) && probeCalls[1].Alpha == 1.0f);
}

TEST_F(OpMovement, AFreeSlotDrawsAndRendersNothing) {
  opFader::Sets().push_back({1, 1, 1, 1, 1, 1, 1, 1}), opEfFade::Sets().push_back({}), opLinear::Sets().push_back({});
  opBezier::Sets().push_back({}), opSineMove::Sets().push_back({}), opEndDemo::Sets().push_back({0});
  AddEvent(0, 1000, 1, typeProbe, 1);
  for (int32_t type : {typeFader, typeEffectFader, typeLinear, typeBezier, typeSineMove, typeEndDemo}) {
    scheduler::TrackPos = 0;
    Op(type).Render(2, Width(), Height(), 0, 0, 0.5f, 1), Op(type).Render(255, Width(), Height(), 0, 0, 0.5f, 1);
    EXPECT_EQ(scheduler::TrackPos, 0) << type;
  }
  EXPECT_TRUE(probeCalls.empty() && scheduler::DemoFinished == 0 && ReadPixel(Width() / 2, Height() / 2) == (RGBA{0, 0, 0, 0}));
  EXPECT_EQ(Op(typeFader).CreateInstance(1), -1);  // no set 1
}

TEST_F(OpMovement, EndDemoRaisesTheFlagOnTheFirstFrameInsideItsEventAndTheFrameGoesOn) {
  opEndDemo::Sets().push_back({7}), opEndDemo::Sets().push_back({-3});
  AddEvent(70000, 2, 0, typeEndDemo, 0);   // no frame falls into it
  AddEvent(0, 100000, 1, typeEndDemo, 5);  // names a set the demo lacks
  AddEvent(60000, 500, 2, typeEndDemo, 1), AddEvent(0, 100000, 3, typeProbe, 1);
  scheduler::RenderTracks(59990);
  EXPECT_EQ(scheduler::DemoFinished, 0);
  scheduler::RenderTracks(60005);
  EXPECT_EQ(scheduler::DemoFinished, 1);
  ASSERT_EQ(probeCalls.size(), 2u);  // the track after it is still rendered
  EXPECT_EQ(probeCalls[1].Time, 60005);
  scheduler::DemoFinished = 0;
  for (int32_t t : {69990, 70010, 70030}) scheduler::RenderTracks(t);
  EXPECT_EQ(scheduler::DemoFinished, 0);
}

}  // namespace
