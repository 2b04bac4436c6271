// Particles, Render To Texture, Image Distortion and Wobble Image on the
// shared GL context. Expected values are worked out here from the effects'
// descriptions, not taken from the operators.
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

#include "opTestKit.h"
#include "operators/opEffect.h"
#include "operators/opImgDist.h"
#include "operators/opPart1.h"
#include "operators/opWobble.h"

namespace {

using namespace optest;

enum : int32_t { typeParticles = 3, typeRenderToTexture = 5, typeImageDistortion = 6, typeWobble = 11 };

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255},
    kBlack{0, 0, 0, 0};

// Binds a fresh instance and renders it once in the 256 x 256 window.
void Draw(int32_t type, int32_t set, int32_t time = 0, int32_t elapsed = 0, float alpha = 1.0f) {
  dllShared::fOperator& op = *registry::Operators[type];
  const int32_t slot = op.CreateInstance(set);
  ASSERT_GE(slot, 0);
  op.Render(static_cast<uint8_t>(slot), 256, 256, time, elapsed, 0.5f, alpha);
  op.FreeInstance(static_cast<uint8_t>(slot));
}

struct FbVertex {
  float x, y, z, r, g, b, a;
};

// The quads `draw` sends, in window coordinates with their colours. Mesa
// feeds a quad (0, 1, 2, 3) back as the triangles (0, 1, 3) and (1, 2, 3).
std::vector<std::vector<FbVertex>> Feedback(const std::function<void()>& draw, size_t capacity = 1 << 16) {
  std::vector<GLfloat> buf(capacity);
  glFeedbackBuffer(static_cast<GLsizei>(capacity), GL_3D_COLOR, buf.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint n = glRenderMode(GL_RENDER);
  std::vector<std::vector<FbVertex>> polys;
  for (GLint i = 0; i < n && buf[i] == GL_POLYGON_TOKEN;) {
    const auto count = static_cast<size_t>(buf[i + 1]);
    std::vector<FbVertex> poly(count);
    std::memcpy(poly.data(), &buf[i + 2], sizeof(FbVertex) * count);
    i += 2 + 7 * static_cast<GLint>(count);
    if (count == 3 && !polys.empty() && polys.back().size() == 3)
      polys.back() = {polys.back()[0], polys.back()[1], poly[1], polys.back()[2]};
    else
      polys.push_back(poly);
  }
  return polys;
}

template <class Params>
int32_t Add(std::vector<Params>& sets, const Params& p) {
  sets.push_back(p);
  return static_cast<int32_t>(sets.size() - 1);
}

// ---- Particles ----

// The cloud as its description defines it: places and the product of the
// three fades.
struct Particle {
  double pos[3], fade;
};
std::vector<Particle> Cloud(const opPart1::TParticleParams& p, int32_t time) {
  uint32_t seed = static_cast<uint32_t>(p.RandomSeed);
  auto below = [&seed](uint32_t m) {
    seed = seed * 0x08088405u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(m) * seed) >> 32);
  };
  const float corner[3] = {p.StartPos.X, p.StartPos.Y, p.StartPos.Z}, size[3] = {p.Size.X, p.Size.Y, p.Size.Z};
  const int32_t speed[3] = {p.XSpeed, p.YSpeed, p.ZSpeed};
  std::vector<Particle> out;
  for (int32_t k = 1; k <= p.Amount; ++k) {
    seed += below(static_cast<uint32_t>(k) * static_cast<uint32_t>(p.RandomSeed));
    Particle q{{}, 1.0};
    for (int a = 0; a < 3; ++a) {
      const int64_t r = below(static_cast<uint32_t>(p.GlobalSpeed));
      const int32_t travel = static_cast<int32_t>(static_cast<int64_t>(speed[a]) * time) / 100;
      const double v = static_cast<int32_t>(r + travel);
      double f = std::fmod(v, p.GlobalSpeed) / p.GlobalSpeed;
      if (f < 0) f += 1;
      q.fade *= f < 0.1 ? f * 10 : f > 0.9 ? 1 - (f - 0.9) * 10 : 1;
      q.pos[a] = corner[a] + size[a] * f;
    }
    out.push_back(q);
  }
  return out;
}

opPart1::TParticleParams Particles(int32_t amount, int32_t xs, int32_t ys, int32_t zs, int32_t seed = 123) {
  return {0, amount, seed, 2000, {-2, -2, -6}, {4, 4, 4}, {1, 1, 1}, 0.1f, xs, ys, zs};
}

// Eye space x and y in -4..4 and z in -10..0 fill the 256 x 256 window;
// sprite centres come back in eye space with their alphas.
void BoxView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, 0, 10);
  glMatrixMode(GL_MODELVIEW);
}
std::vector<Particle> DrawnCloud(int32_t set, int32_t time, float alpha = 1.0f) {
  BoxView();
  std::vector<Particle> out;
  for (const auto& poly : Feedback([&] { Draw(typeParticles, set, time, 0, alpha); }, 1 << 22)) {
    Particle q{{}, poly[0].a};
    for (const FbVertex& v : poly) {
      q.pos[0] += (v.x / 32.0 - 4) / static_cast<double>(poly.size());
      q.pos[1] += (v.y / 32.0 - 4) / static_cast<double>(poly.size());
      q.pos[2] += -10.0 * v.z / static_cast<double>(poly.size());
    }
    out.push_back(q);
  }
  return out;
}

using OpParticles = OpGLTest;

TEST_F(OpParticles, CloudMatchesTheGeneratorAtAnyTime) {
  struct Case {
    opPart1::TParticleParams p;
    int32_t time;
  } cases[] = {
      {Particles(10, 0, 0, 100), 0},        {Particles(10, 0, 0, 100), 1234},
      {Particles(40, -37, -100, 0, 7), 98765}, {Particles(40, 55, 0, -80, 32767), -4321},
      {Particles(20, 0, 0, 0, 1), 5000},
  };
  for (const Case& c : cases) {
    const int32_t set = Add(opPart1::Sets(), c.p);
    const auto want = Cloud(c.p, c.time);
    const auto got = DrawnCloud(set, c.time, 0.5f);
    ASSERT_EQ(got.size(), want.size()) << c.time;
    for (size_t i = 0; i < want.size(); ++i) {
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(got[i].pos[a], want[i].pos[a], 1e-3) << "particle " << i << " axis " << a;
      EXPECT_NEAR(got[i].fade, 0.5 * want[i].fade, 1e-5) << "particle " << i << " at " << c.time;
    }
    // The same time draws the same cloud again.
    const auto again = DrawnCloud(set, c.time, 0.5f);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(std::memcmp(&again[i], &got[i], sizeof got[i]), 0);
  }
}

TEST_F(OpParticles, DefaultsCrossTheBoxInTwoSecondsAndNegativeSpeedsWrapUpward) {
  const int32_t set = Add(opPart1::Sets(), Particles(30, -100, 0, 100));
  const auto t0 = DrawnCloud(set, 300), t500 = DrawnCloud(set, 800), t2000 = DrawnCloud(set, 2300);
  int wrapped = 0;
  for (size_t i = 0; i < t0.size(); ++i) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(t2000[i].pos[a], t0[i].pos[a], 1e-3);
    // A quarter of the box in 500 ms: z up by 1, x down by 1, modulo 4.
    EXPECT_NEAR(std::fmod(t500[i].pos[2] - t0[i].pos[2] + 8, 4), 1.0, 1e-3);
    EXPECT_NEAR(std::fmod(t500[i].pos[0] - t0[i].pos[0] + 8, 4), 3.0, 1e-3);
    EXPECT_NEAR(t500[i].pos[1], t0[i].pos[1], 1e-3);
    wrapped += t500[i].pos[0] > t0[i].pos[0];
  }
  EXPECT_GT(wrapped, 0);
}

TEST_F(OpParticles, SpritesFaceTheViewerAndLeaveAdditiveBlending) {
  const int32_t set = Add(opPart1::Sets(), Particles(1, 0, 0, 0));
  BoxView();
  glRotatef(90, 0, 0, 1);
  const auto poly = Feedback([&] { Draw(typeParticles, set); }).at(0);
  ASSERT_EQ(poly.size(), 4u);
  // Half size 0.1 is 3.2 pixels; right and up stay right and up on screen.
  const double cx = (poly[0].x + poly[2].x) / 2, cy = (poly[0].y + poly[2].y) / 2;
  const double corners[4][2] = {{1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(poly[i].x - cx, corners[i][0] * 3.2, 0.01) << i;
    EXPECT_NEAR(poly[i].y - cy, corners[i][1] * 3.2, 0.01) << i;
  }
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
}

}  // namespace
